// Textures: a PNG and a DXT1 file through Texture::load against plain libpng
// and a plain create + lock + copy of the same blocks; one glyph drawn by
// updateText against one glyph outline; the per-frame steps that must not
// allocate (texture manager update and flush, updateText with nothing
// pending), counted. All on the recording device, in one run.
#include <benchmark/benchmark.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "AllocationCounter.h"
#include "graphics/D3DDevice.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "platform/Glyph.h"
#include "platform/Path.h"
#include "platform/Window.h"
#include "platform/gfx/GfxAdapter.h"
#include "platform/gfx/PngWriter.h"
#include "platform/gfx/RecordingDevice.h"
#include "services/ArchiveManager.h"
#include "services/Managers.h"

namespace {
constexpr std::uint32_t kSide = 256;

// A game folder with a "texture" archive, the recording device as
// g_d3dDevice, for the life of the bench program.
struct Stage {
    RecordingBackend backend;
    TestWindow window;
    GfxRef<GfxAdapter> adapter;
    GfxRef<GfxDevice> device;
    std::filesystem::path folder;
    ArchiveManager* archives = nullptr;
    std::vector<std::uint8_t> png, dds;

    Stage() {
        folder = std::filesystem::temp_directory_path() / ("vorly-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder / "texture");
        Path::setRoot(folder);
        std::vector<std::uint32_t> pixels(kSide * kSide);
        for (std::uint32_t i = 0; i < pixels.size(); ++i) pixels[i] = 0x80000000u | (i * 2654435761u >> 8);
        encodePngRgba(kSide, kSide, pixels.data(), png);
        dds.assign(128, 0);
        const std::uint32_t header[] = {0x20534444, 124, 0x1007, 512, 512, 0, 0, 1};
        std::memcpy(dds.data(), header, sizeof header);
        const std::uint32_t pf[] = {32, 4, 0x31545844};
        std::memcpy(dds.data() + 76, pf, sizeof pf);
        for (std::uint32_t i = 0; i < 512 * 512 / 2; ++i) dds.push_back(std::uint8_t(i * 37));
        std::ofstream(folder / "texture" / "bench.png", std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
        std::ofstream(folder / "texture" / "bench.dds", std::ios::binary)
            .write(reinterpret_cast<const char*>(dds.data()), std::streamsize(dds.size()));
        archives = g_archiveManager = new ArchiveManager();
        g_archiveManager->buildTextureArchive("texture");
        g_archiveManager->loadIndex("texture");
        adapter = GfxRef<GfxAdapter>::adopt(GfxAdapter::create(D3D_SDK_VERSION));
        D3DPRESENT_PARAMETERS p;
        p.BackBufferWidth = 640;
        p.BackBufferHeight = 480;
        p.BackBufferFormat = D3DFMT_A8R8G8B8;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = 1;
        adapter->createDevice(0, D3DDEVTYPE_HAL, &window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, device.put());
        g_d3dDevice = device.get();
        // The recording backend makes this device only: the drawing
        // benchmarks after it get OpenGL adapters.
        GfxAdapter::setFactory({});
    }
    ~Stage() {
        g_d3dDevice = nullptr;
        delete archives;
        g_archiveManager = nullptr;
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    void keepLogQuiet() { backend.clearCalls(); }
};

// The stage, with the engine's pointers set to it again: other benchmarks of
// the program point them at objects of their own.
Stage& stage() {
    static Stage s;
    g_d3dDevice = s.device.get();
    g_archiveManager = s.archives;
    Path::setRoot(s.folder);
    return s;
}

struct PngSource {
    const std::uint8_t* data;
    std::size_t size, at;
};
void readPng(png_structp png, png_bytep out, png_size_t length) {
    auto* s = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > s->size - s->at) png_error(png, "short");
    std::memcpy(out, s->data + s->at, length);
    s->at += length;
}
void pngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngQuiet(png_structp, png_const_charp) {}

// Plain libpng: the same bytes to 8-bit BGRA rows.
bool plainDecode(const std::vector<std::uint8_t>& bytes, std::uint8_t* out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngQuiet);
    png_infop info = png_create_info_struct(png);
    PngSource source{bytes.data(), bytes.size(), 0};
    volatile bool ok = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &source, readPng);
        png_read_info(png, info);
        png_set_bgr(png);
        png_read_update_info(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        const std::size_t rowBytes = png_get_rowbytes(png, info);
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, out + rowBytes * y, nullptr);
        ok = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return ok;
}
}  // namespace

