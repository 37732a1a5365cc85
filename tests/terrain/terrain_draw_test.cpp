// The terrain passes are drawn in OpenGL's feedback mode, which returns every
// polygon that reaches the rasteriser: each leaf must come out exactly once,
// the four at the origin flat and with the finer, shifted texture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/offscreen_context.h"
#include "terrain/terrain.h"
#include "terrain/terrain_draw.h"

namespace {

constexpr int kViewport = 512;
constexpr float kExtent = 26000.0f; // half the ortho width, a little beyond the terrain
constexpr float kDepthRange = 10000.0f;

struct FedVertex {
    float x, y, z; // world
    float s, t;    // texture
};

// A view from straight above: world x to window x, world z to window y,
// world height to depth.
void LookDown() {
    glViewport(0, 0, kViewport, kViewport);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-kExtent, kExtent, -kExtent, kExtent, -kDepthRange, kDepthRange);
    glMatrixMode(GL_MODELVIEW);
    const float view[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    glLoadMatrixf(view);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
}

// Runs draw in feedback mode and returns its polygons in world coordinates.
template <class Draw> std::vector<std::vector<FedVertex>> Feedback(Draw draw) {
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    EXPECT_GT(count, 0) << "feedback buffer overflow or nothing drawn";
    std::vector<std::vector<FedVertex>> polygons;
    const int stride = 3 + 4 + 4; // window position, colour, texture
    for (GLint i = 0; i < count;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int n = static_cast<int>(buffer[i++]);
            std::vector<FedVertex> polygon;
            for (int k = 0; k < n; ++k, i += stride) {
                const float* v = &buffer[i];
                polygon.push_back(FedVertex{
                    (v[0] / kViewport * 2.0f - 1.0f) * kExtent, (1.0f - 2.0f * v[2]) * kDepthRange,
                    (v[1] / kViewport * 2.0f - 1.0f) * kExtent, v[7], v[8]});
            }
            polygons.push_back(polygon);
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return polygons;
}

// The polygons' area on the 16 x 16 grid of leaves, in leaf areas: a leaf
// drawn once covers exactly 1.
std::vector<double> CoverageByLeaf(const std::vector<std::vector<FedVertex>>& polygons) {
    std::vector<double> coverage(256, 0.0);
    for (const auto& p : polygons) {
        double area = 0.0, cx = 0.0, cz = 0.0;
        for (size_t k = 0; k < p.size(); ++k) {
            const FedVertex& a = p[k];
            const FedVertex& b = p[(k + 1) % p.size()];
            area += 0.5 * (static_cast<double>(a.x) * b.z - static_cast<double>(b.x) * a.z);
            cx += a.x / p.size();
            cz += a.z / p.size();
        }
        const int column = static_cast<int>(std::floor((cx + 25600.0) / 3200.0));
        const int row = static_cast<int>(std::floor((cz + 25600.0) / 3200.0));
        if (column < 0 || column > 15 || row < 0 || row > 15) {
            ADD_FAILURE() << "polygon outside the terrain at " << cx << ", " << cz;
            continue;
        }
        coverage[row * 16 + column] += std::fabs(area) / (3200.0 * 3200.0);
    }
    return coverage;
}

bool IsOriginCell(int index) {
    const int row = index / 16;
    const int column = index % 16;
    return (row == 7 || row == 8) && (column == 7 || column == 8);
}

class TerrainDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        map.assign(kHeightmapBytes, 0);
        for (size_t i = 0; i < map.size(); ++i)
            map[i] = static_cast<uint8_t>(40 + (i * 13) % 200); // nothing flat by chance
        ASSERT_TRUE(BuildTerrain(&root, kTerrainDepth, map.data()));
        LookDown();
        texture = SolidTexture(255, 255, 255);
    }
    void TearDown() override { FreeTerrain(&root); }

    OffscreenContext context{kViewport, kViewport};
    std::vector<uint8_t> map;
    TerrainNode* root = nullptr;
    GLuint texture = 0;
};

