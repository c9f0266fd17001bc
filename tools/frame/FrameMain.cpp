// vorly-frame: one frame of sprites drawn as the engine draws it, written as
// a PNG picture.
//
//   vorly-frame GAME SCENE OUT.png
//
// GAME is a game folder whose "texture" archive holds the pictures. The tool
// sets up what start-up makes for graphics (device with a 640 x 480 back
// buffer unless the scene asks for another, the scene's states, the render
// targets, texture manager, sprite pool, sprite managers, game records and
// input manager), reads SCENE, draws one frame through renderFrame, and
// writes the back buffer to OUT.png. Headless with SDL_VIDEODRIVER=offscreen.
// No other file is written.
//
// SCENE lines (blank lines and lines starting with '#' are skipped):
//   clear R G B
//   sprite TEXTURE X Y W H LEFT TOP RIGHT BOTTOM LAYER BLEND AARRGGBB [ANGLE]
//   backbuffer W H                 the device's back buffer (640 480)
//   config systype|drawbg|wide|fulldraw V
//   var NAME V                     a game variable (var effectmesh 1)
//   target N active F | target N fullview F
//   target N color A R G B add|maskadd|noalpha|normal
//   effectrect X Y W H AARRGGBB    written into target 1 in the effect pass
//                                  (its texels, blending off, alpha kept)
//   toggle | reset                 toggleFullScreen, resetDevice(0)
// Whatever their place, they apply in this order: backbuffer; config, then
// the render targets as start-up makes them; var; target; effectrect;
// toggle and reset in file order; then clear and the sprites. The 3-D
// background is off unless "config drawbg 1".
// A sprite is made as the "img" command makes one (W x H of the texel
// rectangle LEFT TOP RIGHT BOTTOM of TEXTURE, a UTF-8 entry name), then
// placed at X Y with its layer, blend group and colour (places and sizes in
// units of the 640 x 480 virtual screen, converted to the back buffer), and
// with ANGLE turned by that many degrees (rotation mode 1026). A sprite the
// pool cannot give is skipped.
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
#include <memory>
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
#include "input/DInputObject.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/TempFolder.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "records/GameInfo.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/InitGame.h"

namespace fs = std::filesystem;

