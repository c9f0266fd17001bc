// vorly-replay: a replay file as the engine reads it.
//
//   vorly-replay dump FILE       the header fields one per line, then one line per
//                                stage: "stage <s> f1=.. ... f22=.. words=<n>"
//   vorly-replay words FILE S    stage S's expanded words, one 4-digit hex word a line
//   vorly-replay verify GAME INPUT
//                                runs the game in-process on a copy of its folder (test
//                                window, recording graphics, silent sound, scripted keys,
//                                virtual clock), records the play INPUT drives until the
//                                game saves its replay (or ends, or ten minutes of frames
//                                have run), plays the saved replay back at 1x and at 8x and
//                                prints "verify: frames <N> record <H> play1x <H> play8x <H>";
//                                exit 0 only when every frame's hash matched
//   vorly-replay play GAME SLOT  plays a slot of the game's replay folder and prints its
//                                frame trace, "<stage> <frame> <hash>" a line
//
// Play back goes through the configuration's "replay" setting, as a player
// would start it: the copy's "init.xml" names the slot, the program selects
// it at start-up and its first scene starts the play back.
//
// FILE is any path: the engine's paths are rooted at its folder and the file is
// loaded as a replay slot is. The debug-log lines the load writes are echoed
// first as "log: <line>". Exit status: 0 after a load, 1 when the file does not
// load (or has no stage S), 2 on a usage error.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "input/ReplayFormat.h"
#include "input/ReplayManager.h"
#include "platform/Path.h"
#include "platform/TempFolder.h"
#include "services/DebugInfo.h"
#include "shell/HeadlessRun.h"

namespace fs = std::filesystem;

namespace {

// No play runs longer than this many frames (ten minutes of play).
constexpr std::uint32_t kMaxFrames = 36000;
// DIK_RIGHT: during play back each fresh press raises the speed by one.
constexpr int kKeyRight = 0xCD;

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s dump FILE | words FILE STAGE | verify GAME INPUT | play GAME SLOT\n", program);
    return 2;
}

bool readText(const char* path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The first frame line where two traces part, or -1.
long firstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(n);
}

int verify(const char* program, const char* game, const char* inputPath) {
    std::string text, error;
    InputScript input;
    if (!readText(inputPath, text) || !input.parse(text, error)) {
        std::fprintf(stderr, "%s: %s: %s\n", program, inputPath, error.empty() ? "cannot read" : error.c_str());
        return 1;
    }
    HeadlessRun run(game);
    if (!run.ok()) {
        std::fprintf(stderr, "%s: %s\n", program, run.error().c_str());
        return 1;
    }
    const std::vector<std::int32_t> before = run.replaySlots();
    // The scenes after a stage (result, name entry, the replay list) run on
    // until the replay is saved.
    run.setIdleLimit(0);
    run.setStopWhenSaved(true);
    const HeadlessRun::Result record = run.run(input, 0, kMaxFrames);
    run.setStopWhenSaved(false);
    run.setIdleLimit(120);
    std::int32_t slot = 0;
    for (std::int32_t s : run.replaySlots())
        if (std::find(before.begin(), before.end(), s) == before.end()) slot = s;
    if (slot == 0) {
        std::fprintf(stderr, "%s: the recorded play saved no replay within %u frames\n", program,
                     static_cast<unsigned>(record.frames));
        return 1;
    }
    if (!run.setReplaySetting(slot)) {
        std::fprintf(stderr, "%s: %s\n", program, run.error().c_str());
        return 1;
    }
    const HeadlessRun::Result play1x = run.run(InputScript(), 0, kMaxFrames);
    // Right pressed on every other frame of the first second: the speed
    // climbs to its top of 8 and stays there.
    InputScript fast;
    for (std::uint32_t frame = 0; frame < 60; frame += 2) fast.add({frame, frame, {kKeyRight}});
    const HeadlessRun::Result play8x = run.run(fast, 0, kMaxFrames);

    const std::vector<std::string> recorded = frameLines(record.trace);
    std::printf("verify: frames %zu record %016llx play1x %016llx play8x %016llx\n", recorded.size(),
                static_cast<unsigned long long>(hashTrace(record.trace)),
                static_cast<unsigned long long>(hashTrace(play1x.trace)),
                static_cast<unsigned long long>(hashTrace(play8x.trace)));
    bool same = !recorded.empty();
    for (const auto* played : {&play1x, &play8x}) {
        const std::vector<std::string> lines = frameLines(played->trace);
        const long at = firstDifference(recorded, lines);
        if (at < 0) continue;
        same = false;
        const auto line = [at](const std::vector<std::string>& v) {
            return static_cast<std::size_t>(at) < v.size() ? v[static_cast<std::size_t>(at)].c_str() : "(none)";
        };
        std::printf("verify: %s parts at frame line %ld: record %s, play %s\n",
                    played == &play1x ? "play1x" : "play8x", at, line(recorded), line(lines));
    }
    return same ? 0 : 1;
}

int play(const char* program, const char* game, const char* slotText) {
    const long slot = std::strtol(slotText, nullptr, 10);
    if (slot < 1 || slot > ReplayManager::kSlotCount) {
        std::fprintf(stderr, "%s: no slot %s\n", program, slotText);
        return 1;
    }
    HeadlessRun run(game);
    if (!run.ok()) {
        std::fprintf(stderr, "%s: %s\n", program, run.error().c_str());
        return 1;
    }
    const std::vector<std::int32_t> slots = run.replaySlots();
    if (std::find(slots.begin(), slots.end(), slot) == slots.end()) {
        std::fprintf(stderr, "%s: slot %ld has no replay file\n", program, slot);
        return 1;
    }
    if (!run.setReplaySetting(static_cast<std::int32_t>(slot))) {
        std::fprintf(stderr, "%s: %s\n", program, run.error().c_str());
        return 1;
    }
    const HeadlessRun::Result played = run.run(InputScript(), 0, kMaxFrames);
    const std::vector<std::string> lines = frameLines(played.trace);
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    if (lines.empty()) {
        std::fprintf(stderr, "%s: slot %ld played no frame in %u frames\n", program, slot,
                     static_cast<unsigned>(played.frames));
        return 1;
    }
    return 0;
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
    if (command == "verify" && argc == 4) return verify(argv[0], argv[2], argv[3]);
    if (command == "play" && argc == 4) return play(argv[0], argv[2], argv[3]);
    if (!((command == "dump" && argc == 3) || (command == "words" && argc == 4))) return usage(argv[0]);

    std::error_code error;
    const fs::path file = fs::absolute(argv[2], error);
    if (error || !fs::is_regular_file(file, error)) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[2]);
        return 1;
    }
    // The log is opened in a temporary folder so the folder of FILE stays as it was.
    TempFolder logFolder("vorly-replay");
    if (!logFolder.ok()) {
        std::fprintf(stderr, "%s: cannot make a temporary folder\n", argv[0]);
        return 1;
    }
    Path::setRoot(logFolder.path());
    g_debugInfo = new DebugInfo("debug.txt");
    Path::setRoot(file.parent_path());
    ReplayData replay;
    const HRESULT result = ReplayManager::LoadReplayFile(replay, file.filename().string());
    delete g_debugInfo;
    g_debugInfo = nullptr;
    logFolder.echoLines("debug.txt", stdout, "log: ");
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
