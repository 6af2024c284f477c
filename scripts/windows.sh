#!/usr/bin/env bash
# Cross-builds the support library TWL.dll for Windows, 32-bit and 64-bit, with MinGW-w64 and
# checks both builds under Wine: the export tables hold exactly the plain names, and a
# cross-built check program loads each TWL.dll by file name and runs its exports (text codes,
# waits, bitmaps from a resource module into memory device contexts, P_Sound).
# Prints what it checked; exits non-zero when anything fails.
#
#   bash scripts/windows.sh            (Debian 12, as root: installs what it needs)
#
# Output in build-windows/ (TWL_WINDOWS_BUILD to choose another folder): i686/TWL.dll and
# x86_64/TWL.dll, the check programs beside them, a private Wine prefix in wineprefix/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${TWL_WINDOWS_BUILD:-$root/build-windows}
archs=(i686 x86_64)
exports=(GetResPic HexToDec Lag P_Sound PicLoad SpnFrm StrCvrt Sync TransCal)

step() { printf '\n== %s\n' "$*"; }

# The check program runs under Wine on a virtual display (message boxes need one); this is the
# part run there.
if [[ ${1:-} == --run-checks ]]; then
  status=0
  for arch in "${archs[@]}"; do
    step "check_twl under Wine, $arch"
    other=x86_64
    [[ $arch == x86_64 ]] && other=i686
    # A sound device that takes every sound (ALSA's null device): PlaySound can play.
    if ! (cd "$out/$arch" &&
      ALSA_CONFIG_PATH="$root/tests/supportlib/null-sound.conf" \
        timeout 600 wine check_twl.exe TWL.dll TWLTestRes.dll "../$other/TWLTestRes.dll" \
          2> wine-stderr.log); then
      echo "FAIL check_twl ($arch); Wine's messages: $out/$arch/wine-stderr.log"
      status=1
    fi
  done
  wineserver -w || true
  exit $status
fi

step "tools"
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 mingw-w64-tools wine wine32 wine64 xvfb xauth cmake ninja-build g++)
missing=()
for package in "${packages[@]}"; do
  case $package in
    wine32) arch_package=wine32:i386 ;;
    *) arch_package=$package ;;
  esac
  dpkg-query -W -f='${Status}' "$arch_package" 2> /dev/null | grep -q 'install ok installed' ||
    missing+=("$arch_package")
done
if ((${#missing[@]} > 0)); then
  if [[ $(id -u) != 0 ]]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  echo "installing ${missing[*]}"
  # wine32 (32-bit programs under Wine) comes from the i386 architecture.
  dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "all installed: ${packages[*]}"
fi

step "resource module files"
mkdir -p "$out/fixtures"
g++ -std=c++20 -O1 -Wall -Wextra -o "$out/make_fixtures" tests/windows/make_fixtures.cpp
"$out/make_fixtures" "$out/fixtures"
echo "$(ls "$out/fixtures" | wc -l) files (bitmaps, sounds, resources.rc) in $out/fixtures"

status=0
for arch in "${archs[@]}"; do
  step "cross build, $arch"
  launcher=()
  command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  nice cmake -S supportlib/win -B "$out/$arch" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" \
    -DTWL_WIN_FIXTURES="$out/fixtures" "${launcher[@]}" > "$out/$arch-configure.log"
  nice cmake --build "$out/$arch" --parallel 2
  dll=$out/$arch/TWL.dll
  objdump=$arch-w64-mingw32-objdump

  # The export table: exactly the nine plain names (no "TransCal@16").
  found=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort | tr '\n' ' ')
  wanted=$(printf '%s\n' "${exports[@]}" | sort | tr '\n' ' ')
  if [[ $found == "$wanted" ]]; then
    echo "ok   $arch TWL.dll exports exactly: $found"
  else
    echo "FAIL $arch TWL.dll exports: $found (wanted: $wanted)"
    status=1
  fi
  # Stands alone: only system DLLs imported, none of the MinGW runtime.
  imports=$("$objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
  if grep -qiE 'libgcc|libstdc|libwinpthread' <<< "$imports"; then
    echo "FAIL $arch TWL.dll imports the MinGW runtime: $imports"
    status=1
  else
    echo "ok   $arch TWL.dll imports system DLLs only: $imports"
  fi
  machine=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
  echo "     $arch TWL.dll is $machine"
done

step "Wine"
export WINEPREFIX=$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "making the Wine prefix $WINEPREFIX (once)"
  xvfb-run -a wineboot -i > "$out/wineboot.log" 2>&1
  wineserver -w || true
fi
TWL_WINDOWS_BUILD=$out xvfb-run -a bash "$root/scripts/windows.sh" --run-checks || status=1

step "result"
if ((status == 0)); then
  echo "TWL.dll for Windows: both builds checked, all passed"
else
  echo "TWL.dll for Windows: FAILED (see the FAIL lines above)"
fi
exit $status
