#include "platform/Text.h"

#include <iconv.h>

#include <cerrno>

namespace text {

std::u16string widen(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string narrow(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (char16_t u : units) out.push_back(u <= 0xFF ? static_cast<char>(u) : '?');
    return out;
}

namespace {
std::string convert(const char* to, const char* from, std::string_view in) {
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
            // Invalid or incomplete sequence: replace one byte and go on.
            out.push_back('?');
            ++src;
            --srcLeft;
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
    return convert("UTF-8", "CP932", cp932);
}

std::string utf8ToCp932(std::string_view utf8) {
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(utf8);
    return convert("CP932", "UTF-8", utf8);
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
