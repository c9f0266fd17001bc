#include "services/CHC_Mem_ii.h"

namespace {
std::uint32_t wordAt(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Code bits read from the most significant bit of each 32-bit word. The
// decoder keeps a window of L bits ahead of the code it decodes, so at the end
// of the input it reads ahead; words past the end read as zero and only the
// position of the bits a code really uses is checked against the input.
class CodeBitReader {
public:
    CodeBitReader(const std::uint8_t* words, std::uint32_t wordCount)
        : words_(words), wordCount_(wordCount) {}

    std::uint32_t read(std::uint32_t count) {
        std::uint64_t result = 0;
        while (count > bitsLeft_) {
            result = (result << bitsLeft_) | (current_ & lowMask(bitsLeft_));
            count -= bitsLeft_;
            current_ = next_ < wordCount_ ? wordAt(words_ + 4 * static_cast<std::size_t>(next_)) : 0;
            ++next_;
            bitsLeft_ = 32;
        }
        bitsLeft_ -= count;
        result = (result << count) | ((current_ >> bitsLeft_) & lowMask(count));
        return static_cast<std::uint32_t>(result);
    }

    std::uint64_t totalBits() const { return static_cast<std::uint64_t>(wordCount_) * 32; }

private:
    static std::uint64_t lowMask(std::uint32_t bits) { return (std::uint64_t{1} << bits) - 1; }

    const std::uint8_t* words_;
    std::uint32_t wordCount_;
    std::uint32_t next_ = 0;
    std::uint32_t current_ = 0;
    std::uint32_t bitsLeft_ = 0;
};
}  // namespace

CHC_Mem_ii::CHC_Mem_ii() : output_(std::make_unique_for_overwrite<std::uint8_t[]>(kOutputCapacity)) {}

CHC_Mem_ii::~CHC_Mem_ii() = default;

const std::uint8_t* CHC_Mem_ii::fail(const char* reason) {
    error_ = reason;
    outputSize_ = 0;
    return nullptr;
}

const std::uint8_t* CHC_Mem_ii::decode(const std::uint8_t* coded, std::uint32_t length) {
    error_ = nullptr;
    outputSize_ = 0;
    if (!coded || length < kHeaderSize) return fail("Huffman header cut short");
    std::uint32_t count = wordAt(coded);
    if (count > kOutputCapacity) return fail("Huffman decoded length exceeds the output buffer");

    const std::uint8_t* lengthWords = coded + 4;
    const std::uint8_t* symbolWords = coded + 4 + 4 * kSymbolCount;
    std::uint32_t lengths[kSymbolCount];
    std::uint8_t symbols[kSymbolCount];
    for (std::uint32_t i = 0; i < kSymbolCount; ++i) {
        lengths[i] = wordAt(lengthWords + 4 * i);
        symbols[i] = symbolWords[4 * i];
        if (lengths[i] == 0) return fail("Huffman code length of zero");
        if (i > 0 && lengths[i] < lengths[i - 1]) return fail("Huffman code lengths out of order");
    }
    const std::uint32_t longest = lengths[kSymbolCount - 1];
    if (longest > kMaxCodeLength) return fail("Huffman code length over 31 bits");

    // Per length: the first code, the canonical index of its first symbol, and
    // the limit below which an L-bit window starts with a code of at most that
    // length. 64-bit so that over-full lengths are caught, not wrapped.
    std::uint64_t firstCode[kMaxCodeLength + 2] = {};
    std::uint32_t firstIndex[kMaxCodeLength + 2] = {};
    std::uint64_t limit[kMaxCodeLength + 2] = {};
    const std::uint64_t space = std::uint64_t{1} << longest;
    std::uint32_t index = 0;
    for (std::uint32_t bits = 1; bits < longest; ++bits) {
        std::uint32_t ofLength = 0;
        while (index + ofLength < kSymbolCount && lengths[index + ofLength] == bits) ++ofLength;
        firstIndex[bits] = index;
        firstCode[bits + 1] = (firstCode[bits] + ofLength) * 2;
        limit[bits] = firstCode[bits + 1] << (longest - bits - 1);
        if (limit[bits] > space) return fail(kInitializationError);
        index += ofLength;
    }
    firstIndex[longest] = index;
    limit[longest] = space;
    if (firstCode[longest] + (kSymbolCount - index) > space) return fail(kInitializationError);

    std::uint32_t wordCount = (length - kHeaderSize) / 4;
    CodeBitReader bits(coded + kHeaderSize, wordCount);
    std::uint64_t window = bits.read(longest);
    std::uint64_t used = 0;
    std::uint8_t* out = output_.get();
    for (std::uint32_t n = 0; n < count; ++n) {
        std::uint32_t codeLength = 1;
        while (window >= limit[codeLength]) ++codeLength;
        used += codeLength;
        if (used > bits.totalBits()) return fail("Huffman code bits run past the input");
        std::uint32_t shift = longest - codeLength;
        std::uint64_t code = window >> shift;
        std::uint64_t rest = window - (code << shift);
        std::uint64_t canonical = firstIndex[codeLength] + code - firstCode[codeLength];
        if (canonical >= kSymbolCount) return fail("Huffman code outside the symbol table");
        out[n] = symbols[canonical];
        window = (rest << codeLength) + bits.read(codeLength);
    }
    outputSize_ = count;
    return out;
}
