// A small writer of X files for tests: a stream of tokens (names, braces,
// integer and float lists, strings) rendered as text, as binary with 32- or
// 64-bit floats, and either form compressed into MSZIP blocks.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class XTokens {
public:
    XTokens& name(const std::string& text);
    XTokens& open();
    XTokens& close();
    XTokens& ints(std::initializer_list<std::uint32_t> values) { return ints(std::vector<std::uint32_t>(values)); }
    XTokens& ints(const std::vector<std::uint32_t>& values);
    XTokens& floats(std::initializer_list<double> values) { return floats(std::vector<double>(values)); }
    XTokens& floats(const std::vector<double>& values);
    XTokens& string(const std::string& bytes);
    // "Name [objectName] {" and "}" around what `body` adds.
    template <typename Body>
    XTokens& object(const std::string& type, const std::string& objectName, Body&& body) {
        name(type);
        if (!objectName.empty()) name(objectName);
        open();
        body(*this);
        return close();
    }

    enum class Kind { Name, Open, Close, Ints, Floats, String };
    struct Token {
        Kind kind;
        std::string text;
        std::vector<std::uint32_t> ints;
        std::vector<double> floats;
    };
    const std::vector<Token>& tokens() const { return tokens_; }

private:
    std::vector<Token> tokens_;
};

// "xof 0303txt 0032" and the tokens as text.
std::vector<std::uint8_t> writeXText(const XTokens& tokens);
// "xof 0303bin 0032" (or "0064") and the tokens as binary.
std::vector<std::uint8_t> writeXBinary(const XTokens& tokens, bool doubles = false);
// The same file compressed ("tzip"/"bzip"): its body in blocks of at most
// `blockSize` bytes, each deflated with the previous block as dictionary.
std::vector<std::uint8_t> compressMszip(const std::vector<std::uint8_t>& file, std::uint32_t blockSize = 32768);
