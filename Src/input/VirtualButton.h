// Virtual buttons, the per-frame input word and the 16-poll history masks
// every input device answers with.
#pragma once
#include <cstdint>

// The numbers the game asks for: buttons 0 to 11 and the four directions.
enum VirtualButton : std::int32_t {
    kButton0 = 0,  // shot, menu decide
    kButton1 = 1,
    kButton2 = 2,
    kButton3 = 3,
    kButton4 = 4,
    kButtonPause = 5,
    kButton11 = 11,
    kButtonUp = 100,
    kButtonDown = 101,
    kButtonLeft = 102,
    kButtonRight = 103,
};

inline constexpr int kButtonCount = 12;
inline constexpr int kHistoryLength = 16;

// One frame of all virtual buttons: bits 0-3 the directions 100-103, bits
// 4-15 the buttons 0-11.
using InputWord = std::uint16_t;

inline constexpr bool isVirtualButton(std::int32_t n) {
    return (n >= 0 && n < kButtonCount) || (n >= kButtonUp && n <= kButtonRight);
}

// The bit of virtual button n in an InputWord; -1 for a number that is no
// virtual button.
inline constexpr int inputWordBit(std::int32_t n) {
    if (!isVirtualButton(n)) return -1;
    return n >= kButtonUp ? n - kButtonUp : n + 4;
}

// The history mask: entry i of a 16-entry newest-first history ends at bit i,
// built from entry 15 down to entry 0.
template <typename IsDown>
std::int32_t historyMask(IsDown&& isDown) {
    std::int32_t mask = 0;
    for (int entry = kHistoryLength - 1; entry >= 0; --entry) mask = mask * 2 + (isDown(entry) ? 1 : 0);
    return mask;
}
