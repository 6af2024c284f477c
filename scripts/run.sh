#!/usr/bin/env bash
# Sets up and builds what running needs (the program, TWL.dll, the data files and the sample-show
# tool: no test, no benchmark), writes the sample show once, and starts Trotwell from its program
# folder build/TWL/. A second run starts at once: nothing is installed or built again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/steps.sh

stage "installing packages"
bash scripts/setup.sh run

stage "building"
# A new build folder builds no tests; one that scripts/test.sh configured keeps its tests, of
# which only the targets named here are built.
configure=()
[ -f build/build.ninja ] || configure=(-DTWL_BUILD_TESTS=OFF)
bash scripts/build.sh "${configure[@]}" -- TWL twl_sample
echo "   built in $(stage_time)"

app=build/TWL
# A sample show to open, made once (with sample members in the organisation file).
sample="build/samples/Spring Classic.twl"
if [ ! -f "$sample" ]; then
  stage "writing the sample show"
  mkdir -p build/samples
  log="$(logs_dir)/sample.log"
  TWL_APP_DIR="$app" build/tools/twl_sample "$sample" 2000 400 200 >"$log" 2>&1 ||
    fail "writing the sample show $sample" "$log"
  echo "   $sample"
fi
# Trotwell is a desktop program: with no display to show it on, say so and stop rather than
# running it where nobody can see it.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): Trotwell is built in" >&2
  echo "$app/ but not started. Run this command again from a desktop session." >&2
  exit 1
fi
stage "starting Trotwell"
exec "$app/TWL"
