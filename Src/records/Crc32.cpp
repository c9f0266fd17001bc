#include "records/Crc32.h"

#include <array>
#include <atomic>
#include <mutex>

namespace {
constexpr std::uint32_t kPolynomial = 0x04C11DB7u;

std::array<std::uint32_t, 256> g_table{};
std::once_flag g_buildOnce;
// Records that the table exists (set once the last word is in place).
std::atomic<bool> g_tableBuilt{false};

void buildTable() {
    // Each entry is the polynomial division of the (reversed) index byte in
    // the unreflected direction, reversed back: the reflected table.
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(reverseBits8(static_cast<std::uint8_t>(i))) << 24;
        for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ kPolynomial : c << 1;
        g_table[i] = reverseBits32(c);
    }
    g_tableBuilt.store(true, std::memory_order_release);
}
}  // namespace

std::uint32_t reverseBits32(std::uint32_t value) {
    std::uint32_t result = 0;
    for (int bit = 0; bit < 32; ++bit) {
        result = (result << 1) | (value & 1u);
        value >>= 1;
    }
    return result;
}

std::uint8_t reverseBits8(std::uint8_t value) {
    std::uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit) {
        result = static_cast<std::uint8_t>((result << 1) | (value & 1u));
        value = static_cast<std::uint8_t>(value >> 1);
    }
    return result;
}

void crc32BuildTable() {
    if (g_tableBuilt.load(std::memory_order_acquire)) return;
    std::call_once(g_buildOnce, buildTable);
}

std::uint32_t crc32Update(std::uint32_t state, const std::uint8_t* first, const std::uint8_t* end) {
    crc32BuildTable();
    for (const std::uint8_t* p = first; p < end; ++p) state = (state >> 8) ^ g_table[(state ^ *p) & 0xFFu];
    return state;
}

std::uint32_t crc32InitialState() { return reverseBits32(0xFFFFFFFFu); }

std::uint32_t crc32(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return ~crc32Update(crc32InitialState(), bytes, bytes + size);
}
