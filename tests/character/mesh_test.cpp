// The mesh loader, its refusal of damaged resources, and the preparation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "character/mesh.h"
#include "test_resources.h"

namespace {

using namespace testing_resources;

constexpr int kId = kMeshResourceId;

struct LoadResult {
    int32_t count = 0;
    MeshStatus status;
};

// Loads bytes as resource 107 into a fresh array of capacity meshes, checks
// that a failure leaves nothing allocated, and frees what was loaded.
LoadResult Load(const std::vector<uint8_t>& bytes, int32_t capacity = kMeshCount) {
    MemoryResources resources;
    resources.Put(kMeshResourceType, kId, bytes);
    std::vector<Mesh> array(static_cast<size_t>(capacity));
    LoadResult result;
    result.count = LoadMeshes(kId, array.data(), capacity, result.status);
    if (result.count < 0) {
        for (const Mesh& m : array) {
            EXPECT_EQ(m.faces, nullptr);
            EXPECT_EQ(m.vertices, nullptr);
            EXPECT_EQ(m.texCoords, nullptr);
        }
    }
    FreeMeshArrays(array.data(), result.count > 0 ? result.count : 0);
    return result;
}

TEST(MeshLoader, ReadsEveryFieldOfAWellFormedResource) {
    RawMesh a = Tetrahedron(2.0f);
    a.position = {1.5f, -2.0f, 3.25f};
    a.rotation = {0.1f, 0.2f, -0.3f};
    a.texCoords[3] = {0.25f, 0.75f};
    MemoryResources resources;
    resources.Put(kMeshResourceType, kId, Encode({a, Tetrahedron()}));
    Mesh meshes[3];
    MeshStatus status;
    ASSERT_EQ(LoadMeshes(kId, meshes, 3, status), 2);
    EXPECT_EQ(status.error, MeshError::None);
    const Mesh& m = meshes[0];
    EXPECT_EQ(m.position.x, 1.5f);
    EXPECT_EQ(m.position.y, -2.0f);
    EXPECT_EQ(m.position.z, 3.25f);
    EXPECT_EQ(m.rotation.z, -0.3f);
    ASSERT_EQ(m.faceCount, 4);
    ASSERT_EQ(m.vertexCount, 4);
    ASSERT_EQ(m.texCoordCount, 4);
    EXPECT_EQ(m.faces[3].vertexIndex[0], 1);
    EXPECT_EQ(m.faces[3].texCoordIndex[2], 3);
    EXPECT_EQ(m.vertices[1].position.x, 2.0f);
    EXPECT_EQ(m.texCoords[3].u, 0.25f);
    EXPECT_EQ(m.texCoords[3].v, 0.75f);
    // The loader leaves next and material alone.
    EXPECT_EQ(m.next, nullptr);
    EXPECT_EQ(m.material, 0);
    EXPECT_EQ(meshes[2].faces, nullptr);
    FreeMeshArrays(meshes, 2);
}

TEST(MeshLoader, AcceptsEmptyMeshesAndAnEmptyList) {
    RawMesh empty;
    EXPECT_EQ(Load(Encode({empty, empty})).count, 2);
    EXPECT_EQ(Load(Encode({})).count, 0);
}

TEST(MeshLoader, RefusesAMissingOrShortResource) {
    {
        MemoryResources none;
        Mesh mesh;
        MeshStatus status;
        EXPECT_EQ(LoadMeshes(kId, &mesh, 1, status), -1);
        EXPECT_EQ(status.error, MeshError::Missing);
    }
    EXPECT_EQ(Load({}).count, -1); // empty: missing or short, refused either way
    EXPECT_EQ(Load({1, 0}).status.error, MeshError::Short);

    // Cut the resource at every length inside the second mesh: each cut is
    // refused as short, naming the mesh, with nothing left allocated.
    const std::vector<uint8_t> whole = Encode({Tetrahedron(), Tetrahedron()});
    const size_t secondMesh = (whole.size() - 4) / 2 + 4;
    for (size_t cut = secondMesh; cut < whole.size(); cut += 3) {
        std::vector<uint8_t> shortened(whole.begin(), whole.begin() + static_cast<long>(cut));
        const LoadResult r = Load(shortened);
        EXPECT_EQ(r.count, -1) << cut;
        EXPECT_EQ(r.status.error, MeshError::Short) << cut;
        EXPECT_EQ(r.status.mesh, 1) << cut;
    }
}

TEST(MeshLoader, RefusesBadCounts) {
    std::vector<uint8_t> bytes = Encode({Tetrahedron()});
    // More meshes than the array holds.
    PokeWord(bytes, 0, 50);
    LoadResult r = Load(bytes);
    EXPECT_EQ(r.status.error, MeshError::TooManyMeshes);
    EXPECT_EQ(r.status.value, 50);
    EXPECT_EQ(Load(Encode({Tetrahedron(), Tetrahedron()}), 1).status.error,
              MeshError::TooManyMeshes);
    // A negative mesh count.
    PokeWord(bytes, 0, 0xFFFFFFFFu);
    EXPECT_EQ(Load(bytes).status.error, MeshError::NegativeCount);

    // Negative and huge face, vertex and texture-coordinate counts: refused
    // before anything is allocated for them.
    for (size_t field : {kFaceCountOffset, kVertexCountOffset, kTexCountOffset}) {
        bytes = Encode({Tetrahedron()});
        PokeWord(bytes, kFirstMesh + field, 0x80000000u);
        r = Load(bytes);
        EXPECT_EQ(r.status.error, MeshError::NegativeCount) << field;
        EXPECT_EQ(r.status.mesh, 0);
        PokeWord(bytes, kFirstMesh + field, 0x7FFFFFFFu);
        EXPECT_EQ(Load(bytes).status.error, MeshError::Short) << field;
        PokeWord(bytes, kFirstMesh + field, 5); // one more than there is
        EXPECT_EQ(Load(bytes).status.error, MeshError::Short) << field;
    }
}

TEST(MeshLoader, RefusesIndicesOutOfRange) {
    const size_t face3 = kFirstMesh + kFacesOffset + 3 * 24;
    struct Case {
        size_t at;
        uint32_t value;
    };
    // Vertex index equal to the count, negative, and texture-coordinate
    // indices likewise, in the last face of the mesh.
    for (const Case& c : {Case{face3, 4u}, Case{face3 + 4, 0xFFFFFFFFu}, Case{face3 + 12, 4u},
                          Case{face3 + 20, 0x80000000u}}) {
        std::vector<uint8_t> bytes = Encode({Tetrahedron()});
        PokeWord(bytes, c.at, c.value);
        const LoadResult r = Load(bytes);
        EXPECT_EQ(r.status.error, MeshError::IndexOutOfRange) << c.at;
        EXPECT_EQ(r.status.mesh, 0);
        EXPECT_EQ(r.status.item, 3);
    }
    // The largest valid indices are accepted.
    std::vector<uint8_t> bytes = Encode({Tetrahedron()});
    PokeWord(bytes, face3, 3);
    PokeWord(bytes, face3 + 12, 3);
    EXPECT_EQ(Load(bytes).count, 1);
}

TEST(MeshLoader, RefusesNonFiniteNumbersAndTrailingBytes) {
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        RawMesh m = Tetrahedron();
        m.vertices[2][1] = bad;
        EXPECT_EQ(Load(Encode({m})).status.error, MeshError::NotFinite);
        m = Tetrahedron();
        m.texCoords[0][0] = bad;
        EXPECT_EQ(Load(Encode({m})).status.error, MeshError::NotFinite);
        m = Tetrahedron();
        m.rotation[1] = bad;
        EXPECT_EQ(Load(Encode({m})).status.error, MeshError::NotFinite);
    }
    std::vector<uint8_t> bytes = Encode({Tetrahedron()});
    bytes.push_back(0);
    const LoadResult r = Load(bytes);
    EXPECT_EQ(r.status.error, MeshError::TrailingBytes);
    EXPECT_EQ(r.status.value, 1);
}

