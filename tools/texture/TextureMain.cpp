// vorly-texture: textures as the engine makes them, on the device start-up
// makes (640 x 480 in a window; headless with SDL_VIDEODRIVER=offscreen).
//
//   vorly-texture info GAME NAME...   per name: NAME WIDTH HEIGHT FORMAT FILEFORMAT LEVELS
//   vorly-texture png GAME NAME OUT.png
//   vorly-texture text OUT.png WIDTH HEIGHT FONTSIZE TEXTFILE [RRGGBB] [--system-type N]
//   (--log anywhere: the debug log's lines also after a success)
//
// GAME is a game folder whose "texture" archive holds the pictures; NAME is
// an entry name (UTF-8 here, cp932 in the archive). info prints the image
// info in decimal; png writes level 0 as 8-bit RGBA (alpha 255 for formats
// without alpha); text draws the file's cp932 bytes into an A8R8G8B8 texture
// of that size (the text box), all at once. After a failure, or with --log,
// the debug log's lines follow on standard error as debug.txt would hold them
// (standard output carries info's lines alone); a success is otherwise quiet.
// A name missing from the archive ends the run as it ends the game, after its
// log line. Exit status: 0, 1 when a load or a write fails, 2 on a usage error.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/D3DObject.h"
#include "graphics/Texture.h"
#include "graphics/TextureManager.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/TempFolder.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "platform/gfx/PngWriter.h"
#include "services/ArchiveManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"

namespace fs = std::filesystem;

