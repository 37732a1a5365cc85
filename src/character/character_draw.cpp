#include "character/character_draw.h"

#include "core/gl.h"

namespace {

constexpr int kTextureSlotCount = 9;

// Texture name of the mesh's material; 0 (untextured) for a material outside
// the table.
GLuint MaterialTexture(const Mesh& mesh, const uint32_t* textureSlots) {
    if (textureSlots == nullptr || mesh.material < 0 || mesh.material >= kTextureSlotCount)
        return 0;
    return textureSlots[mesh.material];
}

Vec3 Normalised(const Vec3& v) {
    return Vec3Scale(v, 1.0f / Vec3Length(v));
}

// The faces of one keyframe, each with its own grey level per face or per
// corner. Batched into one bind and one begin/end pair: the triangles, their
// order and their colours are those of one pair per face, so the picture is
// the same. When the mesh is lit every corner carries its colour, the face's
// grey repeated with lighting per face, so that every vertex of the primitive
// has the same attributes (renderers that build vertex arrays from immediate
// mode need that).
template <typename CornerPosition>
void DrawFaces(const Mesh& mesh, const uint32_t* textureSlots, Vec3 light, const Mat4& w,
               int32_t lightingMode, CornerPosition position) {
    light = Normalised(light);
    const bool lit = lightingMode == kLightingPerFace || lightingMode == kLightingPerVertex;
    glBindTexture(GL_TEXTURE_2D, MaterialTexture(mesh, textureSlots));
    glBegin(GL_TRIANGLES);
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
        const Face& face = mesh.faces[f];
        float grey[3] = {};
        if (lit)
            CornerGreys(mesh, face, light, w, lightingMode, grey);
        for (int k = 0; k < 3; ++k) {
            const int32_t vertex = face.vertexIndex[k];
            if (lit)
                glColor4f(grey[k], grey[k], grey[k], 1.0f);
            const TexCoord& uv = mesh.texCoords[face.texCoordIndex[k]];
            glTexCoord2f(uv.u, uv.v);
            const Vec3 p = position(vertex);
            glVertex3f(p.x, p.y, p.z);
        }
    }
    glEnd();
}

} // namespace

void CornerGreys(const Mesh& mesh, const Face& face, const Vec3& light, const Mat4& w,
                 int32_t lightingMode, float grey[3]) {
    if (lightingMode == kLightingPerFace) {
        const float g = ShadeIntensity(light, face.normal, w);
        grey[0] = grey[1] = grey[2] = g;
    } else if (lightingMode == kLightingPerVertex) {
        for (int k = 0; k < 3; ++k)
            grey[k] = ShadeIntensity(light, mesh.vertices[face.vertexIndex[k]].normal, w);
    } else {
        grey[0] = grey[1] = grey[2] = 1.0f;
    }
}

void DrawMesh(const Mesh& mesh, const uint32_t* textureSlots, Vec3 light, const Mat4& w,
              int32_t lightingMode) {
    DrawFaces(mesh, textureSlots, light, w, lightingMode,
              [&mesh](int32_t vertex) { return mesh.vertices[vertex].position; });
}

void DrawMeshBlended(const Mesh& mesh, const uint32_t* textureSlots, Vec3 light, const Mat4& w,
                     int32_t lightingMode, float t) {
    const Mesh* next = mesh.next;
    if (next == nullptr || next->vertices == nullptr || next->vertexCount < mesh.vertexCount) {
        DrawMesh(mesh, textureSlots, light, w, lightingMode);
        return;
    }
    const float s = 1.0f - t;
    DrawFaces(mesh, textureSlots, light, w, lightingMode, [&mesh, next, s, t](int32_t vertex) {
        const Vec3& a = mesh.vertices[vertex].position;
        const Vec3& b = next->vertices[vertex].position;
        return Vec3Set(s * a.x + t * b.x, s * a.y + t * b.y, s * a.z + t * b.z);
    });
}

void DrawMeshUnlit(const Mesh& mesh, const uint32_t* textureSlots) {
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, MaterialTexture(mesh, textureSlots));
    glBegin(GL_TRIANGLES);
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
        const Face& face = mesh.faces[f];
        for (int k = 0; k < 3; ++k) {
            const TexCoord& uv = mesh.texCoords[face.texCoordIndex[k]];
            glTexCoord2f(uv.u, uv.v);
            const Vec3& p = mesh.vertices[face.vertexIndex[k]].position;
            glVertex3f(p.x, p.y, p.z);
        }
    }
    glEnd();
}

void DrawSceneNode(SceneNode node, const Mesh* meshes, const uint32_t* textureSlots,
                   int32_t lightingMode, bool interpolate, float t) {
    glCullFace(GL_BACK);
    glColor3f(1.0f, 1.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(node.local.m);

    const Mat4 w = NodeLightRotation(node);
    const Vec3 light = Vec3Set(kLightX, kLightY, kLightZ);
    if (meshes != nullptr && node.meshIndex >= 0 && node.meshIndex < kMeshCount) {
        const Mesh& mesh = meshes[node.meshIndex];
        if (interpolate)
            DrawMeshBlended(mesh, textureSlots, light, w, lightingMode, t);
        else
            DrawMesh(mesh, textureSlots, light, w, lightingMode);
    }
    for (int32_t i = 0; i < node.childCount; ++i) {
        if (node.children[i] != nullptr)
            DrawSceneNode(CopySceneNode(*node.children[i]), meshes, textureSlots, lightingMode,
                          interpolate, t);
    }
    glPopMatrix();
}
