// vorly-frame: one frame of sprites drawn as the engine draws it, written as
// a PNG picture.
//
//   vorly-frame GAME SCENE OUT.png
//
// GAME is a game folder whose "texture" archive holds the pictures. The tool
// sets up what start-up makes for graphics (device with a 640 x 480 back
// buffer, render target 0, texture manager, sprite pool, sprite managers),
// reads SCENE, draws one frame through renderFrame with the 3-D background
// off, and writes the back buffer to OUT.png. Headless with
// SDL_VIDEODRIVER=offscreen. No other file is written.
//
// SCENE lines (blank lines and lines starting with '#' are skipped):
//   clear R G B
//   sprite TEXTURE X Y W H LEFT TOP RIGHT BOTTOM LAYER BLEND AARRGGBB [ANGLE]
// A sprite is made as the "img" command makes one (W x H pixels of the
// texel rectangle LEFT TOP RIGHT BOTTOM of TEXTURE, a UTF-8 entry name), then
// placed at X Y with its layer, blend group and colour, and with ANGLE turned
// by that many degrees (rotation mode 1026). A sprite the pool cannot give
// is skipped.
//
// The engine's log lines follow on standard error as debug.txt would hold
// them. Exit status: 0 after writing, 1 when the picture cannot be made or
// written or the game's archive ends the program, 2 on a usage error or a
// malformed scene.
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/D3DObject.h"
#include "graphics/FrameCapture.h"
#include "graphics/RenderFrame.h"
#include "graphics/SpriteAllocator.h"
#include "graphics/SpriteManagerManager.h"
#include "graphics/TextureManager.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "input/DInputObject.h"
#include "platform/Window.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace fs = std::filesystem;

namespace {
fs::path g_logFolder;

// Prints the log and removes its folder; also on the archive's fatal exit.
void printLog() {
    if (g_logFolder.empty()) return;
    delete g_debugInfo;
    g_debugInfo = nullptr;
    std::ifstream in(g_logFolder / "debug.txt");
    std::string line;
    while (std::getline(in, line)) std::fprintf(stderr, "%s\n", line.c_str());
    std::error_code ignored;
    fs::remove_all(g_logFolder, ignored);
    g_logFolder.clear();
}

int usage() {
    std::fprintf(stderr, "usage: vorly-frame GAME SCENE OUT.png\n");
    return 2;
}

struct SpriteLine {
    std::string texture;  // cp932
    float x, y, w, h, left, top, right, bottom;
    std::int32_t layer;
    std::uint8_t blend;
    std::uint32_t argb;
    std::optional<float> angle;
};

struct Scene {
    bool hasClear = false;
    std::uint32_t red = 0, green = 0, blue = 0;
    std::vector<SpriteLine> sprites;
};

bool parseFloat(const std::string& word, float& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtof(word.c_str(), &end);
    return end && *end == 0 && end != word.c_str() && errno != ERANGE;
}

bool parseLong(const std::string& word, long long& out, int base = 10) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(word.c_str(), &end, base);
    return end && *end == 0 && end != word.c_str() && errno != ERANGE;
}

// The scene, checked line by line; false (with a message) on the first bad line.
bool readScene(const std::string& path, Scene& scene) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "vorly-frame: cannot read %s\n", path.c_str());
        return false;
    }
    std::string line;
    int number = 0;
    auto bad = [&](const char* why) {
        std::fprintf(stderr, "vorly-frame: %s:%d: %s\n", path.c_str(), number, why);
        return false;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty() || w[0][0] == '#') continue;
        if (w[0] == "clear") {
            long long c[3];
            if (w.size() != 4) return bad("clear takes R G B");
            for (int i = 0; i < 3; ++i)
                if (!parseLong(w[std::size_t(i) + 1], c[i]) || c[i] < 0 || c[i] > 255)
                    return bad("a colour channel is 0 to 255");
            scene.hasClear = true;
            scene.red = std::uint32_t(c[0]);
            scene.green = std::uint32_t(c[1]);
            scene.blue = std::uint32_t(c[2]);
        } else if (w[0] == "sprite") {
            if (w.size() != 13 && w.size() != 14)
                return bad("sprite takes TEXTURE X Y W H LEFT TOP RIGHT BOTTOM LAYER BLEND AARRGGBB [ANGLE]");
            SpriteLine s;
            s.texture = text::utf8ToCp932(w[1]);
            float* floats[8] = {&s.x, &s.y, &s.w, &s.h, &s.left, &s.top, &s.right, &s.bottom};
            for (int i = 0; i < 8; ++i)
                if (!parseFloat(w[std::size_t(i) + 2], *floats[i]))
                    return bad("a position, size or texel is not a number");
            long long layer = 0, blend = 0, argb = 0;
            if (!parseLong(w[10], layer) || layer < INT32_MIN || layer > INT32_MAX) return bad("LAYER is an integer");
            if (!parseLong(w[11], blend) || blend < 0 || blend > 255) return bad("BLEND is 0 to 255");
            if (w[12].size() != 8 || !parseLong(w[12], argb, 16) || argb < 0)
                return bad("the colour is eight hexadecimal digits AARRGGBB");
            s.layer = std::int32_t(layer);
            s.blend = std::uint8_t(blend);
            s.argb = std::uint32_t(argb);
            if (w.size() == 14) {
                float angle = 0;
                if (!parseFloat(w[13], angle)) return bad("ANGLE is not a number");
                s.angle = angle;
            }
            scene.sprites.push_back(s);
        } else {
            return bad("unknown line (clear, sprite, # comment)");
        }
    }
    return true;
}

