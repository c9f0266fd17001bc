// vorly-scriptrun <file> [--frames N] [--label L] [--at X,Y] [--player X,Y] [--trace]
//                 [--var NAME=VALUE]... [--since-miss N]
//
// Runs one loose script file (read from disk, not through the archive) on a
// plain object for N object steps, headless: no window, no device. The
// emitter is made as the game reset makes its root object, at --at (default
// 320,100), with its main runtime at the "action" labelled L (default "top");
// a player object without a script stands at --player (default 320,400).
// --var sets a game variable before the first frame ("deathnobulletframe",
// "grank" as a game-wide variable is set with --var __grank=...).
// --since-miss N plays as if the player's last miss was N frames before the
// first frame (the count goes up by one a frame); without it no miss counts.
//
// With --trace every execute of the emitter's main runtime prints
//
//   t <frame> <element> <result>
//
// (frames from 1). After each frame's object step every live bullet prints,
// in the bullet list's order,
//
//   b <frame> <id> <x> <y> <direction> <speed>
//
// id being the bullet's tag in the bullet list (from 1), x and y its centre,
// floats in the shortest form that reads back to the same float.
// Debug-log lines go to standard error as "log: <line>".
// Exit status: 0 after N frames; 1 when the file cannot be read or the label
// is missing (with a message), or through the program's fatal path; 2 on a
// usage error.
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "objects/BulletObjectAllocator.h"
#include "objects/BulletObjectManager.h"
#include "platform/Path.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "records/GameInfo.h"
#include "runtime/BMLRuntimeAllocator.h"
#include "runtime/ExBulletML_Runtime.h"
#include "runtime/SysVars.h"
#include "script/BoostContentHandler.h"
#include "script/BoostXML.h"
#include "script/BulletML_Node_Manager.h"
#include "script/ElementId.h"
#include "script/XMLHandler_ii.h"
#include "services/DebugInfo.h"
#include "services/FrameCounter.h"
#include "services/Managers.h"

namespace fs = std::filesystem;

namespace {

// The debug log lives in a temporary folder removed on exit; its lines go to
// standard error once, also when the fatal path ends the program.
struct LogFolder {
    TempFolder folder{"vorly-scriptrun"};
    bool echoed = false;
    void echo() {
        if (echoed) return;
        echoed = true;
        std::fflush(stdout);
        folder.echoLines("debug.txt", stderr, "log: ");
    }
    ~LogFolder() { echo(); }
};

struct Options {
    const char* file = nullptr;
    long frames = 600;
    std::string label = "top";
    float atX = 320.0f, atY = 100.0f;
    float playerX = 320.0f, playerY = 400.0f;
    bool trace = false;
    long sinceMiss = -1;
    std::vector<std::pair<std::string, float>> vars;
};

bool parseVar(const char* text, Options& options) {
    const char* equals = std::strchr(text, '=');
    if (!equals || equals == text) return false;
    char* end = nullptr;
    double value = std::strtod(equals + 1, &end);
    if (end == equals + 1 || *end != '\0') return false;
    options.vars.emplace_back(std::string(text, equals), static_cast<float>(value));
    return true;
}

bool parsePair(const char* text, float& x, float& y) {
    char* end = nullptr;
    double first = std::strtod(text, &end);
    if (end == text || *end != ',') return false;
    const char* second = end + 1;
    double value = std::strtod(second, &end);
    if (end == second || *end != '\0') return false;
    x = static_cast<float>(first);
    y = static_cast<float>(value);
    return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--frames" && hasValue) {
            char* end = nullptr;
            options.frames = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || options.frames < 0) return false;
        } else if (arg == "--var" && hasValue) {
            if (!parseVar(argv[++i], options)) return false;
        } else if (arg == "--since-miss" && hasValue) {
            char* end = nullptr;
            options.sinceMiss = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || options.sinceMiss < 0) return false;
        } else if (arg == "--label" && hasValue) {
            options.label = argv[++i];
        } else if (arg == "--at" && hasValue) {
            if (!parsePair(argv[++i], options.atX, options.atY)) return false;
        } else if (arg == "--player" && hasValue) {
            if (!parsePair(argv[++i], options.playerX, options.playerY)) return false;
        } else if (!arg.empty() && arg[0] != '-' && !options.file) {
            options.file = argv[i];
        } else {
            return false;
        }
    }
    return options.file != nullptr;
}

long g_frame = 0;

void traceExecute(void*, const ExBulletML_Runtime*, std::int32_t code, std::int32_t result) {
    std::string_view name = ElementIdTable::instance().elementName(code);
    std::printf("t %ld %.*s %d\n", g_frame, static_cast<int>(name.size()), name.data(), result);
}

// Appends a float in its shortest exact form and a separator.
char* putFloat(char* at, char* end, float value, char separator) {
    at = std::to_chars(at, end, value).ptr;
    *at++ = separator;
    return at;
}

