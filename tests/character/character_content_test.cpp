// The generated mesh resource, loaded and prepared as the screen saver does:
// budgets, keyframe structure, normals, closed outward surfaces, and where
// the pieces end up in the scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "character/mesh.h"
#include "character/scene_node.h"
#include "character_art/art_layout.h"
#include "character_art/character_model.h"
#include "test_resources.h"

namespace {

using testing_resources::MemoryResources;

int BodyMesh(int k) {
    return kFirstBodyMesh + 2 * k;
}
int HeadMesh(int k) {
    return kFirstHeadMesh + 2 * k;
}
int SwordMesh(int k) {
    return kFirstSwordMesh + k;
}

Vec3 Sub(Vec3 a, Vec3 b) {
    return Vec3Set(a.x - b.x, a.y - b.y, a.z - b.z);
}
float Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(Vec3 a, Vec3 b) {
    return Vec3Set(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

class Content : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { bytes_ = new std::vector<uint8_t>(art::BuildMeshResource()); }
    static void TearDownTestSuite() {
        delete bytes_;
        bytes_ = nullptr;
    }
    void SetUp() override {
        resources_.Put(kMeshResourceType, kMeshResourceId, *bytes_);
        MeshStatus status;
        ASSERT_TRUE(PrepareCharacterMeshes(status)) << static_cast<int>(status.error);
        BuildCharacterNodes(meshes);
    }
    void TearDown() override { FreeCharacterMeshes(); }

    // Puts the three nodes on keyframe k as the frame update does.
    void Step(int k) {
        bodyNode.meshIndex = BodyMesh(k);
        headNode.meshIndex = HeadMesh(k);
        swordNode.meshIndex = SwordMesh(k);
        ComposeChildLocal(headNode, bodyNode, meshes);
        ComposeChildLocal(swordNode, bodyNode, meshes);
    }
    // World positions of a node's current mesh.
    static std::vector<Vec3> World(const SceneNode& node) {
        Mat4 m = node.local;
        if (node.parent != nullptr)
            m = Mat4Multiply(node.parent->local, node.local);
        const Mesh& mesh = meshes[node.meshIndex];
        std::vector<Vec3> out;
        for (int32_t v = 0; v < mesh.vertexCount; ++v)
            out.push_back(Mat4TransformPoint(m, mesh.vertices[v].position));
        return out;
    }

    static std::vector<uint8_t>* bytes_;
    MemoryResources resources_;
};

std::vector<uint8_t>* Content::bytes_ = nullptr;

TEST_F(Content, FortyNineMeshesWithinTheirBudgets) {
    const std::vector<uint8_t> bytes = art::BuildMeshResource();
    EXPECT_EQ(bytes, *bytes_) << "the generator is deterministic";
    EXPECT_GT(bytes.size(), 700000u);
    EXPECT_LT(bytes.size(), 1000000u);
    EXPECT_GE(meshes[0].faceCount, 130);
    EXPECT_LE(meshes[0].faceCount, 190);
    EXPECT_GE(meshes[1].faceCount, 850);
    EXPECT_LE(meshes[1].faceCount, 1000);
    EXPECT_GE(meshes[2].faceCount, 380);
    EXPECT_LE(meshes[2].faceCount, 450);
    EXPECT_GE(meshes[33].faceCount, 100);
    EXPECT_LE(meshes[33].faceCount, 140);
    for (int i = 0; i < kMeshCount; ++i) {
        std::vector<bool> used(static_cast<size_t>(meshes[i].vertexCount), false);
        for (int32_t f = 0; f < meshes[i].faceCount; ++f)
            for (int k = 0; k < 3; ++k)
                used[static_cast<size_t>(meshes[i].faces[f].vertexIndex[k])] = true;
        EXPECT_EQ(std::count(used.begin(), used.end(), false), 0) << "mesh " << i;
    }
}

TEST_F(Content, KeyframesShareFacesAndTextureCoordinates) {
    for (int first : {kFirstBodyMesh, kFirstHeadMesh, kFirstSwordMesh}) {
        const int step = first == kFirstSwordMesh ? 1 : 2;
        const Mesh& a = meshes[first];
        for (int k = 1; k < kKeyframeCount; ++k) {
            const Mesh& b = meshes[first + k * step];
            ASSERT_EQ(a.texCoordCount, b.texCoordCount);
            for (int32_t t = 0; t < a.texCoordCount; ++t) {
                EXPECT_EQ(a.texCoords[t].u, b.texCoords[t].u);
                EXPECT_EQ(a.texCoords[t].v, b.texCoords[t].v);
            }
            // Only the body changes shape; head and sword only move.
            float largest = 0.0f;
            for (int32_t v = 0; v < a.vertexCount; ++v)
                largest = std::max(largest,
                                   Vec3Length(Sub(a.vertices[v].position, b.vertices[v].position)));
            if (first == kFirstBodyMesh) {
                EXPECT_GT(largest, 1.0f) << "keyframe " << k;
            } else
                EXPECT_EQ(largest, 0.0f) << "keyframe " << k;
        }
    }
}

TEST_F(Content, PreparedPositionsFollowTheFile) {
    // Mesh 1 starts after the count and the whole dome.
    auto word = [&](size_t at) {
        uint32_t w = 0;
        for (int i = 0; i < 4; ++i)
            w |= static_cast<uint32_t>((*bytes_)[at + i]) << (8 * i);
        return w;
    };
    auto real = [&](size_t at) {
        const uint32_t w = word(at);
        float f;
        std::memcpy(&f, &w, 4);
        return f;
    };
    auto meshSize = [&](size_t at) {
        return 36 + 24 * static_cast<size_t>(word(at + 24)) +
               12 * static_cast<size_t>(word(at + 28)) + 8 * static_cast<size_t>(word(at + 32));
    };
    const size_t mesh1 = 4 + meshSize(4);
    const size_t mesh2 = mesh1 + meshSize(mesh1);
    EXPECT_NEAR(meshes[1].position.x, real(mesh1 + 4) * 0.1f, 1e-5f);
    EXPECT_NEAR(meshes[1].position.y, real(mesh1 + 8) * 0.1f, 1e-5f);
    EXPECT_NEAR(meshes[1].position.z, real(mesh1) * 0.1f, 1e-5f);
    EXPECT_NEAR(meshes[2].position.x, real(mesh2 + 4) * 0.1f - 1.5f, 1e-5f);
    EXPECT_NEAR(meshes[2].position.y, real(mesh2 + 8) * 0.1f, 1e-5f);
    EXPECT_NEAR(meshes[2].position.z, real(mesh2) * 0.1f - 0.5f, 1e-5f);
    EXPECT_NEAR(meshes[2].rotation.x, -real(mesh2 + 16), 1e-7f);
}

TEST_F(Content, NormalsAreUnitAndPerpendicularToTheirFaces) {
    for (int i = 1; i < kMeshCount; ++i) {
        const Mesh& m = meshes[i];
        for (int32_t f = 0; f < m.faceCount; ++f) {
            const Face& face = m.faces[f];
            ASSERT_NEAR(Vec3Length(face.normal), 1.0f, 1e-5f) << i << "/" << f;
            for (int k = 0; k < 3; ++k) {
                const Vec3 edge = Sub(m.vertices[face.vertexIndex[(k + 1) % 3]].position,
                                      m.vertices[face.vertexIndex[k]].position);
                ASSERT_NEAR(Dot(face.normal, edge) / Vec3Length(edge), 0.0f, 2e-4f)
                    << i << "/" << f;
            }
        }
        for (int32_t v = 0; v < m.vertexCount; ++v)
            ASSERT_NEAR(Vec3Length(m.vertices[v].normal), 1.0f, 1e-5f) << i << "/" << v;
    }
    // A vertex normal is the normalised sum of its faces' normals.
    const Mesh& body = meshes[7];
    for (int32_t v = 0; v < body.vertexCount; v += 37) {
        Vec3 sum;
        for (int32_t f = 0; f < body.faceCount; ++f) {
            const int32_t* c = body.faces[f].vertexIndex;
            if (c[0] == v || c[1] == v || c[2] == v)
                sum = Vec3Set(sum.x + body.faces[f].normal.x, sum.y + body.faces[f].normal.y,
                              sum.z + body.faces[f].normal.z);
        }
        const Vec3 unit = Vec3Scale(sum, 1.0f / Vec3Length(sum));
        EXPECT_NEAR(Dot(unit, body.vertices[v].normal), 1.0f, 1e-5f) << v;
    }
}

// Splits a mesh into pieces (faces joined through shared points) and checks
// that each is closed, wound consistently (every edge once each way), and
// encloses a positive volume (its faces look outward).
void ExpectClosedOutward(const Mesh& m, int index) {
    std::map<std::tuple<float, float, float>, int> weld;
    std::vector<int> point(static_cast<size_t>(m.vertexCount));
    for (int32_t v = 0; v < m.vertexCount; ++v) {
        const Vec3& p = m.vertices[v].position;
        point[v] = weld.emplace(std::make_tuple(p.x, p.y, p.z), static_cast<int>(weld.size()))
                       .first->second;
    }
    std::vector<int> parent(weld.size());
    for (size_t i = 0; i < parent.size(); ++i)
        parent[i] = static_cast<int>(i);
    auto find = [&](int x) {
        while (parent[x] != x)
            x = parent[x] = parent[parent[x]];
        return x;
    };
    for (int32_t f = 0; f < m.faceCount; ++f)
        for (int k = 1; k < 3; ++k)
            parent[find(point[m.faces[f].vertexIndex[k]])] = find(point[m.faces[f].vertexIndex[0]]);
    std::map<int, std::map<std::pair<int, int>, int>> edges;
    std::map<int, double> volume;
    for (int32_t f = 0; f < m.faceCount; ++f) {
        const int32_t* c = m.faces[f].vertexIndex;
        const int piece = find(point[c[0]]);
        for (int k = 0; k < 3; ++k)
            ++edges[piece][{point[c[k]], point[c[(k + 1) % 3]]}];
        const Vec3 a = m.vertices[c[0]].position, b = m.vertices[c[1]].position,
                   d = m.vertices[c[2]].position;
        volume[piece] += Dot(a, Cross(b, d)) / 6.0;
    }
    for (const auto& [piece, pieceEdges] : edges) {
        for (const auto& [edge, count] : pieceEdges) {
            ASSERT_EQ(count, 1) << "mesh " << index << ": an edge is used twice the same way";
            const auto reverse = pieceEdges.find({edge.second, edge.first});
            ASSERT_NE(reverse, pieceEdges.end()) << "mesh " << index << ": an open edge";
        }
        EXPECT_GT(volume[piece], 0.0) << "mesh " << index << ": a piece faces inward";
    }
}

TEST_F(Content, EveryPieceIsClosedAndFacesOutward) {
    for (int i = 1; i < kMeshCount; ++i)
        ExpectClosedOutward(meshes[i], i);
}

TEST_F(Content, DomeIsAHemisphereSeenFromInside) {
    const Mesh& dome = meshes[0];
    for (int32_t v = 0; v < dome.vertexCount; ++v) {
        const Vec3 p = dome.vertices[v].position;
        EXPECT_NEAR(Vec3Length(p), 96300.0f, 50.0f);
        EXPECT_GE(p.y, -1.0f);
    }
    // Every triangle faces away from the middle (counter-clockwise seen from
    // outside), so culling front faces leaves the inside visible.
    for (int32_t f = 0; f < dome.faceCount; ++f) {
        const int32_t* c = dome.faces[f].vertexIndex;
        const Vec3 a = dome.vertices[c[0]].position, b = dome.vertices[c[1]].position,
                   d = dome.vertices[c[2]].position;
        const Vec3 middle =
            Vec3Set((a.x + b.x + d.x) / 3, (a.y + b.y + d.y) / 3, (a.z + b.z + d.z) / 3);
        EXPECT_GT(Dot(Cross(Sub(b, a), Sub(d, a)), middle), 0.0f) << f;
    }
}

TEST_F(Content, FeetOnTheFloorAndTheRightHeight) {
    for (int k = 0; k < kKeyframeCount; ++k) {
        Step(k);
        float lowest = 1e9f, highest = -1e9f;
        for (const Vec3& p : World(bodyNode))
            lowest = std::min(lowest, p.y);
        for (const Vec3& p : World(headNode))
            highest = std::max(highest, p.y);
        EXPECT_NEAR(lowest, 0.0f, 0.05f) << "keyframe " << k;
        EXPECT_GT(highest, 47.0f) << "keyframe " << k;
        EXPECT_LT(highest, 53.0f) << "keyframe " << k;
    }
}

TEST_F(Content, HeadSitsOnTheNeck) {
    for (int k = 0; k < kKeyframeCount; ++k) {
        Step(k);
        const std::vector<Vec3> body = World(bodyNode), head = World(headNode);
        float top = -1e9f;
        for (const Vec3& p : body)
            top = std::max(top, p.y);
        // The neck: the body's points near its top.
        Vec3 neck;
        int count = 0;
        for (const Vec3& p : body)
            if (p.y > top - 0.6f) {
                neck = Vec3Set(neck.x + p.x, neck.y + p.y, neck.z + p.z);
                ++count;
            }
        neck = Vec3Scale(neck, 1.0f / count);
        Vec3 centre;
        float bottom = 1e9f;
        for (const Vec3& p : head) {
            centre = Vec3Set(centre.x + p.x, centre.y + p.y, centre.z + p.z);
            bottom = std::min(bottom, p.y);
        }
        centre = Vec3Scale(centre, 1.0f / static_cast<float>(head.size()));
        EXPECT_LT(std::hypot(centre.x - neck.x, centre.z - neck.z), 1.0f) << "keyframe " << k;
        EXPECT_LT(bottom, top) << "the neck reaches into the head, keyframe " << k;
        EXPECT_GT(centre.y - top, 1.5f) << "keyframe " << k;
        EXPECT_LT(centre.y - top, 5.0f) << "keyframe " << k;
    }
}

TEST_F(Content, SwordInTheRightHandPointingTheWayItWalks) {
    Vec3 previous;
    for (int k = 0; k < kKeyframeCount; ++k) {
        Step(k);
        const Vec3 grip = art::SwordGripPoint(k);
        const std::vector<Vec3> sword = World(swordNode), body = World(bodyNode);
        // The sword's axis runs from the end of its pommel to its point.
        Vec3 tip = sword[0], pommel = sword[0];
        for (const Vec3& p : sword)
            if (Vec3Length(Sub(p, grip)) > Vec3Length(Sub(tip, grip)))
                tip = p;
        for (const Vec3& p : sword)
            if (Vec3Length(Sub(p, tip)) > Vec3Length(Sub(pommel, tip)))
                pommel = p;
        const Vec3 axis = Vec3Scale(Sub(tip, pommel), 1.0f / Vec3Length(Sub(tip, pommel)));
        const float along = Dot(Sub(grip, pommel), axis);
        const Vec3 offAxis = Sub(Sub(grip, pommel), Vec3Scale(axis, along));
        EXPECT_LT(Vec3Length(offAxis), 0.3f) << "the grip lies on the sword's axis, keyframe " << k;
        EXPECT_GT(along, 1.5f) << "past the pommel, keyframe " << k;
        EXPECT_LT(along, 4.0f) << "before the guard, keyframe " << k;
        EXPECT_GT(Vec3Length(Sub(tip, pommel)), 22.0f);
        EXPECT_LT(tip.x, grip.x - 15.0f) << "the blade points toward -x, keyframe " << k;
        // The fist closes around the grip, on the character's right (-z).
        int fist = 0;
        float z = 0.0f;
        for (const Vec3& p : body)
            if (Vec3Length(Sub(p, grip)) < 1.5f) {
                ++fist;
                z += p.z;
            }
        EXPECT_GE(fist, 6) << "keyframe " << k;
        EXPECT_LT(z / std::max(fist, 1), -3.0f) << "keyframe " << k;
        if (k > 0) {
            EXPECT_GT(Vec3Length(Sub(grip, previous)), 0.05f) << "the sword follows the hand";
        }
        previous = grip;
    }
}

bool InRegion(const art::Region& r, const TexCoord& t) {
    return t.u >= r.u0 - 1e-4f && t.u <= r.u1 + 1e-4f && t.v >= r.v0 - 1e-4f && t.v <= r.v1 + 1e-4f;
}

const art::Region* BodyRegionOf(const Mesh& m, const Face& face) {
    for (const art::Region* r :
         {&art::kTorso, &art::kLeg, &art::kArm, &art::kFoot, &art::kHand, &art::kNeck}) {
        bool all = true;
        for (int k = 0; k < 3; ++k)
            all = all && InRegion(*r, m.texCoords[face.texCoordIndex[k]]);
        if (all)
            return r;
    }
    return nullptr;
}

TEST_F(Content, TextureCoordinatesLandOnTheirParts) {
    Step(0);
    // Body: every face within one part of the atlas; the soles on the boots,
    // the torso's picture at the torso's height.
    const Mesh& body = meshes[BodyMesh(0)];
    const std::vector<Vec3> world = World(bodyNode);
    for (int32_t f = 0; f < body.faceCount; ++f) {
        const Face& face = body.faces[f];
        const art::Region* region = BodyRegionOf(body, face);
        ASSERT_NE(region, nullptr) << "face " << f << " straddles two parts";
        float y = 0.0f, v = 0.0f;
        for (int k = 0; k < 3; ++k) {
            y += world[face.vertexIndex[k]].y / 3.0f;
            v += body.texCoords[face.texCoordIndex[k]].v / 3.0f;
        }
        if (y < 1.0f) {
            EXPECT_TRUE(region == &art::kFoot || region == &art::kLeg) << "face " << f;
        }
        if (region == &art::kTorso) {
            const float restHeight =
                22.9f + (41.95f - 22.9f) * (v - art::kTorso.v0) / (art::kTorso.v1 - art::kTorso.v0);
            EXPECT_NEAR(restHeight, y, 2.5f) << "face " << f;
        }
        if (region == &art::kHand) {
            EXPECT_LT(y, 32.0f) << "hands hang below the waist";
        }
    }
    // Head: the face's picture at the front, the hair's on top.
    const Mesh& headMesh = meshes[HeadMesh(0)];
    const std::vector<Vec3> head = World(headNode);
    int front = 0, top = 0;
    for (int32_t v = 0; v < headMesh.vertexCount; ++v) {
        if (head[v].x < head[front].x)
            front = v;
        if (head[v].y > head[top].y)
            top = v;
    }
    for (int32_t f = 0; f < headMesh.faceCount; ++f)
        for (int k = 0; k < 3; ++k) {
            const TexCoord& t = headMesh.texCoords[headMesh.faces[f].texCoordIndex[k]];
            if (headMesh.faces[f].vertexIndex[k] == front) {
                EXPECT_NEAR(t.u, 0.5f, 0.1f) << "the nose tip is the middle of the face";
                EXPECT_GT(t.v, art::kFaceV0);
                EXPECT_LT(t.v, art::HeadV(0.0f));
            }
            if (headMesh.faces[f].vertexIndex[k] == top) {
                EXPECT_GT(t.v, 0.9f) << "the crown is hair";
            }
        }
    // Sword: the blade's picture beyond the guard, the grip's around the
    // hand, measured along the blade's direction from the grip.
    const Mesh& swordMesh = meshes[SwordMesh(0)];
    const std::vector<Vec3> sword = World(swordNode);
    const Vec3 grip = art::SwordGripPoint(0);
    const Vec3 axis = art::SwordBladeDirection();
    int blade = 0, handle = 0;
    for (int32_t f = 0; f < swordMesh.faceCount; ++f) {
        const Face& face = swordMesh.faces[f];
        float lowest = 1e9f, highest = -1e9f, radius = 0.0f;
        for (int k = 0; k < 3; ++k) {
            const Vec3 d = Sub(sword[face.vertexIndex[k]], grip);
            const float s = Dot(d, axis);
            lowest = std::min(lowest, s);
            highest = std::max(highest, s);
            radius = std::max(radius, Vec3Length(Sub(d, Vec3Scale(axis, s))));
        }
        for (int k = 0; k < 3; ++k) {
            const TexCoord& t = swordMesh.texCoords[face.texCoordIndex[k]];
            if (lowest > 3.0f) {
                EXPECT_TRUE(InRegion(art::kBlade, t)) << "face " << f;
                ++blade;
            }
            if (lowest > -1.6f && highest < 1.65f && radius < 0.5f) {
                EXPECT_TRUE(InRegion(art::kGrip, t)) << "face " << f;
                ++handle;
            }
        }
    }
    EXPECT_GT(blade, 20);
    EXPECT_GT(handle, 6);
}

} // namespace
