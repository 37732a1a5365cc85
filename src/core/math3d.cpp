#include "core/math3d.h"

#include <cmath>

Vec3 Vec3Set(float x, float y, float z) {
    return Vec3{x, y, z};
}

Vec3 Vec3Scale(const Vec3& v, float s) {
    return Vec3{s * v.x, s * v.y, s * v.z};
}

float Vec3Length(const Vec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

Mat4 Mat4Identity() {
    Mat4 r;
    r[0] = r[5] = r[10] = r[15] = 1.0f;
    return r;
}

Mat4 Mat4CopyAffine(const Mat4& m) {
    Mat4 r = m;
    r[3] = r[7] = r[11] = 0.0f;
    r[15] = 1.0f;
    return r;
}

Mat4 Mat4Multiply(const Mat4& a, const Mat4& b) {
    Mat4 c;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            c[4 * j + i] = a[i] * b[4 * j] + a[4 + i] * b[4 * j + 1] + a[8 + i] * b[4 * j + 2];
    for (int i = 0; i < 3; ++i)
        c[12 + i] = a[i] * b[12] + a[4 + i] * b[13] + a[8 + i] * b[14] + a[12 + i];
    c[15] = 1.0f;
    return c;
}

Mat4 Mat4Translate(const Mat4& m, const Vec3& v) {
    Mat4 r = Mat4CopyAffine(m);
    for (int i = 0; i < 3; ++i)
        r[12 + i] = m[i] * v.x + m[4 + i] * v.y + m[8 + i] * v.z + m[12 + i];
    return r;
}

Mat4 Mat4TranslateNeg(const Mat4& m, const Vec3& v) {
    return Mat4Translate(m, Vec3{-v.x, -v.y, -v.z});
}

void Mat4ApplyTranslateNeg(Mat4& m, const Vec3& v) {
    m = Mat4TranslateNeg(m, v);
}

Mat4 Mat4RigidInverse(const Mat4& m) {
    Mat4 transposed = Mat4Identity();
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row)
            transposed[4 * col + row] = m[4 * row + col];
    return Mat4TranslateNeg(transposed, Vec3{m[12], m[13], m[14]});
}

Mat4 Mat4RotationX(float a) {
    const float c = std::cos(a);
    const float s = std::sin(a);
    Mat4 r = Mat4Identity();
    r[5] = c;
    r[6] = -s;
    r[9] = s;
    r[10] = c;
    return r;
}

Mat4 Mat4RotationY(float a) {
    const float c = std::cos(a);
    const float s = std::sin(a);
    Mat4 r = Mat4Identity();
    r[0] = c;
    r[2] = -s;
    r[8] = s;
    r[10] = c;
    return r;
}

Mat4 Mat4RotationZ(float a) {
    const float c = std::cos(a);
    const float s = std::sin(a);
    Mat4 r = Mat4Identity();
    r[0] = c;
    r[1] = -s;
    r[4] = s;
    r[5] = c;
    return r;
}

Vec3 Mat4TransformPoint(const Mat4& m, const Vec3& p) {
    return Vec3{m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}
