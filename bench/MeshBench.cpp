// The mesh pass against a hand-written batch of the same vertices, on the
// OpenGL device (hidden 640 x 480 window), real time; and the loading of a
// text X file against strtof over its numbers.
//
// MeshPass/N       N copies of one 120-triangle band (a 10 x 6 grid of quads
//                  round a cylinder, one subset) spread over the view, over 4
//                  textures, all turning: stepPlain, calcMeshGroup and
//                  drawMeshGroup in a scene. vs_hand_batch is its median
//                  CPU time per frame (of the drawing thread) over the hand
//                  batch's, measured interleaved;
//                  allocs_per_frame counts operator new in the timed frames
//                  after 3 warm-up frames (to be 0)
// MeshHandBatch/N  the same turning meshes with no engine code: per texture
//                  one DISCARD lock into which the rotated and translated
//                  vertices are written, one draw from an index buffer made
//                  once; the same state, texture and blend mode. Like the
//                  pass it draws no texture whose meshes would bring the frame
//                  to 65,535 indices (200 x 360 is 72,000: the last texture's
//                  meshes are turned but not drawn by either), so both draw
//                  the same picture (differing_pixels, counted after warm-up)
// Both end each frame with the same read-back of render target 0.
//
// XFileLoadText    a 20,000-vertex band (200 x 100 positions, normals,
//                  texture coordinates, 19,701 quads) as a text X file
//                  through Mesh::loadFromMemory (read, optimise, normals,
//                  vertex copies); vs_strtof is its median time over that of
//                  StrtofScan, measured interleaved
// StrtofScan       strtof over every number of the same text
//
// Run headless: SDL_VIDEODRIVER=offscreen build/bench/vorly-bench --benchmark_filter='Mesh|XFile|Strtof'
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "HiddenGlDevice.h"
#include "graphics/Mesh.h"
#include "graphics/MeshManager.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "shell/InitGame.h"
#include "support/XFileWriter.h"

