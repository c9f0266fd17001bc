// A compiled expression: its token list and the evaluation of it. Values are
// double while evaluated; + - * / round each result to float, % works on the
// operands truncated to 32-bit integers, comparisons give 1.0 or 0.0.
#pragma once
#include <vector>

#include "script/BulletML_Node_Number.h"
#include "script/CalcToken.h"

class CalcTokenList : public CompiledExpression {
public:
    // `tokens` must be a well-formed postfix list (what StringCalc makes).
    explicit CalcTokenList(std::vector<CalcToken> tokens);

    double evaluate(const VecParam* parameters, ObjectVariableMap* objectVariables) const override;
    const std::vector<CalcToken>& tokens() const { return tokens_; }

    // The value of one operand-free token (number or variable).
    static double leafValue(const CalcToken& token, const VecParam* parameters, ObjectVariableMap* objectVariables);
    static double apply(CalcTokenType type, double left, double right);

private:
    std::vector<CalcToken> tokens_;
    // The most values the evaluation holds at once.
    size_t stackDepth_ = 0;
    bool wellFormed_ = false;
};
