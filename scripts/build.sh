#!/usr/bin/env bash
# Configures and builds Trotwell into build/; the program's folder is build/TWL/.
# Extra arguments go to CMake (e.g. -DTWL_BUILD_BENCH=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build --parallel "$(nproc)"
