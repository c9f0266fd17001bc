#include "services/HuffmanEncoder.h"

#include <algorithm>
#include <queue>

namespace huffman_encoder {
namespace {
void putWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Builds a Huffman tree over the weights (all at least 1) and returns each
// leaf's depth. Ties are broken by node number so the code is reproducible.
std::array<std::uint32_t, 256> treeDepths(const std::array<std::uint64_t, 256>& weights) {
    struct Node {
        std::uint64_t weight;
        std::uint32_t id;
        bool operator>(const Node& other) const {
            return weight != other.weight ? weight > other.weight : id > other.id;
        }
    };
    std::vector<int> parent(511, -1);
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
    for (std::uint32_t symbol = 0; symbol < 256; ++symbol) queue.push({weights[symbol], symbol});
    std::uint32_t nextId = 256;
    while (queue.size() > 1) {
        Node a = queue.top();
        queue.pop();
        Node b = queue.top();
        queue.pop();
        parent[a.id] = static_cast<int>(nextId);
        parent[b.id] = static_cast<int>(nextId);
        queue.push({a.weight + b.weight, nextId++});
    }
    std::array<std::uint32_t, 256> depths{};
    for (std::uint32_t symbol = 0; symbol < 256; ++symbol) {
        std::uint32_t depth = 0;
        for (int node = parent[symbol]; node >= 0; node = parent[static_cast<std::size_t>(node)]) ++depth;
        depths[symbol] = depth;
    }
    return depths;
}
}  // namespace

std::array<std::uint32_t, 256> codeLengths(const std::array<std::uint64_t, 256>& counts) {
    // Every byte value takes part (weight at least 1), which makes the code
    // complete over all 256 values. While the tree is too deep, the weights
    // are halved (kept at least 1): they flatten until the depth fits, at
    // worst down to 8 bits for every value.
    std::array<std::uint64_t, 256> weights{};
    for (std::size_t i = 0; i < 256; ++i) weights[i] = counts[i] + 1;
    for (;;) {
        std::array<std::uint32_t, 256> depths = treeDepths(weights);
        if (*std::max_element(depths.begin(), depths.end()) <= kMaxCodeLength) return depths;
        for (std::uint64_t& weight : weights) weight = weight / 2 + 1;
    }
}

std::vector<std::uint8_t> encode(const std::uint8_t* data, std::uint32_t size) {
    std::array<std::uint64_t, 256> counts{};
    for (std::uint32_t i = 0; i < size; ++i) ++counts[data[i]];
    std::array<std::uint32_t, 256> lengths = codeLengths(counts);

    // Canonical order: by length, then by byte value.
    std::array<std::uint32_t, 256> order{};
    for (std::uint32_t i = 0; i < 256; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return lengths[a] < lengths[b]; });

    // Codes of one length are consecutive; the first code of the next length
    // is (first code + count) * 2.
    std::array<std::uint32_t, 256> codes{};
    std::uint32_t code = 0;
    std::uint32_t previousLength = lengths[order[0]];
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t symbol = order[i];
        if (i > 0) {
            ++code;
            code <<= lengths[symbol] - previousLength;
        } else {
            code = 0;
        }
        codes[symbol] = code;
        previousLength = lengths[symbol];
    }

    std::vector<std::uint8_t> out;
    out.reserve(2052 + size / 2 + 8);
    putWord(out, size);
    for (std::uint32_t symbol : order) putWord(out, lengths[symbol]);
    for (std::uint32_t symbol : order) putWord(out, symbol);

    std::uint32_t word = 0;
    std::uint32_t filled = 0;
    auto putBits = [&](std::uint32_t value, std::uint32_t count) {
        while (count > 0) {
            std::uint32_t take = std::min(count, 32 - filled);
            std::uint32_t piece = (value >> (count - take)) & ((take == 32) ? 0xFFFFFFFFu : ((1u << take) - 1));
            word = take == 32 ? piece : (word << take) | piece;
            filled += take;
            count -= take;
            if (filled == 32) {
                putWord(out, word);
                word = 0;
                filled = 0;
            }
        }
    };
    for (std::uint32_t i = 0; i < size; ++i) putBits(codes[data[i]], lengths[data[i]]);
    putBits(0, lengths[order[255]]);
    if (filled > 0) putWord(out, word << (32 - filled));
    return out;
}

}  // namespace huffman_encoder