namespace {
// The debug log's temporary folder, made by main and kept to the end.
TempFolder* g_logFolder = nullptr;

// Prints the log and removes its folder; also on the archive's fatal exit.
void printLog() {
    if (!g_logFolder) return;
    delete g_debugInfo;
    g_debugInfo = nullptr;
    g_logFolder->echoLines("debug.txt", stderr, "");
    delete g_logFolder;
    g_logFolder = nullptr;
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

struct TargetLine {
    std::uint32_t index = 0;
    enum Kind { kActive, kFullView, kColor } kind = kActive;
    std::int32_t flag = 0;
    float a = 0, r = 0, g = 0, b = 0;
    std::uint8_t group = 3;
};

struct EffectRect {
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    std::uint32_t argb = 0;
};

struct Scene {
    bool hasClear = false;
    std::uint32_t red = 0, green = 0, blue = 0;
    std::uint32_t backWidth = 640, backHeight = 480;
    std::vector<std::pair<std::string, std::int32_t>> configs;
    std::vector<std::pair<std::string, float>> vars;
    std::vector<TargetLine> targets;
    std::vector<EffectRect> effectRects;
    std::vector<std::string> switches;  // "toggle", "reset"
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
        } else if (w[0] == "backbuffer") {
            long long width = 0, height = 0;
            if (w.size() != 3 || !parseLong(w[1], width) || !parseLong(w[2], height) || width < 1 || height < 1 ||
                width > 4096 || height > 4096)
                return bad("backbuffer takes W H, 1 to 4096");
            scene.backWidth = std::uint32_t(width);
            scene.backHeight = std::uint32_t(height);
        } else if (w[0] == "config") {
            long long value = 0;
            if (w.size() != 3 || (w[1] != "systype" && w[1] != "drawbg" && w[1] != "wide" && w[1] != "fulldraw") ||
                !parseLong(w[2], value) || value < 0 || value > INT32_MAX)
                return bad("config takes systype|drawbg|wide|fulldraw and a value 0 and above");
            scene.configs.emplace_back(w[1], std::int32_t(value));
        } else if (w[0] == "var") {
            float value = 0;
            if (w.size() != 3 || !parseFloat(w[2], value)) return bad("var takes NAME and a number");
            scene.vars.emplace_back(w[1], value);
        } else if (w[0] == "target") {
            TargetLine t;
            long long index = 0;
            if (w.size() < 3 || !parseLong(w[1], index) || index < 0 || index > 255)
                return bad("target takes N (0 to 255), then active, fullview or color");
            t.index = std::uint32_t(index);
            if (w[2] == "active" || w[2] == "fullview") {
                long long flag = 0;
                if (w.size() != 4 || !parseLong(w[3], flag) || flag < 0 || flag > 1)
                    return bad("target N active|fullview takes 0 or 1");
                t.kind = w[2] == "active" ? TargetLine::kActive : TargetLine::kFullView;
                t.flag = std::int32_t(flag);
            } else if (w[2] == "color") {
                long long c[4];
                if (w.size() != 8) return bad("target N color takes A R G B add|maskadd|noalpha|normal");
                for (int i = 0; i < 4; ++i)
                    if (!parseLong(w[std::size_t(i) + 3], c[i]) || c[i] < 0 || c[i] > 255)
                        return bad("a colour channel is 0 to 255");
                const std::string& type = w[7];
                if (type == "add") {
                    t.group = 2;
                } else if (type == "maskadd") {
                    t.group = 5;
                } else if (type == "noalpha") {
                    t.group = 6;
                } else if (type == "normal") {
                    t.group = 3;
                } else {
                    return bad("the colour type is add, maskadd, noalpha or normal");
                }
                t.kind = TargetLine::kColor;
                t.a = float(c[0]);
                t.r = float(c[1]);
                t.g = float(c[2]);
                t.b = float(c[3]);
            } else {
                return bad("target N takes active, fullview or color");
            }
            scene.targets.push_back(t);
        } else if (w[0] == "effectrect") {
            long long v[4], argb = 0;
            if (w.size() != 6) return bad("effectrect takes X Y W H AARRGGBB");
            for (int i = 0; i < 4; ++i)
                if (!parseLong(w[std::size_t(i) + 1], v[i]) || v[i] < 0 || v[i] > 4096)
                    return bad("a place or size is 0 to 4096");
            if (w[5].size() != 8 || !parseLong(w[5], argb, 16) || argb < 0)
                return bad("the colour is eight hexadecimal digits AARRGGBB");
            scene.effectRects.push_back(
                {std::int32_t(v[0]), std::int32_t(v[1]), std::int32_t(v[2]), std::int32_t(v[3]), std::uint32_t(argb)});
        } else if (w[0] == "toggle" || w[0] == "reset") {
            if (w.size() != 1) return bad("toggle and reset take nothing");
            scene.switches.push_back(w[0]);
        } else {
            return bad("unknown line (clear, sprite, backbuffer, config, var, target, effectrect, toggle, reset)");
        }
    }
    return true;
}

// A "target" line, as the script commands do it; an absent target is named.
void applyTarget(const TargetLine& line) {
    RenderTarget* target = g_d3dObject->getRenderTarget(line.index);
    if (!target) {
        std::fprintf(stderr, "vorly-frame: no render target %u\n", line.index);
        return;
    }
    switch (line.kind) {
        case TargetLine::kActive: g_d3dObject->setRenderTargetActive(line.index, line.flag); break;
        case TargetLine::kFullView: target->setFullView(std::uint32_t(line.flag)); break;
        case TargetLine::kColor:
            if (Sprite* sprite = target->getSprite()) {
                sprite->setColor(line.a, line.r, line.g, line.b);
                target->setColor(std::uint32_t(line.a), std::uint32_t(line.r), std::uint32_t(line.g),
                                 std::uint32_t(line.b));
                target->setColorMode(line.group);
                sprite->setBlend(line.group);
            }
            break;
    }
}

// The rectangle written into the selected target (render target 1 in the
// effect pass) in its texels: a clear, so blending is off and alpha is kept.
void drawEffectRect(const EffectRect& rect) {
    GfxDevice* device = g_d3dDevice;
    if (!device) return;
    GfxRef<GfxSurface> target;
    D3DSURFACE_DESC desc{};
    if (FAILED(device->getRenderTarget(0, target.put())) || FAILED(target->getDesc(&desc))) return;
    D3DVIEWPORT9 saved{};
    device->getViewport(&saved);
    D3DVIEWPORT9 whole{0, 0, desc.Width, desc.Height, 0.0f, 1.0f};
    device->setViewport(&whole);
    const D3DRECT r{rect.x, rect.y, rect.x + rect.w, rect.y + rect.h};
    device->clear(1, &r, D3DCLEAR_TARGET, rect.argb, 1.0f, 0);
    device->setViewport(&saved);
}

