// A replay file written by the tests themselves, offsets stated literally, so
// the reader is checked against the layout rather than against its own writer.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TestStage {
    int stage = 1;
    std::uint32_t state = 1;                                     // low two bits of field 4
    std::vector<std::pair<std::uint8_t, std::uint16_t>> runs;    // (count, word)
    std::uint32_t score = 0;
    std::uint32_t field21 = 0;
    std::uint32_t field14 = 0;
};

inline void putBE(std::vector<std::uint8_t>& b, size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 24);
    b[at + 1] = static_cast<std::uint8_t>(v >> 16);
    b[at + 2] = static_cast<std::uint8_t>(v >> 8);
    b[at + 3] = static_cast<std::uint8_t>(v);
}

// Header, no read-text ids, one record per stage (offset 512 + 128 i), blocks after.
inline std::vector<std::uint8_t> buildReplayFile(const std::vector<TestStage>& stages, const std::string& name = "TESTER",
                                                 std::uint32_t score = 1234) {
    std::vector<std::uint8_t> b(512 + 128 * stages.size(), 0);
    b[0] = 'R';
    b[1] = 'P';
    b[2] = 'L';
    putBE(b, 4, 0x110);
    putBE(b, 12, score);
    std::uint32_t mask = 0;
    for (const auto& s : stages) mask |= (s.state & 3) << (2 * s.stage - 2);
    putBE(b, 16, mask);
    for (size_t i = 0; i < 8; ++i) b[20 + i] = i < name.size() ? static_cast<std::uint8_t>(name[i]) : ' ';
    putBE(b, 28, (2026 - 1970) * 10000 + 12 * 100 + 3);
    putBE(b, 32, 905);
    for (size_t i = 0; i < stages.size(); ++i) {
        const TestStage& s = stages[i];
        const size_t rec = 512 + 128 * i;
        std::uint32_t words = 0;
        for (auto [c, w] : s.runs) words += c;
        const size_t blockAt = b.size();
        b.resize(b.size() + 4);
        putBE(b, blockAt, words * 2);
        for (auto [c, w] : s.runs) {
            b.push_back(c);
            b.push_back(static_cast<std::uint8_t>(w >> 8));
            b.push_back(static_cast<std::uint8_t>(w));
        }
        putBE(b, rec + 0, static_cast<std::uint32_t>(blockAt));
        putBE(b, rec + 4, words * 2);
        putBE(b, rec + 8, s.score);
        putBE(b, rec + 12, s.state);
        putBE(b, rec + 52, s.field14);
        putBE(b, rec + 56, static_cast<std::uint32_t>(b.size() - blockAt));
        putBE(b, rec + 80, s.field21);
    }
    return b;
}
