// One command or object element of a loaded script. Parameter children
// ("speed", "term", ...) and structure elements are not nodes: their values
// are held by the node of the enclosing command, by element id. Nodes come
// from BulletML_Node_Allocator and belong to one BulletML_Node_Manager.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <boost/container/small_vector.hpp>

#include "script/BulletML_Node_Number.h"
#include "script/IdValueMap.h"
#include "services/NamePool.h"

class BulletML_Node final {
public:
    static constexpr int kFloatCount = 10;
    // The "none" type keyword's id (checked against the id table in the source).
    static constexpr std::int32_t kStoredNoneType = 1024;

    BulletML_Node() = default;
    BulletML_Node(const BulletML_Node&) = delete;
    BulletML_Node& operator=(const BulletML_Node&) = delete;
    virtual ~BulletML_Node();

    // Node memory comes from large blocks of node-sized slots, not one heap
    // block per node: a large script makes over a hundred thousand nodes, and a
    // freed node's slot is taken by the next one (BulletML_Node_Allocator.cpp).
    static void* operator new(std::size_t size);
    static void operator delete(void* node, std::size_t size) noexcept;
    // One unbuilt node slot, as operator new gives it: a node built in it with
    // placement new is deleted like any other.
    static void* takeSlot();
    // Deletes every node of `nodes`, their memory given back in one go (a
    // document frees all its nodes at once).
    static void deleteAll(const std::vector<BulletML_Node*>& nodes);

    // Element id.
    void setCode(std::int32_t code) { code_ = code; }
    std::int32_t getCode() const { return code_; }

    // The "type" keyword given for an element id (the node's own id or a
    // parameter child's).
    void setChildType(std::int32_t id, std::int32_t type);
    // The stored type; a stored 1024 ("none") gives the id's default; an id
    // never stored gives 0. Inline: the motion commands ask at every run.
    std::int32_t getChildType(std::int32_t id) const {
        const std::int32_t* type = childTypes_.find(id);
        if (!type) return 0;
        return *type == kStoredNoneType ? defaultChildType(id) : *type;
    }
    const IdValueMap<std::int32_t>& childTypes() const { return childTypes_; }

    // Parameter children: the number held for an element id.
    void setChild(std::int32_t id, BulletML_Node_Number* number);
    bool hasChild(std::int32_t id) const { return numbers_.contains(id); }
    BulletML_Node_Number* getChild(std::int32_t id) const {
        BulletML_Node_Number* const* number = numbers_.find(id);
        return number ? *number : nullptr;
    }
    const IdValueMap<BulletML_Node_Number*>& children() const { return numbers_; }
    // The value of the parameter child `id`; 0.0 when absent.
    double evalChild(std::int32_t id, const VecParam* parameters, ObjectVariableMap* objectVariables) const {
        BulletML_Node_Number* number = getChild(id);
        return number ? number->evaluate(parameters, objectVariables) : 0.0;
    }

    // What the motion commands read at every execution, kept beside the maps
    // when they are set so that no lookup is needed: the numbers of "speed",
    // "direction" and "term" (null when absent) and getChildType of "speed"
    // and "direction".
    BulletML_Node_Number* speedChild() const { return speed_; }
    BulletML_Node_Number* directionChild() const { return direction_; }
    BulletML_Node_Number* termChild() const { return term_; }
    std::int32_t speedType() const { return speedType_; }
    std::int32_t directionType() const { return directionType_; }

    // Child nodes in document order and the walk's cursor over them.
    void addChild(BulletML_Node* child);
    std::uint32_t getChildCount() const { return static_cast<std::uint32_t>(nodes_.size()); }
    BulletML_Node* getChildNode(std::uint32_t index) const { return index < nodes_.size() ? nodes_[index] : nullptr; }
    bool hasChildren() const { return hasChildren_; }
    BulletML_Node* firstChild();
    BulletML_Node* getCurrentChild() const { return getChildNode(cursor_); }
    std::uint32_t getCursor() const { return cursor_; }
    void resetCursor() { cursor_ = 0; }
    void setCursor(std::uint32_t index) { cursor_ = index; }
    // Moves the cursor past the last child; returns how many were left.
    std::uint32_t skipChildren();
    BulletML_Node* getParent() const { return parent_; }
    BulletML_Node* getRefTarget() const { return refTarget_; }
    void setRefTarget(BulletML_Node* target) { refTarget_ = target; }

