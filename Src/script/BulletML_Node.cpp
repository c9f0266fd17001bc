#include "script/BulletML_Node.h"

#include "script/ElementId.h"

static_assert(BulletML_Node::kStoredNoneType == kTypeNone, "getChildType knows the id of none");

BulletML_Node::~BulletML_Node() = default;

std::int32_t BulletML_Node::defaultChildType(std::int32_t id) {
    switch (id) {
        case kChangePosition:
        case kSetPosition:
            return kTypeCenter;
        case kImg:
            return kTypeDds;
        case kCollision:
            return kTypeCircle;
        case kVertical:
        case kHorizontal:
        case kSpeed:
        case kSetImgSize:
            return kTypeAbsolute;
        case kDirection:
            return kTypeAim;
        default:
            return kTypeNone;
    }
}

void BulletML_Node::setChildType(std::int32_t id, std::int32_t type) {
    childTypes_.set(id, type);
    speedType_ = getChildType(kSpeed);
    directionType_ = getChildType(kDirection);
}

void BulletML_Node::setChild(std::int32_t id, BulletML_Node_Number* number) {
    numbers_.set(id, number);
    if (id == kSpeed) speed_ = number;
    if (id == kDirection) direction_ = number;
    if (id == kTerm) term_ = number;
}

void BulletML_Node::addChild(BulletML_Node* child) {
    if (!child) return;
    nodes_.push_back(child);
    child->parent_ = this;
    hasChildren_ = true;
}

BulletML_Node* BulletML_Node::firstChild() {
    cursor_ = 0;
    return getChildNode(0);
}

std::uint32_t BulletML_Node::skipChildren() {
    std::uint32_t count = getChildCount();
    std::uint32_t left = cursor_ < count ? count - cursor_ : 0;
    cursor_ = count;
    return left;
}

std::int32_t BulletML_Node::getParamKind(std::uint32_t index) const {
    BulletML_Node_Number* number = getParam(index);
    return number ? number->getKind() : 0;
}

std::int32_t BulletML_Node::getParamIndex(std::uint32_t index) const {
    BulletML_Node_Number* number = getParam(index);
    return number ? number->getParamIndex() : 0;
}

float BulletML_Node::getParamValue(std::uint32_t index) const {
    BulletML_Node_Number* number = getParam(index);
    return number ? number->getLiteral() : 0.0f;
}

NameHandle BulletML_Node::getParamVariable(std::uint32_t index) const {
    BulletML_Node_Number* number = getParam(index);
    return number ? number->getVariable() : NamePool::instance().emptyName();
}

double BulletML_Node::evalParam(std::uint32_t index, const VecParam* parameters,
                                ObjectVariableMap* objectVariables) const {
    BulletML_Node_Number* number = getParam(index);
    return number ? number->evaluate(parameters, objectVariables) : 0.0;
}


void BulletML_Node::setFloat(int index, float value) {
    if (index < 0 || index >= kFloatCount) return;
    if (!floats_) floats_ = std::make_unique<std::array<float, kFloatCount>>();
    (*floats_)[static_cast<size_t>(index)] = value;
}

void BulletML_Node::getFloatArray(float (&out)[kFloatCount]) const {
    for (int i = 0; i < kFloatCount; ++i) out[i] = floats_ ? (*floats_)[static_cast<size_t>(i)] : 0.0f;
}

NameHandle BulletML_Node::getNameHandle() const {
    if (fileName_ != NamePool::instance().emptyName()) return fileName_;
    return internName(text_);
}

BulletML_Node_Number* BulletML_Node::getDynamic() const { return getChild(kDynamic); }
