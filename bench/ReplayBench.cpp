// Loading every replay slot against reading the same files' bytes: 1000 slot
// files of three five-minute stages each (18000 words a stage, a new word every
// few frames, as in play). Loading checks and keeps the coded blocks only.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "input/ReplayFormat.h"
#include "input/ReplayManager.h"
#include "platform/File.h"
#include "platform/Path.h"

namespace {

constexpr int kSlots = 1000;
constexpr std::uint32_t kStageWords = 18000;

// One file as the writer lays it out: header, three records, three blocks.
std::vector<std::uint8_t> typicalFile() {
    std::vector<std::vector<std::uint8_t>> blocks;
    std::uint32_t seed = 12345;
    for (int s = 0; s < 3; ++s) {
        std::vector<std::uint8_t> words;
        for (std::uint32_t i = 0; i < kStageWords;) {
            seed = seed * 1103515245u + 12345u;
            const std::uint32_t run = 1 + (seed >> 16) % 8;
            const std::uint16_t word = static_cast<std::uint16_t>((seed >> 8) & 0xFFF);
            for (std::uint32_t k = 0; k < run && i < kStageWords; ++k, ++i) {
                words.push_back(static_cast<std::uint8_t>(word >> 8));
                words.push_back(static_cast<std::uint8_t>(word));
            }
        }
        size_t coded = 0;
        blocks.push_back(CompressInputWords(words.data(), words.size(), coded));
    }
    std::vector<std::uint8_t> file(512 + 3 * 128, 0);
    std::memcpy(file.data(), "RPL", 3);
    WriteU32BE(file.data() + 16, 0x15);
    for (int s = 0; s < 3; ++s) {
        std::uint8_t* record = file.data() + 512 + 128 * s;
        WriteU32BE(record, static_cast<std::uint32_t>(file.size()));
        WriteU32BE(record + 4, kStageWords * 2);
        WriteU32BE(record + 12, 1);
        WriteU32BE(record + 56, static_cast<std::uint32_t>(blocks[s].size()));
        file.insert(file.end(), blocks[s].begin(), blocks[s].end());
    }
    return file;
}

// Removes the temporary game folder when the program ends.
struct FolderRemover {
    std::string path;
    ~FolderRemover() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

// The slot files, written once into a temporary game folder.
const std::string& replayFolder() {
    static FolderRemover remover;
    static const std::string folder = [] {
        std::string path = (std::filesystem::temp_directory_path() / "vorly-bench-replay-XXXXXX").string();
        if (!mkdtemp(path.data())) return std::string();
        std::filesystem::create_directory(path + "/replay");
        Path::setRoot(path);
        const auto file = typicalFile();
        for (int slot = 1; slot <= kSlots; ++slot)
            File::writeReplacing(ReplayManager::slotPath(slot), file.data(), file.size());
        remover.path = path;
        return path;
    }();
    Path::setRoot(folder);
    return folder;
}

}  // namespace

static void BM_ReplayReadFiles(benchmark::State& state) {
    if (replayFolder().empty()) return state.SkipWithError("no temporary folder");
    for (auto _ : state) {
        size_t total = 0;
        for (int slot = 1; slot <= kSlots; ++slot) {
            const std::string path = ReplayManager::slotPath(slot);
            if (!File::exists(path)) continue;
            auto bytes = File::readAll(path, kMaxReplayFileSize);
            if (bytes) total += bytes->size();
        }
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ReplayReadFiles)->Unit(benchmark::kMillisecond);

static void BM_ReplayLoadAll(benchmark::State& state) {
    if (replayFolder().empty()) return state.SkipWithError("no temporary folder");
    for (auto _ : state) {
        ReplayManager manager;
        manager.loadAllReplays();
        benchmark::DoNotOptimize(manager.hasReplay(kSlots));
    }
}
BENCHMARK(BM_ReplayLoadAll)->Unit(benchmark::kMillisecond);