namespace {
using benchgl::Clock;
using benchgl::median;
using benchgl::millisecondsSince;

constexpr int kWidth = 640, kHeight = 480, kTextureSize = 32;
constexpr std::uint32_t kTextures = 4;
// 120 triangles.
constexpr std::uint32_t kBandIndices = 360;
constexpr float kRadiansPerDegree = 0.017453292f;

// A band of columns x rows quads round a cylinder of radius 1 and height 2:
// (columns + 1) x (rows + 1) positions with their normals and texture
// coordinates, one untextured white material.
XTokens band(std::uint32_t columns, std::uint32_t rows) {
    std::vector<double> positions, normals, uvs;
    for (std::uint32_t r = 0; r <= rows; ++r)
        for (std::uint32_t c = 0; c <= columns; ++c) {
            const double angle = 6.283185307179586 * double(c) / double(columns);
            positions.insert(positions.end(), {std::cos(angle), 2.0 * double(r) / double(rows) - 1.0, std::sin(angle)});
            normals.insert(normals.end(), {std::cos(angle), 0.0, std::sin(angle)});
            uvs.insert(uvs.end(), {double(c) / double(columns), double(r) / double(rows)});
        }
    std::vector<std::uint32_t> faces;
    const std::uint32_t stride = columns + 1;
    for (std::uint32_t r = 0; r < rows; ++r)
        for (std::uint32_t c = 0; c < columns; ++c) {
            const std::uint32_t i = r * stride + c;
            faces.insert(faces.end(), {4, i, i + stride, i + stride + 1, i + 1});
        }
    const std::uint32_t positionCount = stride * (rows + 1), faceCount = columns * rows;
    XTokens x;
    x.object("Mesh", "Band", [&](XTokens& m) {
        m.ints({positionCount}).floats(positions).ints({faceCount}).ints(faces);
        m.object("MeshNormals", "", [&](XTokens& n) {
            n.ints({positionCount}).floats(normals).ints({faceCount}).ints(faces);
        });
        m.object("MeshTextureCoords", "", [&](XTokens& t) { t.ints({positionCount}).floats(uvs); });
        m.object("MeshMaterialList", "", [&](XTokens& l) {
            l.ints({1, 1, 0});
            l.object("Material", "", [&](XTokens& mat) {
                mat.floats({1, 1, 1, 1}).floats({10}).floats({0, 0, 0}).floats({0, 0, 0});
            });
        });
    });
    return x;
}

// p' = p . RotZ . RotY . RotX + position, as the mesh step turns a mesh
// (row vectors), written out for the hand batch.
struct Turn {
    float m[3][3];
    float t[3];
};
Turn turn(const float angle[3], const float position[3]) {
    const float cx = std::cos(angle[0] * kRadiansPerDegree), sx = std::sin(angle[0] * kRadiansPerDegree);
    const float cy = std::cos(angle[1] * kRadiansPerDegree), sy = std::sin(angle[1] * kRadiansPerDegree);
    const float cz = std::cos(angle[2] * kRadiansPerDegree), sz = std::sin(angle[2] * kRadiansPerDegree);
    const float rz[3][3] = {{cz, sz, 0}, {-sz, cz, 0}, {0, 0, 1}};
    const float ry[3][3] = {{cy, 0, -sy}, {0, 1, 0}, {sy, 0, cy}};
    const float rx[3][3] = {{1, 0, 0}, {0, cx, sx}, {0, -sx, cx}};
    float zy[3][3];
    Turn out{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) zy[i][j] = rz[i][0] * ry[0][j] + rz[i][1] * ry[1][j] + rz[i][2] * ry[2][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out.m[i][j] = zy[i][0] * rx[0][j] + zy[i][1] * rx[1][j] + zy[i][2] * rx[2][j];
    for (int i = 0; i < 3; ++i) out.t[i] = position[i];
    return out;
}

class MeshScene {
public:
    static MeshScene& get() {
        static MeshScene& scene = *new MeshScene;
        return scene;
    }
    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }

    // N meshes (the previous ones let go) and the hand batch's copy of them.
    bool setMeshes(std::uint32_t count) {
        activate();
        meshes_->clearAll();
        hand_.assign(count, HandMesh{});
        const NameHandle name = internName("band.x");
        std::shared_ptr<Mesh> first;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::shared_ptr<Mesh> mesh = meshes_->createNamed(name);
            if (!first) {
                if (mesh->loadFromMemory(bandFile_.data(), std::uint32_t(bandFile_.size())) != S_OK) return false;
                first = mesh;
            } else {
                first->copyTo(*mesh);
            }
            mesh->setTexture(textures_[i % kTextures], 0);
            HandMesh& hand = hand_[i];
            hand.position[0] = (float(i % 20) - 9.5f) * 2.2f;
            hand.position[1] = (float(i / 20 % 10) - 4.5f) * 2.2f;
            hand.position[2] = float(i / 200) * 3.0f;
            hand.speed[0] = 1.0f + float(i % 3);
            hand.speed[1] = 2.0f;
            hand.speed[2] = 0.5f + float(i % 5) * 0.25f;
            mesh->setPosition(hand.position[0], hand.position[1], hand.position[2]);
            mesh->setRotationVelocity(hand.speed[0], hand.speed[1], hand.speed[2]);
            mesh->setMaxBounds(1000.0f, 1000.0f, 1000.0f);
            mesh->setMinBounds(-1000.0f, -1000.0f, -1000.0f);
        }
        if (!first || first->getIndexCount() != kBandIndices || first->getSubsetCount() != 1) return false;
        source_ = first->getSourceVertices();
        // The hand batch's indices: each texture's meshes one after another.
        const std::vector<std::uint16_t>& indices = first->getIndices();
        const auto perTexture = std::uint32_t((count + kTextures - 1) / kTextures);
        handVertexCount_ = perTexture * std::uint32_t(source_.size());
        handIndexCount_ = perTexture * std::uint32_t(indices.size());
        if (handVertexCount_ > MeshManager::kPassLimit || handIndexCount_ > MeshManager::kPassLimit) return false;
        void* data = nullptr;
        if (handIndices_->lock(0, handIndexCount_ * 2, &data, D3DLOCK_DISCARD) != D3D_OK) return false;
        auto* out = static_cast<std::uint16_t*>(data);
        for (std::uint32_t m = 0; m < perTexture; ++m)
            for (std::uint16_t index : indices) *out++ = std::uint16_t(index + m * source_.size());
        handIndices_->unlock();
        scratch_.resize(std::size_t(perTexture) * source_.size());
        return true;
    }

    void passFrame() {
        GfxDevice* device = activate();
        device->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->beginScene();
        meshes_->stepPlain();
        meshes_->calcMeshGroup();
        meshes_->drawMeshGroup();
        device->endScene();
        gl_.readBack();
    }

