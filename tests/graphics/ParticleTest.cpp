// The particles on the recording device: quads by orientation, the pool of
// 1000 records and its lists, moving and leaving the box (every direction
// code, NaN), the paused copy, the index buffer, the draw and its failures.
#include <cmath>
#include <cstring>
#include <limits>

#include "graphics/ParticleManager.h"
#include "graphics/Texture.h"
#include "graphics/TextureTestSupport.h"

namespace {

class ParticleTest : public TextureTest {
protected:
    ParticleTest() {
        texture = std::make_shared<Texture>();
        EXPECT_EQ(texture->createEmpty(4, 4, D3DFMT_A8R8G8B8), S_OK);
    }
    ParticleManager& manager() {
        if (!particles) {
            particles = std::make_unique<ParticleManager>();
            EXPECT_EQ(particles->init(), S_OK);
        }
        return *particles;
    }
    std::vector<ParticleQuad> live() const {
        std::vector<ParticleQuad> out;
        particles->forEachLive([&](const ParticleQuad& q) { out.push_back(q); });
        return out;
    }
    // One update (or paused copy) and draw inside a scene; the draws.
    std::vector<GfxDrawRecord> frame(bool paused = false) {
        gfx.clearCalls();
        device().beginScene();
        if (paused)
            manager().fillVertices();
        else
            manager().update();
        manager().draw();
        device().endScene();
        return gfx.draws();
    }

    std::shared_ptr<Texture> texture;
    std::unique_ptr<ParticleManager> particles;
};

TEST_F(ParticleTest, QuadsSpanThePlaneOfTheirOrientation) {
    struct Row {
        std::int32_t orientation;
        float v1[3], v2[3], v3[3];
    } rows[] = {
        {0, {1, 2 + 4, 3}, {1, 2, 3 - 5}, {1, 2 + 4, 3 - 5}},
        {2, {1 + 4, 2, 3}, {1, 2 - 5, 3}, {1 + 4, 2 - 5, 3}},
        {1, {1 + 4, 2, 3}, {1, 2, 3 - 5}, {1 + 4, 2, 3 - 5}},
        {-7, {1 + 4, 2, 3}, {1, 2, 3 - 5}, {1 + 4, 2, 3 - 5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.orientation);
        ParticleQuad q;
        q.setup(1, 2, 3, 4, 5, row.orientation);
        const float expected[4][5] = {{1, 2, 3, 0, 0},
                                      {row.v1[0], row.v1[1], row.v1[2], 1, 0},
                                      {row.v2[0], row.v2[1], row.v2[2], 0, 1},
                                      {row.v3[0], row.v3[1], row.v3[2], 1, 1}};
        EXPECT_EQ(std::memcmp(&q, expected, sizeof expected), 0);
    }
    ParticleQuad q;
    q.setup(0, 0, 0, 1, 1, 2);
    q.move(1, -2, 0.5f);
    EXPECT_EQ(q.v[3].x, 2.0f);
    EXPECT_EQ(q.v[3].y, -3.0f);
    EXPECT_EQ(q.v[3].z, 0.5f);
}

TEST_F(ParticleTest, ThePoolHoldsAThousandAndRecyclesInOrder) {
    manager().setTexture(texture, 2, 3);
    manager().setFlag(2);
    for (int i = 0; i < 1001; ++i) manager().emit(float(i), 0, 0);
    EXPECT_EQ(manager().liveCount(), 1000u);
    EXPECT_EQ(live().back().v[0].x, 999.0f);  // the 1001st was dropped
    EXPECT_EQ(live().front().v[1].x, 2.0f);   // width and orientation at emission
    EXPECT_EQ(live().front().v[2].y, -3.0f);
    manager().clear();
    EXPECT_EQ(manager().liveCount(), 0u);
    EXPECT_TRUE(live().empty());
    manager().emit(5, 6, 7);
    ASSERT_EQ(live().size(), 1u);
    EXPECT_EQ(live()[0].v[0].z, 7.0f);
    // A second init empties the active list and leaves 1000 free.
    EXPECT_EQ(manager().init(), S_OK);
    EXPECT_EQ(manager().liveCount(), 0u);
    for (int i = 0; i < 1000; ++i) manager().emit(0, 0, 0);
    EXPECT_EQ(manager().liveCount(), 1000u);
}

TEST_F(ParticleTest, ParticlesLeaveOnlyThroughTheWallsTheyMoveTowards) {
    // The box 0..10 on every axis; a particle starts at 5, 5, 5 and one at
    // 9.5 on every axis and one at 0.5: moving by 1, which ones stay?
    struct Row {
        float vx, vy, vz;
        std::uint32_t staying;  // of the three particles
    } rows[] = {
        {1, 0, 0, 2},  {-1, 0, 0, 2}, {0, 1, 0, 2},  {0, -1, 0, 2}, {0, 0, 1, 2},
        {0, 0, -1, 2}, {1, 1, 1, 2},  {-1, -1, -1, 2}, {1, -1, 0, 1},
        {0, 0, 0, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.vx) + " " + std::to_string(row.vy) + " " + std::to_string(row.vz));
        manager().clear();
        manager().setWorldMin(0, 0, 0);
        manager().setWorldMax(10, 10, 10);
        manager().setVelocity(row.vx, row.vy, row.vz);
        manager().emit(5, 5, 5);
        manager().emit(9.5f, 9.5f, 9.5f);
        manager().emit(0.5f, 0.5f, 0.5f);
        manager().update();
        EXPECT_EQ(manager().liveCount(), row.staying);
        EXPECT_EQ(manager().getCount(), row.staying);
        EXPECT_EQ(live()[0].v[0].x, 5 + row.vx);
    }
    // The walls themselves count as reached; standing still tests all six.
    struct Edge {
        float x, vx;
        std::uint32_t staying;
    } edges[] = {{9, 1, 0}, {1, -1, 0}, {10, 0, 0}, {0, 0, 0}, {9.99f, 0, 1}};
    for (const Edge& e : edges) {
        SCOPED_TRACE(e.x);
        manager().clear();
        manager().setVelocity(e.vx, 0, 0);
        manager().emit(e.x, 5, 5);
        manager().update();
        EXPECT_EQ(manager().liveCount(), e.staying);
    }
    // A NaN coordinate on a tested axis leaves at once instead of holding
    // its record for ever.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const float vx : {1.0f, -1.0f, 0.0f}) {
        manager().clear();
        manager().setVelocity(vx, 0, 0);
        manager().emit(nan, 5, 5);
        manager().update();
        EXPECT_EQ(manager().liveCount(), 0u);
    }
    // Recycled records go to the free list's back and are used again.
    manager().clear();
    manager().setVelocity(1, 0, 0);
    for (int i = 0; i < 1000; ++i) manager().emit(9.5f, 5, 5);
    manager().update();
    EXPECT_EQ(manager().liveCount(), 0u);
    for (int i = 0; i < 1000; ++i) manager().emit(1, 5, 5);
    EXPECT_EQ(manager().liveCount(), 1000u);
}

