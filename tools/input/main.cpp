// vorly-input: the keyboard table and the key configuration files.
//
//   vorly-input keys                 every mapped SDL scancode: "<scancode>\t<DIK>\t<SDL key name>"
//   vorly-input keyconfig FILE       FILE read as "data\keyconfig.dat":
//                                    "name <name>", "map <16 numbers>", "threshold <n>"
//   vorly-input keyboardconfig FILE  FILE read as "data\keyboardconfig.dat": "map <16 numbers>"
//
// The reads run as the engine runs them, from a copy of FILE in a temporary
// game folder; the debug-log lines they write are echoed first as "log: <line>".
// Exit status: 0 after a read, 1 when FILE cannot be read, 2 on a usage error.
#include <SDL.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "input/KeyConfigData.h"
#include "platform/InputKeyTable.h"
#include "platform/Path.h"
#include "platform/TempFolder.h"
#include "platform/Text.h"
#include "services/DebugInfo.h"

namespace fs = std::filesystem;

namespace {
int usage(const char* program) {
    std::fprintf(stderr, "usage: %s keys | keyconfig FILE | keyboardconfig FILE\n", program);
    return 2;
}

int printKeys() {
    for (const InputKeyMapping& mapping : inputKeyTable()) {
        std::printf("%d\t%d\t%s\n", mapping.scancode, mapping.dik,
                    SDL_GetScancodeName(static_cast<SDL_Scancode>(mapping.scancode)));
    }
    return 0;
}

void printMap(const std::uint8_t* map) {
    std::printf("map");
    for (std::size_t i = 0; i < 16; ++i) std::printf(" %u", map[i]);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "keys") return printKeys();
    if (argc != 3) return usage(argv[0]);
    const std::string_view command = argv[1];
    const bool keyboard = command == "keyboardconfig";
    if (!keyboard && command != "keyconfig") return usage(argv[0]);

    // A temporary game folder with a "data" folder and the debug log, removed on exit.
    TempFolder folder("vorly-input");
    std::error_code error;
    if (!folder.ok() || !fs::create_directory(folder.path() / "data", error)) {
        std::fprintf(stderr, "%s: cannot make a temporary folder\n", argv[0]);
        return 1;
    }
    const fs::path copy = folder.path() / "data" / (keyboard ? "keyboardconfig.dat" : "keyconfig.dat");
    if (!fs::is_regular_file(argv[2], error) || !fs::copy_file(argv[2], copy, error)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[2]);
        return 1;
    }
    Path::setRoot(folder.path());
    g_debugInfo = new DebugInfo("debug.txt");

    KeyConfigData config;
    KeyboardConfigBuffer buffer;
    const std::int32_t result = keyboard ? LoadKeyboardConfig(buffer) : LoadKeyConfig(config);

    delete g_debugInfo;
    g_debugInfo = nullptr;
    folder.echoLines("debug.txt", stdout, "log: ");
    if (result != 0) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[2]);
        return 1;
    }
    if (keyboard) {
        printMap(buffer.keys);
        return 0;
    }
    std::printf("name %s\n", text::cp932ToUtf8(config.name).c_str());
    printMap(config.map);
    std::printf("threshold %d\n", config.threshold);
    return 0;
}
