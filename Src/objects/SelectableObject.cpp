#include "objects/SelectableObject.h"

#include "objects/SelectableObjectAllocator.h"

void SelectableObject::giveBlockBack() {
    void* block = this;
    this->~SelectableObject();
    SelectableObjectAllocator::instance().giveBack(block);
}
