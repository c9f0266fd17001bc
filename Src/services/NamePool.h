// Process-wide pools of interned names. A name is interned once and handled by
// a 32-bit handle given in interning order, so names compare by handle and can
// key maps (game variables are keyed by it). Handles stay valid for the life
// of the process: the pools only grow. Loader threads intern while the main
// thread runs, so interning and lookups are locked.
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

using NameHandle = std::uint32_t;

template <typename String>
class BasicNamePool {
public:
    using View = std::basic_string_view<typename String::value_type>;

    // Finds the pooled equal string or inserts a copy; returns its handle.
    NameHandle intern(View name) {
        std::lock_guard<std::mutex> lock(lock_);
        auto it = index_.find(name);
        if (it != index_.end()) return it->second;
        NameHandle handle = static_cast<NameHandle>(strings_.size());
        auto inserted = index_.emplace(String(name), handle).first;
        strings_.push_back(&inserted->first);
        return handle;
    }
    // The pooled empty string: always handle 0 (interned when the pool is made).
    NameHandle emptyName() const { return 0; }
    // The pooled text of a handle; the empty string for a handle never given.
    const String& text(NameHandle handle) const {
        std::lock_guard<std::mutex> lock(lock_);
        return handle < strings_.size() ? *strings_[handle] : *strings_[0];
    }
    size_t size() const {
        std::lock_guard<std::mutex> lock(lock_);
        return strings_.size();
    }

protected:
    BasicNamePool() { intern(View()); }

private:
    mutable std::mutex lock_;
    // Ordered byte-wise (shorter first on a common prefix); nodes never move.
    std::map<String, NameHandle, std::less<>> index_;
    std::vector<const String*> strings_;
};

class NamePool : public BasicNamePool<std::string> {
public:
    static NamePool& instance();
private:
    NamePool() = default;
};

class WideNamePool : public BasicNamePool<std::u16string> {
public:
    static WideNamePool& instance();
    // Insert-or-find, as the wide pool's callers name it.
    NameHandle findOrInsert(View name) { return intern(name); }
private:
    WideNamePool() = default;
};

// Shorthands for the process-wide pools.
inline NameHandle internName(std::string_view name) { return NamePool::instance().intern(name); }
inline NameHandle internWideName(std::u16string_view name) { return WideNamePool::instance().intern(name); }
inline const std::string& nameText(NameHandle handle) { return NamePool::instance().text(handle); }
inline const std::u16string& wideNameText(NameHandle handle) { return WideNamePool::instance().text(handle); }
