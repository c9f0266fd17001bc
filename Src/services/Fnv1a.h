// 64-bit FNV-1a, for hashes of in-memory state that must come out the same on
// every run (replay traces, determinism checks). Not for anything stored.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

class Fnv1a {
public:
    void addBytes(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            hash_ ^= bytes[i];
            hash_ *= kPrime;
        }
    }
    // Integers and floats by their bytes as they lie in memory: a float hashes
    // by its raw bits, so -0.0 and 0.0 differ and every NaN is itself.
    template <typename T>
    void add(T value) {
        unsigned char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        addBytes(bytes, sizeof value);
    }
    std::uint64_t value() const { return hash_; }

private:
    static constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
    static constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t hash_ = kOffsetBasis;
};
