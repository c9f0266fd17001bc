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

// The bytes after the first recordBytes of the file, at most
// kKeptSettingsTailBytes of them (a longer tail is cut, and logged); empty
// when the file is missing or no longer. nullopt when the file cannot be read.
std::optional<std::vector<std::uint8_t>> readSettingsTail(std::string_view windowsPath, std::size_t recordBytes);
