#!/usr/bin/env bash
# Runs one command on its own virtual X display with a window manager, as a user's desktop has
# them: focus, access keys and message-box focus behave there as they do for a user (the
# offscreen platform routes them differently). CTest runs the tests labelled "desktop" through
# this script; every run gets a free display of its own, so runs may go side by side.
set -euo pipefail

for tool in Xvfb openbox xprop; do
  if ! command -v "$tool" >/dev/null; then
    echo "on-desktop: $tool is missing; bash scripts/setup.sh installs it" >&2
    exit 1
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb chooses a free display number and writes it to descriptor 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  if ! kill -0 "${pids[0]}" 2>/dev/null; then
    echo "on-desktop: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "on-desktop: Xvfb gave no display number" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
export QT_QPA_PLATFORM=xcb

# The window manager keeps its settings and cache in the run's own folder.
XDG_CONFIG_HOME="$work" XDG_CACHE_HOME="$work" openbox --sm-disable >"$work/wm.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done
if ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
  echo "on-desktop: the window manager did not start:" >&2
  cat "$work/wm.log" >&2
  exit 1
fi

rc=0
"$@" || rc=$?
exit "$rc"
