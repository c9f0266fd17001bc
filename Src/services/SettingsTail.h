// Settings files hold their records first; whatever follows them (written by
// another version, or by hand) is kept when the records are rewritten, up to
// a small bound, so that rewriting a huge file neither takes long nor needs
// memory of its size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

inline constexpr std::size_t kKeptSettingsTailBytes = 64 * 1024;

// The file's first recordBytes (fewer when it is shorter) and at most
// kKeptSettingsTailBytes after them (a longer tail is cut, and logged); empty
// when the file is missing. nullopt when the file cannot be read.
std::optional<std::vector<std::uint8_t>> readSettingsKept(std::string_view windowsPath, std::size_t recordBytes);
// The bytes of that after the first recordBytes; empty when the file is
// missing or no longer.
std::optional<std::vector<std::uint8_t>> readSettingsTail(std::string_view windowsPath, std::size_t recordBytes);
