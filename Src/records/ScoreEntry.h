// The score record of one play: 28 unsigned 32-bit words shared by the local
// and online score tables, the score and cache files and the ranking protocol.
//
//   0-1   player name, eight 8-bit characters packed big-endian inside the
//         words (character 0 in bits 24-31 of word 0, character 4 in bits
//         24-31 of word 1)
//   2     score             3  ScoreMode          4  stage mask (2 bits a stage)
//   5     date yyyymmdd     6  time hhmm          7  version word (major << 8 | minor)
//   8     online replay id  9  dropped frames     10-11 MachineId
//   12-27 stage scores 0..15
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// The mode word (word 3): nibble 0 the pairing code, nibble 1 the difficulty
// code, nibble 2 the practice and extra flags, nibble 3 the weapon.
struct ScoreMode {
    static constexpr std::uint32_t kPractice = 0x100;
    static constexpr std::uint32_t kExtra = 0x200;
    static constexpr std::uint32_t kWeapon1 = 0x1000;
    static constexpr std::uint32_t kWeapon2 = 0x2000;

    std::uint32_t word = 0;

    std::uint32_t pairingCode() const { return word & 0xFu; }
    std::uint32_t difficultyCode() const { return (word >> 4) & 0xFu; }
    std::uint32_t flags() const { return (word >> 8) & 0xFu; }
    // 1 for weapon 1, 2 for weapon 2, else 0.
    std::uint32_t weapon() const;
};

// Packs eight characters into the two name words.
std::array<std::uint32_t, 2> packName(const char (&characters)[9]);
// Character `position` (0..7) of a packed name; a blank (32) outside 0..7.
std::uint32_t nameCharacter(std::uint32_t word0, std::uint32_t word1, int position);

struct ScoreEntry {
    static constexpr std::size_t kWordCount = 28;
    static constexpr std::size_t kByteSize = kWordCount * 4;
    static constexpr std::size_t kStageScoreCount = 16;

    enum Word : std::size_t {
        kName0 = 0,
        kName1 = 1,
        kScore = 2,
        kMode = 3,
        kStageMask = 4,
        kDate = 5,
        kTime = 6,
        kVersion = 7,
        kReplayId = 8,
        kDroppedFrames = 9,
        kMachineId0 = 10,
        kMachineId1 = 11,
        kStageScore0 = 12,
    };

    static constexpr std::uint32_t kDefaultDate = 20080101;
    static constexpr std::uint32_t kDefaultTime = 1200;

    std::array<std::uint32_t, kWordCount> words{};

    // The default record: name "NONAME  ", date 20080101, time 1200, the
    // running engine's version word, every other word 0.
    ScoreEntry();

    std::uint32_t& operator[](std::size_t word) { return words[word]; }
    std::uint32_t operator[](std::size_t word) const { return words[word]; }

    std::uint32_t score() const { return words[kScore]; }
    ScoreMode mode() const { return ScoreMode{words[kMode]}; }
    std::uint32_t year() const { return words[kDate] / 10000; }
    std::uint32_t monthDay() const { return words[kDate] % 10000; }
    std::uint32_t time() const { return words[kTime]; }
    std::uint32_t weapon() const { return mode().weapon(); }
    // Stage score 0..15; 0 for any other index.
    std::uint32_t stageScore(int index) const;
    std::uint32_t majorVersion() const { return (words[kVersion] >> 8) & 0xFu; }
    std::uint32_t minorVersion1() const { return (words[kVersion] >> 4) & 0xFu; }
    std::uint32_t minorVersion2() const { return words[kVersion] & 0xFu; }
    std::uint32_t droppedFrames() const { return words[kDroppedFrames]; }
    // The two-bit flag of stage s: (mask >> 2(s-1)) AND 3, shift count modulo 32.
    std::uint32_t eachStage(int stage) const;
    std::uint32_t nameChar(int position) const { return nameCharacter(words[kName0], words[kName1], position); }
    // Whether the record names the machine that played it (an online replay exists).
    bool hasMachineId() const { return words[kMachineId0] != 0 || words[kMachineId1] != 0; }

    // The record as 112 little-endian bytes, and back.
    void store(std::uint8_t* bytes) const;
    static ScoreEntry load(const std::uint8_t* bytes);
};