TEST(MeshOperations, ScaleAndSwapMoveVerticesPositionAndAngles) {
    Mesh mesh;
    Vertex vertices[1];
    vertices[0].position = Vec3Set(1, 2, 3);
    vertices[0].normal = Vec3Set(0, 0, 1);
    mesh.vertices = vertices;
    mesh.vertexCount = 1;
    mesh.position = Vec3Set(4, 5, 6);
    mesh.rotation = Vec3Set(0.1f, 0.2f, 0.3f);

    ScaleMesh(mesh, 0.5f);
    EXPECT_EQ(vertices[0].position.z, 1.5f);
    EXPECT_EQ(mesh.position.x, 2.0f);
    EXPECT_EQ(mesh.rotation.x, 0.1f); // rotation and normals untouched
    EXPECT_EQ(vertices[0].normal.z, 1.0f);

    SwapMeshYZ(mesh); // (0.5, 1, 1.5) -> (0.5, 1.5, 1)
    EXPECT_EQ(vertices[0].position.y, 1.5f);
    EXPECT_EQ(vertices[0].position.z, 1.0f);
    EXPECT_EQ(mesh.position.y, 3.0f);
    EXPECT_EQ(mesh.rotation.y, 0.3f);
    EXPECT_EQ(mesh.rotation.z, 0.2f);

    SwapMeshXZ(mesh); // (0.5, 1.5, 1) -> (1, 1.5, 0.5)
    EXPECT_EQ(vertices[0].position.x, 1.0f);
    EXPECT_EQ(vertices[0].position.z, 0.5f);
    EXPECT_EQ(mesh.position.x, 2.5f);
    EXPECT_EQ(mesh.rotation.x, 0.2f);
    EXPECT_EQ(mesh.rotation.z, 0.1f);
    EXPECT_EQ(vertices[0].normal.z, 1.0f);
}

