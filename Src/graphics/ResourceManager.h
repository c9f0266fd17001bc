// The one owner of the graphics resources of a kind (textures, sprite
// managers, meshes): resources held by shared pointer under a numeric id (the
// resource's tag), found by id or by pooled name, a stock of ready-built
// resources, and removal at once or through a queue flushed after Present.
// The manager is itself a ResourceObject; its own operations follow the
// fourteen of ResourceObject as virtual slots 14 to 33, and the walks that
// call other slots (flushRemoveQueue, update) call them virtually, so a
// derived manager's override applies. Main thread only.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string_view>

#include "services/NamePool.h"
#include "services/ResourceObject.h"

// How the template reaches a resource's id, name and state. By default the
// resource is a ResourceObject and these are its virtual slots; a resource
// that is not one (the sprite manager) specialises this with plain fields of
// the same meaning, so both instances share one template body.
template <class T>
struct ResourceAccess {
    static std::uint32_t tag(T& r) { return r.getTag(); }
    static void setTag(T& r, std::uint32_t tag) { r.setTag(tag); }
    static bool nameEquals(T& r, const NameHandle& name) { return r.nameEquals(name) != 0; }
    static void setName(T& r, const NameHandle& name) { r.setName(name); }
    static NameHandle name(T& r) { return r.getName(); }
    static std::uint32_t state(T& r) { return r.getState(); }
    static void setState(T& r, std::uint32_t state) { r.setState(state); }
};

template <class T>
class ResourceManager : public ResourceObject {
public:
    using Pointer = std::shared_ptr<T>;
    using Access = ResourceAccess<T>;

    ResourceManager() = default;
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;
    ~ResourceManager() override {
        removeQueue_.clear();
        nameCache_.clear();
        readyStock_.clear();
        resources_.clear();
    }

    // 14: an id already present keeps its old entry.
    virtual void add(const Pointer& resource) {
        if (resource) resources_.emplace(Access::tag(*resource), resource);
    }
    // 15
    virtual void remove(const Pointer& resource) {
        if (resource) resources_.erase(Access::tag(*resource));
    }
    // 16: an absent id does nothing.
    virtual void removeById(std::uint32_t id) { resources_.erase(id); }
    // 17
    virtual void queueRemove(std::uint32_t id) { removeQueue_.push_back(id); }
    // 18: each queued id through removeById (slot 16), in queue order.
    virtual void flushRemoveQueue() {
        if (removeQueue_.empty()) return;
        for (std::uint32_t id : removeQueue_) removeById(id);
        removeQueue_.clear();
    }
    // 19
    virtual void flushRemoveQueue2() { ResourceManager::flushRemoveQueue(); }
    // 20: the cache first; else the first resource in ascending id order
    // whose name is the handle, which is then cached (the lower id wins).
    virtual Pointer findByName(std::string_view name) {
        const NameHandle handle = internName(name);
        if (auto cached = nameCache_.find(handle); cached != nameCache_.end()) return cached->second;
        for (auto& [id, resource] : resources_) {
            if (resource && Access::nameEquals(*resource, handle)) {
                nameCache_[handle] = resource;
                return resource;
            }
        }
        return nullptr;
    }
    // 21: an absent id is not inserted.
    virtual Pointer findById(std::uint32_t id) {
        auto found = resources_.find(id);
        return found == resources_.end() ? nullptr : found->second;
    }
    // 22
    virtual Pointer findCachedByName(std::string_view name) { return findCachedByHandle(internName(name)); }
    // 23
    virtual Pointer findCachedByHandle(const NameHandle& name) {
        auto found = nameCache_.find(name);
        return found == nameCache_.end() ? nullptr : found->second;
    }
    // 24: obtained, id assigned, registered, named and cached under the name.
    virtual Pointer createNamed(const NameHandle& name) {
        Pointer resource = obtain();
        assignId(*resource);
        add(resource);
        Access::setName(*resource, name);
        nameCache_[name] = resource;
        return resource;
    }
    // 25
    virtual Pointer create() {
        Pointer resource = obtain();
        assignId(*resource);
        add(resource);
        return resource;
    }
    // 26: the first id from nextId that no resource holds.
    virtual std::uint32_t assignId(T& resource) {
        std::uint32_t id = nextId_;
        while (resources_.count(id)) ++id;
        Access::setTag(resource, id);
        nextId_ = id + 1;
        return id;
    }
    // 27
    virtual std::uint32_t size() { return std::uint32_t(resources_.size()); }
    // 28
    virtual std::uint32_t readyCount() { return std::uint32_t(readyStock_.size()); }
    // 29: queues (slot 17) every resource whose state is not zero; nothing
    // is erased here.
    virtual void update() {
        for (auto& [id, resource] : resources_) {
            if (resource && Access::state(*resource) != 0) queueRemove(Access::tag(*resource));
        }
    }
    // 30
    virtual void preallocate(std::int32_t count) {
        preallocated_ = count;
        for (std::int32_t i = 0; i < count; ++i) readyStock_.push_back(std::make_shared<T>());
    }
    // 31: every resource retired (state 1) and the name cache emptied; they
    // stay registered until update and flushRemoveQueue have run.
    virtual void retireAll() {
        for (auto& [id, resource] : resources_)
            if (resource) Access::setState(*resource, 1);
        nameCache_.clear();
    }
    // 32
    virtual void clearAll() {
        resources_.clear();
        readyStock_.clear();
        nameCache_.clear();
        removeQueue_.clear();
    }
    // 33
    virtual void resetIds() { nextId_ = 1; }

    std::int32_t preallocated() const { return preallocated_; }
    std::uint32_t queuedRemovals() const { return std::uint32_t(removeQueue_.size()); }

protected:
    // The last ready-built resource, else a new one.
    Pointer obtain() {
        if (!readyStock_.empty()) {
            Pointer resource = std::move(readyStock_.back());
            readyStock_.pop_back();
            return resource;
        }
        return std::make_shared<T>();
    }

    std::map<std::uint32_t, Pointer> resources_;
    std::deque<Pointer> readyStock_;
    std::map<NameHandle, Pointer> nameCache_;
    std::deque<std::uint32_t> removeQueue_;
    std::uint32_t nextId_ = 1;
    std::int32_t preallocated_ = 0;
};
