// The decoder of the script archive's canonical Huffman code over bytes.
//
// Coded form (little-endian 32-bit words): the decoded length N; 256 code
// lengths in canonical order (ascending, each at least 1, the last the longest
// length L); the 256 symbols in the same order (low byte used); then the code
// bits, packed in words and consumed from each word's most significant bit.
//
// Everything in the coded form is checked before it is used: a malformed input
// fails with a reason (errorText) and never reads or writes out of bounds.
#pragma once
#include <cstdint>
#include <memory>

class CHC_Mem_ii {
public:
    static constexpr std::uint32_t kOutputCapacity = 2 * 1024 * 1024;
    static constexpr std::uint32_t kSymbolCount = 256;
    static constexpr std::uint32_t kHeaderSize = 4 + 2 * 4 * kSymbolCount;
    static constexpr std::uint32_t kMaxCodeLength = 31;
    // Lengths that over-fill the code space.
    static constexpr const char* kInitializationError = "start initialization error";

    CHC_Mem_ii();
    virtual ~CHC_Mem_ii();
    CHC_Mem_ii(const CHC_Mem_ii&) = delete;
    CHC_Mem_ii& operator=(const CHC_Mem_ii&) = delete;

    // Decodes `length` coded bytes into the output buffer and returns it; the
    // output size is then N. Returns nullptr (output size 0) when the input is
    // malformed: a header cut short, N beyond the buffer, code lengths that are
    // zero, out of order, longer than 31 bits or over-fill the code space, a
    // code that leaves the symbol table, or code bits that run past the input.
    const std::uint8_t* decode(const std::uint8_t* coded, std::uint32_t length);

    std::uint32_t getOutputSize() const { return outputSize_; }
    // Why the last decode failed; nullptr after a success.
    const char* errorText() const { return error_; }

private:
    const std::uint8_t* fail(const char* reason);

    std::uint32_t outputSize_ = 0;
    std::unique_ptr<std::uint8_t[]> output_;
    const char* error_ = nullptr;
};
