// The archive's reversible scrambling of index names, index words and script
// data. The same routine writes and reads. The key, the fixed byte and the two
// masks are this program's own: archives written with other values are not
// readable, so they are kept here and nowhere else.
#pragma once
#include <cstddef>
#include <cstdint>

namespace archive_scrambler {

inline constexpr std::uint8_t kKey[5] = {0x5A, 0xC3, 0x17, 0x9E, 0x64};
inline constexpr std::uint8_t kFixed = 0x3B;
inline constexpr std::uint32_t kOffsetMask = 0x6C2F91D4u;
inline constexpr std::uint32_t kSizeMask = 0xA39E05B7u;

// Byte i (counted from 0 at the first byte of the name field or of the entry's
// data) is combined with (3 * i + key[i mod 5] + fixed) mod 256.
constexpr std::uint8_t maskByte(std::size_t index) {
    return static_cast<std::uint8_t>(3u * static_cast<std::uint32_t>(index) + kKey[index % 5] + kFixed);
}

// Scrambles or unscrambles in place (XOR: the operation is its own inverse).
void scramble(std::uint8_t* bytes, std::size_t count);

}  // namespace archive_scrambler