// Two triangles folded along the edge v1-v2 at a right angle.
struct Fold {
    Face faces[2];
    Vertex vertices[5];
    Mesh mesh;
    Fold() {
        vertices[0].position = Vec3Set(0, 0, 0);
        vertices[1].position = Vec3Set(1, 0, 0);
        vertices[2].position = Vec3Set(0, 1, 0);
        vertices[3].position = Vec3Set(0, 0, 1);
        vertices[4].position = Vec3Set(9, 9, 9); // used by no face
        const int32_t a[3] = {0, 1, 2}, b[3] = {0, 3, 1};
        std::memcpy(faces[0].vertexIndex, a, sizeof a);
        std::memcpy(faces[1].vertexIndex, b, sizeof b);
        mesh.faces = faces;
        mesh.vertices = vertices;
        mesh.faceCount = 2;
        mesh.vertexCount = 5;
    }
};

TEST(MeshOperations, FaceNormalsFollowTheCornerOrder) {
    Fold fold;
    ASSERT_TRUE(ComputeFaceNormals(fold.mesh));
    EXPECT_EQ(fold.faces[0].normal.z, 1.0f); // (1,0,0) x (0,1,0)
    EXPECT_EQ(fold.faces[1].normal.y, 1.0f); // (0,0,1) x (1,0,0)
    EXPECT_EQ(fold.faces[1].normal.x, 0.0f);

    // A triangle without area has no normal: reported, left zero.
    fold.vertices[2].position = Vec3Set(2, 0, 0);
    int32_t bad = -1;
    EXPECT_FALSE(ComputeFaceNormals(fold.mesh, &bad));
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(Vec3Length(fold.faces[0].normal), 0.0f);
    // So has one whose cross product overflows.
    fold.vertices[2].position = Vec3Set(0, 3e38f, 0);
    fold.vertices[1].position = Vec3Set(3e38f, 0, 0);
    EXPECT_FALSE(ComputeFaceNormals(fold.mesh, &bad));
}

