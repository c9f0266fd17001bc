#include "script/BulletML_Node_Manager.h"

#include "script/BulletML_Node.h"
#include "script/BulletML_Node_Allocator.h"
#include "script/ElementId.h"

BulletML_Node_Manager::BulletML_Node_Manager(BulletML_Node_Allocator* allocator)
    : allocator_(allocator ? allocator : &BulletML_Node_Allocator::instance()) {
    root_ = cursor_ = newNode();
}

BulletML_Node_Manager::~BulletML_Node_Manager() { freeNodes(); }

BulletML_Node* BulletML_Node_Manager::newNode() {
    BulletML_Node* node = allocator_->get();
    nodes_.push_back(node);
    return node;
}

BulletML_Node* BulletML_Node_Manager::addNode() {
    BulletML_Node* node = newNode();
    cursor_->addChild(node);
    cursor_ = node;
    return node;
}

void BulletML_Node_Manager::up() {
    // An end tag without its start tag must not walk off the tree.
    if (cursor_->getParent()) cursor_ = cursor_->getParent();
}

BulletML_Node* BulletML_Node_Manager::rewind() {
    cursor_ = root_;
    return root_;
}

void BulletML_Node_Manager::registerLabel(NameHandle label, BulletML_Node* node) {
    if (!node || isReferenceCode(node->getCode())) return;
    labels_[label] = node;
}

void BulletML_Node_Manager::freeNodes() {
    for (BulletML_Node* node : nodes_) delete node;
    nodes_.clear();
    labels_.clear();
    root_ = cursor_ = nullptr;
}

void BulletML_Node_Manager::reset() {
    freeNodes();
    root_ = cursor_ = newNode();
}
