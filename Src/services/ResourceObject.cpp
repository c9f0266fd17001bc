#include "services/ResourceObject.h"

ResourceObject* ResourceObject::destroy(std::uint32_t flags) {
    if (flags & 1) {
        delete this;
    } else {
        this->~ResourceObject();
    }
    return this;
}

std::int32_t ResourceObject::reset(std::int32_t) {
    active_ = 0;
    state_ = 0;
    return 0;
}

void ResourceObject::init() {
    // The name is forgotten but nameSet_ stays: getName then yields the empty
    // name through the stored handle.
    name_ = NamePool::instance().emptyName();
    state_ = 0;
    active_ = 0;
}

std::uint32_t ResourceObject::getTag() { return tag_; }

std::int32_t ResourceObject::nameEquals(std::string_view name) {
    return internName(name) == name_ ? 1 : 0;
}

std::int32_t ResourceObject::nameEquals(const NameHandle& name) { return name == name_ ? 1 : 0; }

void ResourceObject::setName(std::string_view name) {
    name_ = internName(name);
    nameSet_ = 1;
}

NameHandle ResourceObject::setName(const NameHandle& name) {
    name_ = name;
    nameSet_ = 1;
    return name;
}

NameHandle ResourceObject::getName() { return nameSet_ ? name_ : NamePool::instance().emptyName(); }

std::int32_t ResourceObject::isActive() { return active_ != 0 ? 1 : 0; }

void ResourceObject::setState(std::uint32_t state) { state_ = state; }

std::uint32_t ResourceObject::getState() { return state_; }
