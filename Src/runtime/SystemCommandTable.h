// The sub-commands of the "system" command, by their place in the table the
// handler compares against (in that order; the first equal name wins).
#pragma once
#include <cstdint>
#include <string_view>

inline constexpr std::int32_t kSystemCommandCount = 109;

// The index of the sub-command named exactly `text`, or -1.
std::int32_t findSystemCommand(std::string_view text);
// The name at `index`; empty outside the table.
std::string_view systemCommandName(std::int32_t index);
