#include "script/BulletML_Node_Number.h"

#include <charconv>

#include "platform/Text.h"

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
float readDecimal(std::string_view text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return static_cast<float>(value);
}
}  // namespace

// Until the expression calculator is built in, only literals get a value;
// every other text stays uncompiled and reads 0.0.
void BulletML_Node_Number::setText(std::string_view text) {
    text_ = internName(text);
    if (isLiteralText(text)) {
        kind_ = kLiteral;
        literal_ = readDecimal(text);
        return;
    }
    kind_ = kCompiled;
}

double BulletML_Node_Number::evaluate(const VecParam* parameters, ObjectVariableMap* objectVariables) const {
    switch (kind_) {
        case kLiteral:
            return literal_;
        case kCompiled:
            return compiled_ ? compiled_->evaluate(parameters, objectVariables) : 0.0;
        default:
            return 0.0;
    }
}
