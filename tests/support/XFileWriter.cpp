#include "support/XFileWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

XTokens& XTokens::name(const std::string& text) {
    tokens_.push_back({Kind::Name, text, {}, {}});
    return *this;
}
XTokens& XTokens::open() {
    tokens_.push_back({Kind::Open, {}, {}, {}});
    return *this;
}
XTokens& XTokens::close() {
    tokens_.push_back({Kind::Close, {}, {}, {}});
    return *this;
}
XTokens& XTokens::ints(const std::vector<std::uint32_t>& values) {
    tokens_.push_back({Kind::Ints, {}, values, {}});
    return *this;
}
XTokens& XTokens::floats(const std::vector<double>& values) {
    tokens_.push_back({Kind::Floats, {}, {}, values});
    return *this;
}
XTokens& XTokens::string(const std::string& bytes) {
    tokens_.push_back({Kind::String, bytes, {}, {}});
    return *this;
}

namespace {
void append(std::vector<std::uint8_t>& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }
void u16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    u16(out, v & 0xFFFF);
    u16(out, v >> 16);
}
}  // namespace

std::vector<std::uint8_t> writeXText(const XTokens& tokens) {
    std::vector<std::uint8_t> out;
    append(out, "xof 0303txt 0032\n// written by the test support\n");
    for (const XTokens::Token& t : tokens.tokens()) {
        switch (t.kind) {
            case XTokens::Kind::Name: append(out, t.text + " "); break;
            case XTokens::Kind::Open: append(out, "{\n"); break;
            case XTokens::Kind::Close: append(out, "}\n"); break;
            case XTokens::Kind::Ints:
                for (std::size_t i = 0; i < t.ints.size(); ++i)
                    append(out, std::to_string(t.ints[i]) + (i + 1 < t.ints.size() ? "," : ";"));
                append(out, "\n");
                break;
            case XTokens::Kind::Floats:
                for (std::size_t i = 0; i < t.floats.size(); ++i) {
                    char number[40];
                    std::snprintf(number, sizeof number, "%.9g", t.floats[i]);
                    append(out, std::string(number) + (i + 1 < t.floats.size() ? "," : ";"));
                }
                append(out, "\n");
                break;
            case XTokens::Kind::String: append(out, "\"" + t.text + "\";\n"); break;
        }
    }
    return out;
}

std::vector<std::uint8_t> writeXBinary(const XTokens& tokens, bool doubles) {
    std::vector<std::uint8_t> out;
    append(out, doubles ? "xof 0303bin 0064" : "xof 0303bin 0032");
    for (const XTokens::Token& t : tokens.tokens()) {
        switch (t.kind) {
            case XTokens::Kind::Name:
                u16(out, 1);
                u32(out, std::uint32_t(t.text.size()));
                append(out, t.text);
                break;
            case XTokens::Kind::Open: u16(out, 10); break;
            case XTokens::Kind::Close: u16(out, 11); break;
            case XTokens::Kind::Ints:
                u16(out, 6);
                u32(out, std::uint32_t(t.ints.size()));
                for (std::uint32_t v : t.ints) u32(out, v);
                break;
            case XTokens::Kind::Floats:
                u16(out, 7);
                u32(out, std::uint32_t(t.floats.size()));
                for (double v : t.floats) {
                    std::uint8_t bytes[8];
                    if (doubles) {
                        std::memcpy(bytes, &v, 8);
                        out.insert(out.end(), bytes, bytes + 8);
                    } else {
                        const float f = float(v);
                        std::memcpy(bytes, &f, 4);
                        out.insert(out.end(), bytes, bytes + 4);
                    }
                }
                break;
            case XTokens::Kind::String:
                u16(out, 2);
                u32(out, std::uint32_t(t.text.size()));
                append(out, t.text);
                u16(out, 20);
                break;
        }
    }
    return out;
}

std::vector<std::uint8_t> compressMszip(const std::vector<std::uint8_t>& file, std::uint32_t blockSize) {
    std::vector<std::uint8_t> out(file.begin(), file.begin() + 16);
    const bool binary = std::memcmp(file.data() + 8, "bin ", 4) == 0;
    std::memcpy(out.data() + 8, binary ? "bzip" : "tzip", 4);
    u32(out, std::uint32_t(file.size()));
    std::size_t previous = 16;
    for (std::size_t at = 16; at < file.size(); at += blockSize) {
        const std::uint32_t plain = std::uint32_t(std::min<std::size_t>(blockSize, file.size() - at));
        z_stream stream{};
        deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        if (at > previous) deflateSetDictionary(&stream, file.data() + previous, uInt(at - previous));
        std::vector<std::uint8_t> packed(deflateBound(&stream, plain) + 16);
        stream.next_in = const_cast<std::uint8_t*>(file.data() + at);
        stream.avail_in = plain;
        stream.next_out = packed.data();
        stream.avail_out = uInt(packed.size());
        deflate(&stream, Z_FINISH);
        packed.resize(stream.total_out);
        deflateEnd(&stream);
        u16(out, plain);
        u16(out, std::uint32_t(packed.size() + 2));
        out.push_back('C');
        out.push_back('K');
        out.insert(out.end(), packed.begin(), packed.end());
        previous = at;
    }
    return out;
}
