// Planar shadows of the character.
//
// Every triangle of the body, head and sword keyframes now shown is flattened
// onto the floor y = 0 along the direction (1, -1, 1), the way light from
// (-1, 1, -1) falls:
//
//     (x, y, z) -> (x + y, 0, z + y)
//
// so a point at height 0 stays put and a point at height h lands h units
// toward +x and +z. The triangles are filled flat dark brown, untextured, one
// primitive per mesh, with the depth test off (the frame switches it) so that
// they lie over the floor and the terrain wherever they fall. Corner order is
// kept: with back faces culled, a flattened triangle is filled only where it
// ends up counter-clockwise on screen.
//
// The drawing is a template over the mesh and node records so that it reads
// exactly the fields the character code defines: Mesh::faceCount, faces[f].
// vertexIndex[k], vertices[j].position, and SceneNode::meshIndex, local.
#pragma once

#include <cstdint>

#include "core/math3d.h"

// A world point flattened onto the floor along the light.
inline Vec3 ProjectShadowPoint(const Vec3& p) {
    return Vec3{p.x + p.y, 0.0f, p.z + p.y};
}

// The shadow primitive of one mesh: BeginShadowMesh starts one GL_TRIANGLES
// primitive, ShadowVertex sends a corner already on the floor, EndShadowMesh
// ends it.
void BeginShadowMesh();
void ShadowVertex(const Vec3& v);
void EndShadowMesh();

// The state of all shadow meshes: the shadow colour (0.1, 0.05, 0, 1) and
// texture 0 bound with texturing off, so the triangles are drawn in the
// colour alone on every renderer (texture 0 with texturing on samples black on
// some). EndShadows turns texturing back on.
void BeginShadows();
void EndShadows();

// Draws the shadow of one node's current keyframe as one primitive, its
// triangles in face order: each vertex goes through nodeLocal (when not null:
// the head and the sword), then bodyLocal, then onto the floor. A mesh
// without faces draws nothing.
template <class MeshT>
void DrawShadowOfMesh(const MeshT& mesh, const Mat4* nodeLocal, const Mat4& bodyLocal) {
    if (mesh.faceCount <= 0)
        return;
    BeginShadowMesh();
    for (int32_t f = 0; f < mesh.faceCount; ++f)
        for (int k = 0; k < 3; ++k) {
            Vec3 v = mesh.vertices[mesh.faces[f].vertexIndex[k]].position;
            if (nodeLocal != nullptr)
                v = Mat4TransformPoint(*nodeLocal, v);
            ShadowVertex(ProjectShadowPoint(Mat4TransformPoint(bodyLocal, v)));
        }
    EndShadowMesh();
}

// The shadows of the body, then the head, then the sword. Expects the
// model-view matrix to be the character view, the depth test and blending off,
// texturing on and back faces culled; changes only the current colour and the
// bound texture (texture 0), and leaves texturing on. A node whose meshIndex
// is outside meshes[0 .. meshCount-1] casts no shadow.
template <class MeshT, class NodeT>
void DrawShadows(const NodeT& bodyNode, const NodeT& headNode, const NodeT& swordNode,
                 const MeshT* meshes, int32_t meshCount) {
    if (meshes == nullptr)
        return;
    BeginShadows();
    const NodeT* nodes[3] = {&bodyNode, &headNode, &swordNode};
    for (const NodeT* node : nodes) {
        if (node->meshIndex < 0 || node->meshIndex >= meshCount)
            continue;
        const MeshT& mesh = meshes[node->meshIndex];
        DrawShadowOfMesh(mesh, node == &bodyNode ? nullptr : &node->local, bodyNode.local);
    }
    EndShadows();
}