// Releases everything with the log's folder as the root, so the settings
// file the configuration record writes lands there and goes with it.
int finish(int status) {
    Path::setRoot(g_logFolder->path());
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

    g_logFolder = new TempFolder("vorly-frame");
    if (!g_logFolder->ok()) return 1;
    Path::setRoot(g_logFolder->path());
    g_debugInfo = new DebugInfo("debug.txt");
    std::atexit(printLog);
    Path::setRoot(fs::absolute(game));

    // Nothing here reads the quit message: a signal ends the tool.
    SdlWindow::leaveSignalsToProcess();
    SdlWindow window;
    SdlWindow::initEvents();
    Window::setInstance(&window);
    if (!window.create("vorly-frame", 0, 0, 640, 480, nullptr)) {
        std::fprintf(stderr, "vorly-frame: no window\n");
        return 1;
    }
    g_d3dObject = new D3DObject();
    if (FAILED(g_d3dObject->initDirect3D()) ||
        FAILED(g_d3dObject->initDevice(scene.backWidth, scene.backHeight, 60, 1, 0, 0, 1))) {
        std::fprintf(stderr, "vorly-frame: no device\n");
        return finish(1);
    }
    g_d3dObject->setVirtualScreenSize(640, 480);
    SpriteAllocator::instance().fill();
    g_archiveManager = new ArchiveManager();
    g_archiveManager->loadIndex("texture");
    g_textureManager = new TextureManager();
    g_spriteManagerManager = new SpriteManagerManager();
    // The frame draws only with an input manager; game variables and the
    // full-draw flag are the game records'.
    g_dinputObject = new DInputObject();
    g_gameInfo = new GameInfo();
    setupRenderStates();

    // The configuration record (background off unless asked) exists only
    // while the targets are made and around the frame: the release writes
    // its settings file, which must not land in the game folder when a
    // missing picture ends the program while the sprites are made.
    auto config = std::make_unique<SystemInfo>();
    config->setDrawBg(0);
    for (const auto& [name, value] : scene.configs) {
        const std::uint32_t v = std::uint32_t(value);
        if (name == "systype") config->setSystemType(v);
        if (name == "drawbg") config->setDrawBg(v);
        if (name == "wide") config->setWideCompress(v);
        if (name == "fulldraw") g_gameInfo->setFullDraw(value);
    }
    g_systemInfo = config.get();
    createRenderTargets();
    for (const auto& [name, value] : scene.vars) g_gameInfo->setVar(internName(name), value);
    for (const TargetLine& line : scene.targets) applyTarget(line);
    if (!scene.effectRects.empty()) {
        setEffectPassDrawer([rects = scene.effectRects] {
            for (const EffectRect& rect : rects) drawEffectRect(rect);
        });
    }
    for (const std::string& change : scene.switches) {
        const HRESULT hr = change == "toggle" ? g_d3dObject->toggleFullScreen() : g_d3dObject->resetDevice(0);
        if (FAILED(hr)) std::fprintf(stderr, "vorly-frame: %s failed\n", change.c_str());
    }
    g_systemInfo = nullptr;

    if (scene.hasClear) g_d3dObject->setClearColor(scene.red, scene.green, scene.blue);
    for (const SpriteLine& line : scene.sprites) {
        // Places and sizes are the virtual screen's, as a script gives them.
        D3DObject& d3d = *g_d3dObject;
        Sprite* sprite = g_spriteManagerManager->createSpriteForTexture(
            d3d.toDeviceX(line.w), d3d.toDeviceY(line.h), line.left, line.top, line.right, line.bottom, line.texture);
        if (!sprite) continue;
        sprite->setX(d3d.toDeviceX(line.x));
        sprite->setY(d3d.toDeviceY(line.y));
        sprite->setLayer(line.layer);
        sprite->setBlend(line.blend);
        sprite->setPackedColor(line.argb);
        if (line.angle) sprite->setAngle(Sprite::kRotatedUnlessZero, *line.angle);
    }

    g_systemInfo = config.release();
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
