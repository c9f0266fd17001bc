// The parameter-vector pool as the object step uses it: one top-up a frame.
// Stand-in of the interpreter work, which fills the pool behind the same
// signatures.
#pragma once
#include "runtime/VecParam.h"

class VecParamAllocator {
public:
    static VecParamAllocator& instance();
    // A cleared vector, or null when the pool is empty.
    VecParam* get();
    // Constructs one parameter vector while fewer than 1,001 are ready.
    void refill();
    void release(VecParam* vector);
};
