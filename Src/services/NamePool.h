// Process-wide pools of interned names. A name is interned once and handled by
// a 32-bit handle given in interning order, so names compare by handle and can
// key maps (game variables are keyed by it). Handles stay valid for the life
// of the process: the pools only grow. Loader threads intern while the main
// thread runs: finding a pooled name takes no lock, inserting one does.
#pragma once
#include <cstdint>
#include <atomic>
#include <functional>
#include <memory>
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
    // A name already pooled is found without the lock: the table only ever
    // gains entries, each published whole, and a grown table replaces the old
    // one while the old one stays readable. Only an insert takes the lock.
    NameHandle intern(View name) {
        const std::size_t hash = std::hash<View>{}(name);
        if (const Entry* entry = find(*table_.load(std::memory_order_acquire), name, hash)) return entry->handle;
        std::lock_guard<std::mutex> lock(lock_);
        Table* table = table_.load(std::memory_order_relaxed);
        if (const Entry* entry = find(*table, name, hash)) return entry->handle;
        if (2 * (entries_.size() + 1) > table->slotCount()) table = grow(*table);
        NameHandle handle = static_cast<NameHandle>(strings_.size());
        entries_.push_back(std::make_unique<Entry>(Entry{String(name), hash, handle}));
        const Entry* entry = entries_.back().get();
        strings_.push_back(&entry->text);
        place(*table, entry);
        return handle;
    }
    // The pooled empty string: always handle 0 (interned when the pool is
    // made), so it needs no pool.
    static constexpr NameHandle emptyName() { return 0; }
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
    BasicNamePool() {
        tables_.push_back(std::make_unique<Table>(kFirstSlots));
        table_.store(tables_.back().get(), std::memory_order_release);
        intern(View());
    }

private:
    struct Entry {
        String text;
        std::size_t hash;
        NameHandle handle;
    };
    // Open addressing with linear probing; a slot, once filled, never changes.
    struct Table {
        explicit Table(std::size_t count) : mask(count - 1), slots(new std::atomic<const Entry*>[count]) {
            for (std::size_t i = 0; i < count; ++i) slots[i].store(nullptr, std::memory_order_relaxed);
        }
        std::size_t slotCount() const { return mask + 1; }
        std::size_t mask;
        std::unique_ptr<std::atomic<const Entry*>[]> slots;
    };
    static constexpr std::size_t kFirstSlots = 1024;

    static const Entry* find(const Table& table, View name, std::size_t hash) {
        for (std::size_t i = hash & table.mask;; i = (i + 1) & table.mask) {
            const Entry* entry = table.slots[i].load(std::memory_order_acquire);
            if (!entry) return nullptr;
            if (entry->hash == hash && View(entry->text) == name) return entry;
        }
    }
    static void place(Table& table, const Entry* entry) {
        std::size_t i = entry->hash & table.mask;
        while (table.slots[i].load(std::memory_order_relaxed)) i = (i + 1) & table.mask;
        table.slots[i].store(entry, std::memory_order_release);
    }
    // A table of twice the slots with every entry, published for readers; the
    // old one is kept, since a reader may still be probing it.
    Table* grow(const Table& old) {
        tables_.push_back(std::make_unique<Table>(2 * old.slotCount()));
        Table* table = tables_.back().get();
        for (const std::unique_ptr<Entry>& entry : entries_) place(*table, entry.get());
        table_.store(table, std::memory_order_release);
        return table;
    }

    mutable std::mutex lock_;
    std::atomic<Table*> table_{nullptr};
    std::vector<std::unique_ptr<Table>> tables_;
    std::vector<std::unique_ptr<Entry>> entries_;
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
