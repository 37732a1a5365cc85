// Where the terrain hides the sky on screen.
//
// The terrain is one continuous surface over its square, drawn from above:
// the leaves share their corners, and the flat floor around the origin meets
// its neighbours at height 0. Seen from an eye above it, every vertical plane
// through the eye cuts it in a profile, and every ray of that plane below a
// point of the profile meets the surface before it can reach the sky. On a
// camera without roll a vertical plane through the eye shows as a line of
// the window on which the window row grows with the ray's elevation, so a
// terrain point at window row y covers every pixel below y on its line.
//
// Each drawn edge of the terrain in front of the eye covers the lines through
// its points (an interval of horizontal directions) at least up to the lower
// of its two ends' rows; the lowest of those covers over all the lines of the
// window is a row below which the terrain fills the whole width. The sky
// drawn above that row alone gives the same picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math3d.h"
#include "terrain/terrain.h"

// Rows kept below the computed one against rounding in the renderer's
// projection and rasterisation.
inline constexpr int32_t kSkylineMarginRows = 2;

// An interval of horizontal directions (tangents from the forward one)
// covered up to a window row.
struct SkylineCover {
    double from, to, row;
};

// Working space of LowestSkyRow, kept by a caller that computes it every
// frame: it is sized once for every edge of the terrain and reused, so that
// later frames allocate nothing.
struct SkylineScratch {
    std::vector<SkylineCover> covers;
    std::vector<double> ends, rows;
    std::vector<size_t> next;
};

// The lowest window row (0 at the bottom, as the viewport counts) on which
// the sky can show in a width x height viewport with the terrain of root
// drawn through view (a rigid world-to-eye matrix) and a symmetric
// perspective of vertical field fieldOfViewDegrees and near plane nearPlane:
// every pixel of the rows below it shows terrain. 0 when that cannot be
// shown: no terrain, a camera with roll, looking near straight up or down,
// an eye outside the terrain's square or not above its surface, or a part of
// the window's width that no terrain edge covers.
int32_t LowestSkyRow(const TerrainNode* root, const Mat4& view, double fieldOfViewDegrees,
                     double nearPlane, int32_t width, int32_t height, SkylineScratch& scratch);
// The same with working space of its own.
int32_t LowestSkyRow(const TerrainNode* root, const Mat4& view, double fieldOfViewDegrees,
                     double nearPlane, int32_t width, int32_t height);
