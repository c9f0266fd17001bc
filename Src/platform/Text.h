// Text as the game's data holds it: cp932 bytes. A "wide" string holds one
// 16-bit unit per byte (the conversion the engine's C-locale calls make), and
// character classes are plain ASCII tables, never the process locale.
#pragma once
#include <string>
#include <string_view>

namespace text {

// Byte -> unit, one unit per byte (0..255).
std::u16string widen(std::string_view bytes);
// Unit -> byte; a unit above 0xFF cannot come from widen() and becomes '?'.
std::string narrow(std::u16string_view units);
// The same into `out`, whose storage is reused.
void narrow(std::u16string_view units, std::string& out);

// cp932 <-> UTF-8 through iconv. A character that does not convert becomes one
// '?' (never fails).
std::string cp932ToUtf8(std::string_view cp932);
std::string utf8ToCp932(std::string_view utf8);

// ASCII-only classes and case: bytes >= 0x80 (cp932 lead and trail bytes) are
// never letters, digits or blanks and are never changed.
constexpr bool isAsciiUpper(char32_t c) { return c >= 'A' && c <= 'Z'; }
constexpr bool isAsciiLower(char32_t c) { return c >= 'a' && c <= 'z'; }
constexpr bool isAsciiAlpha(char32_t c) { return isAsciiUpper(c) || isAsciiLower(c); }
constexpr bool isAsciiDigit(char32_t c) { return c >= '0' && c <= '9'; }
constexpr bool isAsciiAlnum(char32_t c) { return isAsciiAlpha(c) || isAsciiDigit(c); }
constexpr bool isAsciiXDigit(char32_t c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// The C locale's white space: blank, tab, line feed, vertical tab, form feed, return.
constexpr bool isAsciiSpace(char32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr char32_t asciiLower(char32_t c) { return isAsciiUpper(c) ? c + ('a' - 'A') : c; }
constexpr char32_t asciiUpper(char32_t c) { return isAsciiLower(c) ? c - ('a' - 'A') : c; }

std::string asciiLower(std::string_view s);
std::u16string asciiLower(std::u16string_view s);
// Equal ignoring the case of A-Z only.
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);
bool equalsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace text
