// The numeric value of a script text: a parameter child such as "speed", a
// "param", or the own text of "wait", "eval" and the like. Each distinct text
// gets one number record (shared through BulletML_Node_Number_Manager), made
// once when the script is read: simple texts are classified into a literal or
// a single variable, any other text is compiled by the expression calculator
// into a CompiledExpression. The interpreter evaluates it every time it needs
// the value.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "script/ObjectVariableMap.h"
#include "services/NamePool.h"

// The parameter vector of a running script ("$1" .. "$15"); owned by the
// script runtime.
struct VecParam;

// The compiled form of an expression text (kind 0): the calculator's token
// list and the evaluator bound to it.
class CompiledExpression {
public:
    virtual ~CompiledExpression() = default;
    virtual double evaluate(const VecParam* parameters, ObjectVariableMap* objectVariables) const = 0;
};

class BulletML_Node_Number {
public:
    // How the value is found (the classification of the text).
    enum Kind : std::uint8_t {
        kCompiled = 0,         // an expression: the compiled token list
        kLiteral = 1,          // a decimal number
        kParameter = 2,        // "$1".."$15": the parameter at paramIndex
        kBuiltinVariable = 3,  // "$_name": a built-in variable by id
        kObjectVariable = 4,   // "$name": the running script's variable
        kGlobalVariable = 5,   // "$__name": a global game variable
        kDynamicVariable = 6,  // "@name": an expression bound by "dynamic"
    };

    BulletML_Node_Number() = default;
    BulletML_Node_Number(const BulletML_Node_Number&) = delete;
    BulletML_Node_Number& operator=(const BulletML_Node_Number&) = delete;
    virtual ~BulletML_Node_Number();

    // Classifies or compiles `text`; called once, when the record is made for
    // a text not seen before. Remembers the text (pooled) for diagnostics.
    void setText(std::string_view text);
    // The value against a running script's parameters and variables. Most
    // texts a running script meets are plain numbers: those are answered
    // here, without a call.
    double evaluate(const VecParam* parameters, ObjectVariableMap* objectVariables) const {
        if (kind_ == kLiteral) return literal_;
        return evaluateNonLiteral(parameters, objectVariables);
    }

    NameHandle getText() const { return text_; }
    Kind getKind() const { return kind_; }
    float getLiteral() const { return literal_; }
    std::int32_t getBuiltinId() const { return builtinId_; }
    std::int32_t getParamIndex() const { return paramIndex_; }
    NameHandle getVariable() const { return variable_; }
    const CompiledExpression* getCompiled() const { return compiled_.get(); }

    void setKind(Kind kind) { kind_ = kind; }
    void setLiteral(float value) { literal_ = value; }
    void setBuiltinId(std::int32_t id) { builtinId_ = id; }
    void setParamIndex(std::int32_t index) { paramIndex_ = index; }
    void setVariable(NameHandle name) { variable_ = name; }
    void setCompiled(std::unique_ptr<CompiledExpression> compiled) { compiled_ = std::move(compiled); }

private:
    double evaluateNonLiteral(const VecParam* parameters, ObjectVariableMap* objectVariables) const;

    NameHandle text_ = 0;
    NameHandle variable_ = 0;
    float literal_ = 0.0f;
    std::int32_t builtinId_ = 0;
    std::int32_t paramIndex_ = 0;
    Kind kind_ = kCompiled;
    std::unique_ptr<CompiledExpression> compiled_;
};
