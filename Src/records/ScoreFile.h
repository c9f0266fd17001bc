// "data\\score.dat": the local score tables, the player name, the reached
// stages, the endings seen and the saved game flags under a CRC-32.
//
//   offset  size    content
//   0       4       CRC-32 of the body (bytes 16 to 139052)
//   4       8       MachineId words 0 and 1
//   12      4       zero
//   16      100800  ranking tables d = 0..2, order 3d + t, ranks 0..99
//   100816  3024    route tables, order 3d + t, 3 entries each
//   103840  33600   ranking tables d = 3, t = 0..2, ranks 0..99
//   137440  8       player name
//   137448  36      reach-stage words, order 3d + t
//   137484  32      ending bits
//   137516  1536    saved game flags 0..127 of the three pairing maps
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string_view>
#include <vector>

#include "records/RecordFileWriter.h"

class LocalScoreTables;

inline constexpr const char* kScoreFilePath = "data\\score.dat";
inline constexpr std::size_t kScoreFileHeaderSize = 16;
inline constexpr std::size_t kScoreFileBodySize = 139036;

using SavedFlagMap = std::map<std::int32_t, std::int32_t>;

// The parts of the game records the score file holds.
struct ScoreFileFields {
    LocalScoreTables& tables;
    std::span<std::uint32_t, 2> machineId;
    std::span<std::uint32_t, 2> playerName;
    std::span<std::uint32_t, 9> reachStage;
    std::span<std::uint32_t, 8> endingBits;
    SavedFlagMap* savedFlags[3];
};

// Reads the file into the fields: 0 on success; 1 when the file is missing
// (the machine identity is then read from the adapter) or its length or
// checksum is wrong (one log line, the fields keep their contents unless the
// copy kept by the last save is whole and read instead).
int readScoreFile(ScoreFileFields& fields);
// Reads one copy of the file: the fields (none: only checked) are filled from
// a whole copy, the machine identity from any whole header.
RecordRead readScoreFileCopy(std::string_view windowsPath, ScoreFileFields* fields);
// Writes header and body: 0, or 1 (logged) when the file cannot be replaced.
int writeScoreFileContents(const ScoreFileFields& fields);
// Replaces the file with `bytes`, keeping a whole old file as its copy.
int writeScoreFileBytes(const std::vector<std::uint8_t>& bytes);