namespace {
// The debug log's temporary folder, made by main and kept to the end.
TempFolder* g_logFolder = nullptr;
// Whether the run failed (so far: the archive's fatal exit ends it without
// returning) and whether the log was asked for.
bool g_failed = true;
bool g_logAsked = false;

// Prints the log when it is to be shown and removes its folder; also on the
// archive's fatal exit.
void printLog() {
    if (!g_logFolder) return;
    delete g_debugInfo;
    g_debugInfo = nullptr;
    std::fflush(stdout);
    if (g_failed) std::fprintf(stderr, "vorly-texture: failed; the debug log follows\n");
    if (g_failed || g_logAsked) g_logFolder->echoLines("debug.txt", stderr, "");
    delete g_logFolder;
    g_logFolder = nullptr;
}

int usage() {
    std::fprintf(stderr,
                 "usage: vorly-texture info GAME NAME...\n"
                 "       vorly-texture png GAME NAME OUT.png\n"
                 "       vorly-texture text OUT.png WIDTH HEIGHT FONTSIZE TEXTFILE [RRGGBB] [--system-type N]\n"
                 "       --log: the debug log also after a success\n");
    return 2;
}

bool parseNumber(const char* text, long& out, int base = 10) {
    char* end = nullptr;
    out = std::strtol(text, &end, base);
    return end && *end == 0 && end != text;
}

bool writePng(GfxTexture* texture, const std::string& path) {
    std::vector<std::uint32_t> argb;
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> png;
    if (FAILED(readTextureLevel(texture, 0, argb, width, height)) || !encodePngRgba(width, height, argb.data(), png)) {
        std::fprintf(stderr, "vorly-texture: cannot read the texture back\n");
        return false;
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    if (!out) {
        std::fprintf(stderr, "vorly-texture: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

int runInfoOrPng(bool png, const std::vector<std::string>& names, const std::string& out) {
    g_archiveManager = new ArchiveManager();
    g_archiveManager->loadIndex("texture");
    g_textureManager = new TextureManager();
    int status = 0;
    for (const std::string& name : names) {
        auto texture = g_textureManager->loadTexture(text::utf8ToCp932(name));
        if (!texture) {
            status = 1;
            continue;
        }
        const D3DXIMAGE_INFO& info = texture->getImageInfo();
        if (png) {
            if (!writePng(texture->getD3DTexture(), out)) status = 1;
        } else {
            std::printf("%s %u %u %u %u %u\n", name.c_str(), info.Width, info.Height, unsigned(info.Format),
                        unsigned(info.ImageFileFormat), info.MipLevels);
        }
    }
    return status;
}

int runText(const std::string& out, std::uint32_t width, std::uint32_t height, std::int32_t fontSize,
            const std::string& textFile, std::uint32_t colour) {
    std::ifstream in(textFile, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "vorly-texture: cannot read %s\n", textFile.c_str());
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A text file's last line end is not part of the text.
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
    Texture texture;
    if (FAILED(texture.createEmpty(width, height, D3DFMT_A8R8G8B8))) return 1;
    texture.setTextBoxSize(width, height);
    texture.setFontSize(fontSize);
    texture.setFontColor(colour);
    if (FAILED(texture.setString(bytes))) return 1;
    texture.setStringWait(0);
    texture.updateText();
    return writePng(texture.getD3DTexture(), out) ? 0 : 1;
}

// The status, noted for the log's printing at exit.
int finish(int status) {
    g_failed = status != 0;
    return status;
}
}  // namespace

int main(int argc, char** argv) {
    // The archive's fatal exit ends the process from this thread.
    markMainThread();
    if (argc < 2) return usage();
    const std::string mode = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    const auto logOption = std::find(args.begin(), args.end(), "--log");
    g_logAsked = logOption != args.end();
    if (g_logAsked) args.erase(logOption);
    std::uint32_t systemType = 0;
    if (mode == "text") {
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--system-type") {
                long n = 0;
                if (i + 1 >= args.size() || !parseNumber(args[i + 1].c_str(), n)) return usage();
                systemType = std::uint32_t(n);
                args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
                break;
            }
        }
        if (args.size() != 5 && args.size() != 6) return usage();
    } else if (mode == "info") {
        if (args.size() < 2) return usage();
    } else if (mode == "png") {
        if (args.size() != 3) return usage();
    } else {
        return usage();
    }

    // The log goes to a folder of its own, printed at the end.
    g_logFolder = new TempFolder("vorly-texture");
    if (!g_logFolder->ok()) return 1;
    Path::setRoot(g_logFolder->path());
    g_debugInfo = new DebugInfo("debug.txt");
    std::atexit(printLog);
    if (mode != "text") Path::setRoot(fs::absolute(args[0]));

    // Nothing here reads the quit message: a signal ends the tool.
    SdlWindow::leaveSignalsToProcess();
    SdlWindow window;
    SdlWindow::initEvents();
    Window::setInstance(&window);
    if (!window.create("vorly-texture", 0, 0, 640, 480, nullptr)) {
        std::fprintf(stderr, "vorly-texture: no window\n");
        return 1;
    }
    // The configuration record writes its settings file when released: only
    // the text mode, which reads no archive, makes one (for the system type),
    // and the release runs with the log's folder as the root.
    if (mode == "text") {
        g_systemInfo = new SystemInfo();
        g_systemInfo->setSystemType(systemType);
    }
    g_d3dObject = new D3DObject();
    if (FAILED(g_d3dObject->initDirect3D()) || FAILED(g_d3dObject->initDevice(640, 480, 60, 1, 0, 0, 1))) {
        std::fprintf(stderr, "vorly-texture: no device\n");
        Path::setRoot(g_logFolder->path());
        releaseAll();
        return 1;
    }
    g_d3dObject->setVirtualScreenSize(640, 480);

    int status;
    if (mode == "text") {
        long width = 0, height = 0, size = 0, colour = 0xFFFFFF;
        if (!parseNumber(args[1].c_str(), width) || !parseNumber(args[2].c_str(), height) ||
            !parseNumber(args[3].c_str(), size) || (args.size() == 6 && !parseNumber(args[5].c_str(), colour, 16)) ||
            width <= 0 || height <= 0) {
            Path::setRoot(g_logFolder->path());
            releaseAll();
            return usage();
        }
        status = runText(args[0], std::uint32_t(width), std::uint32_t(height), std::int32_t(size), args[4],
                         std::uint32_t(colour) & 0xFFFFFF);
    } else {
        status = runInfoOrPng(mode == "png", std::vector<std::string>(args.begin() + 1, args.end() - (mode == "png")),
                              mode == "png" ? args.back() : std::string());
    }
    Path::setRoot(g_logFolder->path());
    releaseAll();
    return finish(status);
}
