// Writes the script archive's canonical Huffman code, the form CHC_Mem_ii
// reads: a complete code over all 256 byte values (bytes that do not occur get
// a code too, so every length is at least 1), lengths bounded by
// kMaxCodeLength, and L zero bits of padding after the last code because the
// decoder keeps an L-bit window ahead of the code it decodes.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

namespace huffman_encoder {

inline constexpr std::uint32_t kMaxCodeLength = 24;

// The code length of every byte value for data with these byte counts.
std::array<std::uint32_t, 256> codeLengths(const std::array<std::uint64_t, 256>& counts);

// The whole coded form of `size` bytes.
std::vector<std::uint8_t> encode(const std::uint8_t* data, std::uint32_t size);

}  // namespace huffman_encoder
