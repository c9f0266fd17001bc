// The settings file "data\\gameconfig.dat": eleven unsigned 32-bit
// little-endian words, no header, no checksum. Words 7 and 8 are stored
// inverted (1 = background off, network off), so zero words after the volumes
// and continues mean the defaults of those switches.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

class SystemInfo;

struct GameConfigFile {
    static constexpr const char* kPath = "data\\gameconfig.dat";
    static constexpr std::size_t kWordCount = 11;
    static constexpr std::size_t kByteCount = kWordCount * 4;

    // The words as the record's fields are written.
    static std::array<std::uint32_t, kWordCount> wordsOf(const SystemInfo& info);
    // Applies word `index` (0..10) as read to its field.
    static void applyWord(SystemInfo& info, std::size_t index, std::uint32_t word);

    // The file has no checksum, so a damaged number is caught by its range: a
    // volume level 0..5 (what the sound channels take), a continue count
    // 0..99. A word outside its range is read as the word the record's
    // default is written as. The switch words (4..10) have no range: each is
    // read as zero or not zero, so any value is a setting (word 8 = 2 means
    // the network is off).
    static constexpr std::array<std::uint32_t, kWordCount> kLargestWord = {
        5, 5, 5, 99, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    // Whether words `a` and `b` at `index` give their field the same value:
    // the numbers are equal, the switches both zero or both not zero.
    static bool sameSetting(std::size_t index, std::uint32_t a, std::uint32_t b);
    static constexpr std::array<std::uint32_t, kWordCount> kDefaultWord = {5, 5, 5, 3, 1, 0, 0, 0, 0, 1, 0};
};

// Reads the settings file into the record. A missing file changes nothing; a
// short file applies the whole words it holds and leaves the rest; a word out
// of its range gives its field the default, with a log line.
void loadGameConfig(SystemInfo& info);
// Writes the record's words over the first 44 bytes of the settings file,
// keeping any longer tail, through a temporary file renamed over the old one.
// A switch word of the old file that gives the same setting is kept as it
// was (a hand-written 2 stays 2).
// Without a "data" folder nothing is written (the program creates no folder);
// any other failure is logged and leaves the old file as it was.
void saveGameConfig(const SystemInfo& info);
