// One token of a compiled expression. A list of tokens is a tree written in
// postfix order: every operator follows its operands, and the last token is
// the root. Operators also carry the list indexes of their two operands.
#pragma once
#include <cstdint>

#include "services/NamePool.h"

enum class CalcTokenType : std::uint8_t {
    kNumber = 1,
    kParameter = 2,
    kObjectVariable = 3,
    kBuiltinVariable = 4,
    kGlobalVariable = 5,
    kAdd = 6,
    kSubtract = 7,
    kMultiply = 8,
    kDivide = 9,
    kRemainder = 10,
    kGreater = 11,
    kLess = 12,
    kEqual = 13,
    kDynamicVariable = 14,
};

struct CalcToken {
    CalcTokenType type = CalcTokenType::kNumber;
    // The literal of a number token.
    float value = 0.0f;
    // Parameter tokens: 0-based index into the parameter vector (may lie
    // outside it: "$0", "$16"). Built-in variable tokens: the variable's id.
    std::int32_t index = 0;
    // Object, global and dynamic variable tokens: the pooled variable name.
    NameHandle name = 0;
    // Operators: list indexes of the left and right operand roots. 32-bit, so
    // lists of any length keep their structure.
    std::uint32_t left = 0;
    std::uint32_t right = 0;

    bool isOperator() const {
        return (type >= CalcTokenType::kAdd && type <= CalcTokenType::kEqual);
    }
};
