#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it on the bundled game.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLY_TESTS=OFF -DVORLY_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)"
exec build/sorvanthe game "$@"
