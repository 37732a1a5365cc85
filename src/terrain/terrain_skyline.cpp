#include "terrain/terrain_skyline.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// The camera's placement in the world and its projection to window rows.
struct Eye {
    double position[3];
    double right[2];   // horizontal right, (x, z), unit length
    double forward[2]; // horizontal forward, (x, z), unit length
    const Mat4* view;
    double focal; // 1 / tan(half the vertical field)
    double nearPlane;
    int32_t height;
};

// One end of an edge as the window sees it: the tangent of its horizontal
// direction from the forward one, and its window row.
struct Seen {
    double along;
    double row;
};

bool SeeWorldPoint(const Eye& eye, const Vec3& p, Seen& seen) {
    const Mat4& v = *eye.view;
    const double zEye = v[2] * p.x + v[6] * p.y + v[10] * p.z + v[14];
    const double yEye = v[1] * p.x + v[5] * p.y + v[9] * p.z + v[13];
    const double dx = p.x - eye.position[0], dz = p.z - eye.position[2];
    const double ahead = dx * eye.forward[0] + dz * eye.forward[1];
    // In front of the near plane, and well ahead horizontally so that the
    // tangent stays finite.
    if (!(zEye < -2.0 * eye.nearPlane) || !(ahead > 1e-3 * std::hypot(dx, dz)))
        return false;
    seen.along = (dx * eye.right[0] + dz * eye.right[1]) / ahead;
    seen.row = eye.height / 2.0 * (1.0 + eye.focal * yEye / -zEye);
    return true;
}

void AddEdge(const Eye& eye, const Vec3& a, const Vec3& b, std::vector<SkylineCover>& covers) {
    Seen sa, sb;
    if (!SeeWorldPoint(eye, a, sa) || !SeeWorldPoint(eye, b, sb))
        return;
    covers.push_back(SkylineCover{std::min(sa.along, sb.along), std::max(sa.along, sb.along),
                                  std::min(sa.row, sb.row)});
}

// The edges of every leaf as drawn: its four sides and the diagonal from
// corner 1 to corner 3; the leaves at the origin lie flat at height 0.
void AddLeafEdges(const Eye& eye, const TerrainNode* node, std::vector<SkylineCover>& covers) {
    if (node == nullptr)
        return;
    if (!IsTerrainLeaf(*node)) {
        for (const TerrainNode* child : node->children)
            AddLeafEdges(eye, child, covers);
        return;
    }
    Vec3 c[4];
    const bool flat = TerrainNodeTouchesOrigin(*node);
    for (int k = 0; k < 4; ++k)
        c[k] = Vec3{node->corner[k].x, flat ? 0.0f : node->corner[k].y, node->corner[k].z};
    for (int k = 0; k < 4; ++k)
        AddEdge(eye, c[k], c[(k + 1) % 4], covers);
    AddEdge(eye, c[1], c[3], covers);
}

// The least, over [from, to], of the highest row covering each direction;
// -infinity when a part of [from, to] is covered by none. Each elementary
// piece between two interval ends takes the highest cover spanning it: the
// covers are laid highest first, each piece once (a union-find of the next
// piece not yet laid).
size_t CountLeaves(const TerrainNode* node) {
    if (node == nullptr)
        return 0;
    if (IsTerrainLeaf(*node))
        return 1;
    size_t count = 0;
    for (const TerrainNode* child : node->children)
        count += CountLeaves(child);
    return count;
}

double LowestCoveredRow(SkylineScratch& scratch, double from, double to) {
    std::vector<SkylineCover>& covers = scratch.covers;
    std::vector<double>& ends = scratch.ends;
    ends.clear();
    ends.push_back(from);
    ends.push_back(to);
    for (const SkylineCover& c : covers) {
        if (c.from > from && c.from < to)
            ends.push_back(c.from);
        if (c.to > from && c.to < to)
            ends.push_back(c.to);
    }
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    if (ends.size() < 2)
        return -INFINITY;
    const size_t pieces = ends.size() - 1;
    std::vector<double>& rows = scratch.rows;
    std::vector<size_t>& next = scratch.next;
    rows.assign(pieces, -INFINITY);
    next.resize(pieces + 1);
    std::iota(next.begin(), next.end(), size_t{0});
    const auto findNext = [&next](size_t i) {
        while (next[i] != i) {
            next[i] = next[next[i]];
            i = next[i];
        }
        return i;
    };
    std::sort(covers.begin(), covers.end(),
              [](const SkylineCover& a, const SkylineCover& b) { return a.row > b.row; });
    for (const SkylineCover& c : covers) {
        if (c.to <= from || c.from >= to)
            continue;
        const size_t first =
            std::lower_bound(ends.begin(), ends.end(), std::max(c.from, from)) - ends.begin();
        const size_t last =
            std::lower_bound(ends.begin(), ends.end(), std::min(c.to, to)) - ends.begin();
        for (size_t i = findNext(first); i < last; i = findNext(i)) {
            rows[i] = c.row;
            next[i] = i + 1;
        }
    }
    return *std::min_element(rows.begin(), rows.end());
}

} // namespace

