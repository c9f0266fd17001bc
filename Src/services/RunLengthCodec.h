// The texture archive's run-length code. A coded string is the uncoded length
// (4 bytes, most significant first) followed by records of a run count (1 to
// 255) and one 4-byte unit that the run repeats.
//
// A length that is not a multiple of 4 ends in a partial unit; it is stored
// zero-padded as a whole unit, so no byte of the file is lost, and expansion
// writes exactly the header's length. Strings whose records stop at the last
// whole unit (the partial unit left out) still expand, the missing bytes read
// as zero.
#pragma once
#include <cstdint>

namespace run_length {

inline constexpr std::uint32_t kHeaderSize = 4;
inline constexpr std::uint32_t kRecordSize = 5;
inline constexpr std::uint32_t kMaxRun = 255;

// The coded size of an input of `length` bytes in the worst case (no runs).
constexpr std::uint64_t worstCodedSize(std::uint64_t length) {
    return length == 0 ? 0 : kHeaderSize + kRecordSize * ((length + 3) / 4);
}

// Codes `length` bytes into `out` (room for `capacity` bytes). Returns the
// coded size, 0 for an empty input; nothing (-1) when the coded form would not
// fit.
std::int64_t encode(const std::uint8_t* input, std::uint32_t length, std::uint8_t* out,
                    std::uint32_t capacity);

// Expands a coded string into `out` (room for `capacity` bytes). Returns the
// uncoded length, 0 for an empty input. A string that does not hold what its
// header claims (a partial header or record, a zero run, records that fall
// short of the length or run past it, a length beyond `capacity`) gives -1,
// with a short reason in `*error` when given.
std::int64_t expand(const std::uint8_t* coded, std::uint32_t length, std::uint8_t* out,
                    std::uint32_t capacity, const char** error = nullptr);

}  // namespace run_length