// Releases everything with the log's folder as the root, so the settings
// file the configuration record writes lands there and goes with it.
int finish(int status) {
    Path::setRoot(g_logFolder);
    releaseAll();
    return status;
}
}  // namespace

int main(int argc, char** argv) {
    markMainThread();
    if (argc != 4) return usage();
    const std::string game = argv[1], scenePath = argv[2], out = fs::absolute(argv[3]).string();
    Scene scene;
    if (!readScene(scenePath, scene)) return 2;

    char folder[] = "/tmp/vorly-frame-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    g_logFolder = folder;
    Path::setRoot(g_logFolder);
    g_debugInfo = new DebugInfo("debug.txt");
    std::atexit(printLog);
    Path::setRoot(fs::absolute(game));

    SdlWindow window;
    SdlWindow::initEvents();
    Window::setInstance(&window);
    if (!window.create("vorly-frame", 0, 0, 640, 480, nullptr)) {
        std::fprintf(stderr, "vorly-frame: no window\n");
        return 1;
    }
    g_d3dObject = new D3DObject();
    if (FAILED(g_d3dObject->initDirect3D()) || FAILED(g_d3dObject->initDevice(640, 480, 60, 1, 0, 0, 1))) {
        std::fprintf(stderr, "vorly-frame: no device\n");
        return finish(1);
    }
    g_d3dObject->setVirtualScreenSize(640, 480);
    g_d3dObject->createRenderTarget(0, 0, 0, RenderTarget::kModeBackBuffer);
    SpriteAllocator::instance().fill();
    g_archiveManager = new ArchiveManager();
    g_archiveManager->loadIndex("texture");
    g_textureManager = new TextureManager();
    g_spriteManagerManager = new SpriteManagerManager();

    if (scene.hasClear) g_d3dObject->setClearColor(scene.red, scene.green, scene.blue);
    for (const SpriteLine& line : scene.sprites) {
        Sprite* sprite = g_spriteManagerManager->createSpriteForTexture(line.w, line.h, line.left, line.top, line.right,
                                                                        line.bottom, line.texture);
        if (!sprite) continue;
        sprite->setX(line.x);
        sprite->setY(line.y);
        sprite->setLayer(line.layer);
        sprite->setBlend(line.blend);
        sprite->setPackedColor(line.argb);
        if (line.angle) sprite->setAngle(Sprite::kRotatedUnlessZero, *line.angle);
    }

    // The configuration record (background off) exists only around the
    // frame: the release writes its settings file, which must not land in
    // the game folder when a missing picture ends the program earlier.
    g_systemInfo = new SystemInfo();
    g_systemInfo->setDrawBg(0);
    // The frame draws only with an input manager.
    g_dinputObject = new DInputObject();
    renderFrame();
    FramePicture picture;
    std::vector<std::uint8_t> png;
    if (FAILED(captureFrame(g_d3dDevice, picture)) || !encodeFramePng(picture, png)) {
        std::fprintf(stderr, "vorly-frame: cannot read the frame back\n");
        return finish(1);
    }
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "vorly-frame: cannot write %s\n", out.c_str());
        return finish(1);
    }
    return finish(0);
}
