#include "script/BulletML_Node.h"

#include "script/ElementId.h"

BulletML_Node::~BulletML_Node() = default;

namespace {
// The type an element takes when its "type" was given as "none" (or as a
// keyword that is no type value).
std::int32_t defaultChildType(std::int32_t id) {
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
}  // namespace

std::int32_t BulletML_Node::getChildType(std::int32_t id) const {
    const std::int32_t* type = childTypes_.find(id);
    if (!type) return 0;
    return *type == kTypeNone ? defaultChildType(id) : *type;
}

BulletML_Node_Number* BulletML_Node::getChild(std::int32_t id) const {
    BulletML_Node_Number* const* number = numbers_.find(id);
    return number ? *number : nullptr;
}

double BulletML_Node::evalChild(std::int32_t id, const VecParam* parameters, ObjectVariableMap* objectVariables) const {
    BulletML_Node_Number* number = getChild(id);
    return number ? number->evaluate(parameters, objectVariables) : 0.0;
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

double BulletML_Node::evalValue(const VecParam* parameters, ObjectVariableMap* objectVariables) const {
    return value_ ? value_->evaluate(parameters, objectVariables) : 0.0;
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
