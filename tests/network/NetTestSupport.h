// Replies as the server sends them, built with the test's own big-endian
// code and zlib's crc32, never with the client's codec.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nettest {
inline void putWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

inline std::uint32_t zcrc(const std::vector<std::uint8_t>& bytes) {
    return static_cast<std::uint32_t>(::crc32(0L, bytes.data(), static_cast<uInt>(bytes.size())));
}

// A reply: type, length, CRC-32 and subtype, then the payload.
inline std::vector<std::uint8_t> reply(std::uint32_t type, std::uint32_t subtype,
                                       const std::vector<std::uint8_t>& payload = {}) {
    std::vector<std::uint8_t> out;
    putWord(out, type);
    putWord(out, static_cast<std::uint32_t>(payload.size()));
    putWord(out, payload.empty() ? 0 : zcrc(payload));
    putWord(out, subtype);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// `count` 84-byte records of a mode word, record k scoring base - k.
inline std::vector<std::uint8_t> records(std::size_t count, std::uint32_t mode, std::uint32_t base) {
    std::vector<std::uint8_t> out;
    for (std::size_t k = 0; k < count; ++k) {
        for (std::uint32_t w = 0; w < 21; ++w) {
            std::uint32_t value = 0x01000000u * (w + 1) + static_cast<std::uint32_t>(k);
            if (w == 2) value = base - static_cast<std::uint32_t>(k);
            if (w == 3) value = mode;
            if (w == 10) value = 0xAB;
            putWord(out, value);
        }
    }
    return out;
}

inline std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 4 == 0) out += ' ';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}
}  // namespace nettest
