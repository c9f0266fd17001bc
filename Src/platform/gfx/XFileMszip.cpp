// MSZIP bodies of compressed X files: after the 16-byte header, a u32 total
// size (counting the header), then blocks of u16 uncompressed size (at most
// 32,768), u16 compressed size (counting the "CK" that follows) and raw
// deflate data inflated with the previous block's output as its dictionary.
#include <zlib.h>

#include <cstring>

#include "platform/gfx/XFileReader.h"

namespace {
constexpr std::size_t kHeaderSize = 16;
constexpr std::uint32_t kMaxBlock = 32768;

std::uint32_t u16At(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t u32At(const std::uint8_t* p) { return u16At(p) | u16At(p + 2) << 16; }

// One raw deflate block into `out` (exactly `expected` bytes), the previous
// block as its dictionary.
bool inflateBlock(const std::uint8_t* in, std::uint32_t inSize, const std::uint8_t* dictionary,
                  std::uint32_t dictionarySize, std::uint8_t* out, std::uint32_t expected) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    bool ok = true;
    if (dictionarySize != 0 &&
        inflateSetDictionary(&stream, dictionary, dictionarySize) != Z_OK)
        ok = false;
    if (ok) {
        stream.next_in = const_cast<std::uint8_t*>(in);
        stream.avail_in = inSize;
        stream.next_out = out;
        stream.avail_out = expected;
        const int result = inflate(&stream, Z_FINISH);
        ok = result == Z_STREAM_END && stream.total_out == expected;
    }
    inflateEnd(&stream);
    return ok;
}
}  // namespace

bool inflateMszip(const std::uint8_t* bytes, std::size_t size, std::vector<std::uint8_t>& out,
                  std::size_t* failedAt) {
    out.clear();
    std::size_t at = kHeaderSize;
    auto fail = [&] {
        if (failedAt) *failedAt = at;
        return false;
    };
    if (size < kHeaderSize + 4) return fail();
    const std::uint32_t total = u32At(bytes + kHeaderSize);
    if (total < kHeaderSize || total > kMaxInflatedXFileBytes) return fail();
    // Every compressed block holds at least its four size bytes and "CK"
    // and inflates to at most 32,768 bytes: a total beyond what the bytes
    // could give is refused before anything is reserved.
    const std::size_t blocksPossible = (size - kHeaderSize - 4) / 6;
    if (std::uint64_t(total - kHeaderSize) > std::uint64_t(blocksPossible) * kMaxBlock) return fail();
    out.reserve(total);
    out.assign(bytes, bytes + kHeaderSize);
    at = kHeaderSize + 4;
    std::size_t previous = kHeaderSize;  // where the last block's output starts
    while (out.size() < total) {
        if (size - at < 4) return fail();
        const std::uint32_t plain = u16At(bytes + at);
        const std::uint32_t packed = u16At(bytes + at + 2);
        if (plain == 0 || plain > kMaxBlock || packed < 2 || packed > size - at - 4) return fail();
        if (bytes[at + 4] != 'C' || bytes[at + 5] != 'K') return fail();
        if (plain > total - out.size()) return fail();
        const std::size_t start = out.size();
        out.resize(start + plain);
        const std::uint32_t dictionarySize = static_cast<std::uint32_t>(start - previous);
        if (!inflateBlock(bytes + at + 6, packed - 2, out.data() + previous, dictionarySize, out.data() + start,
                          plain))
            return fail();
        previous = start;
        at += 4 + packed;
    }
    // The blocks end where the file ends.
    return at == size || fail();
}
