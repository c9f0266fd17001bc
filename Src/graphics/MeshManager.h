// The owner of every mesh of the background scene: meshes loaded by file
// name from the "mesh" archive (a name loaded before is copied, not read
// again), the script-wide velocity, acceleration and texture setters, the
// three per-frame steps (ordinary, shadow, effect meshes), and the three
// passes that draw them (MeshManagerPasses.cpp): per pass the subsets that
// share a texture are gathered into one group, all groups go to the device
// in one dynamic vertex and index buffer, one draw per group. Main thread.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "graphics/Mesh.h"
#include "graphics/MeshGroup.h"
#include "graphics/ResourceManager.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxResource.h"

class Texture;

class MeshManager : public ResourceManager<Mesh> {
public:
    // 65,535 vertices of 32 bytes and 65,535 16-bit indices per pass.
    static constexpr std::uint32_t kPassLimit = 65535;
    static constexpr std::uint32_t kVertexBufferBytes = kPassLimit * sizeof(MeshVertex);  // 2,097,120
    static constexpr std::uint32_t kIndexBufferBytes = kPassLimit * 2;                    // 131,070
    enum Pass { kOrdinary = 0, kEffect = 1, kShadow = 2 };
    using Groups = std::map<NameHandle, std::unique_ptr<MeshGroup>>;

    // Makes the device buffers.
    MeshManager();
    ~MeshManager() override;

    // The six buffers (each creation tried and logged on failure), then the
    // ordinary pass's pair bound. Also after a device reset.
    HRESULT createDeviceObjects();
    // Lets go of the six buffers (before a device reset).
    void releaseDeviceObjects();

    // The groups of a pass from the active meshes of its family.
    void calcMeshGroup() { calc(kOrdinary); }
    void calcEffectMeshGroup() { calc(kEffect); }
    void calcShadowMeshGroup() { calc(kShadow); }
    // The groups of a pass into its buffers and one draw each (none on a
    // skipped frame). Groups past 65,535 vertices or indices in the pass are
    // left out (logged once); a pass without buffers draws nothing.
    HRESULT drawMeshGroup() { return draw(kOrdinary); }
    HRESULT drawEffectMeshGroup() { return draw(kEffect); }
    HRESULT drawShadowMeshGroup() { return draw(kShadow); }
    const Groups& groups(Pass pass) const { return passes_[pass].groups; }

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
    struct PassState {
        GfxRef<GfxVertexBuffer> vertexBuffer;
        GfxRef<GfxIndexBuffer> indexBuffer;
        Groups groups;
        // The groups copied this frame, in key order.
        std::vector<MeshGroup*> copied;
        bool missingLogged = false;
        bool overflowLogged = false;
    };

    template <typename Select>
    void step(Select select);
    void calc(Pass pass);
    HRESULT draw(Pass pass);

    std::array<PassState, 3> passes_;
    D3DMATERIAL9 material1_;
    D3DMATERIAL9 material2_;
    std::int32_t blendMode_ = 3;
};
