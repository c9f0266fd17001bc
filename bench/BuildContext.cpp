// Puts the build type at the head of every benchmark report: the speed
// targets are measured in a Release build, and a RelWithDebInfo or Debug
// build's figures are not comparable with them.
#include <benchmark/benchmark.h>

namespace {
const bool registered = [] {
    benchmark::AddCustomContext("vorly_build_type", VORLY_BUILD_TYPE);
    return true;
}();
}  // namespace
