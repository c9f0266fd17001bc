// The player's controls between runs. "data\keyconfig.dat" (280 bytes: the
// chosen joystick's name in a 260-byte NUL-terminated field, the 16-byte
// button map, the axis threshold 32-bit little-endian) is read at start-up
// and written by "savekeyconfig"; "data\keyboardconfig.dat" (16 scan codes)
// is only read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/HResult.h"

class KeyConfigData {
public:
    static constexpr const char* kPath = "data\\keyconfig.dat";
    static constexpr std::size_t kFileSize = 280;
    static constexpr std::size_t kNameSize = 260;
    static constexpr std::size_t kMapSize = 16;
    static constexpr std::size_t kThresholdOffset = 276;

    virtual ~KeyConfigData() = default;

    // Map entries by index 0..15; any other index addresses entry 0.
    std::uint8_t getMap(std::int32_t index) const { return map[entryOf(index)]; }
    void setMap(std::int32_t index, std::uint8_t value) { map[entryOf(index)] = value; }

    std::string name = "none";
    std::uint8_t map[kMapSize] = {100, 101, 102, 103, 0, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0};
    std::int32_t threshold = 500;

private:
    static std::size_t entryOf(std::int32_t index) {
        return index >= 0 && index < static_cast<std::int32_t>(kMapSize) ? static_cast<std::size_t>(index) : 0;
    }
};

// The keyboard map read from "data\keyboardconfig.dat", preset before the read
// so that a short file shows these entries after its own bytes.
struct KeyboardConfigBuffer {
    static constexpr const char* kPath = "data\\keyboardconfig.dat";
    static constexpr std::size_t kSize = 16;
    std::uint8_t keys[kSize] = {200, 208, 203, 205, 44, 45, 46, 29, 47, 1, 0, 0, 0, 0, 0, 0};
};

// 0 when the file was read (as far as it goes: fields it lacks keep their
// values, with a log line naming the file and its size), 1 when it cannot be
// opened (the record is left as it was).
std::int32_t LoadKeyConfig(KeyConfigData& config);
// Writes the first 280 bytes of the file, keeping any bytes past them. 0 on
// success; 1 after logging the failure (no "data" folder, unreadable file).
std::int32_t SaveKeyConfig(const KeyConfigData& config);
// 0 when the file was read into the buffer (a short one logged), 1 when there
// is none: the keyboard then keeps its fixed key sets.
std::int32_t LoadKeyboardConfig(KeyboardConfigBuffer& buffer);
