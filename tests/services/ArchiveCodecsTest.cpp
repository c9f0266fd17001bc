// The run-length code of texture entries and the canonical Huffman code of
// script entries: the documented examples, round trips over awkward lengths,
// and coded inputs that lie about themselves.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "ArchiveTestSupport.h"
#include "services/CHC_Mem_ii.h"
#include "services/HuffmanEncoder.h"
#include "services/RunLengthCodec.h"

namespace {
Bytes copyOut(const std::uint8_t* data, std::uint32_t size) { return Bytes(data, data + size); }

Bytes repeatUnit(const Bytes& unit, std::size_t times) {
    Bytes bytes;
    for (std::size_t i = 0; i < times; ++i) bytes.insert(bytes.end(), unit.begin(), unit.end());
    return bytes;
}

void putWord(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A Huffman header with the given lengths and symbols, then the code bits.
Bytes huffmanInput(std::uint32_t count, const std::array<std::uint32_t, 256>& lengths,
                   const std::array<std::uint32_t, 256>& symbols, const std::vector<std::uint32_t>& words) {
    Bytes bytes;
    putWord(bytes, count);
    for (std::uint32_t length : lengths) putWord(bytes, length);
    for (std::uint32_t symbol : symbols) putWord(bytes, symbol);
    for (std::uint32_t word : words) putWord(bytes, word);
    return bytes;
}

std::array<std::uint32_t, 256> allLengths(std::uint32_t length) {
    std::array<std::uint32_t, 256> lengths{};
    lengths.fill(length);
    return lengths;
}

std::array<std::uint32_t, 256> identitySymbols() {
    std::array<std::uint32_t, 256> symbols{};
    for (std::uint32_t i = 0; i < 256; ++i) symbols[i] = i;
    return symbols;
}

// Checks the header the encoder wrote: ascending lengths from 1 up to the
// bound, a complete code (Kraft sum exactly 1), every byte value present.
void expectCompleteCanonicalHeader(const Bytes& coded) {
    ASSERT_GE(coded.size(), CHC_Mem_ii::kHeaderSize);
    auto word = [&](std::size_t at) {
        return static_cast<std::uint32_t>(coded[at]) | coded[at + 1] << 8 | coded[at + 2] << 16 |
               static_cast<std::uint32_t>(coded[at + 3]) << 24;
    };
    std::uint64_t kraft = 0;  // in units of 2^-32
    std::array<bool, 256> seen{};
    for (std::size_t i = 0; i < 256; ++i) {
        std::uint32_t length = word(4 + 4 * i);
        ASSERT_GE(length, 1u);
        ASSERT_LE(length, huffman_encoder::kMaxCodeLength);
        if (i > 0) {
            ASSERT_GE(length, word(4 + 4 * (i - 1)));
        }
        kraft += std::uint64_t{1} << (32 - length);
        std::uint32_t symbol = word(1028 + 4 * i);
        ASSERT_LT(symbol, 256u);
        seen[symbol] = true;
    }
    EXPECT_EQ(kraft, std::uint64_t{1} << 32);
    for (bool s : seen) EXPECT_TRUE(s);
}
}  // namespace

TEST(ArchiveCodecs, RunLengthCodesTheDocumentedExamples) {
    ArchiveManager archive;
    // Two different units: the header and two records of count 1.
    Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::uint8_t* coded = archive.encodeRunLength(eight.data(), 8);
    ASSERT_NE(coded, nullptr);
    EXPECT_EQ(copyOut(coded, archive.getOutputSize()),
              (Bytes{0, 0, 0, 8, 1, 1, 2, 3, 4, 1, 5, 6, 7, 8}));
    Bytes codedEight = copyOut(coded, archive.getOutputSize());
    const std::uint8_t* expanded = archive.expandRunLength(codedEight.data(), 14);
    ASSERT_NE(expanded, nullptr);
    EXPECT_EQ(archive.getOutputSize(), 8u);
    EXPECT_EQ(copyOut(expanded, 8), eight);

    // 1,024 equal units: four runs of 255 and one of 4.
    Bytes equal = repeatUnit({9, 8, 7, 6}, 1024);
    coded = archive.encodeRunLength(equal.data(), static_cast<std::uint32_t>(equal.size()));
    ASSERT_EQ(archive.getOutputSize(), 4u + 5 * 5);
    const int runs[] = {255, 255, 255, 255, 4};
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(coded[4 + 5 * r], runs[r]);
        EXPECT_EQ(copyOut(coded + 5 + 5 * r, 4), (Bytes{9, 8, 7, 6}));
    }

