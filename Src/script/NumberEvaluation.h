// Evaluation of a script number outside any running script: no parameter
// vector and no object variables (those read 0.0). The game records use it to
// read a dynamic variable's bound expression.
#pragma once

class BulletML_Node_Number;

double evaluateWithoutContext(const BulletML_Node_Number& number);
