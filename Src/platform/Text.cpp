#include "platform/Text.h"

#include <iconv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <iterator>

namespace text {

namespace {
// Byte -> unit for `count` bytes: sixteen at a time where the processor has
// SSE2, one at a time for the rest.
void widenBytes(const unsigned char* in, size_t count, char16_t* units) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + i), _mm_unpacklo_epi8(sixteen, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + i + 8), _mm_unpackhi_epi8(sixteen, zero));
    }
#endif
    for (; i < count; ++i) units[i] = in[i];
}
}  // namespace

std::u16string widen(std::string_view bytes) {
    // Whole script files go through here. Widened through a small buffer and
    // appended, so the result's storage is written once (a string sized first
    // would be filled with zeros and then written again).
    std::u16string out;
    out.reserve(bytes.size());
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes.data());
    char16_t chunk[512];
    for (size_t done = 0; done < bytes.size();) {
        const size_t count = std::min(std::size(chunk), bytes.size() - done);
        widenBytes(in + done, count, chunk);
        out.append(chunk, count);
        done += count;
    }
    return out;
}

std::string narrow(std::u16string_view units) {
    std::string out;
    narrow(units, out);
    return out;
}

void narrow(std::u16string_view units, std::string& out) {
    out.resize(units.size());
    for (size_t i = 0; i < units.size(); ++i) out[i] = units[i] <= 0xFF ? static_cast<char>(units[i]) : '?';
}

namespace {
// How many bytes at `p` form the one character that did not convert, so it
// becomes one '?' (as the system's conversions put one default character per
// character): a cp932 lead byte with a byte of the trail range after it is a
// two-byte character; a UTF-8 sequence is one character as far as it is
// well formed. Anything else is one stray byte.
size_t cp932CharLength(const unsigned char* p, size_t left) {
    bool lead = (p[0] >= 0x81 && p[0] <= 0x9F) || (p[0] >= 0xE0 && p[0] <= 0xFC);
    bool trail = left >= 2 && p[1] >= 0x40 && p[1] <= 0xFC && p[1] != 0x7F;
    return lead && trail ? 2 : 1;
}

size_t utf8CharLength(const unsigned char* p, size_t left) {
    size_t length = 1;
    if (p[0] >= 0xC2 && p[0] <= 0xDF) length = 2;
    else if (p[0] >= 0xE0 && p[0] <= 0xEF) length = 3;
    else if (p[0] >= 0xF0 && p[0] <= 0xF4) length = 4;
    // A sequence cut short (by the end or by a byte that cannot continue it)
    // is one character as far as it goes.
    size_t n = 1;
    while (n < length && n < left && (p[n] & 0xC0) == 0x80) ++n;
    return n;
}

std::string convert(const char* to, const char* from, std::string_view in,
                    size_t (*badCharLength)(const unsigned char*, size_t)) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: keep ASCII, mark the rest.
        std::string out;
        for (char c : in) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
        return out;
    }
    std::string out;
    out.reserve(in.size() * 3 / 2 + 4);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[512];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // A character that does not convert, or an incomplete one at the
            // end: replace it and go on.
            size_t skip = badCharLength(reinterpret_cast<const unsigned char*>(src), srcLeft);
            out.push_back('?');
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}
}  // namespace

std::string cp932ToUtf8(std::string_view cp932) {
    bool ascii = true;
    for (char c : cp932) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(cp932);
    return convert("UTF-8", "CP932", cp932, cp932CharLength);
}

std::string utf8ToCp932(std::string_view utf8) {
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(utf8);
    return convert("CP932", "UTF-8", utf8, utf8CharLength);
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(asciiLower(static_cast<unsigned char>(c)));
    return out;
}

std::u16string asciiLower(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = static_cast<char16_t>(asciiLower(c));
    return out;
}

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(static_cast<unsigned char>(a[i])) != asciiLower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool equalsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

}  // namespace text
