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
# Trotwell is a desktop program: with no display to show it on, say so and stop rather than
# running it where nobody can see it.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): Trotwell is built in" >&2
  echo "$app/ but not started. Run this command again from a desktop session." >&2
  exit 1
fi
exec "$app/TWL"