    void handFrame() {
        GfxDevice* device = activate();
        D3DObject* d3d = gl_.d3d();
        device->clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->beginScene();
        d3d->setRenderMode(2);
        d3d->setBlendMode(3);
        device->setMaterial(&white_);
        d3d->applyWorld();
        device->setIndices(handIndices_.get());
        d3d->setOpaqueMode(1);
        // As the pass: a texture's meshes that would bring the frame to
        // 65,535 indices or vertices are turned but not drawn.
        std::uint32_t indexTotal = 0, vertexTotal = 0;
        bool leftOut = false;
        for (std::uint32_t t = 0; t < kTextures; ++t) {
            const auto meshes = std::uint32_t((hand_.size() + kTextures - 1 - t) / kTextures);
            const auto vertices = meshes * std::uint32_t(source_.size());
            leftOut = leftOut || vertexTotal + vertices >= MeshManager::kPassLimit ||
                      indexTotal + meshes * kBandIndices >= MeshManager::kPassLimit;
            void* data = scratch_.data();
            if (!leftOut) {
                device->setStreamSource(0, handBuffers_[t].get(), 0, sizeof(MeshVertex));
                if (handBuffers_[t]->lock(0, vertices * sizeof(MeshVertex), &data, D3DLOCK_DISCARD) != D3D_OK)
                    continue;
            }
            auto* out = static_cast<MeshVertex*>(data);
            for (std::size_t i = t; i < hand_.size(); i += kTextures) {
                HandMesh& mesh = hand_[i];
                for (int axis = 0; axis < 3; ++axis) mesh.angle[axis] += mesh.speed[axis];
                const Turn r = turn(mesh.angle, mesh.position);
                for (const MeshVertex& v : source_) {
                    MeshVertex w = v;
                    w.x = v.x * r.m[0][0] + v.y * r.m[1][0] + v.z * r.m[2][0] + r.t[0];
                    w.y = v.x * r.m[0][1] + v.y * r.m[1][1] + v.z * r.m[2][1] + r.t[1];
                    w.z = v.x * r.m[0][2] + v.y * r.m[1][2] + v.z * r.m[2][2] + r.t[2];
                    *out++ = w;
                }
            }
            if (leftOut) continue;
            handBuffers_[t]->unlock();
            d3d->bindTexture(textures_[t]->getD3DTexture(), textures_[t]->getTag());
            device->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 0, meshes * kBandIndices / 3);
            vertexTotal += vertices;
            indexTotal += meshes * kBandIndices;
        }
        device->endScene();
        gl_.readBack();
    }

    const std::vector<std::uint32_t>& picture() const { return gl_.picture(); }

private:
    struct HandMesh {
        float position[3]{};
        float angle[3]{};
        float speed[3]{};
    };

    MeshScene() { ready_ = build(); }

    GfxDevice* activate() {
        gl_.activate();
        g_textureManager = textures_manager_.get();
        return gl_.device();
    }

    bool build() {
        if (std::string why = gl_.open("mesh pass bench", kWidth, kHeight); !why.empty()) return fail(why);
        D3DObject* d3d = gl_.d3d();
        GfxDevice* device = gl_.device();
        textures_manager_ = std::make_unique<TextureManager>();
        activate();
        setupRenderStates();
        benchgl::lookFromFront(*d3d);
        d3d->updateLighting();
        for (std::uint32_t t = 0; t < kTextures; ++t) {
            std::shared_ptr<Texture> texture =
                textures_manager_->createNamed(internName("band" + std::to_string(t) + ".bmp"));
            if (texture->createEmpty(kTextureSize, kTextureSize, D3DFMT_A8R8G8B8) != S_OK) return fail("no texture");
            D3DLOCKED_RECT locked;
            if (texture->getD3DTexture()->lockRect(0, &locked, nullptr, 0) != D3D_OK) return fail("no texture lock");
            for (int y = 0; y < kTextureSize; ++y)
                for (int x = 0; x < kTextureSize; ++x)
                    static_cast<std::uint32_t*>(
                        locked.pBits)[std::size_t(y) * (std::size_t(locked.Pitch) / 4) + std::size_t(x)] =
                        0xFF000000u | (0x3F << (8 * t)) | (((x ^ y) & 8) ? 0xC0C0C0u : 0);
            texture->getD3DTexture()->unlockRect(0);
            textures_.push_back(texture);
        }
        meshes_ = std::make_unique<MeshManager>();
        bandFile_ = writeXText(band(10, 6));
        white_.Diffuse = white_.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
        for (GfxRef<GfxVertexBuffer>& buffer : handBuffers_)
            if (device->createVertexBuffer(MeshManager::kVertexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                           kD3DXMeshFvf, D3DPOOL_DEFAULT, buffer.put()) != D3D_OK)
                return fail("no hand batch vertex buffer");
        if (device->createIndexBuffer(MeshManager::kIndexBufferBytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                      D3DPOOL_DEFAULT, handIndices_.put()) != D3D_OK)
            return fail("no hand batch index buffer");
        return true;
    }
    bool fail(const std::string& why) {
        error_ = why;
        return false;
    }

    bool ready_ = false;
    std::string error_;
    benchgl::HiddenGlDevice gl_;
    std::unique_ptr<TextureManager> textures_manager_;
    std::vector<std::shared_ptr<Texture>> textures_;
    std::unique_ptr<MeshManager> meshes_;
    std::vector<std::uint8_t> bandFile_;
    D3DMATERIAL9 white_{};
    GfxRef<GfxVertexBuffer> handBuffers_[kTextures];
    GfxRef<GfxIndexBuffer> handIndices_;
    std::vector<MeshVertex> source_;
    std::vector<MeshVertex> scratch_;
    std::vector<HandMesh> hand_;
    std::uint32_t handVertexCount_ = 0, handIndexCount_ = 0;
};

