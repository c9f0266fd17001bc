#include "script/CalcTokenList.h"

#include <algorithm>
#include <array>
#include <climits>

#include "records/GameInfo.h"
#include "script/BuiltinVariableTable.h"
#include "script/VecParam.h"
#include "services/Truncate.h"

CalcTokenList::CalcTokenList(std::vector<CalcToken> tokens) : tokens_(std::move(tokens)) {
    // Only a list that leaves exactly its root on the value stack is
    // evaluated; any other reads 0.0 rather than running off the stack.
    size_t depth = 0;
    bool wellFormed = true;
    for (const CalcToken& token : tokens_) {
        if (token.isOperator()) {
            if (depth < 2) {
                wellFormed = false;
                break;
            }
            --depth;
        } else {
            ++depth;
        }
        stackDepth_ = std::max(stackDepth_, depth);
    }
    wellFormed_ = wellFormed && depth == 1;
}

double CalcTokenList::leafValue(const CalcToken& token, const VecParam* parameters,
                                ObjectVariableMap* objectVariables) {
    switch (token.type) {
        case CalcTokenType::kNumber:
            return token.value;
        case CalcTokenType::kParameter:
            // "$0" and "$16" and above lie outside the vector: 0.0.
            if (!parameters || token.index < 0 || token.index >= VecParam::kCapacity) return 0.0;
            return parameters->values[token.index];
        case CalcTokenType::kObjectVariable:
            return objectVariables ? (*objectVariables)[token.name] : 0.0;
        case CalcTokenType::kBuiltinVariable:
            return builtinVariableValue(static_cast<std::uint32_t>(token.index));
        case CalcTokenType::kGlobalVariable:
            return g_gameInfo ? g_gameInfo->getGlobalVar(token.name) : 0.0;
        case CalcTokenType::kDynamicVariable:
            return g_gameInfo ? g_gameInfo->resolveVar(token.name) : 0.0;
        default:
            return token.value;
    }
}

double CalcTokenList::apply(CalcTokenType type, double left, double right) {
    switch (type) {
        case CalcTokenType::kAdd:
            return static_cast<float>(left + right);
        case CalcTokenType::kSubtract:
            return static_cast<float>(left - right);
        case CalcTokenType::kMultiply:
            return static_cast<float>(left * right);
        case CalcTokenType::kDivide:
            return static_cast<float>(left / right);
        case CalcTokenType::kRemainder: {
            std::int32_t dividend = truncateToInt32(left);
            std::int32_t divisor = truncateToInt32(right);
            // Both would trap in the processor's integer division.
            if (divisor == 0 || (dividend == INT_MIN && divisor == -1)) return 0.0;
            return dividend % divisor;
        }
        case CalcTokenType::kGreater:
            return left > right ? 1.0 : 0.0;
        case CalcTokenType::kLess:
            return left < right ? 1.0 : 0.0;
        case CalcTokenType::kEqual:
            return left == right ? 1.0 : 0.0;
        default:
            return 0.0;
    }
}

double CalcTokenList::evaluate(const VecParam* parameters, ObjectVariableMap* objectVariables) const {
    // The postfix list is evaluated with a value stack rather than by
    // recursion, so long operator chains cannot exhaust the call stack.
    if (!wellFormed_) return 0.0;
    constexpr size_t kInline = 32;
    std::array<double, kInline> inlineStack;
    std::vector<double> heapStack;
    double* stack = inlineStack.data();
    if (stackDepth_ > kInline) {
        heapStack.resize(stackDepth_);
        stack = heapStack.data();
    }
    size_t top = 0;
    for (const CalcToken& token : tokens_) {
        if (token.isOperator()) {
            double right = stack[--top];
            double left = stack[top - 1];
            stack[top - 1] = apply(token.type, left, right);
        } else {
            stack[top++] = leafValue(token, parameters, objectVariables);
        }
    }
    return top > 0 ? stack[top - 1] : 0.0;
}
