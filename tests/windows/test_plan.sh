#!/usr/bin/env bash
# The Windows check's plan: on a machine that cannot run 32-bit programs the 32-bit DLL is
# built and its tables checked but not run under Wine, and no i386 package is wanted; where
# they run, both DLLs run. The machine's own answer comes from its kernel.
#   test_plan.sh scripts/windows.sh
set -euo pipefail
script=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

plan() { TWL_WINDOWS_BUILD=$out TWL_WINDOWS_32BIT=${1:-} bash "$script" --plan; }

expect() { # SETTING LINE...: each line is in the plan for that setting
  local setting=$1 said line
  shift
  said=$(plan "$setting")
  for line in "$@"; do
    if ! grep -qxF -- "$line" <<< "$said"; then
      printf 'FAIL (TWL_WINDOWS_32BIT=%s): no line "%s" in\n%s\n' "$setting" "$line" "$said"
      exit 1
    fi
  done
}

tools="g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 mingw-w64-tools wine wine64 xvfb xauth cmake ninja-build g++"
expect no "32-bit programs: no (TWL_WINDOWS_32BIT=no)" "packages: $tools" \
  "built and their tables checked: i686 x86_64" "run under Wine: x86_64" \
  "skipped: the i686 TWL.dll under Wine"
expect yes "32-bit programs: yes (TWL_WINDOWS_32BIT=yes)" "packages: $tools wine32" \
  "built and their tables checked: i686 x86_64" "run under Wine: i686 x86_64"
if plan yes | grep -q '^skipped'; then
  echo "FAIL: a machine that runs 32-bit programs skips a check"
  exit 1
fi

# This machine: the kernel is asked with a 32-bit program, which leaves nothing behind.
said=$(plan)
if ! grep -qE '^32-bit programs: (yes \(this kernel runs|no \(this kernel does not run)' <<< "$said"; then
  printf 'FAIL: the kernel gave no answer:\n%s\n' "$said"
  exit 1
fi
if [[ -n $(ls -A "$out") ]]; then
  echo "FAIL: the probe left $(ls -A "$out")"
  exit 1
fi
echo "ok: $(head -1 <<< "$said")"
