// The variables of one running script ("eval", "$name"), keyed by pooled
// name. A small flat map: scripts keep a handful of variables, so the entries
// live inside the runtime's block and lookups scan them; only a script with
// more variables than the inline room moves them to one heap array. A missing
// entry reads 0.0 and is created by operator[], as a std::map would do.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "services/NamePool.h"

class ObjectVariableMap {
public:
    static constexpr std::size_t kInline = 12;
    struct Entry {
        NameHandle first;
        float second;
    };

    ObjectVariableMap() = default;
    ObjectVariableMap(const ObjectVariableMap&) = delete;
    ObjectVariableMap& operator=(const ObjectVariableMap&) = delete;
    ~ObjectVariableMap() {
        if (data_ != inline_) ::operator delete(data_);
    }

    float& operator[](NameHandle name) {
        if (Entry* entry = find(name)) return entry->second;
        if (size_ == capacity_) grow();
        data_[size_] = Entry{name, 0.0f};
        return data_[size_++].second;
    }
    Entry* find(NameHandle name) {
        for (std::size_t i = 0; i < size_; ++i)
            if (data_[i].first == name) return &data_[i];
        return nullptr;
    }
    std::size_t count(NameHandle name) const {
        for (std::size_t i = 0; i < size_; ++i)
            if (data_[i].first == name) return 1;
        return 0;
    }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() { size_ = 0; }
    const Entry* begin() const { return data_; }
    const Entry* end() const { return data_ + size_; }

private:
    void grow() {
        std::size_t capacity = capacity_ * 2;
        Entry* data = static_cast<Entry*>(::operator new(capacity * sizeof(Entry)));
        std::memcpy(data, data_, size_ * sizeof(Entry));
        if (data_ != inline_) ::operator delete(data_);
        data_ = data;
        capacity_ = capacity;
    }

    // The bookkeeping before the entries: the constructor writes only it,
    // and a map with a few variables reads one line.
    Entry* data_ = inline_;
    std::size_t size_ = 0;
    std::size_t capacity_ = kInline;
    Entry inline_[kInline];
};
