#include "script/XMLHandler_ii_GML.h"

XMLHandler_ii_GML::~XMLHandler_ii_GML() = default;
