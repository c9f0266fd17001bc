// Shows the finished frame, with the frame pacing before it.
#pragma once
#include "platform/HResult.h"

HRESULT presentFrame();