static void LibpngDecode(benchmark::State& state) {
    Stage& s = stage();
    std::vector<std::uint8_t> out(kSide * kSide * 4);
    for (auto _ : state) benchmark::DoNotOptimize(plainDecode(s.png, out.data()));
}
BENCHMARK(LibpngDecode);

static void TextureLoadPng(benchmark::State& state) {
    Stage& s = stage();
    Texture texture;
    for (auto _ : state) {
        benchmark::DoNotOptimize(texture.load("bench.png", D3DX_FILTER_LINEAR, 1));
        s.keepLogQuiet();
    }
}
BENCHMARK(TextureLoadPng);

static void TextureCopyDxt(benchmark::State& state) {
    Stage& s = stage();
    const std::uint8_t* blocks = s.dds.data() + 128;
    for (auto _ : state) {
        GfxRef<GfxTexture> texture;
        s.device->createTexture(512, 512, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, texture.put());
        D3DLOCKED_RECT locked;
        texture->lockRect(0, &locked, nullptr, 0);
        for (std::uint32_t row = 0; row < 128; ++row)
            std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + locked.Pitch * row, blocks + 128 * 8 * row, 128 * 8);
        texture->unlockRect(0);
        s.keepLogQuiet();
    }
}
BENCHMARK(TextureCopyDxt);

// The DDS reader's share of a load: the file's bytes to a texture (the
// archive read, measured by TextureLoadPng's path, left out).
static void TextureLoadDxt(benchmark::State& state) {
    Stage& s = stage();
    for (auto _ : state) {
        GfxTexture* made = nullptr;
        D3DXCreateTextureFromFileInMemoryEx(s.device.get(), s.dds.data(), std::uint32_t(s.dds.size()), D3DX_DEFAULT,
                                            D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_LINEAR,
                                            D3DX_DEFAULT, Texture::kColorKey, nullptr, nullptr, &made);
        GfxRef<GfxTexture>::adopt(made);
        s.keepLogQuiet();
    }
}
BENCHMARK(TextureLoadDxt);

static void GlyphOutline(benchmark::State& state) {
    FontDesc desc;
    desc.height = 24;
    desc.faceName = "ＭＳ ゴシック";
    auto font = GlyphSystem::instance().createFont(desc);
    std::vector<std::uint8_t> buffer(Texture::kGlyphBufferSize);
    GlyphMetrics metrics;
    // Two characters in turn, so every call renders.
    std::uint32_t codes[2] = {0x82A0, 0x82A2};
    std::uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(font->glyphOutline(codes[i++ & 1], metrics, buffer.data(), Texture::kGlyphBufferSize));
    }
}
BENCHMARK(GlyphOutline);

static void TextGlyphDraw(benchmark::State& state) {
    Stage& s = stage();
    Texture texture;
    texture.createEmpty(1024, 1024, D3DFMT_A8R8G8B8);
    texture.setTextBoxSize(1024, 1024);
    texture.setFontSize(24);
    texture.setFontColor(0xFFFFFF);
    texture.setStringWait(1);
    std::string text;
    for (int i = 0; i < 800; ++i) text += (i & 1) ? "\x82\xa2" : "\x82\xa0";
    texture.setString(text);
    for (auto _ : state) {
        if (texture.getPendingGlyphs() <= 0) {
            state.PauseTiming();
            texture.setString(text);
            state.ResumeTiming();
        }
        texture.updateText();
        s.keepLogQuiet();
    }
}
BENCHMARK(TextGlyphDraw);

// Must allocate nothing: reported as allocations per iteration.
static void TextureFrameStepsAllocate(benchmark::State& state) {
    Stage& s = stage();
    TextureManager manager;
    for (int i = 0; i < 64; ++i) manager.create();
    Texture texture;
    texture.createEmpty(64, 64, D3DFMT_A8R8G8B8);
    texture.setTextBoxSize(64, 64);
    texture.setFontSize(16);
    texture.setStringWait(0);
    texture.setString("\x82\xa0");
    texture.updateText();
    s.keepLogQuiet();
    const std::uint64_t before = allocationCount();
    for (auto _ : state) {
        manager.update();
        manager.flushRemoveQueue();
        texture.updateText();
    }
    state.counters["allocs_per_iter"] =
        benchmark::Counter(double(allocationCount() - before) / double(state.iterations()));
}
BENCHMARK(TextureFrameStepsAllocate);
