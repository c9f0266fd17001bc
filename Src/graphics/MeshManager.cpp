#include "graphics/MeshManager.h"

#include <string>

#include "services/ArchiveManager.h"
#include "services/Managers.h"

namespace {
constexpr std::string_view kFolder = "mesh";
}  // namespace


MeshManager::Pointer MeshManager::loadMesh(std::string_view fileName) {
    const NameHandle name = internName(fileName);
    if (Pointer existing = findCachedByHandle(name)) {
        Pointer made = createNamed(name);
        existing->copyTo(*made);
        return made;
    }
    ArchiveBytes bytes;
    if (ArchiveManager* archive = g_archiveManager) {
        archive->lookupEntry(kFolder, fileName);
        bytes = archive->readEntry(kFolder, fileName);
    }
    Pointer made = createNamed(name);
    made->loadFromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return made;
}

void MeshManager::setMeshVelocity(float x, float y, float z) {
    for (auto& [id, mesh] : resources_)
        if (mesh) mesh->setVelocity(x, y, z);
}

void MeshManager::setMeshAccel(float x, float y, float z) {
    for (auto& [id, mesh] : resources_)
        if (mesh) mesh->setAcceleration(x, y, z);
}

void MeshManager::setMeshTexture(NameHandle label, const std::shared_ptr<Texture>& texture, std::int32_t index) {
    for (auto& [id, mesh] : resources_)
        if (mesh && mesh->getFileName() == label) mesh->setTexture(texture, index);
}

template <typename Select>
void MeshManager::step(Select select) {
    for (auto& [id, mesh] : resources_) {
        if (!mesh || !select(*mesh)) continue;
        if (mesh->stepBatched() < 0) break;
    }
    update();
    flushRemoveQueue();
}

void MeshManager::stepPlain() {
    step([](const Mesh& m) { return m.getFlag() == 0 && m.getParamC() == 0; });
}

void MeshManager::stepShadow() {
    step([](const Mesh& m) { return m.getParamC() != 0 && m.getFlag() == 0; });
}

void MeshManager::stepEffect() {
    step([](const Mesh& m) { return m.getFlag() != 0 && m.getParamC() == 0; });
}
