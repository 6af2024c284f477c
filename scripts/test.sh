#!/usr/bin/env bash
# Sets everything up, builds, and runs every test headless (the package's install test included).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh

stage "installing packages"
bash scripts/setup.sh test

stage "building"
bash scripts/build.sh -DTWL_BUILD_TESTS=ON
echo "   built in $(stage_time)"

stage "testing"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2
