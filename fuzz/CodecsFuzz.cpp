// The archive codecs: the first byte picks run-length expansion, Huffman
// decoding, or a round trip of the rest through the run-length or Huffman
// coder and back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "services/CHC_Mem_ii.h"
#include "services/HuffmanEncoder.h"
#include "services/RunLengthCodec.h"

namespace {
constexpr std::uint32_t kCapacity = 8 * 1024 * 1024;

std::uint8_t* outputBuffer() {
    static std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kCapacity]);
    return buffer.get();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t mode = data[0] % 4;
    const std::uint8_t* input = data + 1;
    const auto length = static_cast<std::uint32_t>(size - 1);
    static CHC_Mem_ii* decoder = new CHC_Mem_ii();
    switch (mode) {
        case 0:
            run_length::expand(input, length, outputBuffer(), kCapacity);
            break;
        case 1:
            decoder->decode(input, length);
            break;
        case 2: {
            std::vector<std::uint8_t> coded(static_cast<std::size_t>(run_length::worstCodedSize(length)) + 4);
            std::int64_t codedSize = run_length::encode(input, length, coded.data(), static_cast<std::uint32_t>(coded.size()));
            if (codedSize < 0) std::abort();
            std::int64_t expanded =
                run_length::expand(coded.data(), static_cast<std::uint32_t>(codedSize), outputBuffer(), kCapacity);
            // Whole 4-byte units come back; the length is the input's.
            if (expanded != length || std::memcmp(outputBuffer(), input, length / 4 * 4) != 0) std::abort();
            break;
        }
        case 3: {
            std::vector<std::uint8_t> coded = huffman_encoder::encode(input, length);
            const std::uint8_t* decoded = decoder->decode(coded.data(), static_cast<std::uint32_t>(coded.size()));
            if (!decoded || decoder->getOutputSize() != length || (length && std::memcmp(decoded, input, length) != 0))
                std::abort();
            break;
        }
    }
    return 0;
}
