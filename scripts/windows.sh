#!/usr/bin/env bash
# Cross-builds the support library TWL.dll for Windows, 32-bit and 64-bit, with MinGW-w64 and
# checks both builds under Wine: the export tables hold exactly the plain names, and a
# cross-built check program loads each TWL.dll by file name and runs its exports (text codes,
# waits, bitmaps from a resource module into memory device contexts, P_Sound).
# Prints what it checked; exits non-zero when anything fails.
#
#   bash scripts/windows.sh            (Debian 12, as root: installs what it needs)
#   bash scripts/windows.sh --plan     (says what a run would check here, and does nothing)
#
# Where the kernel does not run 32-bit x86 programs (a kernel built or started without IA-32
# emulation), 32-bit Wine cannot start: the 32-bit DLL is still built and its export and import
# tables checked, its run under Wine is skipped and said so, and the 64-bit checks run with
# 64-bit Wine alone. TWL_WINDOWS_32BIT=no skips the 32-bit run on any machine (and the 2.6 GB
# of i386 packages it needs); =yes runs it without asking the kernel.
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

# Whether this machine runs 32-bit x86 programs: a 93-byte i386 program that only exits 0
# (ELF header, one loadable segment, "mov eax,1; xor ebx,ebx; int 0x80") is started. A kernel
# without IA-32 emulation refuses it ("Exec format error", status 126). Sets run32 (yes or no)
# and why32.
probe_32bit() {
  case ${TWL_WINDOWS_32BIT:-} in
    yes | no)
      run32=$TWL_WINDOWS_32BIT
      why32="TWL_WINDOWS_32BIT=$TWL_WINDOWS_32BIT"
      return
      ;;
  esac
  local probe status=0 said
  # In the build folder: a temporary folder may not let programs start at all.
  mkdir -p "$out"
  probe=$(mktemp "$out/i386-probe.XXXXXX")
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' > "$probe"
  chmod +x "$probe"
  said=$("$probe" 2>&1) || status=$?
  rm -f "$probe"
  if ((status == 0)); then
    run32=yes
    why32="this kernel runs 32-bit (i386) programs"
  else
    run32=no
    why32="this kernel does not run 32-bit (i386) programs: a 32-bit test program could not start (status $status: ${said##*: }; the kernel has no IA-32 emulation, or it is switched off)"
  fi
}

# The packages a run needs: 32-bit Wine only where 32-bit programs run.
needed_packages() {
  packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
    binutils-mingw-w64-x86-64 mingw-w64-tools wine wine64 xvfb xauth cmake ninja-build g++)
  [[ $run32 == yes ]] && packages+=(wine32)
  wine_archs=(x86_64)
  [[ $run32 == yes ]] && wine_archs=(i686 x86_64)
  return 0
}

# The check program runs under Wine on a virtual display (message boxes need one); this is the
# part run there.
if [[ ${1:-} == --run-checks ]]; then
  status=0
  read -r -a wine_archs <<< "${TWL_WINE_ARCHS:-${archs[*]}}"
  wine=${TWL_WINE:-wine}
  for arch in "${wine_archs[@]}"; do
    step "check_twl under Wine, $arch"
    other=x86_64
    [[ $arch == x86_64 ]] && other=i686
    # A sound device that takes every sound (ALSA's null device): PlaySound can play.
    if ! (cd "$out/$arch" &&
      ALSA_CONFIG_PATH="$root/tests/supportlib/null-sound.conf" \
        timeout 600 "$wine" check_twl.exe TWL.dll TWLTestRes.dll "../$other/TWLTestRes.dll" \
          2> wine-stderr.log); then
      echo "FAIL check_twl ($arch); Wine's messages: $out/$arch/wine-stderr.log"
      status=1
    fi
  done
  "${WINESERVER:-wineserver}" -w || true
  exit $status
fi

probe_32bit
needed_packages
if [[ ${1:-} == --plan ]]; then
  echo "32-bit programs: $run32 ($why32)"
  echo "packages: ${packages[*]}"
  echo "built and their tables checked: ${archs[*]}"
  echo "run under Wine: ${wine_archs[*]}"
  [[ $run32 == no ]] && echo "skipped: the i686 TWL.dll under Wine"
  exit 0
fi

step "tools"
echo "32-bit programs: $run32 ($why32)"
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
  [[ $run32 == yes ]] && dpkg --add-architecture i386
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
wine=wine
if [[ $run32 == no ]]; then
  # Debian's wine starts the 32-bit loader whenever wine32 is installed: 64-bit Wine is started
  # by name, with its own server.
  wine=/usr/lib/wine/wine64
  export WINELOADER=$wine WINESERVER=/usr/lib/wine/wineserver64 WINEARCH=win64
fi
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "making the Wine prefix $WINEPREFIX (once)"
  if ! xvfb-run -a "$wine" wineboot.exe -i > "$out/wineboot.log" 2>&1; then
    echo "FAIL making the Wine prefix; Wine's messages: $out/wineboot.log"
    status=1
  fi
  "${WINESERVER:-wineserver}" -w || true
fi
TWL_WINDOWS_BUILD=$out TWL_WINE=$wine TWL_WINE_ARCHS="${wine_archs[*]}" \
  xvfb-run -a bash "$root/scripts/windows.sh" --run-checks || status=1

step "result"
if [[ $run32 == no ]]; then
  echo "SKIPPED the i686 TWL.dll under Wine: $why32."
  echo "        It was built and its export and import tables checked; the x86_64 TWL.dll ran."
fi
if ((status == 0)); then
  echo "TWL.dll for Windows: ${wine_archs[*]} run under Wine, ${archs[*]} built and checked, all passed"
else
  echo "TWL.dll for Windows: FAILED (see the FAIL lines above)"
fi
exit $status
