// Reference counting in the manner of Direct3D's objects: every object starts
// with one reference, addRef adds one, release drops one and destroys the
// object at zero. Getters that hand out an object (getSurfaceLevel,
// getRenderTarget, getDepthStencilSurface) add a reference the caller
// releases. GfxRef holds one reference for the life of a variable.
#pragma once
#include <cstdint>
#include <utility>

class GfxObject {
public:
    GfxObject() = default;
    GfxObject(const GfxObject&) = delete;
    GfxObject& operator=(const GfxObject&) = delete;

    std::uint32_t addRef() { return ++references_; }
    // Returns the references left; the object is gone when that is 0.
    std::uint32_t release() {
        std::uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }
    std::uint32_t references() const { return references_; }

protected:
    virtual ~GfxObject() = default;

private:
    std::uint32_t references_ = 1;
};

// Holds one reference. `adopt` takes over a reference the caller already
// owns (a creation's result); the constructor from a raw pointer adds one.
template <class T>
class GfxRef {
public:
    GfxRef() = default;
    explicit GfxRef(T* object) : object_(object) {
        if (object_) object_->addRef();
    }
    GfxRef(const GfxRef& other) : GfxRef(other.object_) {}
    GfxRef(GfxRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GfxRef& operator=(GfxRef other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~GfxRef() { reset(); }

    static GfxRef adopt(T* object) {
        GfxRef ref;
        ref.object_ = object;
        return ref;
    }
    void reset() {
        if (object_) std::exchange(object_, nullptr)->release();
    }
    // The address to hand to a creation call; drops what was held.
    T** put() {
        reset();
        return &object_;
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};
