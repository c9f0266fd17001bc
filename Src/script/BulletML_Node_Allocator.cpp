#include "script/BulletML_Node_Allocator.h"

#include "script/BulletML_Node.h"

BulletML_Node_Allocator::~BulletML_Node_Allocator() {
    for (BulletML_Node* node : ready_) delete node;
}

BulletML_Node_Allocator& BulletML_Node_Allocator::instance() {
    static BulletML_Node_Allocator pool;
    return pool;
}

void BulletML_Node_Allocator::prefill() {
    std::lock_guard<std::mutex> lock(lock_);
    if (filled_) return;
    filled_ = true;
    ready_.reserve(ready_.size() + kPoolSize);
    for (size_t i = 0; i < kPoolSize; ++i) ready_.push_back(new BulletML_Node());
    handedOut_ += kPoolSize;
}

BulletML_Node* BulletML_Node_Allocator::get() {
    std::lock_guard<std::mutex> lock(lock_);
    if (ready_.empty()) {
        ++handedOut_;
        return new BulletML_Node();
    }
    BulletML_Node* node = ready_.back();
    ready_.pop_back();
    return node;
}

size_t BulletML_Node_Allocator::readyCount() const {
    std::lock_guard<std::mutex> lock(lock_);
    return ready_.size();
}

size_t BulletML_Node_Allocator::handedOutCount() const {
    std::lock_guard<std::mutex> lock(lock_);
    return handedOut_;
}
