// The base of every named, managed object: a tag, a pooled name, a state word,
// a name-set flag and an active flag behind fourteen virtual operations.
#pragma once
#include <cstdint>
#include <string_view>

#include "services/NamePool.h"

class ResourceObject {
public:
    // Defined here, as the object constructors that build on it are: the
    // object pools build one per object made.
    ResourceObject() : tag_(0), name_(NamePool::emptyName()), state_(0), nameSet_(0), active_(1) {}
    virtual ~ResourceObject() = default;

    // Runs the destructor; with bit 0 of `flags` set also frees the object
    // (which must then have been made with new). Returns the object.
    virtual ResourceObject* destroy(std::uint32_t flags);
    virtual std::int32_t reset(std::int32_t ignored);
    virtual void init();
    // Defined here (as setActive is) for the calls that know the class.
    virtual void setTag(std::uint32_t tag) { tag_ = tag; }
    virtual std::uint32_t getTag();
    virtual std::int32_t nameEquals(std::string_view name);
    virtual std::int32_t nameEquals(const NameHandle& name);
    virtual void setName(std::string_view name);
    virtual NameHandle setName(const NameHandle& name);
    virtual NameHandle getName();
    virtual std::int32_t setActive(std::int32_t active) {
        active_ = active != 0 ? 1 : 0;
        return active;
    }
    virtual std::int32_t isActive();
    virtual void setState(std::uint32_t state);
    virtual std::uint32_t getState();

protected:
    std::uint32_t tag_;
    NameHandle name_;
    std::uint32_t state_;
    std::uint8_t nameSet_;
    std::uint8_t active_;
};
