// The release sequence (declared with the manager registry, which the
// services' fatal exit calls through; defined in ReleaseAll.cpp).
#pragma once
#include "services/Managers.h"
