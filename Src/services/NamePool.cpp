#include "services/NamePool.h"

// Function-local statics: created on first use, by whichever thread interns
// first, and destroyed at process exit.
NamePool& NamePool::instance() {
    static NamePool pool;
    return pool;
}

WideNamePool& WideNamePool::instance() {
    static WideNamePool pool;
    return pool;
}