TEST_F(TerrainDrawing, EveryLeafIsDrawnOnceAndTheOriginLeavesFlat) {
    const Mat4 atOrigin = Mat4Identity();
    const auto shaped = Feedback([&] { DrawTerrainFromViewer(root, Vec3{}, texture); });
    const auto flat = Feedback([&] {
        for (const TerrainNode* child : root->children)
            DrawTerrainQuad(FindOriginLeaf(child), texture, 10, 10, 0, 0);
    });
    const auto both = Feedback([&] { DrawTerrainPasses(root, texture, atOrigin); });
    EXPECT_EQ(both.size(), shaped.size() + flat.size());

    const std::vector<double> shapedCover = CoverageByLeaf(shaped);
    const std::vector<double> flatCover = CoverageByLeaf(flat);
    int shapedLeaves = 0, flatLeaves = 0;
    for (int i = 0; i < 256; ++i) {
        EXPECT_NEAR(shapedCover[i] + flatCover[i], 1.0, 1e-3) << "leaf " << i;
        shapedLeaves += shapedCover[i] > 0.5;
        flatLeaves += flatCover[i] > 0.5;
        EXPECT_EQ(flatCover[i] > 0.5, IsOriginCell(i)) << "leaf " << i;
    }
    EXPECT_EQ(shapedLeaves, 252);
    EXPECT_EQ(flatLeaves, 4);

    // Flat quads at height 0 with ten times the leaves' texture coordinates;
    // the shaped leaves at their sampled heights with their own.
    for (const auto& p : flat)
        for (const FedVertex& v : p) {
            EXPECT_NEAR(v.y, 0.0f, 1.0f);
            EXPECT_NEAR(v.s, (v.x + 25600.0f) / 512.0f, 1e-3);
            EXPECT_NEAR(v.t, (v.z + 25600.0f) / 512.0f, 1e-3);
        }
    for (const auto& p : shaped)
        for (const FedVertex& v : p) {
            const bool rootCorner = std::fabs(v.x) > 25590.0f && std::fabs(v.z) > 25590.0f;
            const float height = rootCorner ? 0.0f
                                            : SampleTerrainHeight(map.data(), std::round(v.x),
                                                                  std::round(v.z), 25600.0f);
            EXPECT_NEAR(v.y, height, 2.0f) << "at " << v.x << ", " << v.z;
            EXPECT_NEAR(v.s, (v.x + 25600.0f) / 5120.0f, 1e-3);
        }
}

// Each leaf goes out as two triangles that share its corner 1 to corner 3
// diagonal (corner 1 has the least x and z, corner 3 the greatest), where
// Mesa splits a quad: renderers that split quads the other way, or have no
// quads, then draw the same surface.
TEST_F(TerrainDrawing, EachLeafIsTwoTrianglesSplitAsMesaSplitsAQuad) {
    const auto polygons = Feedback([&] { DrawTerrainPasses(root, texture, Mat4Identity()); });
    EXPECT_EQ(polygons.size(), 2u * 256u);
    for (const auto& p : polygons) {
        ASSERT_EQ(p.size(), 3u);
        float minX = p[0].x, maxX = p[0].x, minZ = p[0].z, maxZ = p[0].z;
        for (const FedVertex& v : p) {
            minX = std::min(minX, v.x);
            maxX = std::max(maxX, v.x);
            minZ = std::min(minZ, v.z);
            maxZ = std::max(maxZ, v.z);
        }
        bool corner1 = false, corner3 = false;
        for (const FedVertex& v : p) {
            corner1 = corner1 || (std::fabs(v.x - minX) < 1.0f && std::fabs(v.z - minZ) < 1.0f);
            corner3 = corner3 || (std::fabs(v.x - maxX) < 1.0f && std::fabs(v.z - maxZ) < 1.0f);
        }
        EXPECT_TRUE(corner1 && corner3) << "a triangle at " << minX << ", " << minZ;
    }
}

