// Values by element id in ascending id order, kept in one small array held in
// place (on the heap only past kInline): a script node holds a handful (its
// parameter children and their types), set while the script is read and
// looked up every frame as it runs. Iterates as (id, value) pairs, like an
// ordered map.
#pragma once
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include <boost/container/small_vector.hpp>

template <typename Value>
class IdValueMap {
public:
    using value_type = std::pair<std::int32_t, Value>;
    static constexpr size_t kInline = 4;
    using Entries = boost::container::small_vector<value_type, kInline>;
    using const_iterator = typename Entries::const_iterator;

    // Stores `value` for `id`, replacing the value it had.
    void set(std::int32_t id, Value value) {
        size_t i = lowerBound(id);
        if (i < entries_.size() && entries_[i].first == id) {
            entries_[i].second = value;
            return;
        }
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
    size_t lowerBound(std::int32_t id) const {
        size_t i = 0;
        while (i < entries_.size() && entries_[i].first < id) ++i;
        return i;
    }

    Entries entries_;
};
