#include "script/NumberEvaluation.h"

#include "script/BulletML_Node_Number.h"

double evaluateWithoutContext(const BulletML_Node_Number& number) { return number.evaluate(nullptr, nullptr); }
