// The record files and the settings file: the first byte picks "score.dat",
// "cache.dat", "textread.dat" or "gameconfig.dat"; the rest is the file, which
// is read and then written back, as start-up and shut-down do.
#include <array>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "records/CacheFile.h"
#include "records/LocalScoreTables.h"
#include "records/OnlineTables.h"
#include "records/ScoreFile.h"
#include "records/TextReadFile.h"
#include "services/GameConfigFile.h"
#include "services/SystemInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto& folder = fuzz::gameFolderWith({"data"});
    (void)folder;
    if (size < 1) return 0;
    const char* paths[] = {kScoreFilePath, kCacheFilePath, kTextReadFilePath, GameConfigFile::kPath};
    const int which = data[0] % 4;
    fuzz::writeFile(paths[which], data + 1, size - 1);
    switch (which) {
        case 0: {
            LocalScoreTables tables;
            tables.resetForLoad();
            std::array<std::uint32_t, 2> machineId{}, playerName{};
            std::array<std::uint32_t, 9> reachStage{};
            std::array<std::uint32_t, 8> endingBits{};
            SavedFlagMap flags[3];
            ScoreFileFields fields{tables, machineId, playerName, reachStage, endingBits,
                                   {&flags[0], &flags[1], &flags[2]}};
            readScoreFile(fields);
            writeScoreFileContents(fields);
            break;
        }
        case 1: {
            OnlineTables tables;
            readCacheFile(tables);
            writeCacheFile(tables);
            break;
        }
        case 2: {
            ReadTextIds ids;
            readTextReadFile(ids);
            writeTextReadFile(ids);
            break;
        }
        case 3: {
            SystemInfo info;
            loadGameConfig(info);
            saveGameConfig(info);  // its destructor writes the file once more
            break;
        }
    }
    return 0;
}