    // A partial last unit is stored zero-padded, so no byte is lost.
    Bytes three = {0xAA, 0xBB, 0xCC};
    coded = archive.encodeRunLength(three.data(), 3);
    EXPECT_EQ(copyOut(coded, archive.getOutputSize()), (Bytes{0, 0, 0, 3, 1, 0xAA, 0xBB, 0xCC, 0}));

    // Nothing in, nothing out.
    EXPECT_NE(archive.encodeRunLength(three.data(), 0), nullptr);
    EXPECT_EQ(archive.getOutputSize(), 0u);
    archive.expandRunLength(nullptr, 5);
    EXPECT_EQ(archive.getOutputSize(), 0u);
}

TEST(ArchiveCodecs, RunLengthRoundTripsAwkwardLengths) {
    ArchiveManager archive;
    std::vector<Bytes> inputs;
    for (std::size_t n = 1; n <= 9; ++n) inputs.push_back(randomBytes(n, static_cast<std::uint32_t>(n)));
    for (std::size_t units : {254, 255, 256, 510, 511}) {
        Bytes run = repeatUnit({1, 2, 3, 4}, units);
        run.push_back(7);  // and a partial unit after the run
        inputs.push_back(run);
    }
    inputs.push_back(repeatUnit({0, 0, 0, 0}, 3));  // a run equal to the zero padding
    inputs.push_back(runnyBytes(1536 * 1024 + 3, 11));
    inputs.push_back(randomBytes(300000 + 2, 12));
    for (const Bytes& input : inputs) {
        SCOPED_TRACE(input.size());
        const std::uint8_t* coded = archive.encodeRunLength(input.data(), static_cast<std::uint32_t>(input.size()));
        ASSERT_NE(coded, nullptr);
        Bytes stored = copyOut(coded, archive.getOutputSize());
        const std::uint8_t* expanded = archive.expandRunLength(stored.data(), static_cast<std::uint32_t>(stored.size()));
        ASSERT_NE(expanded, nullptr);
        ASSERT_EQ(archive.getOutputSize(), input.size());
        EXPECT_EQ(copyOut(expanded, archive.getOutputSize()), input);
    }
}

TEST(ArchiveCodecs, RunLengthExpandsStringsThatLeaveOutThePartialUnit) {
    ArchiveManager archive;
    // A 3-byte file coded as its header alone: three bytes, all zero.
    Bytes headerOnly = {0, 0, 0, 3};
    const std::uint8_t* expanded = archive.expandRunLength(headerOnly.data(), 4);
    ASSERT_NE(expanded, nullptr);
    EXPECT_EQ(archive.getOutputSize(), 3u);
    EXPECT_EQ(copyOut(expanded, 3), (Bytes{0, 0, 0}));
    // Seven bytes with only the whole unit stored: the tail reads as zero.
    Bytes sevenWholeOnly = {0, 0, 0, 7, 1, 1, 2, 3, 4};
    expanded = archive.expandRunLength(sevenWholeOnly.data(), 9);
    ASSERT_NE(expanded, nullptr);
    EXPECT_EQ(copyOut(expanded, 7), (Bytes{1, 2, 3, 4, 0, 0, 0}));
}

