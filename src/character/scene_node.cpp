#include "character/scene_node.h"

#include <cmath>

SceneNode sceneNodes[kSceneNodeCount];
SceneNode& bodyNode = sceneNodes[0];
SceneNode& domeNode = sceneNodes[1];
SceneNode& headNode = sceneNodes[2];
SceneNode& swordNode = sceneNodes[3];

namespace {
SceneNode* bodyChildren[2] = {nullptr, nullptr};

bool ValidIndex(int32_t index) {
    return index >= 0 && index < kMeshCount;
}
} // namespace

void BuildCharacterNodes(const Mesh* meshes) {
    for (SceneNode& node : sceneNodes)
        node = SceneNode{};
    bodyChildren[0] = &headNode;
    bodyChildren[1] = &swordNode;

    bodyNode.meshIndex = kFirstBodyMesh;
    bodyNode.local = Mat4Translate(Mat4Identity(), meshes[kFirstBodyMesh].position);
    bodyNode.children = bodyChildren;
    bodyNode.childCount = 2;

    domeNode.meshIndex = kDomeMesh;
    domeNode.local = Mat4Identity();

    headNode.meshIndex = kFirstHeadMesh;
    headNode.parent = &bodyNode;
    swordNode.meshIndex = kFirstSwordMesh;
    swordNode.parent = &bodyNode;
    ComposeChildLocal(headNode, bodyNode, meshes);
    ComposeChildLocal(swordNode, bodyNode, meshes);
}

void ComposeChildLocal(SceneNode& child, const SceneNode& parent, const Mesh* meshes) {
    if (meshes == nullptr || !ValidIndex(child.meshIndex) || !ValidIndex(parent.meshIndex))
        return;
    const Mesh& c = meshes[child.meshIndex];
    const Mesh& p = meshes[parent.meshIndex];
    Mat4 local = Mat4Translate(Mat4Identity(),
                               Vec3Set(c.position.x - p.position.x, c.position.y - p.position.y,
                                       c.position.z - p.position.z));
    local = Mat4Multiply(Mat4RotationX(c.rotation.x), local);
    local = Mat4Multiply(Mat4RotationY(c.rotation.y), local);
    local = Mat4Multiply(Mat4RotationZ(c.rotation.z), local);
    child.local = local;
}

SceneNode CopySceneNode(const SceneNode& node) {
    SceneNode copy = node;
    copy.local = Mat4CopyAffine(node.local);
    return copy;
}

Mat4 NodeLightRotation(const SceneNode& node) {
    Mat4 w = Mat4CopyAffine(node.local);
    if (node.parent != nullptr)
        w = Mat4Multiply(node.parent->local, w);
    w = Mat4RigidInverse(w);
    w[12] = w[13] = w[14] = 0.0f;
    return Mat4RigidInverse(w);
}

float ShadeIntensity(const Vec3& light, const Vec3& normal, const Mat4& w) {
    const Vec3 turned = Mat4TransformPoint(w, normal);
    const float length = Vec3Length(turned);
    if (!(length > 0.0f))
        return 0.5f;
    const Vec3 n = Vec3Scale(turned, 1.0f / length);
    return 0.5f + 0.5f * (light.x * n.x + light.y * n.y + light.z * n.z);
}
