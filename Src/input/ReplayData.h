// A replay in memory: the header facts of one replay file and its stages, each
// stage holding its 22 record fields and its run-length coded input block.
// Blocks stay coded in memory; a stage is expanded only when it plays.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class StageReplayData {
public:
    StageReplayData() = default;
    virtual ~StageReplayData() = default;

    // Record fields numbered 1 to 22 as in the file.
    std::uint32_t& field(int n) { return fields[static_cast<size_t>(n - 1)]; }
    std::uint32_t field(int n) const { return fields[static_cast<size_t>(n - 1)]; }

    std::array<std::uint32_t, 22> fields{};
    std::vector<std::uint8_t> block;  // the coded input block; empty when none
};

class ReplayData {
public:
    ReplayData();
    virtual ~ReplayData() = default;

    // Empties the stage map and zeroes mode flags, score, stage mask and flag byte.
    void clear();

    std::uint32_t version = 0x110;
    std::uint32_t modeFlags = 0;
    std::uint32_t score = 0;
    std::uint32_t stageMask = 0;
    std::string name;
    std::string date;
    std::string fileName;
    std::int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
    std::array<std::uint8_t, 100> gameFlags{};
    std::uint32_t machineId0 = 0, machineId1 = 0;
    std::uint8_t flagByte = 0;
    std::int32_t totalPlayFrames = 0;  // _replay_dframe
    std::uint32_t readTextCount = 0;
    std::set<std::uint32_t> readTexts;
    std::map<int, std::shared_ptr<StageReplayData>> stages;
};