TEST(ArchiveCodecs, RunLengthRejectsCodedStringsThatLie) {
    struct Case {
        const char* what;
        Bytes coded;
    };
    const Case cases[] = {
        {"header cut short", {0, 0, 8}},
        {"length beyond the 8 MiB buffer", {0, 0x80, 0, 1, 1, 1, 2, 3, 4}},
        {"record cut short", {0, 0, 0, 8, 2, 1, 2, 3}},
        {"zero run", {0, 0, 0, 4, 0, 1, 2, 3, 4, 1, 1, 2, 3, 4}},
        {"runs past the length", {0, 0, 0, 8, 3, 1, 2, 3, 4}},
        {"runs past the length by a later record", {0, 0, 0, 4, 1, 1, 2, 3, 4, 1, 5, 6, 7, 8}},
        {"runs fall short of the length", {0, 0, 0, 12, 2, 1, 2, 3, 4}},
        {"no records for a whole unit", {0, 0, 0, 4}},
        {"a huge run against a small length", {0, 0, 0, 6, 255, 1, 2, 3, 4}},
    };
    ArchiveManager archive;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes seed = {1, 2, 3, 4, 5, 6, 7, 8};
        archive.encodeRunLength(seed.data(), 8);  // leaves a non-zero output size behind
        EXPECT_EQ(archive.expandRunLength(c.coded.data(), static_cast<std::uint32_t>(c.coded.size())), nullptr);
        EXPECT_EQ(archive.getOutputSize(), 0u);
    }
}

TEST(ArchiveCodecs, RunLengthRefusesCodedFormsThatDoNotFit) {
    Bytes input = randomBytes(64, 3);
    std::uint8_t out[40];
    EXPECT_EQ(run_length::encode(input.data(), 64, out, sizeof out), -1);
    EXPECT_EQ(run_length::encode(input.data(), 64, out, 3), -1);
    // Incompressible 8 MiB: 10 MiB coded, more than the output buffer holds.
    ArchiveManager archive;
    Bytes big = randomBytes(ArchiveManager::kBufferSize, 4);
    EXPECT_EQ(archive.encodeRunLength(big.data(), static_cast<std::uint32_t>(big.size())), nullptr);
    EXPECT_EQ(archive.getOutputSize(), 0u);
}

TEST(ArchiveCodecs, HuffmanWithAllLengthsEightReadsBytesFromTheCodeBits) {
    CHC_Mem_ii decoder;
    // Bits are consumed from each word's most significant bit.
    Bytes identity = huffmanInput(6, allLengths(8), identitySymbols(), {0x41424344, 0x45460000, 0});
    const std::uint8_t* out = decoder.decode(identity.data(), static_cast<std::uint32_t>(identity.size()));
    ASSERT_NE(out, nullptr) << decoder.errorText();
    EXPECT_EQ(decoder.getOutputSize(), 6u);
    EXPECT_EQ(copyOut(out, 6), bytesOf("ABCDEF"));

    // The symbol table maps canonical index to byte (its low byte only).
    std::array<std::uint32_t, 256> reversed{};
    for (std::uint32_t i = 0; i < 256; ++i) reversed[i] = 0x1200 + (255 - i);
    Bytes mapped = huffmanInput(2, allLengths(8), reversed, {0x00FF0000});
    out = decoder.decode(mapped.data(), static_cast<std::uint32_t>(mapped.size()));
    ASSERT_NE(out, nullptr) << decoder.errorText();
    EXPECT_EQ(copyOut(out, 2), (Bytes{0xFF, 0x00}));

    // N = 0 decodes to nothing.
    Bytes empty = huffmanInput(0, allLengths(8), identitySymbols(), {});
    EXPECT_NE(decoder.decode(empty.data(), static_cast<std::uint32_t>(empty.size())), nullptr);
    EXPECT_EQ(decoder.getOutputSize(), 0u);
}

