#include "script/CalcTokenBuilder.h"

#include <algorithm>
#include <cstdint>

#include "platform/Text.h"
#include "script/BuiltinVariableTable.h"

namespace {
// The leading decimal digits of `text` as a number, saturating far above any
// parameter index.
std::int32_t leadingNumber(std::string_view text) {
    std::int64_t value = 0;
    for (char c : text) {
        if (!text::isAsciiDigit(static_cast<unsigned char>(c))) break;
        value = std::min<std::int64_t>(value * 10 + (c - '0'), INT32_MAX);
    }
    return static_cast<std::int32_t>(value);
}
}  // namespace

void CalcTokenBuilder::pushLeaf(const CalcToken& token) {
    roots_.push_back(static_cast<std::uint32_t>(tokens_.size()));
    tokens_.push_back(token);
}

void CalcTokenBuilder::pushNumber(double value) {
    CalcToken token;
    token.type = CalcTokenType::kNumber;
    token.value = static_cast<float>(value);
    pushLeaf(token);
}

void CalcTokenBuilder::pushVariable(std::string_view text) {
    std::string_view name = text.substr(1);
    CalcToken token;
    if (name.size() >= 3 && name.substr(0, 2) == "__") {
        token.type = CalcTokenType::kGlobalVariable;
        token.name = internName(name.substr(2));
    } else if (!name.empty() && name[0] == '_') {
        // The built-in variable's name keeps its underscore: "$_score" reads "_score".
        token.type = CalcTokenType::kBuiltinVariable;
        token.index = static_cast<std::int32_t>(builtinVariableId(name));
    } else if (!name.empty() && text::isAsciiDigit(static_cast<unsigned char>(name[0]))) {
        token.type = CalcTokenType::kParameter;
        token.index = leadingNumber(name) - 1;
    } else {
        token.type = CalcTokenType::kObjectVariable;
        token.name = internName(name);
    }
    pushLeaf(token);
}

void CalcTokenBuilder::pushDynamic(std::string_view text) {
    CalcToken token;
    token.type = CalcTokenType::kDynamicVariable;
    token.name = internName(text.substr(1));
    pushLeaf(token);
}

void CalcTokenBuilder::pushOperator(CalcTokenType type) {
    // The grammar fires an operator's action only after both operands
    // matched, so two roots are there.
    if (roots_.size() < 2) return;
    CalcToken token;
    token.type = type;
    token.right = roots_.back();
    roots_.pop_back();
    token.left = roots_.back();
    roots_.back() = static_cast<std::uint32_t>(tokens_.size());
    tokens_.push_back(token);
}

void CalcTokenBuilder::pushNegation() {
    pushNumber(-1.0);
    pushOperator(CalcTokenType::kMultiply);
}

void CalcTokenBuilder::clear() {
    tokens_.clear();
    roots_.clear();
    nesting = 0;
    tooDeep = false;
}

std::vector<CalcToken> CalcTokenBuilder::take() {
    std::vector<CalcToken> tokens = std::move(tokens_);
    clear();
    return tokens;
}

std::vector<CalcToken> CalcTokenBuilder::takeLastOperand() {
    // In a postfix list the operands on the root stack are consecutive runs:
    // the last one starts right after the root before it.
    const std::uint32_t start = roots_.size() >= 2 ? roots_[roots_.size() - 2] + 1 : 0;
    std::vector<CalcToken> tokens(tokens_.begin() + start, tokens_.end());
    for (CalcToken& token : tokens) {
        if (!token.isOperator()) continue;
        token.left -= start;
        token.right -= start;
    }
    clear();
    return tokens;
}
