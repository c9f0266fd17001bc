// vorly-replay: a replay file as the engine reads it.
//
//   vorly-replay dump FILE       the header fields one per line, then one line per
//                                stage: "stage <s> f1=.. ... f22=.. words=<n>"
//   vorly-replay words FILE S    stage S's expanded words, one 4-digit hex word a line
//
// FILE is any path: the engine's paths are rooted at its folder and the file is
// loaded as a replay slot is. The debug-log lines the load writes are echoed
// first as "log: <line>". Exit status: 0 after a load, 1 when the file does not
// load (or has no stage S), 2 on a usage error.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "input/ReplayFormat.h"
#include "input/ReplayManager.h"
#include "platform/Path.h"
#include "services/DebugInfo.h"

namespace fs = std::filesystem;

namespace {

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s dump FILE | words FILE STAGE\n", program);
    return 2;
}

void echoLog(const fs::path& log) {
    std::ifstream in(log, std::ios::binary);
    for (std::string line; std::getline(in, line);) std::printf("log: %s\n", line.c_str());
}

void dump(const ReplayData& r) {
    std::printf("version 0x%03x\n", r.version);
    std::printf("modeflags 0x%x\n", r.modeFlags);
    std::printf("score %u\n", r.score);
    std::printf("stagemask 0x%x\n", r.stageMask);
    std::printf("name %s\n", r.name.c_str());
    std::printf("date %s\n", r.date.c_str());
    std::printf("machineid 0x%08x 0x%08x\n", r.machineId0, r.machineId1);
    std::printf("flagbyte %u\n", r.flagByte);
    std::printf("readtexts %u\n", r.readTextCount);
    std::printf("dframe %d\n", r.totalPlayFrames);
    std::printf("gameflags");
    for (auto f : r.gameFlags) std::printf(" %u", f);
    std::printf("\n");
    for (const auto& [s, stage] : r.stages) {
        std::printf("stage %d", s);
        for (int n = 1; n <= 22; ++n) std::printf(" f%d=%u", n, stage->field(n));
        std::printf(" words=%u\n", stage->field(2) / 2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage(argv[0]);
    const std::string_view command = argv[1];
    if (!((command == "dump" && argc == 3) || (command == "words" && argc == 4))) return usage(argv[0]);

    std::error_code error;
    const fs::path file = fs::absolute(argv[2], error);
    if (error || !fs::is_regular_file(file, error)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[2]);
        return 1;
    }
    // The log is opened in a temporary folder so the folder of FILE stays as it was.
    std::string pattern = (fs::temp_directory_path() / "vorly-replay-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::fprintf(stderr, "%s: cannot make a temporary folder\n", argv[0]);
        return 1;
    }
    const fs::path logFolder = pattern;
    const fs::path log = logFolder / "debug.txt";
    Path::setRoot(logFolder);
    g_debugInfo = new DebugInfo("debug.txt");
    Path::setRoot(file.parent_path());
    ReplayData replay;
    const HRESULT result = ReplayManager::LoadReplayFile(replay, file.filename().string());
    delete g_debugInfo;
    g_debugInfo = nullptr;
    echoLog(log);
    fs::remove_all(logFolder, error);
    if (FAILED(result)) {
        std::fprintf(stderr, "%s: %s does not load\n", argv[0], argv[2]);
        return 1;
    }
    if (command == "dump") {
        dump(replay);
        return 0;
    }
    const int stage = std::atoi(argv[3]);
    auto it = replay.stages.find(stage);
    if (it == replay.stages.end()) {
        std::fprintf(stderr, "%s: no stage %d\n", argv[0], stage);
        return 1;
    }
    const auto words = ExpandInputWords(it->second->block.data(), it->second->block.size(), it->second->field(2));
    for (size_t i = 0; i + 1 < words.size(); i += 2) std::printf("%02x%02x\n", words[i], words[i + 1]);
    return 0;
}