int32_t LowestSkyRow(const TerrainNode* root, const Mat4& view, double fieldOfViewDegrees,
                     double nearPlane, int32_t width, int32_t height) {
    SkylineScratch scratch;
    return LowestSkyRow(root, view, fieldOfViewDegrees, nearPlane, width, height, scratch);
}

int32_t LowestSkyRow(const TerrainNode* root, const Mat4& view, double fieldOfViewDegrees,
                     double nearPlane, int32_t width, int32_t height, SkylineScratch& scratch) {
    if (root == nullptr || width <= 0 || height <= 0)
        return 0;
    // No roll (the right axis level) and the up axis well above level: the
    // window's lines through the vertical's vanishing point are vertical
    // planes, their rows rising with the elevation.
    if (std::fabs(view[4]) > 1e-5f || !(view[5] > 0.2f))
        return 0;
    Eye eye{};
    const Mat4 placement = Mat4RigidInverse(view);
    eye.position[0] = placement[12];
    eye.position[1] = placement[13];
    eye.position[2] = placement[14];
    const double rightLength = std::hypot(view[0], view[8]);
    const double forwardLength = std::hypot(view[2], view[10]);
    if (!(rightLength > 0.5) || !(forwardLength > 0.1))
        return 0;
    eye.right[0] = view[0] / rightLength;
    eye.right[1] = view[8] / rightLength;
    eye.forward[0] = -view[2] / forwardLength;
    eye.forward[1] = -view[10] / forwardLength;
    eye.view = &view;
    eye.focal = 1.0 / std::tan(fieldOfViewDegrees / 2.0 * 3.14159265358979323846 / 180.0);
    eye.nearPlane = nearPlane;
    eye.height = height;

    // The eye above the surface under it (its leaf's highest corner, or the
    // flat floor), by more than the near plane can cut away.
    const Vec3 at{placement[12], placement[13], placement[14]};
    const TerrainNode* leaf = FindTerrainLeaf(root, at);
    if (leaf == nullptr || !IsTerrainLeaf(*leaf))
        return 0;
    float ground = 0.0f;
    if (!TerrainNodeTouchesOrigin(*leaf))
        for (const Vec3& c : leaf->corner)
            ground = std::max(ground, c.y);
    if (!(at.y > ground + 3.0 * nearPlane))
        return 0;

    // The horizontal directions the window spans: a ratio of linear
    // functions of the window's coordinates, so the corners bound it.
    const double halfHeight = 1.0 / eye.focal;
    const double halfWidth = halfHeight * width / height;
    double from = INFINITY, to = -INFINITY;
    for (double sx : {-halfWidth, halfWidth})
        for (double sy : {-halfHeight, halfHeight}) {
            // The corner's ray in the world: the view's rows are the axes.
            const double d[3] = {view[0] * sx + view[1] * sy - view[2],
                                 view[4] * sx + view[5] * sy - view[6],
                                 view[8] * sx + view[9] * sy - view[10]};
            const double ahead = d[0] * eye.forward[0] + d[2] * eye.forward[1];
            if (!(ahead > 1e-3))
                return 0;
            const double along = (d[0] * eye.right[0] + d[2] * eye.right[1]) / ahead;
            from = std::min(from, along);
            to = std::max(to, along);
        }

    // Five edges a leaf, two ends an edge: room for all of them once.
    const size_t most = 5 * CountLeaves(root);
    scratch.covers.reserve(most);
    scratch.ends.reserve(2 * most + 2);
    scratch.rows.reserve(2 * most + 1);
    scratch.next.reserve(2 * most + 2);
    scratch.covers.clear();
    AddLeafEdges(eye, root, scratch.covers);
    const double row = LowestCoveredRow(scratch, from, to);
    if (!(row > kSkylineMarginRows))
        return 0;
    return static_cast<int32_t>(std::min<double>(std::floor(row) - kSkylineMarginRows, height));
}
