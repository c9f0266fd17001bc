// Replay file bytes -> the checks, the header and stage records, and every
// stage's input words expanded, as a slot is loaded at start-up; and the same
// bytes as a download from the ranking server, checked and written to the
// download slot.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "input/ReplayFormat.h"
#include "input/ReplayManager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto& folder = fuzz::gameFolderWith({"replay"});
    (void)folder;
    static ReplayManager* manager = new ReplayManager();
    const std::string path = ReplayManager::slotPath(1);
    fuzz::writeFile(path, data, size);
    ReplayData replay;
    if (SUCCEEDED(ReplayManager::LoadReplayFile(replay, path))) {
        for (const auto& [stage, record] : replay.stages) {
            std::vector<std::uint8_t> words = ExpandInputWords(record->block.data(), record->block.size(), record->field(2));
            (void)words;
        }
    }
    // The download slot is 0 until an online replay is saved: write into slot 2.
    manager->saveOnlineReplay(2, 0);
    manager->writeReplayFile(data, size);
    return 0;
}
