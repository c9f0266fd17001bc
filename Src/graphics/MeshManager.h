// The owner of every mesh of the background scene: meshes loaded by file
// name from the "mesh" archive (a name loaded before is copied, not read
// again), the script-wide velocity, acceleration and texture setters, and
// the three per-frame steps (ordinary, shadow, effect meshes). Main thread.
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

#include "graphics/Mesh.h"
#include "graphics/ResourceManager.h"

class Texture;

class MeshManager : public ResourceManager<Mesh> {
public:
    MeshManager() = default;
    ~MeshManager() override;

    // A new mesh under the file name: a copy of the one cached under it, else
    // read from the archive's "mesh" folder and loaded (a failed load stays,
    // empty). A name missing from the archive ends the program there.
    Pointer loadMesh(std::string_view fileName);

    // Every mesh's velocity or acceleration.
    void setMeshVelocity(float x, float y, float z);
    void setMeshAccel(float x, float y, float z);
    // Mesh::setTexture on every mesh whose label is `label`.
    void setMeshTexture(NameHandle label, const std::shared_ptr<Texture>& texture, std::int32_t index);

    // One frame of the meshes of each family, in id order (effect flag and
    // shadow flag both 0; shadow only; effect only), then the meshes that
    // left their bounds are taken out.
    void stepPlain();
    void stepShadow();
    void stepEffect();

private:
    template <typename Select>
    void step(Select select);
};
