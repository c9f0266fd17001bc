#include "script/BulletML_Node_Number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/Text.h"
#include "records/GameInfo.h"
#include "script/BuiltinVariableTable.h"
#include "script/StringCalc.h"
#include "script/VecParam.h"

BulletML_Node_Number::~BulletML_Node_Number() = default;

namespace {
// Digits and "." only, with an optional "-" first (an empty text qualifies).
bool isLiteralText(std::string_view text) {
    size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
    for (size_t i = start; i < text.size(); ++i) {
        if (!text::isAsciiDigit(static_cast<unsigned char>(text[i])) && text[i] != '.') return false;
    }
    return true;
}

// The decimal value as far as it reads ("1.2.3" is 1.2); 0 when nothing reads.
// A value past the range of a double reads as infinity (and one too small as
// 0), as the C library's conversion gives it.
float readDecimal(std::string_view text) {
    double value = 0.0;
    std::from_chars_result read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec == std::errc::result_out_of_range) {
        const bool negative = !text.empty() && text[0] == '-';
        // Out of range with a non-zero digit before any dot: too large.
        bool large = false;
        for (char c : text.substr(negative ? 1 : 0)) {
            if (c == '.') break;
            if (c != '0') large = true;
        }
        value = large ? HUGE_VAL : 0.0;
        if (negative) value = -value;
    }
    return static_cast<float>(value);
}

bool isNameChar(char c) { return text::isAsciiAlnum(static_cast<unsigned char>(c)) || c == '_'; }

bool allOf(std::string_view text, bool (*test)(char)) {
    for (char c : text) {
        if (!test(c)) return false;
    }
    return true;
}

bool isDigitChar(char c) { return text::isAsciiDigit(static_cast<unsigned char>(c)); }
bool isAlnumChar(char c) { return text::isAsciiAlnum(static_cast<unsigned char>(c)); }

// "$" and a number read as a 0-based parameter index, saturating far above
// the vector's 15 values.
std::int32_t parameterIndex(std::string_view digits) {
    std::int64_t value = 0;
    for (char c : digits) value = std::min<std::int64_t>(value * 10 + (c - '0'), INT32_MAX);
    return static_cast<std::int32_t>(value - 1);
}
}  // namespace

void BulletML_Node_Number::setText(std::string_view text) {
    text_ = internName(text);
    if (isLiteralText(text)) {
        kind_ = kLiteral;
        literal_ = readDecimal(text);
        return;
    }
    if (text.size() >= 2 && text[0] == '$' && allOf(text.substr(1), isNameChar)) {
        std::string_view name = text.substr(1);
        if (allOf(name, isDigitChar)) {
            kind_ = kParameter;
            paramIndex_ = parameterIndex(name);
        } else if (name.size() >= 3 && name.substr(0, 2) == "__") {
            kind_ = kGlobalVariable;
            variable_ = internName(name.substr(2));
        } else if (name[0] == '_') {
            // A name that is no built-in variable keeps id 0 and reads 0.0,
            // as the same name does inside a compiled expression.
            kind_ = kBuiltinVariable;
            builtinId_ = static_cast<std::int32_t>(builtinVariableId(name));
        } else {
            kind_ = kObjectVariable;
            variable_ = internName(name);
        }
        return;
    }
    if (text.size() >= 2 && text[0] == '@' && allOf(text.substr(1), isAlnumChar)) {
        kind_ = kDynamicVariable;
        variable_ = internName(text.substr(1));
        return;
    }
    kind_ = kCompiled;
    StringCalc::compile(*this, text);
}

double BulletML_Node_Number::evaluateNonLiteral(const VecParam* parameters, ObjectVariableMap* objectVariables) const {
    switch (kind_) {
        case kLiteral:
            return literal_;
        case kParameter:
            if (!parameters || paramIndex_ < 0 || paramIndex_ >= VecParam::kCapacity) return 0.0;
            return parameters->values[paramIndex_];
        case kBuiltinVariable:
            return builtinVariableValue(static_cast<std::uint32_t>(builtinId_));
        case kObjectVariable:
            return objectVariables ? (*objectVariables)[variable_] : 0.0;
        case kGlobalVariable:
            return g_gameInfo ? g_gameInfo->getGlobalVar(variable_) : 0.0;
        case kDynamicVariable:
            return g_gameInfo ? g_gameInfo->resolveVar(variable_) : 0.0;
        case kCompiled:
            return compiled_ ? compiled_->evaluate(parameters, objectVariables) : 0.0;
    }
    return 0.0;
}
