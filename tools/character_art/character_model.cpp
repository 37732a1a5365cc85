// The character's shape and walk, built from rings of vertices around a
// posed skeleton.
//
// Each body part is a closed tube: rings around bones, closed at both ends by
// a pole. The skeleton is posed for each of the sixteen keyframes (legs by
// two-bone inverse kinematics from a foot path, arms by joint angles, spine by
// pelvis and chest turns), and the rings follow it, so every keyframe has the
// same faces and texture coordinates and only the vertices differ.
//
// Winding: a ring's vertices go around its tangent counter-clockwise (e1 then
// e2 = t x e1), so the quads between rings and the caps face outward.
#include "character_art/character_model.h"

#include <cmath>
#include <cstring>

#include "character_art/art_layout.h"
#include "common/little_endian.h"

namespace art {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

struct D3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

D3 operator+(D3 a, D3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
D3 operator-(D3 a, D3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
D3 operator*(D3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double Dot(D3 a, D3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
D3 Cross(D3 a, D3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Norm(D3 a) {
    return std::sqrt(Dot(a, a));
}
D3 Unit(D3 a) {
    return a * (1.0 / Norm(a));
}
D3 Mix(D3 a, D3 b, double t) {
    return a + (b - a) * t;
}
// Right-handed turns about the axes.
D3 TurnX(D3 v, double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {v.x, v.y * c - v.z * s, v.y * s + v.z * c};
}
D3 TurnY(D3 v, double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {v.x * c + v.z * s, v.y, -v.x * s + v.z * c};
}
D3 TurnZ(D3 v, double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {v.x * c - v.y * s, v.x * s + v.y * c, v.z};
}
Vec3 ToVec(D3 a) {
    return Vec3Set(static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z));
}
D3 FromVec(const Vec3& v) {
    return {v.x, v.y, v.z};
}
double Smooth(double e0, double e1, double x) {
    double t = (x - e0) / (e1 - e0);
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    return t * t * (3.0 - 2.0 * t);
}
double Clamp(double x, double lo, double hi) {
    return x < lo ? lo : (x > hi ? hi : x);
}

// ---------------------------------------------------------------------------
// Grids of rings and their faces.

struct Ring {
    D3 centre;
    D3 e1, e2; // unit, perpendicular; e1 x e2 points to the next ring
    double a = 1.0, b = 1.0;
    double v = 0.0; // texture position along the part, 0..1 of its region
};

struct Tube {
    std::vector<Ring> rings;
    int sides = 8;
    double theta0 = kPi; // angle of the first side (and the texture seam)
    // Pole beyond each end, as a distance along the end's tangent, and its v.
    double startBulge = 0.3, endBulge = 0.3;
    double startV = 0.0, endV = 1.0;
    // Section shape: 1 an ellipse, below 1 squarer (a superellipse).
    double power = 1.0;
};

double SignedPower(double t, double power) {
    return t < 0.0 ? -std::pow(-t, power) : std::pow(t, power);
}

void AddFace(ModelMesh& mesh, int a, int b, int c, int ta, int tb, int tc) {
    mesh.faces.push_back(ModelFace{{a, b, c}, {ta, tb, tc}});
}

int AddTex(ModelMesh& mesh, double u, double v) {
    mesh.texCoords.push_back(ModelTex{static_cast<float>(u), static_cast<float>(v)});
    return static_cast<int>(mesh.texCoords.size()) - 1;
}

int AddVertex(ModelMesh& mesh, D3 p) {
    mesh.vertices.push_back(ToVec(p));
    return static_cast<int>(mesh.vertices.size()) - 1;
}

// Ends of a grid: a pole that closes it (or none for an open end) and the
// texture coordinates its fan uses.
struct GridEnd {
    bool closed = true;
    D3 pole;
    double v = 0.0;
    double u = -1.0; // fixed u for the whole fan; below 0: the middle of each side
};

// Adds a grid: points[ring][side] with texture u per side (sides + 1 values,
// the last closing the seam) and v per ring, closed at each end by a fan.
void AddGrid(ModelMesh& mesh, const std::vector<std::vector<D3>>& points,
             const std::vector<double>& sideU, const std::vector<double>& ringV,
             const GridEnd& startEnd, const GridEnd& endEnd, const Region& region) {
    const int rings = static_cast<int>(points.size());
    const int sides = static_cast<int>(points[0].size());
    const int firstVertex = static_cast<int>(mesh.vertices.size());
    for (const auto& ring : points)
        for (const D3& p : ring)
            AddVertex(mesh, p);
    const int firstTex = static_cast<int>(mesh.texCoords.size());
    for (int i = 0; i < rings; ++i)
        for (int k = 0; k <= sides; ++k)
            AddTex(mesh, region.U(static_cast<float>(sideU[k])),
                   region.V(static_cast<float>(ringV[i])));
    auto vertex = [&](int i, int k) { return firstVertex + i * sides + (k % sides); };
    auto tex = [&](int i, int k) { return firstTex + i * (sides + 1) + k; };
    for (int i = 0; i + 1 < rings; ++i) {
        for (int k = 0; k < sides; ++k) {
            AddFace(mesh, vertex(i, k), vertex(i, k + 1), vertex(i + 1, k + 1), tex(i, k),
                    tex(i, k + 1), tex(i + 1, k + 1));
            AddFace(mesh, vertex(i, k), vertex(i + 1, k + 1), vertex(i + 1, k), tex(i, k),
                    tex(i + 1, k + 1), tex(i + 1, k));
        }
    }
    auto fanTex = [&](const GridEnd& end, int k) {
        const double u = end.u >= 0.0 ? end.u : 0.5 * (sideU[k] + sideU[k + 1]);
        return AddTex(mesh, region.U(static_cast<float>(u)), region.V(static_cast<float>(end.v)));
    };
    if (startEnd.closed) {
        const int pole = AddVertex(mesh, startEnd.pole);
        for (int k = 0; k < sides; ++k)
            AddFace(mesh, pole, vertex(0, k + 1), vertex(0, k), fanTex(startEnd, k), tex(0, k + 1),
                    tex(0, k));
    }
    if (endEnd.closed) {
        const int pole = AddVertex(mesh, endEnd.pole);
        for (int k = 0; k < sides; ++k)
            AddFace(mesh, pole, vertex(rings - 1, k), vertex(rings - 1, k + 1), fanTex(endEnd, k),
                    tex(rings - 1, k), tex(rings - 1, k + 1));
    }
}

GridEnd Pole(D3 p, double v, double u = -1.0) {
    GridEnd end;
    end.pole = p;
    end.v = v;
    end.u = u;
    return end;
}

GridEnd Open() {
    GridEnd end;
    end.closed = false;
    return end;
}

void AddTube(ModelMesh& mesh, const Tube& tube, const Region& region) {
    std::vector<std::vector<D3>> points;
    std::vector<double> ringV;
    for (const Ring& ring : tube.rings) {
        std::vector<D3> row;
        for (int k = 0; k < tube.sides; ++k) {
            const double theta = tube.theta0 + 2.0 * kPi * k / tube.sides;
            row.push_back(ring.centre +
                          ring.e1 * (ring.a * SignedPower(std::cos(theta), tube.power)) +
                          ring.e2 * (ring.b * SignedPower(std::sin(theta), tube.power)));
        }
        points.push_back(row);
        ringV.push_back(ring.v);
    }
    std::vector<double> sideU;
    for (int k = 0; k <= tube.sides; ++k)
        sideU.push_back(static_cast<double>(k) / tube.sides);
    const Ring& first = tube.rings.front();
    const Ring& last = tube.rings.back();
    const D3 startPole = first.centre - Cross(first.e1, first.e2) * tube.startBulge;
    const D3 endPole = last.centre + Cross(last.e1, last.e2) * tube.endBulge;
    AddGrid(mesh, points, sideU, ringV, Pole(startPole, tube.startV), Pole(endPole, tube.endV),
            region);
}

// Frames along a chain of ring centres with given tangents: e1 starts as the
// part of reference perpendicular to the first tangent and is carried along
// without twisting.
void FrameRings(std::vector<Ring>& rings, const std::vector<D3>& tangents, D3 reference) {
    D3 e1 = reference;
    for (size_t i = 0; i < rings.size(); ++i) {
        const D3 t = tangents[i];
        e1 = Unit(e1 - t * Dot(e1, t));
        rings[i].e1 = e1;
        rings[i].e2 = Cross(t, e1);
    }
}

// ---------------------------------------------------------------------------
// The skeleton and the walk.

// Rest proportions, scene units.
constexpr double kThigh = 12.0;
constexpr double kShin = 11.6;
constexpr double kUpperArm = 9.4;
constexpr double kForearm = 7.9;
constexpr double kHipHalfWidth = 2.7;
constexpr double kFootHalfSpacing = 2.85;
constexpr double kRestHipHeight = 25.6;
constexpr double kAnkleHeight = 2.35; // ankle above the floor with the foot flat
constexpr double kStepHalf = 8.0;     // the planted foot travels from -8 to +8 in x
constexpr double kStance = 0.6;       // part of the cycle a foot is on the ground
const D3 kRestWaist = {0.0, 30.0, 0.0};
const D3 kRestPelvis = {0.0, kRestHipHeight, 0.0};
const D3 kRestNeck = {-0.1, 43.0, 0.0}; // the head turns about this point
const D3 kRestHeadCentre = {-0.45, 46.35, 0.0};
const D3 kRestShoulder = {0.1, 39.3, 5.0}; // left; the right mirrors z

// Foot points in the foot's own frame: x forward along the sole, y up, from
// the ankle. The toes bend about kToeJoint.
constexpr double kSole = -kAnkleHeight;
const D3 kHeelContact = {-2.0, kSole, 0.0};
const D3 kToeJoint = {3.0, -1.9, 0.0};

struct LegPose {
    D3 hip, knee, ankle;
    double footPitch = 0.0; // radians, toes up positive
    double toePitch = 0.0;  // absolute pitch of the toes
    double side = 1.0;      // +1 left (+z), -1 right
};

struct ArmPose {
    D3 shoulder, elbow, wrist, handDirection;
    double side = 1.0;
};

struct Pose {
    // Pelvis and chest as turns about their rest points plus a move.
    D3 pelvisOrigin;
    double pelvisYaw = 0.0, pelvisRoll = 0.0;
    double chestYaw = 0.0, chestLean = 0.0;
    LegPose legs[2]; // left, right
    ArmPose arms[2];
    D3 neck; // posed neck joint
};

D3 PelvisPoint(const Pose& pose, D3 rest) {
    return pose.pelvisOrigin + TurnY(TurnX(rest - kRestPelvis, pose.pelvisRoll), pose.pelvisYaw);
}
D3 PelvisDirection(const Pose& pose, D3 d) {
    return TurnY(TurnX(d, pose.pelvisRoll), pose.pelvisYaw);
}
D3 ChestDirection(const Pose& pose, D3 d) {
    return TurnY(TurnZ(d, pose.chestLean), pose.chestYaw);
}
D3 ChestPoint(const Pose& pose, D3 rest) {
    return PelvisPoint(pose, kRestWaist) + ChestDirection(pose, rest - kRestWaist);
}

// Foot vectors in the world for a sole pitched by a (toes up positive).
D3 FootForward(double a) {
    return {-std::cos(a), std::sin(a), 0.0};
}
D3 FootUp(double a) {
    return {std::sin(a), std::cos(a), 0.0};
}
D3 FootPoint(D3 ankle, double pitch, D3 local) {
    return ankle + FootForward(pitch) * local.x + FootUp(pitch) * local.y + D3{0.0, 0.0, local.z};
}

// Ankle position and sole pitch of a foot at leg phase p (0: heel strike).
void FootAt(double p, D3& ankle, double& pitch, double& toePitch, double z) {
    const double strikePitch = 14.0 * kDeg;
    const double liftPitch = -34.0 * kDeg;
    auto stanceFoot = [&](double s, D3& a, double& f, double& t) {
        const double xc = -kStepHalf + 2.0 * kStepHalf * s; // flat-foot ankle x
        if (s < 0.15) {
            // Heel rocker: the heel stays put while the sole comes down.
            f = strikePitch * (1.0 - Smooth(0.0, 0.15, s));
            const D3 heel = {xc - kHeelContact.x, 0.0, z};
            a = heel - (FootForward(f) * kHeelContact.x + FootUp(f) * kHeelContact.y);
            t = f;
        } else if (s < 0.62) {
            f = 0.0;
            a = {xc, kAnkleHeight, z};
            t = 0.0;
        } else {
            // Heel lift: the toes stay flat and the foot turns about their joint.
            f = liftPitch * Smooth(0.62, 1.0, s);
            const D3 joint = {xc - kToeJoint.x, kToeJoint.y - kSole, z};
            a = joint - (FootForward(f) * kToeJoint.x + FootUp(f) * kToeJoint.y);
            t = 0.0;
        }
    };
    if (p < kStance) {
        stanceFoot(p / kStance, ankle, pitch, toePitch);
        return;
    }
    const double w = (p - kStance) / (1.0 - kStance);
    D3 from, to;
    double fromPitch, toPitchEnd, unusedToe;
    stanceFoot(1.0, from, fromPitch, unusedToe);
    stanceFoot(0.0, to, toPitchEnd, unusedToe);
    const double e = Smooth(0.0, 1.0, w);
    ankle = Mix(from, to, e);
    ankle.y += 3.2 * std::sin(kPi * std::pow(w, 0.8)); // clearance, highest early
    pitch = fromPitch + (toPitchEnd - fromPitch) * Smooth(0.05, 0.85, w);
    // The toes straighten during the first part of the swing.
    toePitch = pitch * Smooth(0.0, 0.35, w);
}

// Knee of a two-bone leg from hip to ankle, bending toward forward.
D3 SolveKnee(D3 hip, D3& ankle, D3 forward) {
    D3 d = ankle - hip;
    double length = Norm(d);
    const double reach = (kThigh + kShin) * 0.9995;
    if (length > reach) {
        ankle = hip + d * (reach / length);
        d = ankle - hip;
        length = reach;
    }
    const D3 axis = d * (1.0 / length);
    const D3 bend = Unit(forward - axis * Dot(forward, axis));
    const double cosA = Clamp(
        (kThigh * kThigh + length * length - kShin * kShin) / (2.0 * kThigh * length), -1.0, 1.0);
    const double angle = std::acos(cosA);
    return hip + axis * (kThigh * std::cos(angle)) + bend * (kThigh * std::sin(angle));
}

ArmPose PoseArm(const Pose& pose, double side, double flex, double elbowFlex, double abduct,
                double forearmAbduct, double wristFlex) {
    ArmPose arm;
    arm.side = side;
    const D3 forward = ChestDirection(pose, {-1.0, 0.0, 0.0});
    const D3 up = ChestDirection(pose, {0.0, 1.0, 0.0});
    const D3 out = ChestDirection(pose, {0.0, 0.0, side});
    auto direction = [&](double swing, double spread) {
        const D3 d = up * -std::cos(swing) + forward * std::sin(swing);
        return Unit(d * std::cos(spread) + out * std::sin(spread));
    };
    D3 rest = kRestShoulder;
    rest.z *= side;
    arm.shoulder = ChestPoint(pose, rest);
    arm.elbow = arm.shoulder + direction(flex, abduct) * kUpperArm;
    arm.wrist = arm.elbow + direction(flex + elbowFlex, forearmAbduct) * kForearm;
    arm.handDirection = direction(flex + elbowFlex + wristFlex, forearmAbduct);
    return arm;
}

Pose PoseAt(int keyframe) {
    const double phase = static_cast<double>(keyframe) / kKeyframes;
    const double cycle = 2.0 * kPi * phase;
    Pose pose;
    // Pelvis turns the hip of the leg swinging forward ahead; the chest turns
    // the other way and leans slightly forward.
    pose.pelvisYaw = 5.0 * kDeg * std::cos(cycle);
    pose.pelvisRoll = 1.5 * kDeg * std::sin(2.0 * cycle);
    pose.chestYaw = -4.0 * kDeg * std::cos(cycle);
    pose.chestLean = (4.0 + 1.0 * std::cos(2.0 * cycle)) * kDeg;
    const double sway = -0.35 * std::sin(cycle + 0.5);

    // Feet first: the right foot strikes at phase 0, the left half a cycle later.
    double legPhase[2] = {std::fmod(phase + 0.5, 1.0), phase};
    double side[2] = {1.0, -1.0};
    double pitch[2], toe[2];
    D3 ankle[2];
    for (int i = 0; i < 2; ++i)
        FootAt(legPhase[i], ankle[i], pitch[i], toe[i], side[i] * kFootHalfSpacing);

    // The pelvis is as high as the planted feet allow, never above rest.
    double hipHeight = kRestHipHeight;
    for (int i = 0; i < 2; ++i) {
        if (legPhase[i] >= kStance)
            continue;
        const D3 hipOffset =
            TurnY(D3{0.0, 0.0, side[i] * kHipHalfWidth}, pose.pelvisYaw) + D3{0.0, 0.0, sway};
        const double dx = ankle[i].x - hipOffset.x;
        const double dz = ankle[i].z - hipOffset.z;
        const double reach = (kThigh + kShin) * 0.985;
        const double height = ankle[i].y + std::sqrt(reach * reach - dx * dx - dz * dz);
        if (height < hipHeight)
            hipHeight = height;
    }
    pose.pelvisOrigin = {0.0, hipHeight, sway};

    const D3 forward = PelvisDirection(pose, {-1.0, 0.0, 0.0});
    for (int i = 0; i < 2; ++i) {
        LegPose& leg = pose.legs[i];
        leg.side = side[i];
        leg.hip = PelvisPoint(pose, kRestPelvis + D3{0.0, 0.0, side[i] * kHipHalfWidth});
        leg.ankle = ankle[i];
        leg.knee = SolveKnee(leg.hip, leg.ankle, forward);
        leg.footPitch = pitch[i];
        leg.toePitch = toe[i];
    }

    // Arms swing against the legs on their side. The left hand swings free;
    // the right carries the sword forward with a bent elbow.
    const double swing = std::cos(cycle); // +1 when the right leg is forward
    pose.arms[0] = PoseArm(pose, 1.0, (4.0 + 22.0 * swing) * kDeg, (20.0 + 10.0 * swing) * kDeg,
                           7.0 * kDeg, 4.0 * kDeg, 6.0 * kDeg);
    pose.arms[1] = PoseArm(pose, -1.0, (14.0 - 7.0 * swing) * kDeg, (58.0 + 3.0 * swing) * kDeg,
                           10.0 * kDeg, 3.0 * kDeg, -30.0 * kDeg);
    pose.neck = ChestPoint(pose, kRestNeck);
    return pose;
}

// ---------------------------------------------------------------------------
// Body parts.

struct TorsoRing {
    double y, a, b, x;
};
const TorsoRing kTorsoRings[] = {
    {23.3, 1.7, 2.4, 0.1},                              // crotch
    {24.4, 3.0, 4.2, 0.15},                             // seat
    {26.2, 3.35, 4.6, 0.1},                             // hips
    {28.6, 3.05, 4.15, 0.0},                            // waist
    {30.8, 3.15, 4.3, -0.05},                           // belt
    {33.6, 3.45, 4.85, -0.15}, {36.6, 3.6, 5.25, -0.2}, // chest
    {39.2, 3.25, 5.5, -0.05},  {40.9, 2.5, 4.6, 0.05},  // shoulders
    {41.7, 1.5, 1.9, 0.1},                              // neck base
};
constexpr double kTorsoBottom = 22.9;
constexpr double kTorsoTop = 41.95;

void AddTorso(ModelMesh& mesh, const Pose& pose) {
    Tube tube;
    tube.sides = 12;
    tube.power = 0.8;
    for (const TorsoRing& r : kTorsoRings) {
        const D3 rest = {r.x, r.y, 0.0};
        // Below the waist the pelvis carries the rings, above it the chest.
        const double w = Smooth(27.0, 34.5, r.y);
        Ring ring;
        ring.centre = Mix(PelvisPoint(pose, rest), ChestPoint(pose, rest), w);
        const D3 t =
            Unit(Mix(PelvisDirection(pose, {0, 1, 0}), ChestDirection(pose, {0, 1, 0}), w));
        D3 e1 = Mix(PelvisDirection(pose, {-1, 0, 0}), ChestDirection(pose, {-1, 0, 0}), w);
        e1 = Unit(e1 - t * Dot(e1, t));
        ring.e1 = e1;
        ring.e2 = Cross(t, e1);
        ring.a = r.a;
        ring.b = r.b;
        ring.v = (r.y - kTorsoBottom) / (kTorsoTop - kTorsoBottom);
        tube.rings.push_back(ring);
    }
    tube.startBulge = kTorsoRings[0].y - kTorsoBottom;
    tube.endBulge = kTorsoTop - kTorsoRings[9].y;
    tube.startV = 0.0;
    tube.endV = 1.0;
    AddTube(mesh, tube, kTorso);
}

void AddNeck(ModelMesh& mesh, const Pose& pose) {
    const D3 rest[3] = {{0.05, 40.6, 0.0}, {-0.05, 42.2, 0.0}, {-0.25, 43.8, 0.0}};
    const double radius[3] = {1.5, 1.36, 1.3};
    Tube tube;
    tube.sides = 8;
    std::vector<D3> tangents;
    for (int i = 0; i < 3; ++i) {
        Ring ring;
        ring.centre = ChestPoint(pose, rest[i]);
        ring.a = ring.b = radius[i];
        ring.v = i / 2.0;
        tube.rings.push_back(ring);
        tangents.push_back(Unit(ChestPoint(pose, rest[2]) - ChestPoint(pose, rest[0])));
    }
    FrameRings(tube.rings, tangents, ChestDirection(pose, {-1, 0, 0}));
    tube.startBulge = tube.endBulge = 0.3;
    tube.startV = 0.0;
    tube.endV = 1.0;
    AddTube(mesh, tube, kNeck);
}

// Rings along a two-bone limb: each entry names the bone (0 upper, 1 lower),
// the position along it (0..1; rings at a joint use the mean of both
// directions) and the radii. v runs from 1 at the root to 0 at the end.
struct LimbRing {
    int bone;
    double along, a, b, back; // back: centre moved against e1 (calf)
};

// v comes from the nominal bone lengths so that it is the same in every
// keyframe.
void AddLimb(ModelMesh& mesh, D3 root, D3 joint, D3 end, D3 reference, const LimbRing* rings,
             int count, double rootLift, double rootBulge, double upperNominal, double lowerNominal,
             int sides, const Region& region) {
    const D3 upper = Unit(joint - root);
    const D3 lower = Unit(end - joint);
    const double upperLength = Norm(joint - root);
    const double lowerLength = Norm(end - joint);
    const double total = upperNominal + lowerNominal;
    Tube tube;
    tube.sides = sides;
    std::vector<D3> tangents;
    for (int i = 0; i < count; ++i) {
        const LimbRing& r = rings[i];
        Ring ring;
        D3 t;
        double distance;
        if (r.bone == 0) {
            ring.centre = root + upper * (r.along * upperLength);
            t = (r.along >= 0.999) ? Unit(upper + lower) : upper;
            distance = r.along * upperNominal;
        } else {
            ring.centre = joint + lower * (r.along * lowerLength);
            t = (r.along <= 0.001) ? Unit(upper + lower) : lower;
            distance = upperNominal + r.along * lowerNominal;
        }
        if (i == 0)
            ring.centre = ring.centre - upper * rootLift;
        ring.a = r.a;
        ring.b = r.b;
        ring.v = 1.0 - distance / total;
        tangents.push_back(t);
        tube.rings.push_back(ring);
    }
    FrameRings(tube.rings, tangents, reference);
    for (int i = 0; i < count; ++i)
        tube.rings[i].centre = tube.rings[i].centre - tube.rings[i].e1 * rings[i].back;
    tube.startBulge = rootBulge;
    tube.endBulge = 0.25;
    tube.startV = 1.0;
    tube.endV = 0.0;
    AddTube(mesh, tube, region);
}

const LimbRing kLegRings[] = {
    {0, 0.0, 2.55, 2.6, 0.0}, {0, 0.15, 2.5, 2.45, 0.05},  {0, 0.55, 2.1, 2.0, 0.1},
    {0, 1.0, 1.62, 1.6, 0.0}, {1, 0.28, 1.72, 1.52, 0.22}, {1, 0.6, 1.55, 1.45, 0.1},
    {1, 1.0, 1.32, 1.3, 0.0},
};
const LimbRing kArmRings[] = {
    {0, 0.0, 1.85, 1.95, 0.0}, {0, 0.18, 1.7, 1.62, 0.0}, {0, 0.6, 1.32, 1.28, 0.0},
    {0, 1.0, 1.12, 1.12, 0.0}, {1, 0.35, 1.2, 1.15, 0.0}, {1, 1.0, 0.82, 0.9, 0.0},
};

void AddLeg(ModelMesh& mesh, const Pose& pose, const LegPose& leg) {
    AddLimb(mesh, leg.hip, leg.knee, leg.ankle, PelvisDirection(pose, {-1, 0, 0}), kLegRings, 7,
            1.3, 1.0, kThigh, kShin, 8, kLeg);
}

void AddArm(ModelMesh& mesh, const Pose& pose, const ArmPose& arm) {
    // The top ring sits inside the shoulder so the arm grows out of the torso.
    const D3 inward = ChestDirection(pose, {0.0, 0.0, -arm.side});
    const D3 shoulder = arm.shoulder + inward * 1.3 + ChestDirection(pose, {0, 1, 0}) * 0.5;
    AddLimb(mesh, shoulder, arm.elbow, arm.wrist, ChestDirection(pose, {-1, 0, 0}), kArmRings, 6,
            0.0, 1.8, kUpperArm, kForearm, 8, kArm);
}

// The foot: five rings from heel to toe with a flat sole; the last ring lies
// past the toe joint and follows the toes' pitch.
struct FootRing {
    double x, a, b, v;
};
const FootRing kFootRings[] = {
    {-2.0, 1.0, 0.9, 0.06},  {-1.1, 1.35, 1.05, 0.18}, {0.9, 1.4, 1.1, 0.42},
    {2.8, 0.95, 1.25, 0.68}, {4.6, 0.55, 1.05, 0.9},
};

D3 FootLocal(const LegPose& leg, D3 local) {
    if (local.x <= kToeJoint.x)
        return FootPoint(leg.ankle, leg.footPitch, local);
    const D3 joint = FootPoint(leg.ankle, leg.footPitch, kToeJoint);
    const D3 rel = local - kToeJoint;
    return joint + FootForward(leg.toePitch) * rel.x + FootUp(leg.toePitch) * rel.y +
           D3{0.0, 0.0, rel.z};
}

double FootPitchAt(const LegPose& leg, double x) {
    return x <= kToeJoint.x ? leg.footPitch : leg.toePitch;
}

void AddFoot(ModelMesh& mesh, const LegPose& leg) {
    constexpr int kSides = 6;
    // The first side sits just past straight down so that two sides lie on
    // the sole: the sole is flat and the texture seam runs along it.
    const double theta0 = kPi + kPi / kSides;
    std::vector<std::vector<D3>> points;
    std::vector<double> ringV;
    const double flatBottom = std::cos(kPi / kSides); // depth of the sole below the centre
    for (const FootRing& r : kFootRings) {
        const double pitch = FootPitchAt(leg, r.x);
        const D3 centre = FootLocal(leg, {r.x, kSole + r.a * flatBottom, 0.0});
        const D3 e1 = FootUp(pitch);
        const D3 e2 = Cross(FootForward(pitch), e1);
        std::vector<D3> row;
        for (int k = 0; k < kSides; ++k) {
            const double theta = theta0 + 2.0 * kPi * k / kSides;
            row.push_back(centre + e1 * (r.a * std::cos(theta)) + e2 * (r.b * std::sin(theta)));
        }
        points.push_back(row);
        ringV.push_back(r.v);
    }
    std::vector<double> sideU;
    for (int k = 0; k <= kSides; ++k)
        sideU.push_back(static_cast<double>(k) / kSides);
    const D3 heel = FootLocal(leg, {-2.45, kSole + 0.75, 0.0});
    const D3 toe = FootLocal(leg, {5.5, kSole + 0.4, 0.0});
    AddGrid(mesh, points, sideU, ringV, Pole(heel, 0.0), Pole(toe, 1.0), kFoot);
}

void AddHand(ModelMesh& mesh, const ArmPose& arm, bool fist, D3 reference) {
    struct HandRing {
        double along, a, b;
    };
    const HandRing open[] = {
        {-0.35, 0.75, 0.55}, {0.45, 1.05, 0.58}, {1.7, 1.12, 0.52}, {2.9, 0.92, 0.42}};
    const HandRing closed[] = {
        {-0.35, 0.8, 0.62}, {0.5, 1.1, 0.85}, {1.5, 1.18, 0.98}, {2.3, 0.95, 0.85}};
    const HandRing* rings = fist ? closed : open;
    const double tip = fist ? 2.85 : 3.75;
    Tube tube;
    tube.sides = 6;
    std::vector<D3> tangents;
    const double length = tip + 0.35;
    for (int i = 0; i < 4; ++i) {
        Ring ring;
        ring.centre = arm.wrist + arm.handDirection * rings[i].along;
        ring.a = rings[i].a;
        ring.b = rings[i].b;
        ring.v = (rings[i].along + 0.35) / length;
        tube.rings.push_back(ring);
        tangents.push_back(arm.handDirection);
    }
    FrameRings(tube.rings, tangents, reference);
    tube.startBulge = 0.3;
    tube.endBulge = tip - rings[3].along;
    tube.startV = 0.0;
    tube.endV = 1.0;
    AddTube(mesh, tube, kHand);
}

// The arm's own forward reference at the wrist, carried down the arm the
// same way the arm's rings carry theirs, so the hand continues the forearm.
D3 WristReference(const Pose& pose, const ArmPose& arm) {
    const D3 upper = Unit(arm.elbow - arm.shoulder);
    const D3 lower = Unit(arm.wrist - arm.elbow);
    D3 e1 = ChestDirection(pose, {-1, 0, 0});
    for (D3 t : {upper, Unit(upper + lower), lower, arm.handDirection})
        e1 = Unit(e1 - t * Dot(e1, t));
    return e1;
}

D3 FistCentre(const ArmPose& arm) {
    return arm.wrist + arm.handDirection * 1.35;
}

// ---------------------------------------------------------------------------
// Head.

// Longitudes (degrees from the front, positive toward +z) of the head's
// sides, denser over the face; the first is the seam at the back.
const double kHeadLon[] = {-180, -148, -118, -92, -70, -52, -38, -24, -12,
                           0,    12,   24,   38,  52,  70,  92,  118, 148};
constexpr int kHeadSides = 18;
const double kHeadLat[] = {-70, -52, -37, -23, -10, 3, 16, 30, 46, 63, 79};
constexpr int kHeadRings = 11;

// Unit direction of a longitude and latitude on the head (front is -x).
D3 HeadDirection(double lonDeg, double latDeg) {
    const double lon = lonDeg * kDeg, lat = latDeg * kDeg;
    return {-std::cos(lat) * std::cos(lon), std::sin(lat), std::cos(lat) * std::sin(lon)};
}

// Small repeatable noise for the hair's tufts.
double Hash(int a, int b) {
    uint32_t h = static_cast<uint32_t>(a) * 374761393u + static_cast<uint32_t>(b) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFu) / 65535.0;
}

// The head's surface point at a longitude and latitude, relative to its
// centre: an egg, narrower at the jaw and flatter in the face, with hair
// standing out from the skull above the hairline.
D3 HeadSurface(double lonDeg, double latDeg, int tuftSeed) {
    const D3 d = HeadDirection(lonDeg, latDeg);
    double rx = d.x < 0.0 ? 2.85 : 3.2; // face flatter than the back of the skull
    double ry = d.y < 0.0 ? 3.55 : 3.75;
    double rz = 2.7;
    // Jaw: narrower toward the chin, and the chin a little forward.
    const double low = Smooth(-5.0, -60.0, latDeg);
    rz *= 1.0 - 0.26 * low;
    if (d.x > 0.0)
        rx *= 1.0 - 0.35 * low; // the nape curves in toward the neck
    D3 p = {d.x * rx, d.y * ry, d.z * rz};
    if (d.x < 0.0)
        p.x -= 0.25 * low * Smooth(60.0, 0.0, std::fabs(lonDeg)); // chin
    // Hair: thickness grows past the hairline, with tufts at the vertices.
    const double hairline = HairlineLat(static_cast<float>(lonDeg));
    const double hair = Smooth(hairline - 4.0, hairline + 10.0, latDeg);
    if (hair > 0.0) {
        const double tuft = tuftSeed >= 0 ? 0.22 * Hash(tuftSeed, 17) : 0.11;
        const double thickness = hair * (0.32 + tuft);
        p = p + Unit(p) * thickness;
    }
    return p;
}

ModelTex HeadTex(D3 relative) {
    // Direction of a point seen from the head's centre, as the texture's
    // longitude and latitude.
    const D3 d = Unit(relative);
    const double lat = std::asin(Clamp(d.y, -1.0, 1.0)) / kDeg;
    const double lon = std::atan2(d.z, -d.x) / kDeg;
    return ModelTex{HeadU(static_cast<float>(lon)), HeadV(static_cast<float>(lat))};
}

// A small closed shape on the head: a ring of outline points, an apex out
// in front of them and a base point sunk into the head, with the head's
// texture mapping. The hidden base faces get their own copies of the outline
// points so that their inward normals do not darken the visible side's vertex
// normals; the shape stays closed point for point.
void AddFeature(ModelMesh& mesh, const std::vector<D3>& outline, D3 apex, D3 base) {
    const int n = static_cast<int>(outline.size());
    const int firstTex = static_cast<int>(mesh.texCoords.size());
    for (const D3& p : outline)
        mesh.texCoords.push_back(HeadTex(p));
    mesh.texCoords.push_back(HeadTex(apex));
    mesh.texCoords.push_back(HeadTex(base));
    const int topTex = firstTex + n, bottomTex = firstTex + n + 1;
    const int visible = static_cast<int>(mesh.vertices.size());
    for (const D3& p : outline)
        AddVertex(mesh, p);
    const int hidden = static_cast<int>(mesh.vertices.size());
    for (const D3& p : outline)
        AddVertex(mesh, p);
    const int top = AddVertex(mesh, apex);
    const int bottom = AddVertex(mesh, base);
    for (int k = 0; k < n; ++k) {
        const int next = (k + 1) % n;
        const int ta = firstTex + k, tb = firstTex + next;
        AddFace(mesh, top, visible + k, visible + next, topTex, ta, tb);
        AddFace(mesh, bottom, hidden + next, hidden + k, bottomTex, tb, ta);
    }
}

// Makes a feature's faces point outward from its own centre (its shapes are
// convex), whatever order its outline was given in.
void OrientFeature(ModelMesh& mesh, size_t firstFace) {
    D3 centre;
    int count = 0;
    for (size_t f = firstFace; f < mesh.faces.size(); ++f)
        for (int k = 0; k < 3; ++k) {
            centre = centre + FromVec(mesh.vertices[mesh.faces[f].v[k]]);
            ++count;
        }
    centre = centre * (1.0 / count);
    for (size_t f = firstFace; f < mesh.faces.size(); ++f) {
        ModelFace& face = mesh.faces[f];
        const D3 p0 = FromVec(mesh.vertices[face.v[0]]);
        const D3 p1 = FromVec(mesh.vertices[face.v[1]]);
        const D3 p2 = FromVec(mesh.vertices[face.v[2]]);
        const D3 n = Cross(p1 - p0, p2 - p0);
        const D3 mid = (p0 + p1 + p2) * (1.0 / 3.0);
        if (Dot(n, mid - centre) < 0.0) {
            std::swap(face.v[1], face.v[2]);
            std::swap(face.t[1], face.t[2]);
        }
    }
}

ModelMesh BuildHeadShape() {
    ModelMesh mesh;
    std::vector<std::vector<D3>> points;
    std::vector<double> ringV;
    for (int i = 0; i < kHeadRings; ++i) {
        std::vector<D3> row;
        for (int k = 0; k < kHeadSides; ++k)
            row.push_back(HeadSurface(kHeadLon[k], kHeadLat[i], i * 31 + k));
        points.push_back(row);
        ringV.push_back(HeadV(static_cast<float>(kHeadLat[i])));
    }
    std::vector<double> sideU;
    for (int k = 0; k < kHeadSides; ++k)
        sideU.push_back(HeadU(static_cast<float>(kHeadLon[k])));
    sideU.push_back(1.0);
    const D3 bottom = HeadSurface(0.0, -90.0, -1);
    const D3 top = HeadSurface(0.0, 90.0, -1);
    const Region whole = {0.0f, 0.0f, 1.0f, 1.0f};
    AddGrid(mesh, points, sideU, ringV, Pole(bottom, 0.0), Pole(top, 1.0), whole);

    // Nose: a small pyramid on the face, its tip forward and down.
    {
        const size_t first = mesh.faces.size();
        const double sink = 0.93;
        std::vector<D3> outline = {
            HeadSurface(0.0, 7.0, -1) * sink,
            HeadSurface(-8.0, -13.0, -1) * sink,
            HeadSurface(0.0, -16.5, -1) * sink,
            HeadSurface(8.0, -13.0, -1) * sink,
        };
        const D3 tip = HeadSurface(0.0, -11.0, -1) + D3{-0.42, -0.12, 0.0};
        const D3 base = HeadSurface(0.0, -5.0, -1) * 0.75;
        AddFeature(mesh, outline, tip, base);
        OrientFeature(mesh, first);
    }
    // Ears: flat leaves at the sides, leaning back.
    for (double side : {-1.0, 1.0}) {
        const size_t first = mesh.faces.size();
        std::vector<D3> outline;
        const double lats[] = {6.0, 1.0, -9.0, -14.0, -7.0};
        const double lons[] = {87.0, 97.0, 96.0, 87.0, 84.0};
        for (int i = 0; i < 5; ++i)
            outline.push_back(HeadSurface(side * lons[i], lats[i], -1) * 0.97);
        const D3 outward = HeadDirection(side * 105.0, -3.0);
        const D3 apex = HeadSurface(side * 93.0, -3.0, -1) + outward * 0.32;
        const D3 base = HeadSurface(side * 90.0, -3.0, -1) * 0.8;
        AddFeature(mesh, outline, apex, base);
        OrientFeature(mesh, first);
    }
    return mesh;
}

// ---------------------------------------------------------------------------
// Sword, built along its own axes: s along the blade (grip centre at 0),
// w across the blade's width (the edges), and the blade's thickness.

struct SwordAxes {
    D3 along, width, thick;
};

SwordAxes SwordFrame() {
    SwordAxes axes;
    // Held forward, raised 24 degrees and turned 8 degrees out to the right,
    // edges up and down.
    axes.along = Unit({-std::cos(24.0 * kDeg) * std::cos(8.0 * kDeg), std::sin(24.0 * kDeg),
                       -std::cos(24.0 * kDeg) * std::sin(8.0 * kDeg)});
    const D3 up = {0.0, 1.0, 0.0};
    axes.width = Unit(up - axes.along * Dot(up, axes.along));
    axes.thick = Cross(axes.along, axes.width);
    return axes;
}

D3 SwordPoint(const SwordAxes& axes, double s, double w, double t) {
    return axes.along * s + axes.width * w + axes.thick * t;
}

ModelMesh BuildSwordShape() {
    const SwordAxes axes = SwordFrame();
    ModelMesh mesh;
    // Pommel and grip: one turned profile from the pommel's end to inside
    // the guard.
    {
        struct Turn {
            double s, r, v;
        };
        const Turn profile[] = {{-2.55, 0.38, 0.12},
                                {-2.2, 0.56, 0.5},
                                {-1.8, 0.42, 0.88},
                                {-1.55, 0.34, 0.0},
                                {1.6, 0.37, 1.0}};
        constexpr int kSides = 6;
        std::vector<std::vector<D3>> points;
        std::vector<double> ringV;
        for (const Turn& t : profile) {
            std::vector<D3> row;
            for (int k = 0; k < kSides; ++k) {
                const double a = kPi + 2.0 * kPi * k / kSides;
                row.push_back(SwordPoint(axes, t.s, t.r * std::cos(a), t.r * std::sin(a)));
            }
            points.push_back(row);
            ringV.push_back(t.v);
        }
        std::vector<double> sideU;
        for (int k = 0; k <= kSides; ++k)
            sideU.push_back(static_cast<double>(k) / kSides);
        // The pommel rings map onto the pommel picture, the grip rings onto
        // the grip: two grids sharing nothing keep their pictures apart.
        std::vector<std::vector<D3>> pommel(points.begin(), points.begin() + 3);
        std::vector<double> pommelV(ringV.begin(), ringV.begin() + 3);
        AddGrid(mesh, pommel, sideU, pommelV, Pole(SwordPoint(axes, -2.75, 0, 0), 0.0),
                Pole(SwordPoint(axes, -1.7, 0, 0), 1.0), kPommel);
        std::vector<std::vector<D3>> grip(points.begin() + 3, points.end());
        std::vector<double> gripV(ringV.begin() + 3, ringV.end());
        AddGrid(mesh, grip, sideU, gripV, Pole(SwordPoint(axes, -1.9, 0, 0), 0.0),
                Pole(SwordPoint(axes, 1.8, 0, 0), 1.0), kGrip);
    }
    // Cross-guard: a bar across the width, thicker in the middle.
    {
        const double ends[] = {-3.1, -2.2, 0.0, 2.2, 3.1};
        const double half[] = {0.32, 0.28, 0.36, 0.28, 0.32};
        constexpr int kSides = 4;
        std::vector<std::vector<D3>> points;
        std::vector<double> ringV;
        for (int i = 0; i < 5; ++i) {
            std::vector<D3> row;
            for (int k = 0; k < kSides; ++k) {
                // Square section turned 45 degrees, going around the bar's
                // axis (width) counter-clockwise: along, then thickness.
                const double a = 2.0 * kPi * k / kSides;
                row.push_back(SwordPoint(axes, 1.95 + half[i] * std::cos(a), ends[i],
                                         -half[i] * std::sin(a)));
            }
            points.push_back(row);
            ringV.push_back(0.5);
        }
        std::vector<double> sideU = {0.0, 0.25, 0.5, 0.75, 1.0};
        // The bar's length runs across the guard picture: swap the roles of
        // u and v by giving each ring its own u through the region below.
        const size_t firstTex = mesh.texCoords.size();
        AddGrid(mesh, points, sideU, ringV, Pole(SwordPoint(axes, 1.95, -3.45, 0), 0.5),
                Pole(SwordPoint(axes, 1.95, 3.45, 0), 0.5), kGuard);
        // Rewrite the guard's texture coordinates: u along the bar, v around.
        const double barU[] = {0.04, 0.2, 0.5, 0.8, 0.96};
        size_t t = firstTex;
        for (int i = 0; i < 5; ++i)
            for (int k = 0; k <= kSides; ++k, ++t) {
                mesh.texCoords[t].u = kGuard.U(static_cast<float>(barU[i]));
                mesh.texCoords[t].v = kGuard.V(static_cast<float>(std::fabs(k / 2.0 - 1.0)));
            }
        for (int k = 0; k < kSides; ++k, ++t)
            mesh.texCoords[t] = ModelTex{kGuard.U(0.0f), kGuard.V(0.5f)};
        for (int k = 0; k < kSides; ++k, ++t)
            mesh.texCoords[t] = ModelTex{kGuard.U(1.0f), kGuard.V(0.5f)};
    }
    // Blade: a flat diamond section tapering to the point. Around the
    // section the picture goes edge, middle, edge, middle, edge.
    {
        struct Section {
            double s, halfWidth, halfThick;
        };
        const Section blade[] = {
            {2.1, 0.95, 0.24}, {5.0, 0.9, 0.22}, {16.0, 0.8, 0.2}, {0.0, 0.6, 0.17}};
        constexpr double kBase = 2.1, kTip = 23.6;
        // The taper to the point begins where the picture's point begins.
        const double taper = kBase + kBladeTipStart * (kTip - kBase);
        std::vector<std::vector<D3>> points;
        std::vector<double> ringV;
        for (Section sec : blade) {
            if (sec.s == 0.0)
                sec.s = taper;
            std::vector<D3> row;
            // Edge +w, flat +t, edge -w, flat -t: counter-clockwise about +s.
            row.push_back(SwordPoint(axes, sec.s, sec.halfWidth, 0.0));
            row.push_back(SwordPoint(axes, sec.s, 0.0, sec.halfThick));
            row.push_back(SwordPoint(axes, sec.s, -sec.halfWidth, 0.0));
            row.push_back(SwordPoint(axes, sec.s, 0.0, -sec.halfThick));
            points.push_back(row);
            ringV.push_back((sec.s - kBase) / (kTip - kBase));
        }
        std::vector<double> sideU = {0.0, 0.5, 1.0, 0.5, 0.0};
        // The point's fan maps onto the picture's point (u = 0.5).
        AddGrid(mesh, points, sideU, ringV, Pole(SwordPoint(axes, 1.95, 0, 0), 0.0, 0.5),
                Pole(SwordPoint(axes, kTip, 0, 0), 1.0, 0.5), kBlade);
    }
    return mesh;
}

Mat4 SwordRotation() {
    // The angles the preparation gives every sword keyframe, composed as the
    // child transform composes them.
    const Mat4 x = Mat4RotationX(-0.0343306288f);
    const Mat4 y = Mat4RotationY(-0.230121672f);
    const Mat4 z = Mat4RotationZ(1.43226957f);
    return Mat4Multiply(z, Mat4Multiply(y, x));
}

// Transpose of a rotation applied to a vector (the inverse turn).
D3 InverseTurn(const Mat4& r, D3 v) {
    return {r[0] * v.x + r[1] * v.y + r[2] * v.z, r[4] * v.x + r[5] * v.y + r[6] * v.z,
            r[8] * v.x + r[9] * v.y + r[10] * v.z};
}

// Head keyframe angles: a small turn, nod and tilt in step with the walk.
Vec3 HeadAngles(int keyframe) {
    const double cycle = 2.0 * kPi * keyframe / kKeyframes;
    return Vec3Set(static_cast<float>(1.2 * kDeg * std::sin(cycle)),
                   static_cast<float>(3.0 * kDeg * std::sin(cycle)),
                   static_cast<float>(1.5 * kDeg * std::cos(2.0 * cycle)));
}

Mat4 ChildRotation(const Vec3& angles) {
    return Mat4Multiply(Mat4RotationZ(angles.z),
                        Mat4Multiply(Mat4RotationY(angles.y), Mat4RotationX(angles.x)));
}

// ---------------------------------------------------------------------------
// Writing the resource.

void PutInt(std::vector<uint8_t>& out, int32_t value) {
    common::PutLe32(out, static_cast<uint32_t>(value));
}
void PutFloat(std::vector<uint8_t>& out, float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    common::PutLe32(out, word);
}
void PutVec(std::vector<uint8_t>& out, const Vec3& v) {
    PutFloat(out, v.x);
    PutFloat(out, v.y);
    PutFloat(out, v.z);
}

// Writes one mesh; toFile turns a scene point into the file's axes and units.
template <typename ToFile>
void PutMesh(std::vector<uint8_t>& out, const ModelMesh& mesh, const Vec3& filePosition,
             const Vec3& fileRotation, ToFile toFile) {
    PutVec(out, filePosition);
    PutVec(out, fileRotation);
    PutInt(out, static_cast<int32_t>(mesh.faces.size()));
    PutInt(out, static_cast<int32_t>(mesh.vertices.size()));
    PutInt(out, static_cast<int32_t>(mesh.texCoords.size()));
    for (const ModelFace& f : mesh.faces) {
        for (int k = 0; k < 3; ++k)
            PutInt(out, f.v[k]);
        for (int k = 0; k < 3; ++k)
            PutInt(out, f.t[k]);
    }
    for (const Vec3& v : mesh.vertices)
        PutVec(out, toFile(v));
    for (const ModelTex& t : mesh.texCoords) {
        PutFloat(out, t.u);
        PutFloat(out, t.v);
    }
}

// Dome: scene (x, y, z) = 10 x file (x, z, y).
Vec3 DomeToFile(const Vec3& s) {
    return Vec3Set(s.x / 10.0f, s.z / 10.0f, s.y / 10.0f);
}
// Character: scene (x, y, z) = 0.1 x file (y, z, x).
Vec3 CharacterToFile(const Vec3& s) {
    return Vec3Set(s.z * 10.0f, s.x * 10.0f, s.y * 10.0f);
}

} // namespace

Vec3 BodyReferencePoint() {
    return ToVec(kRestNeck);
}

Vec3 HeadCentre() {
    return ToVec(kRestHeadCentre);
}

ModelMesh BuildDome() {
    ModelMesh mesh;
    constexpr int kSegments = 16;
    const double elevations[] = {0.0, 18.0, 36.0, 54.0, 72.0};
    std::vector<std::vector<D3>> points;
    std::vector<double> ringV;
    for (double e : elevations) {
        std::vector<D3> row;
        for (int k = 0; k < kSegments; ++k) {
            // Counter-clockwise about +y seen from above, so the faces look out.
            const double lon = -2.0 * kPi * k / kSegments;
            row.push_back(D3{std::cos(e * kDeg) * std::cos(lon), std::sin(e * kDeg),
                             std::cos(e * kDeg) * std::sin(lon)} *
                          kDomeRadius);
        }
        points.push_back(row);
        ringV.push_back(e / 90.0);
    }
    std::vector<double> sideU;
    for (int k = 0; k <= kSegments; ++k)
        sideU.push_back(kSkyRepeats * k / kSegments);
    const Region whole = {0.0f, 0.0f, 1.0f, 1.0f};
    // Open at the horizon: only the top is closed, by a fan at the zenith.
    AddGrid(mesh, points, sideU, ringV, Open(), Pole(D3{0.0, kDomeRadius, 0.0}, 1.0), whole);
    mesh.position = Vec3Set(0.0f, 0.0f, 0.0f);
    mesh.rotation = Vec3Set(0.0f, 0.0f, 0.0f);
    return mesh;
}

ModelMesh BuildBody(int keyframe) {
    const Pose pose = PoseAt(keyframe);
    ModelMesh world;
    AddTorso(world, pose);
    AddNeck(world, pose);
    for (int i = 0; i < 2; ++i) {
        AddLeg(world, pose, pose.legs[i]);
        AddFoot(world, pose.legs[i]);
    }
    for (int i = 0; i < 2; ++i) {
        AddArm(world, pose, pose.arms[i]);
        AddHand(world, pose.arms[i], i == 1, WristReference(pose, pose.arms[i]));
    }
    // Vertices relative to the body's reference point.
    const Vec3 origin = BodyReferencePoint();
    for (Vec3& v : world.vertices)
        v = Vec3Set(v.x - origin.x, v.y - origin.y, v.z - origin.z);
    world.position = origin;
    world.rotation = Vec3Set(0.0f, 0.0f, 0.0f);
    return world;
}

ModelMesh BuildHead(int keyframe) {
    ModelMesh mesh = BuildHeadShape();
    // The child transform turns the head by R about the body's reference
    // point (the rest neck joint N0): world = N0 + R (v + c - N0). For the
    // head to turn about the posed neck Np instead, c = H0 + R^T (Np - N0).
    const Pose pose = PoseAt(keyframe);
    const Vec3 angles = HeadAngles(keyframe);
    const Mat4 r = ChildRotation(angles);
    const D3 c = kRestHeadCentre + InverseTurn(r, pose.neck - kRestNeck);
    mesh.position = ToVec(c);
    mesh.rotation = angles;
    return mesh;
}

ModelMesh BuildSword(int keyframe) {
    ModelMesh mesh = BuildSwordShape();
    // The sword's fixed rotation R turns it about the body's reference point
    // N0: world = N0 + R (v + c - N0). Vertices are stored as R^T of the
    // wanted shape around the grip, and c = N0 + R^T (grip - N0).
    const Mat4 r = SwordRotation();
    for (Vec3& v : mesh.vertices)
        v = ToVec(InverseTurn(r, FromVec(v)));
    const D3 grip = FromVec(SwordGripPoint(keyframe));
    mesh.position = ToVec(kRestNeck + InverseTurn(r, grip - kRestNeck));
    mesh.rotation = Vec3Set(-0.0343306288f, -0.230121672f, 1.43226957f);
    return mesh;
}

Vec3 SwordGripPoint(int keyframe) {
    return ToVec(FistCentre(PoseAt(keyframe).arms[1]));
}

Vec3 SwordBladeDirection() {
    return ToVec(SwordFrame().along);
}

std::vector<uint8_t> BuildMeshResource() {
    std::vector<uint8_t> out;
    PutInt(out, 49);
    {
        const ModelMesh dome = BuildDome();
        PutMesh(out, dome, DomeToFile(dome.position), DomeToFile(dome.rotation), DomeToFile);
    }
    // Meshes 1 .. 32 alternate body and head keyframes.
    for (int k = 0; k < kKeyframes; ++k) {
        const ModelMesh body = BuildBody(k);
        PutMesh(out, body, CharacterToFile(body.position),
                Vec3Set(body.rotation.z, body.rotation.x, body.rotation.y), CharacterToFile);
        const ModelMesh head = BuildHead(k);
        // The preparation moves the head by (-1.5, 0, -0.5) and negates its
        // angles: store the position before that move and the negated angles.
        const Vec3 before =
            Vec3Set(head.position.x + 1.5f, head.position.y, head.position.z + 0.5f);
        const Vec3 negated = Vec3Set(-head.rotation.x, -head.rotation.y, -head.rotation.z);
        PutMesh(out, head, CharacterToFile(before), Vec3Set(negated.z, negated.x, negated.y),
                CharacterToFile);
    }
    for (int k = 0; k < kKeyframes; ++k) {
        const ModelMesh sword = BuildSword(k);
        // The preparation moves the sword by (0, 12.5, -3.5) and replaces its
        // angles; the stored angles are the same set in the file's order.
        const Vec3 before =
            Vec3Set(sword.position.x, sword.position.y - 12.5f, sword.position.z + 3.5f);
        PutMesh(out, sword, CharacterToFile(before),
                Vec3Set(sword.rotation.z, sword.rotation.x, sword.rotation.y), CharacterToFile);
    }
    return out;
}

} // namespace art