TEST(MeshOperations, VertexNormalsAreTheNormalisedSumOfTheirFaces) {
    Fold fold;
    ASSERT_TRUE(ComputeFaceNormals(fold.mesh));
    ASSERT_TRUE(ComputeVertexNormals(fold.mesh));
    // Vertices on the sharp edge take the mean of both faces, not either one.
    const float h = 1.0f / std::sqrt(2.0f);
    for (int v : {0, 1}) {
        EXPECT_NEAR(fold.vertices[v].normal.x, 0.0f, 1e-7f);
        EXPECT_NEAR(fold.vertices[v].normal.y, h, 1e-6f);
        EXPECT_NEAR(fold.vertices[v].normal.z, h, 1e-6f);
    }
    EXPECT_EQ(fold.vertices[2].normal.z, 1.0f);
    EXPECT_EQ(fold.vertices[3].normal.y, 1.0f);
    // A vertex no face uses still gets a unit normal.
    EXPECT_EQ(Vec3Length(fold.vertices[4].normal), 1.0f);

    // A face that names a vertex twice counts once for it.
    fold.faces[1].vertexIndex[1] = 0;
    fold.faces[1].normal = Vec3Set(0, 1, 0);
    ASSERT_TRUE(ComputeVertexNormals(fold.mesh));
    EXPECT_NEAR(fold.vertices[0].normal.y, h, 1e-6f);

    // Face normals that cancel out leave the vertex its first face's normal.
    fold.faces[1].vertexIndex[1] = 3;
    fold.faces[1].normal = Vec3Set(0, 0, -1);
    ASSERT_TRUE(ComputeVertexNormals(fold.mesh));
    EXPECT_EQ(fold.vertices[0].normal.z, 1.0f);
    EXPECT_FALSE(std::isnan(fold.vertices[1].normal.x));
}

// Preparation of a whole resource: 49 tetrahedra.
class Preparation : public ::testing::Test {
  protected:
    void TearDown() override { FreeCharacterMeshes(); }
    bool Prepare(const std::vector<RawMesh>& raw, MeshStatus& status) {
        resources_.Put(kMeshResourceType, kId, Encode(raw));
        return PrepareCharacterMeshes(status);
    }
    MemoryResources resources_;
};

TEST_F(Preparation, SetsMaterialsRingsAndCorrections) {
    MeshStatus status;
    ASSERT_TRUE(Prepare(TetrahedronSet(), status));
    ASSERT_NE(meshes, nullptr);
    EXPECT_EQ(meshes[0].next, &meshes[0]);
    EXPECT_EQ(meshes[0].material, 0);
    for (int i = 1; i < kMeshCount; ++i) {
        const int expected = i >= 33 ? 7 : (i % 2 == 1 ? 3 : 1);
        EXPECT_EQ(meshes[i].material, expected) << i;
        // Sixteen steps through next come back; fewer do not.
        const Mesh* m = &meshes[i];
        for (int step = 1; step <= 16; ++step) {
            m = m->next;
            ASSERT_NE(m, nullptr);
            if (step < 16) {
                EXPECT_NE(m, &meshes[i]);
            }
        }
        EXPECT_EQ(m, &meshes[i]) << i;
    }
    EXPECT_EQ(meshes[31].next, &meshes[1]);
    EXPECT_EQ(meshes[32].next, &meshes[2]);
    EXPECT_EQ(meshes[48].next, &meshes[33]);

    // Dome: scaled by 10, y and z exchanged: file (0, 0, 10) -> (0, 100, 0).
    EXPECT_EQ(meshes[0].vertices[3].position.y, 100.0f);
    // Mesh 1 (file position (1, 2, 3)): scene (y, z, x) / 10.
    EXPECT_NEAR(meshes[1].position.x, 0.2f, 1e-6f);
    EXPECT_NEAR(meshes[1].position.y, 0.3f, 1e-6f);
    EXPECT_NEAR(meshes[1].position.z, 0.1f, 1e-6f);
    // Mesh 2 (file (2, 4, 6)): (0.4, 0.6, 0.2) moved by (-1.5, 0, -0.5), and
    // its angles (0.02, 0.04, 0.06) swapped like the axes and negated.
    EXPECT_NEAR(meshes[2].position.x, 0.4f - 1.5f, 1e-6f);
    EXPECT_NEAR(meshes[2].position.y, 0.6f, 1e-6f);
    EXPECT_NEAR(meshes[2].position.z, 0.2f - 0.5f, 1e-6f);
    EXPECT_NEAR(meshes[2].rotation.x, -0.04f, 1e-7f);
    EXPECT_NEAR(meshes[2].rotation.y, -0.06f, 1e-7f);
    EXPECT_NEAR(meshes[2].rotation.z, -0.02f, 1e-7f);
    // Swords: moved by (0, 12.5, -3.5), fixed angles whatever was stored.
    EXPECT_NEAR(meshes[40].position.y, 0.1f * 3 * 40 + 12.5f, 1e-4f);
    EXPECT_NEAR(meshes[40].position.z, 0.1f * 40 - 3.5f, 1e-4f);
    EXPECT_EQ(meshes[40].rotation.x, -0.0343306288f);
    EXPECT_EQ(meshes[40].rotation.y, -0.230121672f);
    EXPECT_EQ(meshes[40].rotation.z, 1.43226957f);
    // Body: file vertex (0, 0, 10) -> scene (0, 1, 0); normals are unit.
    EXPECT_NEAR(meshes[1].vertices[3].position.y, 1.0f, 1e-6f);
    EXPECT_NEAR(Vec3Length(meshes[1].faces[3].normal), 1.0f, 1e-6f);
    EXPECT_NEAR(Vec3Length(meshes[1].vertices[3].normal), 1.0f, 1e-6f);
}

