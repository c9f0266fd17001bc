// The expression compiler: turns an expression text into its token list with
// the TokenCalculator grammar. The text is read as far as the grammar applies
// and the rest is ignored ("1+2 x" is 1+2). A text that yields no token is a
// script error that ends the program.
#pragma once
#include <string_view>
#include <vector>

#include "script/CalcToken.h"

class BulletML_Node_Number;

class StringCalc {
public:
    // The postfix token list of the longest prefix the grammar matches; when
    // no prefix matches, of the last operand the parse completed; empty when
    // it completed none or the text nests too deeply.
    static std::vector<CalcToken> parse(std::string_view text);
    // Gives `number` the compiled form of `text`. A text without tokens is
    // logged and ends the program through the fatal path.
    static void compile(BulletML_Node_Number& number, std::string_view text);
};