TEST(ArchiveCodecs, HuffmanRoundTripsThroughTheEncoder) {
    std::vector<Bytes> inputs;
    for (std::size_t n = 0; n <= 7; ++n) inputs.push_back(randomBytes(n, static_cast<std::uint32_t>(100 + n)));
    Bytes everyByte(256);
    for (int i = 0; i < 256; ++i) everyByte[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    inputs.push_back(everyByte);
    inputs.push_back(Bytes(100000, 'x'));  // one value dominates: long codes for the rest
    inputs.push_back(bytesOf("<exbulletml><action><fire><bullet/></fire></action></exbulletml>\r\n"));
    inputs.push_back(randomBytes(1536 * 1024, 7));
    // Counts that grow like Fibonacci numbers (256 times them) make a Huffman
    // tree 26 deep, deeper than the length bound, so the encoder has to
    // flatten it.
    Bytes skewed;
    std::uint64_t a = 1, b = 1;
    for (int symbol = 0; symbol < 18; ++symbol) {
        skewed.insert(skewed.end(), static_cast<std::size_t>(256 * a), static_cast<std::uint8_t>(symbol));
        std::uint64_t next = a + b;
        a = b;
        b = next;
    }
    inputs.push_back(skewed);
    inputs.push_back(Bytes(CHC_Mem_ii::kOutputCapacity, 0x20));

    CHC_Mem_ii decoder;
    for (const Bytes& input : inputs) {
        SCOPED_TRACE(input.size());
        Bytes coded = huffman_encoder::encode(input.data(), static_cast<std::uint32_t>(input.size()));
        expectCompleteCanonicalHeader(coded);
        const std::uint8_t* out = decoder.decode(coded.data(), static_cast<std::uint32_t>(coded.size()));
        ASSERT_NE(out, nullptr) << decoder.errorText();
        ASSERT_EQ(decoder.getOutputSize(), input.size());
        EXPECT_EQ(copyOut(out, decoder.getOutputSize()), input);
    }
}

TEST(ArchiveCodecs, HuffmanRejectsMalformedInputs) {
    struct Case {
        const char* what;
        Bytes coded;
        const char* error;
    };
    auto lengthsWith = [](std::initializer_list<std::pair<int, std::uint32_t>> changes, std::uint32_t base) {
        std::array<std::uint32_t, 256> lengths = allLengths(base);
        for (auto [index, length] : changes) lengths[static_cast<std::size_t>(index)] = length;
        return lengths;
    };
    Bytes good = huffmanInput(4, allLengths(8), identitySymbols(), {0x41424344, 0});
    Bytes cutShort(good.begin(), good.begin() + CHC_Mem_ii::kHeaderSize - 1);
    const Case cases[] = {
        {"header cut short", cutShort, "Huffman header cut short"},
        {"N beyond the 2 MiB buffer", huffmanInput(CHC_Mem_ii::kOutputCapacity + 1, allLengths(8), identitySymbols(), {0}),
         "Huffman decoded length exceeds the output buffer"},
        {"a zero length", huffmanInput(1, lengthsWith({{0, 0}}, 8), identitySymbols(), {0}),
         "Huffman code length of zero"},
        {"lengths out of order", huffmanInput(1, lengthsWith({{100, 9}, {101, 8}}, 8), identitySymbols(), {0}),
         "Huffman code lengths out of order"},
        {"a 32-bit length", huffmanInput(1, lengthsWith({{255, 32}}, 8), identitySymbols(), {0}),
         "Huffman code length over 31 bits"},
        {"over-full at the longest length", huffmanInput(1, allLengths(7), identitySymbols(), {0}),
         CHC_Mem_ii::kInitializationError},
        {"over-full at a short length",
         huffmanInput(1, lengthsWith({{0, 1}, {1, 1}, {2, 1}}, 8), identitySymbols(), {0}),
         CHC_Mem_ii::kInitializationError},
        // All lengths 9 use half the code space; a code in the other half has
        // no symbol.
        {"a code outside the symbol table", huffmanInput(1, allLengths(9), identitySymbols(), {0xFF800000}),
         "Huffman code outside the symbol table"},
        {"code bits past the input", huffmanInput(5, allLengths(8), identitySymbols(), {0x41424344}),
         "Huffman code bits run past the input"},
        {"no code bits at all", huffmanInput(1, allLengths(8), identitySymbols(), {}),
         "Huffman code bits run past the input"},
    };
    CHC_Mem_ii decoder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(decoder.decode(good.data(), static_cast<std::uint32_t>(good.size())), nullptr);
        EXPECT_EQ(decoder.decode(c.coded.data(), static_cast<std::uint32_t>(c.coded.size())), nullptr);
        EXPECT_EQ(decoder.getOutputSize(), 0u);
        ASSERT_NE(decoder.errorText(), nullptr);
        EXPECT_STREQ(decoder.errorText(), c.error);
    }
}
