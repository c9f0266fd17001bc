#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it on the bundled game.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# The configuration the benchmarks' targets are measured in (Release: -O3,
# link-time optimisation), with debug information kept for backtraces.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS=-g -DCMAKE_CXX_FLAGS=-g \
    -DVORLY_TESTS=OFF -DVORLY_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)"
exec build/sorvanthe game "$@"