TEST_F(ParticleTest, TheDrawCopiesTheLiveQuadsAdditively) {
    manager().setTexture(texture, 1, 1);
    manager().setWorldMin(-100, -100, -100);
    manager().setWorldMax(100, 100, 100);
    manager().setVelocity(0, 0, 1);
    manager().emit(1, 2, 3);
    manager().emit(4, 5, 6);
    std::vector<GfxDrawRecord> draws = frame();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].fvf, 0x102u);
    EXPECT_EQ(draws[0].stride, 20u);
    EXPECT_NE(draws[0].texture, "null");
    EXPECT_EQ(draws[0].srcBlend, std::uint32_t(D3DBLEND_SRCALPHA));
    EXPECT_EQ(draws[0].destBlend, std::uint32_t(D3DBLEND_ONE));
    ASSERT_EQ(draws[0].vertices.size(), 160u);
    ParticleQuad quads[2];
    std::memcpy(quads, draws[0].vertices.data(), sizeof quads);
    EXPECT_EQ(quads[0].v[0].z, 4.0f);
    EXPECT_EQ(quads[1].v[0].x, 4.0f);
    EXPECT_EQ(quads[1].v[3].u, 1.0f);
    bool drawn = false;
    for (const std::string& c : calls())
        drawn |= c.find("DrawIndexedPrimitive") != std::string::npos && c.find("4, 0, 0, 8, 0, 4") != std::string::npos;
    EXPECT_TRUE(drawn);
    // Paused: copied where they are, not moved.
    draws = frame(true);
    ASSERT_EQ(draws.size(), 1u);
    std::memcpy(quads, draws[0].vertices.data(), sizeof quads);
    EXPECT_EQ(quads[0].v[0].z, 4.0f);
    // The index buffer: 4i, 4i+1, 4i+2, 4i+2, 4i+1, 4i+3 for 1000 quads.
    void* data = nullptr;
    ASSERT_EQ(device().state().indices->lock(0, ParticleManager::kIndexBufferBytes, &data, D3DLOCK_READONLY), S_OK);
    const auto* indices = static_cast<const std::uint16_t*>(data);
    const std::uint16_t first[12] = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
    EXPECT_EQ(std::memcmp(indices, first, sizeof first), 0);
    EXPECT_EQ(indices[5999], 3999);
    device().state().indices->unlock();
    // No particles, or no texture: nothing drawn.
    manager().clear();
    EXPECT_TRUE(frame().empty());
    manager().emit(0, 0, 0);
    manager().setTexture(nullptr, 1, 1);
    EXPECT_TRUE(frame().empty());
}

TEST_F(ParticleTest, FailedBuffersAreLoggedAndTheDrawSaysSoOnce) {
    struct Row {
        const char* method;
        const char* line;
    } rows[] = {{"CreateVertexBuffer", ".\\Src\\ParticleManager:164  FAILED"},
                {"CreateIndexBuffer", ".\\Src\\ParticleManager:168  FAILED"}};
    int expectedLines = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.method);
        particles.reset();
        gfx.faults.failNext(row.method, E_OUTOFMEMORY);
        particles = std::make_unique<ParticleManager>();
        EXPECT_EQ(particles->init(), E_OUTOFMEMORY);
        EXPECT_FALSE(linesFrom(row.line).empty());
        particles->setTexture(texture, 1, 1);
        particles->setWorldMin(-1, -1, -1);
        particles->setWorldMax(1, 1, 1);
        particles->emit(0, 0, 0);
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(frame().empty());
        int lines = 0;
        for (const std::string& line : log.logLines()) lines += line == ".\\Src\\ParticleManager:260  FAILED";
        EXPECT_EQ(lines, ++expectedLines);
        // Re-created after a device reset, it draws again.
        particles->releaseBuffers();
        EXPECT_EQ(particles->createBuffer(), S_OK);
        EXPECT_EQ(frame().size(), 1u);
    }
    // The index buffer's failed lock writes no index but the buffers stay.
    particles.reset();
    gfx.faults.failNext("Lock", D3DERR_INVALIDCALL);
    particles = std::make_unique<ParticleManager>();
    particles->init();
    EXPECT_FALSE(linesFrom(".\\Src\\ParticleManager:172  FAILED").empty());
}

}  // namespace
