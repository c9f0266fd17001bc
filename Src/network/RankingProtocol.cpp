#include "network/RankingProtocol.h"

#include "records/Crc32.h"

namespace ranking {
std::uint32_t readWordBE(const std::uint8_t* in) {
    return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) | (std::uint32_t{in[2]} << 8) | in[3];
}

void writeWordBE(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t bytesWord(std::uint32_t b0, std::uint32_t b1, std::uint32_t b2, std::uint32_t b3) {
    // Read back big-endian, the first byte is the high one.
    return ((b0 & 0xFFu) << 24) | ((b1 & 0xFFu) << 16) | ((b2 & 0xFFu) << 8) | (b3 & 0xFFu);
}

std::uint32_t versionWord(std::uint32_t major, std::uint32_t minor) { return (major << 8) | minor; }

std::size_t payloadLimit(std::uint32_t subtype) {
    switch (subtype) {
        case kSubtypeRanking: return kMaxRankingRecords * RankingRecord::kSize;
        case kSubtypeReplayList: return kMaxReplayListRecords * RankingRecord::kSize;
        case kSubtypeReplay: return kMaxReplayBytes;
        default: return kMaxOtherBytes;
    }
}

std::size_t rankWordCount(std::size_t length) {
    // 36 to 47 bytes hold nine whole words and a part: only the nine are read.
    if (length < 36) return 0;
    return length < 48 ? 9 : 12;
}
}  // namespace ranking

void RankingHeader::store(std::uint8_t* out) const {
    for (std::size_t i = 0; i < 4; ++i) ranking::writeWordBE(out + 4 * i, words[i]);
}

RankingHeader RankingHeader::load(const std::uint8_t* in) {
    RankingHeader header;
    for (std::size_t i = 0; i < 4; ++i) header.words[i] = ranking::readWordBE(in + 4 * i);
    return header;
}

void RankingRecord::encode(const ScoreEntry& entry, std::uint8_t* out) {
    for (std::size_t i = 0; i < kWords; ++i) ranking::writeWordBE(out + 4 * i, entry[i]);
}

void RankingRecord::decode(const std::uint8_t* in, ScoreEntry& entry) {
    for (std::size_t i = 0; i < kWords; ++i) entry[i] = ranking::readWordBE(in + 4 * i);
    for (std::size_t i = kWords; i < ScoreEntry::kWordCount; ++i) entry[i] = 0;
}

namespace {
RankingMessage header(std::uint32_t code, std::uint32_t arg1, std::uint32_t arg2, std::uint32_t arg3) {
    RankingMessage message;
    RankingHeader{{code, arg1, arg2, arg3}}.store(message.bytes.data());
    return message;
}
}  // namespace

RankingMessage buildHello(std::uint32_t version) { return header(0, 1, version, 0); }
RankingMessage buildBye(std::uint32_t version) { return header(1, 1, version, 0); }
RankingMessage buildIdentity(std::uint32_t machine0, std::uint32_t machine1) {
    return header(2, machine0, machine1, 0);
}
RankingMessage buildName(std::uint32_t name0, std::uint32_t name1) { return header(3, name0, name1, 0); }
RankingMessage buildRankingQuery(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    return header(32, ranking::bytesWord(b, a, c, 0), 0, 1);
}
RankingMessage buildReplayDownload(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                                   std::uint32_t e) {
    RankingMessage message = header(32, a, b, 2);
    RankingHeader{{c, d, e, 0}}.store(message.bytes.data() + RankingHeader::kSize);
    message.size = 2 * RankingHeader::kSize;
    return message;
}
RankingMessage buildRankTableQuery() { return header(32, 0, 0, 4); }
RankingMessage buildReplayListQuery(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return header(32, ranking::bytesWord(b, a, c, d), 0, 8);
}
RankingMessage buildCommit(std::uint32_t flag) { return header(48, 0, 0, flag); }

std::array<std::uint8_t, RankingHeader::kSize + RankingRecord::kSize> buildScoreUpload(const ScoreEntry& entry) {
    std::array<std::uint8_t, RankingHeader::kSize + RankingRecord::kSize> message{};
    RankingRecord::encode(entry, message.data() + RankingHeader::kSize);
    std::uint32_t crc = crc32(message.data() + RankingHeader::kSize, RankingRecord::kSize);
    RankingHeader{{16, RankingRecord::kSize, crc, 1}}.store(message.data());
    return message;
}

RankingMessage buildReplayUploadHeader(std::uint32_t length, std::uint32_t crc) {
    return header(16, length, crc, 2);
}