    // The "param" children in document order.
    void addParam(BulletML_Node_Number* number) { params_.push_back(number); }
    std::uint32_t getParamCount() const { return static_cast<std::uint32_t>(params_.size()); }
    BulletML_Node_Number* getParam(std::uint32_t index) const { return index < params_.size() ? params_[index] : nullptr; }
    // Past the count: kind 0, index 0, value 0.0, no variable.
    std::int32_t getParamKind(std::uint32_t index) const;
    std::int32_t getParamIndex(std::uint32_t index) const;
    float getParamValue(std::uint32_t index) const;
    NameHandle getParamVariable(std::uint32_t index) const;
    // Set once a 16th "param" was refused (logged once per node).
    void markTooManyParams() { tooManyParams_ = true; }
    bool hasTooManyParams() const { return tooManyParams_; }
    double evalParam(std::uint32_t index, const VecParam* parameters, ObjectVariableMap* objectVariables) const;

    // The node's own text as a number (the count of "wait", "repeat" ...).
    void setValue(BulletML_Node_Number* number) { value_ = number; }
    BulletML_Node_Number* getValue() const { return value_; }
    double evalValue(const VecParam* parameters, ObjectVariableMap* objectVariables) const {
        return value_ ? value_->evaluate(parameters, objectVariables) : 0.0;
    }

    // Literal parameter values worked out once when the script was read.
    // Indexes outside 0..9 are ignored; a node without the array reads zeros.
    void setFloat(int index, float value);
    void getFloatArray(float (&out)[kFloatCount]) const;
    bool hasFloatArray() const { return hasFloats_; }
    void setHasFloats() { hasFloats_ = true; }

    void setText(std::string text) { text_ = std::move(text); }
    const std::string& getText() const { return text_; }
    void setFileName(NameHandle name) { fileName_ = name; }
    NameHandle getFileName() const { return fileName_; }
    // The name other subsystems key resources by: the file name when the node
    // names a file, else its text, pooled.
    NameHandle getNameHandle() const;
    void setLabel(NameHandle wideLabel) { label_ = wideLabel; }
    NameHandle getLabel() const { return label_; }
    void setVariable(NameHandle name) { variable_ = name; }
    NameHandle getVariable() const { return variable_; }
    // The number held under "dynamic" (137), or null.
    BulletML_Node_Number* getDynamic() const;

    // The system command's run-once latch.
    void incRunCount() { ++runCount_; }
    std::uint8_t getRunCount() const { return runCount_; }

private:
    // The type an element takes when its "type" was given as "none" (or as
    // a keyword that is no type value).
    static std::int32_t defaultChildType(std::int32_t id);

    std::int32_t code_ = 0;
    IdValueMap<std::int32_t> childTypes_;
    IdValueMap<BulletML_Node_Number*> numbers_;
    std::uint32_t cursor_ = 0;
    std::int32_t speedType_ = 0;
    std::int32_t directionType_ = 0;
    BulletML_Node_Number* speed_ = nullptr;
    BulletML_Node_Number* direction_ = nullptr;
    BulletML_Node_Number* term_ = nullptr;
    BulletML_Node* parent_ = nullptr;
    BulletML_Node* refTarget_ = nullptr;
    // Most nodes have a few children: held in place.
    boost::container::small_vector<BulletML_Node*, 4> nodes_;
    bool hasChildren_ = false;
    std::uint8_t runCount_ = 0;
    bool hasFloats_ = false;
    bool tooManyParams_ = false;
    std::vector<BulletML_Node_Number*> params_;
    BulletML_Node_Number* value_ = nullptr;
    std::unique_ptr<std::array<float, kFloatCount>> floats_;
    std::string text_;
    NameHandle fileName_ = 0;
    NameHandle label_ = 0;
    NameHandle variable_ = 0;
};
