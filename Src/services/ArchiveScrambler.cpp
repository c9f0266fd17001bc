#include "services/ArchiveScrambler.h"

namespace archive_scrambler {

void scramble(std::uint8_t* bytes, std::size_t count) {
    // The mask depends on i mod 5 and 3i mod 256; walking both with counters
    // avoids a division per byte on 8 MiB entries.
    std::uint8_t step = 0;
    std::size_t keyIndex = 0;
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] ^= static_cast<std::uint8_t>(step + kKey[keyIndex] + kFixed);
        step = static_cast<std::uint8_t>(step + 3);
        if (++keyIndex == 5) keyIndex = 0;
    }
}

}  // namespace archive_scrambler