TEST_F(Preparation, RefusesDamageItCannotDrawAndKeepsNothing) {
    MeshStatus status;
    std::vector<RawMesh> raw = TetrahedronSet();
    raw.pop_back();
    EXPECT_FALSE(Prepare(raw, status));
    EXPECT_EQ(status.error, MeshError::WrongMeshCount);
    EXPECT_EQ(status.value, 48);
    EXPECT_EQ(meshes, nullptr);

    // A degenerate character triangle (two corners on one point).
    raw = TetrahedronSet();
    raw[5].vertices[2] = raw[5].vertices[0];
    EXPECT_FALSE(Prepare(raw, status));
    EXPECT_EQ(status.error, MeshError::DegenerateFace);
    EXPECT_EQ(status.mesh, 5);
    EXPECT_EQ(status.item, 0);
    EXPECT_EQ(meshes, nullptr);
    // The dome is drawn without normals: a flat dome triangle is harmless.
    raw = TetrahedronSet();
    raw[0].vertices[2] = raw[0].vertices[0];
    EXPECT_TRUE(Prepare(raw, status));

    // A keyframe whose faces differ from its ring's first keyframe.
    raw = TetrahedronSet();
    raw[7].faces[2] = {0, 2, 3, 0, 2, 3};
    EXPECT_FALSE(Prepare(raw, status));
    EXPECT_EQ(status.error, MeshError::KeyframesDiffer);
    EXPECT_EQ(status.mesh, 7);
    EXPECT_EQ(status.item, 2);
    raw = TetrahedronSet();
    raw[40].vertices.push_back({1, 1, 1});
    raw[40].faces.push_back({4, 1, 2, 0, 1, 2});
    EXPECT_FALSE(Prepare(raw, status));
    EXPECT_EQ(status.error, MeshError::KeyframesDiffer);
    EXPECT_EQ(status.mesh, 40);

    // A missing resource.
    MemoryResources empty;
    EXPECT_FALSE(PrepareCharacterMeshes(status));
    EXPECT_EQ(status.error, MeshError::Missing);
}

TEST(MeshError, MessagesNameTheProblemAndFitTheBuffer) {
    char text[256];
    MeshStatus status;
    status.error = MeshError::IndexOutOfRange;
    status.mesh = 5;
    status.item = 17;
    FormatMeshError(status, text, sizeof text);
    EXPECT_STREQ(text, "El recurso de mallas 107 esta danado: la cara 17 de la malla 5 usa un "
                       "indice fuera de rango.");
    status = MeshStatus{};
    status.error = MeshError::Missing;
    FormatMeshError(status, text, sizeof text);
    EXPECT_STREQ(text, "No se encuentra el recurso de mallas 107.");
    status.error = MeshError::TooManyMeshes;
    status.value = 1000;
    FormatMeshError(status, text, sizeof text);
    EXPECT_NE(std::strstr(text, "1000 mallas"), nullptr);
    // Every error has its own text.
    std::string previous;
    for (int e = static_cast<int>(MeshError::Missing);
         e <= static_cast<int>(MeshError::OutOfMemory); ++e) {
        status.error = static_cast<MeshError>(e);
        FormatMeshError(status, text, sizeof text);
        EXPECT_NE(previous, text);
        previous = text;
    }
    char small[12];
    EXPECT_EQ(FormatMeshError(status, small, sizeof small), 11);
    EXPECT_EQ(std::strlen(small), 11u);
}

} // namespace
