#!/usr/bin/env bash
# Sets everything up, builds, and starts Trotwell from its program folder build/TWL/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
app=build/TWL
# A sample show to open, made once (with sample members in the organisation file).
sample="build/samples/Spring Classic.twl"
if [ ! -f "$sample" ]; then
  mkdir -p build/samples
  TWL_APP_DIR="$app" build/tools/twl_sample "$sample" 2000 400 200
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Trotwell on a virtual display (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$app/TWL"
fi
exec "$app/TWL"