void printBullets(BulletObjectManager& manager, long frame) {
    IntBulletObjectManager* bullets = manager.getBulletManager();
    for (BulletObject* bullet = bullets->front(); bullet; bullet = IntBulletObjectManager::next(bullet)) {
        if (bullet->getState() != 0) continue;
        char line[160];
        char* const end = line + sizeof(line) - 2;
        int head = std::snprintf(line, sizeof(line), "b %ld %u ", frame, bullet->getTag());
        char* at = line + head;
        at = putFloat(at, end, bullet->getX(), ' ');
        at = putFloat(at, end, bullet->getY(), ' ');
        at = putFloat(at, end, bullet->getDirection(), ' ');
        at = putFloat(at, end, bullet->getSpeed(), '\n');
        std::fwrite(line, 1, static_cast<std::size_t>(at - line), stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The built-in variables are bound before anything else runs.
    registerSysVars();
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s <script file> [--frames N] [--label L] [--at X,Y] [--player X,Y] [--trace] "
                     "[--var NAME=VALUE]... [--since-miss N]\n",
                     argv[0]);
        return 2;
    }
    std::ifstream in(options.file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], options.file);
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    markMainThread();
    static LogFolder logFolder;
    if (logFolder.folder.ok()) {
        Path::setRoot(logFolder.folder.path());
        g_debugInfo = new DebugInfo("debug.txt");
    }

    static BoostContentHandler handler;
    parseXml(text::widen(bytes), handler, fs::path(options.file).filename().string());
    BulletML_Node_Manager* document = handler.getHandler()->getDocument();
    if (!document) {
        logFolder.echo();
        std::fprintf(stderr, "%s: %s holds no script\n", argv[0], options.file);
        return 1;
    }
    document->setQuietLookup(true);
    document->linkRefs();
    NameHandle label = WideNamePool::instance().findOrInsert(text::widen(options.label));
    BulletML_Node* start = document->findLabel(kAction, label);
    document->setQuietLookup(false);
    if (!start) {
        logFolder.echo();
        std::fprintf(stderr, "%s: no action labelled \"%s\" in %s\n", argv[0], options.label.c_str(), options.file);
        return 1;
    }
    ExBulletML_Runtime::setDocument(document);
    // Game variables (and the play field's bounds) as scripts read them.
    g_gameInfo = new GameInfo();
    for (const auto& [name, value] : options.vars) {
        // Two leading underscores name a game-wide variable, as in expressions.
        if (name.size() > 2 && name.compare(0, 2, "__") == 0) {
            g_gameInfo->setGlobalVar(internName(name.substr(2)), value);
        } else {
            g_gameInfo->setVar(internName(name), value);
        }
    }
    if (options.sinceMiss >= 0) {
        g_frameCounter = new FrameCounter();
        g_frameCounter->resetMissFrames();
        for (long i = 0; i < options.sinceMiss; ++i) g_frameCounter->tickMissFrames();
    }
    BMLRuntimeAllocator::instance().prefill();
    BulletObjectAllocator::instance().fill();
    g_bulletObjectManager = new BulletObjectManager();
    BulletObjectManager& manager = *g_bulletObjectManager;

    // The player: an object without a script.
    BulletObject* player = manager.createPlainObject();
    BulletObject* emitter = manager.createPlainObject();
    if (!player || !emitter) {
        logFolder.echo();
        std::fprintf(stderr, "%s: no object\n", argv[0]);
        return 1;
    }
    player->setKind(object_kind::kPlayer);
    player->setX(options.playerX);
    player->setY(options.playerY);
    player->setSpeed(0.0f);
    manager.setPlayer(player);

    // The emitter, as the game reset makes its root object.
    emitter->setX(options.atX);
    emitter->setY(options.atY);
    emitter->setActive(0);
    emitter->setSpeed(0.0f);
    emitter->applyImageBounds(2);
    emitter->setEdgeBoundsMax(2000.0f, 2000.0f);
    emitter->setEdgeBoundsMin(-2000.0f, -2000.0f);
    ExBulletML_Runtime* runtime = manager.getRuntime();
    if (!runtime) {
        logFolder.echo();
        std::fprintf(stderr, "%s: no runtime\n", argv[0]);
        return 1;
    }
    if (options.label == "top") runtime->setupTop();
    else runtime->setupByLabel(kAction, label);
    if (options.trace) runtime->setExecuteObserver(&traceExecute, nullptr);
    emitter->setMainRuntime(runtime);
    emitter->setRuntimeActive(1);

    for (g_frame = 1; g_frame <= options.frames; ++g_frame) {
        manager.resetEnemyCountCache();
        manager.execBullet();
        printBullets(manager, g_frame);
        if (g_frameCounter) g_frameCounter->tickMissFrames();
    }

    delete g_bulletObjectManager;
    g_bulletObjectManager = nullptr;
    BulletObjectAllocator::instance().freeBlocks();
    delete g_frameCounter;
    g_frameCounter = nullptr;
    delete g_gameInfo;
    g_gameInfo = nullptr;
    std::fflush(stdout);
    delete g_debugInfo;
    g_debugInfo = nullptr;
    logFolder.echo();
    return 0;
}
