#include "script/BulletML_Node_Number_Manager.h"

BulletML_Node_Number_Manager::~BulletML_Node_Number_Manager() = default;

BulletML_Node_Number_Manager& BulletML_Node_Number_Manager::instance() {
    // Never destroyed: nodes of loaded documents point at its records until the
    // process ends.
    static BulletML_Node_Number_Manager* registry = new BulletML_Node_Number_Manager();
    return *registry;
}

BulletML_Node_Number* BulletML_Node_Number_Manager::get(std::string_view text) {
    NameHandle key = internName(text);
    std::lock_guard<std::recursive_mutex> lock(lock_);
    std::unique_ptr<BulletML_Node_Number>& slot = numbers_[key];
    if (!slot) {
        // Registered before it is classified, so a fatal compile error leaves
        // no half-made record unowned.
        slot = std::make_unique<BulletML_Node_Number>();
        slot->setText(text);
    }
    return slot.get();
}

BulletML_Node_Number* BulletML_Node_Number_Manager::find(std::string_view text) const {
    NameHandle key = internName(text);
    std::lock_guard<std::recursive_mutex> lock(lock_);
    auto it = numbers_.find(key);
    return it != numbers_.end() ? it->second.get() : nullptr;
}

size_t BulletML_Node_Number_Manager::size() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return numbers_.size();
}
