// The messages exchanged with the ranking server. Every message opens with a
// 16-byte header of four big-endian words; score records travel as 84 bytes,
// the first 21 words of a ScoreEntry, big-endian.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "records/ScoreEntry.h"

struct RankingHeader {
    static constexpr std::size_t kSize = 16;
    // Request: code, arguments 1-3. Reply: type, payload length, CRC-32, subtype.
    std::array<std::uint32_t, 4> words{};

    std::uint32_t type() const { return words[0]; }
    std::uint32_t length() const { return words[1]; }
    std::uint32_t crc() const { return words[2]; }
    std::uint32_t subtype() const { return words[3]; }

    void store(std::uint8_t* out) const;
    static RankingHeader load(const std::uint8_t* in);
};

struct RankingRecord {
    static constexpr std::size_t kWords = 21;
    static constexpr std::size_t kSize = kWords * 4;  // 84

    static void encode(const ScoreEntry& entry, std::uint8_t* out);
    // Words 0-20 from the bytes, words 21-27 zero.
    static void decode(const std::uint8_t* in, ScoreEntry& entry);
};

// Reply types and subtypes the client acts on.
namespace ranking {
inline constexpr std::uint32_t kTypeData = 16;
inline constexpr std::uint32_t kTypeCommit = 64;
inline constexpr std::uint32_t kTypeReplayStored = 80;
inline constexpr std::uint32_t kSubtypeRanking = 1;
inline constexpr std::uint32_t kSubtypeReplay = 2;
inline constexpr std::uint32_t kSubtypeRank = 4;
inline constexpr std::uint32_t kSubtypeReplayList = 8;

inline constexpr std::size_t kMaxRankingRecords = 1200;
inline constexpr std::size_t kMaxReplayListRecords = 1500;
// A replay file is at most 64 MiB; any other payload at most 64 KiB.
inline constexpr std::size_t kMaxReplayBytes = 64u << 20;
inline constexpr std::size_t kMaxOtherBytes = 64u << 10;

// The largest payload accepted for a data reply's subtype.
std::size_t payloadLimit(std::uint32_t subtype);
// How many rank words a rank-table payload holds: 0 (dropped), 9 or 12.
std::size_t rankWordCount(std::size_t length);

std::uint32_t versionWord(std::uint32_t major, std::uint32_t minor);
std::uint32_t readWordBE(const std::uint8_t* in);
void writeWordBE(std::uint8_t* out, std::uint32_t value);
// Four single bytes in this order, each argument cut to its low byte.
std::uint32_t bytesWord(std::uint32_t b0, std::uint32_t b1, std::uint32_t b2, std::uint32_t b3);
}  // namespace ranking

// A request message without a variable payload: a header, for the replay
// download a second 16-byte block.
struct RankingMessage {
    std::array<std::uint8_t, 32> bytes{};
    std::size_t size = RankingHeader::kSize;
};

RankingMessage buildHello(std::uint32_t version);
RankingMessage buildBye(std::uint32_t version);
RankingMessage buildIdentity(std::uint32_t machine0, std::uint32_t machine1);
RankingMessage buildName(std::uint32_t name0, std::uint32_t name1);
RankingMessage buildRankingQuery(std::uint32_t a, std::uint32_t b, std::uint32_t c);
RankingMessage buildReplayDownload(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                                   std::uint32_t e);
RankingMessage buildRankTableQuery();
RankingMessage buildReplayListQuery(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
RankingMessage buildCommit(std::uint32_t flag);
// A score record upload: header and the 84-byte record (100 bytes).
std::array<std::uint8_t, RankingHeader::kSize + RankingRecord::kSize> buildScoreUpload(const ScoreEntry& entry);
// The header of a replay upload; the file's bytes follow it.
RankingMessage buildReplayUploadHeader(std::uint32_t length, std::uint32_t crc);
