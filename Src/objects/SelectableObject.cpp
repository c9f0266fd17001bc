#include "objects/SelectableObject.h"

#include "objects/SelectableObjectAllocator.h"
#include "runtime/ExBulletML_Runtime.h"

namespace {
void replaceRuntime(ExBulletML_Runtime*& slot, ExBulletML_Runtime* runtime) {
    if (slot && slot != runtime) slot->destroy();
    slot = runtime;
}

// Event runtimes are made started; one that is not yet is marked so before
// it runs (as the revenge and present runtimes are).
std::int32_t runStarted(ExBulletML_Runtime* runtime) {
    if (!runtime->isStarted()) runtime->setStarted(1);
    return runtime->run();
}
}  // namespace

void SelectableObject::releaseEventRuntimes() {
    for (ExBulletML_Runtime** runtime : {&unselectedRuntime_, &selectedRuntime_, &decidedRuntime_}) {
        ExBulletML_Runtime* held = *runtime;
        *runtime = nullptr;
        if (held) held->destroy();
    }
}

ResourceObject* SelectableObject::destroy(std::uint32_t flags) {
    releaseEventRuntimes();
    return BulletObject::destroy(flags);
}

void SelectableObject::init() {
    BulletObject::init();
    releaseEventRuntimes();
    tableId_ = 0;
    index_ = 0;
    disabled_ = 0;
}

void SelectableObject::giveBlockBack() {
    void* block = this;
    this->~SelectableObject();
    SelectableObjectAllocator::instance().giveBack(block);
}

std::int32_t SelectableObject::runMainOrRevenge() {
    using namespace object_flag;
    if (!isRuntimeActive()) return 1;
    if (!getMainRuntime()) return 2;
    if (flags_ & kRevenge) {
        // A menu entry leaves at once without a leaving script: no countdown.
        ExBulletML_Runtime* revenge = getRevengeRuntime();
        if (!revenge) {
            setState(1);
            return 4;
        }
        runStarted(revenge);
        return 3;
    }
    if (flags_ & kDecided) {
        if (decidedRuntime_) decidedRuntime_->run();
        return 5;
    }
    if (flags_ & kSelected) {
        if (selectedRuntime_) selectedRuntime_->run();
        return 6;
    }
    if (unselectedRuntime_) {
        if (getKind() != kCursorKind) {
            unselectedRuntime_->run();
            return 7;
        }
        // The cursor object keeps its own script until it is cancelled.
        if (flags_ & kWaiting) return unselectedRuntime_->run();
    }
    getMainRuntime()->run();
    return 8;
}

std::int32_t SelectableObject::runPresent() {
    ExBulletML_Runtime* present = getPresentRuntime();
    if (!present) return 1;
    if (!present->isStarted()) present->setStarted(1);
    return BulletObject::runPresent();
}

void SelectableObject::enterSelected() {
    if (selectedRuntime_) selectedRuntime_->restart();
    if (unselectedRuntime_) unselectedRuntime_->clear();
}

void SelectableObject::enterUnselected() {
    if (unselectedRuntime_) unselectedRuntime_->restart();
    if (selectedRuntime_) selectedRuntime_->clear();
}

void SelectableObject::restartDecided() {
    if (decidedRuntime_) decidedRuntime_->restart();
}

void SelectableObject::setUnselectedRuntime(ExBulletML_Runtime* runtime) { replaceRuntime(unselectedRuntime_, runtime); }
void SelectableObject::setSelectedRuntime(ExBulletML_Runtime* runtime) { replaceRuntime(selectedRuntime_, runtime); }
void SelectableObject::setDecidedRuntime(ExBulletML_Runtime* runtime) { replaceRuntime(decidedRuntime_, runtime); }