MeshScene* sceneOrSkip(benchmark::State& state) {
    MeshScene* scene = benchgl::readySceneOrSkip<MeshScene>(state);
    if (!scene) return nullptr;
    if (!scene->setMeshes(std::uint32_t(state.range(0)))) {
        state.SkipWithError("the band did not load as 120 triangles in one subset");
        return nullptr;
    }
    return scene;
}

void MeshPass(benchmark::State& state) {
    MeshScene* scene = sceneOrSkip(state);
    if (!scene) return;
    // Warm-up: groups and buffers sized, shaders compiled; the two pictures
    // of the same turn compared (pixels that differ by more than a little
    // in a channel: a few along edges, from rounding).
    std::uint64_t differing = 0;
    for (int i = 0; i < 3; ++i) {
        scene->passFrame();
        const std::vector<std::uint32_t> picture = scene->picture();
        scene->handFrame();
        differing = 0;
        for (std::size_t p = 0; p < picture.size(); ++p)
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(int((picture[p] >> shift) & 0xFF) - int((scene->picture()[p] >> shift) & 0xFF)) > 8) {
                    ++differing;
                    break;
                }
    }
    benchgl::timeAgainstHandBatch(
        state, [&] { scene->passFrame(); }, [&] { scene->handFrame(); });
    state.counters["differing_pixels"] = double(differing);
}

void MeshHandBatch(benchmark::State& state) {
    MeshScene* scene = sceneOrSkip(state);
    if (!scene) return;
    for (int i = 0; i < 3; ++i) scene->handFrame();
    for (auto _ : state) scene->handFrame();
}

// The 20,000-vertex file, made once.
const std::vector<std::uint8_t>& bigFile() {
    static const std::vector<std::uint8_t> file = writeXText(band(199, 99));
    return file;
}

// Every number of the text through strtof (the sum keeps the work); the
// text is copied out before, as a terminated string strtof can stop on.
struct StrtofText {
    explicit StrtofText(const std::vector<std::uint8_t>& file) : text(file.begin(), file.end()) {}
    float scan() const {
        const char* p = text.c_str();
        const char* end = p + text.size();
        float sum = 0.0f;
        while (p < end) {
            const char c = *p;
            if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
                char* after = nullptr;
                sum += std::strtof(p, &after);
                p = after > p ? after : p + 1;
            } else {
                ++p;
            }
        }
        return sum;
    }
    std::string text;
};

void XFileLoadText(benchmark::State& state) {
    const std::vector<std::uint8_t>& file = bigFile();
    const StrtofText text(file);
    g_textureManager = nullptr;
    Mesh mesh;
    if (mesh.loadFromMemory(file.data(), std::uint32_t(file.size())) != S_OK || mesh.getVertexCount() != 20000) {
        state.SkipWithError("the 20,000-vertex band did not load");
        return;
    }
    std::vector<double> load, scan;
    float sink = 0.0f;
    for (auto _ : state) {
        state.PauseTiming();
        Clock::time_point start = Clock::now();
        sink += text.scan();
        scan.push_back(millisecondsSince(start));
        state.ResumeTiming();
        start = Clock::now();
        mesh.loadFromMemory(file.data(), std::uint32_t(file.size()));
        load.push_back(millisecondsSince(start));
    }
    benchmark::DoNotOptimize(sink);
    state.counters["ms"] = median(load);
    state.counters["strtof_ms"] = median(scan);
    state.counters["vs_strtof"] = median(load) / median(scan);
    state.counters["bytes"] = double(file.size());
}

void StrtofScan(benchmark::State& state) {
    const StrtofText text(bigFile());
    for (auto _ : state) benchmark::DoNotOptimize(text.scan());
}
}  // namespace

BENCHMARK(MeshPass)->Arg(200)->Iterations(120)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(MeshHandBatch)->Arg(200)->Iterations(120)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(XFileLoadText)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(StrtofScan)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);
