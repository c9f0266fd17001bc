#include "objects/GameObject.h"

GameObject::GameObject() = default;
GameObject::~GameObject() = default;

void GameObject::setState(std::uint32_t state) { ResourceObject::setState(state); }
void GameObject::setFlags(std::uint32_t flags) { flags_ = flags; }
void GameObject::addFlags(std::uint32_t flags) { flags_ |= flags; }
void GameObject::clearFlags(std::uint32_t flags) { flags_ &= ~flags; }

void GameObject::setLeft(float x) {
    left_ = x;
    centreX_ = x + width_ * 0.5f;
}
void GameObject::setTop(float y) {
    top_ = y;
    centreY_ = y + height_ * 0.5f;
}
void GameObject::setX(float x) {
    centreX_ = x;
    left_ = x - width_ * 0.5f;
}
void GameObject::setY(float y) {
    centreY_ = y;
    top_ = y - height_ * 0.5f;
}

void GameObject::setEdgeBoundsMax(float dx, float dy) {
    rightBound_ = 640.0f + dx;
    bottomBound_ = 480.0f + dy;
}
void GameObject::setEdgeBoundsMin(float dx, float dy) {
    leftBound_ = dx;
    topBound_ = dy;
}