TEST_F(TerrainDrawing, TheFloorTextureSlidesWithTheCharacter) {
    Mat4 walked = Mat4Identity();
    walked[12] = -1234.5f;
    walked[14] = 250.0f;
    const auto both = Feedback([&] { DrawTerrainPasses(root, texture, walked); });
    int flatVertices = 0;
    for (const auto& p : both)
        for (const FedVertex& v : p) {
            if (std::fabs(v.x) > 3201.0f || std::fabs(v.z) > 3201.0f || std::fabs(v.y) > 1.0f)
                continue;
            ++flatVertices;
            // Shifted by 0.001 of a repeat per unit walked; whole repeats
            // do not show, so compare modulo 1.
            const double ds = v.s - (v.x + 25600.0) / 512.0 - 0.001 * walked[12];
            const double dt = v.t - (v.z + 25600.0) / 512.0 - 0.001 * walked[14];
            EXPECT_NEAR(ds - std::round(ds), 0.0, 1e-3);
            EXPECT_NEAR(dt - std::round(dt), 0.0, 1e-3);
        }
    EXPECT_GE(flatVertices, 16);
}

TEST_F(TerrainDrawing, AViewerInsideALeafRedrawsTheLeavesNearIt) {
    const Vec3 point{-20000.0f, 0.0f, -20000.0f}; // inside leaf (1, 1) of the grid
    const auto polygons = Feedback([&] { DrawTerrainFromViewer(root, point, texture); });
    const std::vector<double> cover = CoverageByLeaf(polygons);
    // The leaf, then its parent's 4, grandparent's 16, great-grandparent's 64,
    // then the whole tree: the leaf 5 times, its siblings 4 times, and so on.
    EXPECT_NEAR(cover[1 * 16 + 1], 5.0, 1e-3);
    EXPECT_NEAR(cover[0 * 16 + 0], 4.0, 1e-3);
    EXPECT_NEAR(cover[3 * 16 + 3], 3.0, 1e-3);
    EXPECT_NEAR(cover[7 * 16 + 0], 2.0, 1e-3);
    EXPECT_NEAR(cover[15 * 16 + 15], 1.0, 1e-3);
    EXPECT_NEAR(cover[8 * 16 + 8], 0.0, 1e-3); // an origin leaf: the flat pass draws it
}

TEST_F(TerrainDrawing, BothPassesUseTheChosenFloorTexture) {
    const GLuint red = SolidTexture(255, 0, 0);
    const GLuint blue = SolidTexture(0, 0, 255);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    for (GLuint floor : {red, blue}) {
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        DrawTerrainPasses(root, floor, Mat4Identity());
        // The centre (flat pass) and a point far out (shaped pass).
        for (int x : {kViewport / 2 + 3, 40}) {
            const uint8_t* p = context.Pixel(x, kViewport / 2 + 5);
            EXPECT_EQ(p[0], floor == red ? 255 : 0);
            EXPECT_EQ(p[2], floor == blue ? 255 : 0);
        }
    }
    // Nothing for an empty tree or an empty leaf.
    const auto none = Feedback([&] {
        DrawTerrainPasses(nullptr, red, Mat4Identity());
        DrawTerrainQuad(nullptr, red, 1, 1, 0, 0);
        DrawTerrainSubtree(nullptr, red);
        glBegin(GL_TRIANGLES); // one marker triangle so the buffer is not empty
        glVertex3f(0, 0, 0);
        glVertex3f(100, 0, 0);
        glVertex3f(0, 0, 100);
        glEnd();
    });
    EXPECT_EQ(none.size(), 1u);
}

TEST(FloorSlot, OutOfRangeSettingsFallBackToTheDefaultFloor) {
    EXPECT_EQ(FloorSlot(2), 2);
    EXPECT_EQ(FloorSlot(8), 8);
    EXPECT_EQ(FloorSlot(0), 0);
    EXPECT_EQ(FloorSlot(9), kDefaultFloorSlot);
    EXPECT_EQ(FloorSlot(-1), kDefaultFloorSlot);
}

} // namespace
