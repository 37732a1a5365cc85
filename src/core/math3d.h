// Single-precision vectors and affine 4x4 matrices in OpenGL's layout.
//
// Mat4 is column-major exactly as glLoadMatrixf takes it: element index =
// column * 4 + row; elements 12..14 are the translation. A point is
// transformed as M * (p, 1), and A * B applies B first. Every matrix made here
// is affine (bottom row 0, 0, 0, 1). Angles are in radians.
//
// Rotation senses: Mat4RotationY turns by +a about y (right-handed), while
// Mat4RotationX and Mat4RotationZ turn by -a; the keyframe and camera angles
// of the scene are written for exactly these senses.
#pragma once

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Mat4 {
    float m[16] = {};
    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }
};

Vec3 Vec3Set(float x, float y, float z);
Vec3 Vec3Scale(const Vec3& v, float s);
float Vec3Length(const Vec3& v);

Mat4 Mat4Identity();
// m with its bottom row forced to 0, 0, 0, 1.
Mat4 Mat4CopyAffine(const Mat4& m);
// a * b, both read as affine (their bottom rows are ignored).
Mat4 Mat4Multiply(const Mat4& a, const Mat4& b);
// m * T(v): keeps the 3x3 part, translation becomes m * (v, 1).
Mat4 Mat4Translate(const Mat4& m, const Vec3& v);
// m * T(-v).
Mat4 Mat4TranslateNeg(const Mat4& m, const Vec3& v);
// m := m * T(-v), in place.
void Mat4ApplyTranslateNeg(Mat4& m, const Vec3& v);
// Inverse of a rotation-plus-translation (the 3x3 part is assumed orthonormal).
Mat4 Mat4RigidInverse(const Mat4& m);
Mat4 Mat4RotationX(float a);
Mat4 Mat4RotationY(float a);
Mat4 Mat4RotationZ(float a);
// m * (p, 1).
Vec3 Mat4TransformPoint(const Mat4& m, const Vec3& p);
