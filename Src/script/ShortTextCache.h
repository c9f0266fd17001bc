// A small per-owner cache from short texts to a value, for the lookups the
// script reader repeats for nearly every element (attribute names, number
// texts): a hash of the text's first and last four units picks a set of two
// entries, which compare the text whole. Texts longer than kMaxLength are
// never kept; a miss replaces the second entry of a full set.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

template <typename Char, typename Value, size_t kSets = 128>
class ShortTextCache {
public:
    static constexpr size_t kMaxLength = 24;

    // The value kept for `text`, or null.
    const Value* find(std::basic_string_view<Char> text) const {
        if (text.empty() || text.size() > kMaxLength) return nullptr;
        const Entry* set = &entries_[2 * setOf(text)];
        for (int way = 0; way < 2; ++way) {
            if (set[way].length == text.size() &&
                std::memcmp(set[way].text, text.data(), text.size() * sizeof(Char)) == 0) {
                return &set[way].value;
            }
        }
        return nullptr;
    }
    // Keeps `value` for `text` (which find() did not have).
    void insert(std::basic_string_view<Char> text, const Value& value) {
        if (text.empty() || text.size() > kMaxLength) return;
        Entry* set = &entries_[2 * setOf(text)];
        Entry& entry = set[0].length ? set[1] : set[0];
        std::memcpy(entry.text, text.data(), text.size() * sizeof(Char));
        entry.length = text.size();
        entry.value = value;
    }

private:
    struct Entry {
        Char text[kMaxLength];
        // 0: the entry is unused.
        size_t length = 0;
        Value value{};
    };

    static size_t setOf(std::basic_string_view<Char> text) {
        // The first and the last four units (fewer for a shorter text).
        const size_t take = text.size() < 4 ? text.size() : 4;
        std::uint64_t head = 0;
        std::uint64_t tail = 0;
        for (size_t i = 0; i < take; ++i) {
            head = head << 16 | static_cast<std::make_unsigned_t<Char>>(text[i]);
            tail = tail << 16 | static_cast<std::make_unsigned_t<Char>>(text[text.size() - take + i]);
        }
        std::uint64_t hash = head * 0x9E3779B97F4A7C15ull ^ tail * 0xC2B2AE3D27D4EB4Full ^ text.size();
        hash ^= hash >> 32;
        hash ^= hash >> 17;
        return static_cast<size_t>(hash % kSets);
    }

    std::array<Entry, 2 * kSets> entries_;
};
