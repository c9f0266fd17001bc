// The particles of the background's effect layer: up to 1000 textured quads
// that all move with one common velocity inside a box of the 3-D world and
// leave when they reach the box's wall in their direction of motion. The
// records live in a fixed pool (an active and a free list linked through
// index arrays); each frame the live ones are copied into a staging buffer
// and drawn from one dynamic vertex buffer. Main thread.
#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "graphics/ParticleQuad.h"
#include "platform/gfx/GfxDevice.h"
#include "platform/gfx/GfxResource.h"

class Texture;

class ParticleManager {
public:
    static constexpr std::uint32_t kCapacity = 1000;
    static constexpr std::uint32_t kVertexBufferBytes = kCapacity * sizeof(ParticleQuad);  // 80,000
    static constexpr std::uint32_t kIndexBufferBytes = kCapacity * 6 * 2;                  // 12,000

    ParticleManager();
    virtual ~ParticleManager();
    ParticleManager(const ParticleManager&) = delete;
    ParticleManager& operator=(const ParticleManager&) = delete;

    // All 1000 records free, the staging buffer, a zero material, the device
    // buffers, count 0.
    HRESULT init();
    // The vertex and index buffers (each failure logged, the later steps
    // still run), the indices written, both bound.
    HRESULT createBuffer();
    // Lets go of both buffers (before a device reset).
    void releaseBuffers();

    void setTexture(const std::shared_ptr<Texture>& texture, float width, float height);
    void setFlag(std::int32_t orientation) { orientation_ = orientation; }
    void setVelocity(float x, float y, float z) { velocity_ = {x, y, z}; }
    void setWorldMax(float x, float y, float z) { max_ = {x, y, z}; }
    void setWorldMin(float x, float y, float z) { min_ = {x, y, z}; }

    // A particle at (x, y, z) from the free list's front; nothing when all
    // 1000 are live.
    void emit(float x, float y, float z);
    // Every live particle, front first, to the free list's back.
    void clear();
    // Moves the live particles, frees those that left the box and copies the
    // rest into the staging buffer.
    void update();
    // Copies the live particles without moving them (while paused).
    void fillVertices();
    // The staging buffer's quads, additive, with the texture.
    HRESULT draw();

    std::uint32_t liveCount() const { return live_; }
    std::uint32_t getCount() const { return count_; }
    // The live particles in list order (tests, tools).
    template <typename Visit>
    void forEachLive(Visit visit) const {
        for (std::int32_t i = active_.head; i >= 0; i = next_[i]) visit(records_[i]);
    }

private:
    struct List {
        std::int32_t head = -1, tail = -1;
    };
    struct Vec3 {
        float x = 0.0f, y = 0.0f, z = 0.0f;
    };
    void pushBack(List& list, std::int32_t index);
    void unlink(List& list, std::int32_t index);
    template <int X, int Y, int Z>
    void updateAlong();

    std::unique_ptr<ParticleQuad[]> records_;
    std::unique_ptr<ParticleQuad[]> staging_;
    std::array<std::int32_t, kCapacity> next_{};
    std::array<std::int32_t, kCapacity> prev_{};
    List active_, free_;
    std::uint32_t live_ = 0;

    GfxRef<GfxVertexBuffer> vertexBuffer_;
    GfxRef<GfxIndexBuffer> indexBuffer_;
    std::shared_ptr<Texture> texture_;
    D3DMATERIAL9 material_{};
    Vec3 max_, min_, velocity_;
    float width_ = 0.0f, height_ = 0.0f;
    std::uint32_t count_ = 0;
    std::int32_t orientation_ = 1;
    bool missingLogged_ = false;
};
