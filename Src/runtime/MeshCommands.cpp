// The commands that place meshes in the 3-D background and move them:
// "mesh" (one mesh, or two with its shadow), "preloadmesh", "setmeshtexture",
// "setmeshvelocity", "setmeshaccel". Without the mesh manager they do
// nothing. Every handler answers 0.
#include <string>

#include "graphics/Mesh.h"
#include "graphics/MeshManager.h"
#include "graphics/TextureManager.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/RuntimeHandlers.h"
#include "script/BulletML_Node.h"
#include "script/ElementId.h"
#include "services/Managers.h"
#include "services/NamePool.h"
#include "services/SystemInfo.h"
#include "services/Truncate.h"

namespace {
using R = ExBulletML_Runtime;

float floatChild(R& runtime, std::int32_t id) { return static_cast<float>(runtime.evalChild(id)); }

// The 19 values of "mesh", evaluated in this order.
struct Placement {
    float x, y, z, vx, vy, vz, maxX, maxY, maxZ, minX, minY, minZ, rx, ry, rz, rvx, rvy, rvz;
    std::int32_t flag;
};

Placement placementOf(R& runtime) {
    Placement p{};
    float* fields[] = {&p.x,    &p.y,    &p.z,    &p.vx,   &p.vy,   &p.vz, &p.maxX, &p.maxY, &p.maxZ,
                       &p.minX, &p.minY, &p.minZ, &p.rx,   &p.ry,   &p.rz, &p.rvx,  &p.rvy,  &p.rvz};
    std::int32_t id = kWorldX;
    for (float* field : fields) *field = floatChild(runtime, id++);
    p.flag = truncateToInt32(runtime.evalChild(kFlag));
    return p;
}

// Position (with the vertices moved there), velocity, rotation, rotation
// speed and bounds.
void place(Mesh& mesh, const Placement& p) {
    mesh.setPosition(p.x, p.y, p.z);
    // The engine's runtime switch is on from start-up; only a configuration
    // that turned it off keeps the vertices where the file has them.
    if (!g_systemInfo || g_systemInfo->getRuntimeSwitch() != 0) mesh.offsetVertices(p.x, p.y, p.z);
    mesh.setVelocity(p.vx, p.vy, p.vz);
    mesh.setRotation(p.rx, p.ry, p.rz);
    mesh.setRotationVelocity(p.rvx, p.rvy, p.rvz);
    mesh.setMaxBound(p.maxX, p.maxY, p.maxZ);
    mesh.setMinBound(p.minX, p.minY, p.minZ);
}

// "worldvx", "worldvy", "worldvz".
struct Velocity {
    float x, y, z;
};
Velocity velocityOf(R& runtime) {
    return {floatChild(runtime, kWorldVx), floatChild(runtime, kWorldVy), floatChild(runtime, kWorldVz)};
}
}  // namespace

namespace handlers {

std::int32_t execMesh(R& runtime, std::int32_t) {
    MeshManager* meshes = g_meshManager;
    if (!meshes) return R::kGoOn;
    BulletML_Node* node = runtime.getCurrentNode();
    const Placement p = placementOf(runtime);
    const std::string file = nameText(node->getNameHandle());
    MeshManager::Pointer mesh = meshes->loadMesh(file);
    mesh->setFileName(node->getLabel());
    place(*mesh, p);
    if (p.flag & 1) mesh->setFlag(1);
    if (p.flag & 16) mesh->setParamB(1);
    if (p.flag & 32) {
        // The shadow: the same model and values, never an effect mesh.
        MeshManager::Pointer shadow = meshes->loadMesh(file);
        place(*shadow, p);
        if (p.flag & 16) shadow->setParamB(1);
        shadow->setParamC(1);
    }
    return R::kGoOn;
}

std::int32_t execPreloadMesh(R& runtime, std::int32_t) {
    MeshManager* meshes = g_meshManager;
    if (!meshes) return R::kGoOn;
    BulletML_Node* node = runtime.getCurrentNode();
    MeshManager::Pointer mesh = meshes->loadMesh(nameText(node->getNameHandle()));
    // Inactive, so that the preloaded model is not drawn at the origin; the
    // steps still move it.
    mesh->setActive(0);
    mesh->setFileName(node->getLabel());
    return R::kGoOn;
}

std::int32_t execSetMeshTexture(R& runtime, std::int32_t) {
    MeshManager* meshes = g_meshManager;
    TextureManager* textures = g_textureManager;
    if (!meshes || !textures) return R::kGoOn;
    BulletML_Node* node = runtime.getCurrentNode();
    // Only a texture loaded already: a name not loaded leaves the subsets'
    // textures as they are rather than blanking them.
    TextureManager::Pointer texture = textures->findCachedByHandle(node->getNameHandle());
    if (!texture) return R::kGoOn;
    meshes->setMeshTexture(node->getLabel(), texture, truncateToInt32(runtime.evalChild(kNum)));
    return R::kGoOn;
}

std::int32_t execSetMeshVelocity(R& runtime, std::int32_t) {
    if (MeshManager* meshes = g_meshManager) {
        const Velocity v = velocityOf(runtime);
        meshes->setMeshVelocity(v.x, v.y, v.z);
    }
    return R::kGoOn;
}

std::int32_t execSetMeshAccel(R& runtime, std::int32_t) {
    if (MeshManager* meshes = g_meshManager) {
        const Velocity v = velocityOf(runtime);
        meshes->setMeshAccel(v.x, v.y, v.z);
    }
    return R::kGoOn;
}

}  // namespace handlers
