// Values by element id in ascending id order, kept in one small array: a
// script node holds a handful (its parameter children and their types), set
// while the script is read and looked up every frame as it runs. Iterates as
// (id, value) pairs, like an ordered map.
#pragma once
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

template <typename Value>
class IdValueMap {
public:
    using value_type = std::pair<std::int32_t, Value>;
    using const_iterator = typename std::vector<value_type>::const_iterator;

    // Stores `value` for `id`, replacing the value it had.
    void set(std::int32_t id, Value value) {
        size_t i = lowerBound(id);
        if (i < entries_.size() && entries_[i].first == id) {
            entries_[i].second = value;
            return;
        }
        if (entries_.empty()) entries_.reserve(kFirstCapacity);
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(i), value_type(id, value));
    }
    // The value of `id`, or null.
    const Value* find(std::int32_t id) const {
        size_t i = lowerBound(id);
        return i < entries_.size() && entries_[i].first == id ? &entries_[i].second : nullptr;
    }
    bool contains(std::int32_t id) const { return find(id) != nullptr; }
    const Value& at(std::int32_t id) const {
        if (const Value* value = find(id)) return *value;
        throw std::out_of_range("IdValueMap::at");
    }

    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

private:
    // Room for the usual count at the first store: one allocation per node.
    static constexpr size_t kFirstCapacity = 8;

    size_t lowerBound(std::int32_t id) const {
        size_t i = 0;
        while (i < entries_.size() && entries_[i].first < id) ++i;
        return i;
    }

    std::vector<value_type> entries_;
};
