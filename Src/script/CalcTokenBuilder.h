// Collects the tokens the expression grammar's actions produce while a text
// is parsed: leaves are appended, an operator takes the two most recent
// operand roots as its operands. The list comes out in postfix order.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "script/CalcToken.h"

class CalcTokenBuilder {
public:
    void pushNumber(double value);
    // A "$" variable; `text` is the whole match, "$" included.
    void pushVariable(std::string_view text);
    // An "@" variable; `text` is the whole match, "@" included.
    void pushDynamic(std::string_view text);
    void pushOperator(CalcTokenType type);
    // "-" factor: the operand times a number token of -1.0.
    void pushNegation();

    void clear();
    bool empty() const { return tokens_.empty(); }
    std::vector<CalcToken> take();
    // Only the last complete operand (the subtree of the last token), with
    // its operand indexes renumbered; what a parse that failed as a whole
    // leaves to evaluate.
    std::vector<CalcToken> takeLastOperand();

    // Nesting of parenthesised and negated factors, bounded so that hostile
    // text cannot exhaust the parser's call stack.
    static constexpr int kMaxNesting = 256;
    int nesting = 0;
    bool tooDeep = false;

private:
    void pushLeaf(const CalcToken& token);
    std::vector<CalcToken> tokens_;
    std::vector<std::uint32_t> roots_;
};
