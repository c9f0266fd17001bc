#include "script/NumberEvaluation.h"

// Script numbers are not evaluated yet: every bound expression reads 0.0.
double evaluateWithoutContext(const BulletML_Node_Number&) { return 0.0; }
