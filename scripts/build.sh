#!/usr/bin/env bash
# Configures and builds Trotwell into build/; the program's folder is build/TWL/.
#
#   build.sh [CMAKE_ARGUMENT...] [-- TARGET...]
#
# Arguments before "--" go to CMake (e.g. -DTWL_BUILD_BENCH=ON); with none, a folder that is
# already configured keeps its configuration. Targets after "--" are built alone (default: all).
# The compiler's output goes to build/logs/build.log; a failure names it and shows its error.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh

cmake_args=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--" ]; then
    shift
    targets=("$@")
    break
  fi
  cmake_args+=("$1")
  shift
done

logs=$(logs_dir)
if [ "${#cmake_args[@]}" -gt 0 ] || [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cmake_args[@]}" \
    >"$logs/configure.log" 2>&1 || fail "configuring the build (CMake)" "$logs/configure.log"
fi

target_args=()
[ "${#targets[@]}" -eq 0 ] || target_args=(--target "${targets[@]}")
steps_file="$logs/build.steps"
if ! cmake --build build --parallel "$(nproc)" "${target_args[@]}" 2>&1 |
  build_progress "$steps_file" 3>"$logs/build.log"; then
  fail "building" "$logs/build.log"
fi
echo "   build steps run: $(cat "$steps_file")"
