#!/usr/bin/env bash
# Checks the Debian package as a user would meet it, unpacked into a temporary root (dpkg -x)
# that stands for /, with a user's data folder of its own. CTest runs each check as a test.
#
#   check-package.sh contents   PACKAGE   the files, the launcher, the menu entry, the show-file
#                                         type, the icons and the dependencies
#   check-package.sh starts     PACKAGE   a first start on a virtual display: the program comes
#                                         up, makes the user's folder from the installed one and
#                                         writes its settings there at exit
#   check-package.sh opens-show PACKAGE   a show given on the command line (a name with blanks,
#                                         accents and a semicolon) is open in the window
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

problems=0
check() { # check DESCRIPTION COMMAND...: one line per check, ok or FAIL
  if "${@:2}" >/dev/null 2>&1; then
    echo "ok   $1"
  else
    echo "FAIL $1"
    problems=$((problems + 1))
  fi
}
finish() {
  if [ "$problems" -gt 0 ]; then
    echo "$problems check(s) failed"
    exit 1
  fi
  echo "every check passed"
}
links_to() { [ -L "$1" ] && [ "$(readlink -f "$1")" = "$(readlink -f "$2")" ]; }
contains() { grep -qF -- "$2" "$1"; }
png_size() { file "$1" | grep -qF "PNG image data, $2 x $2,"; }

# The program's window whose title holds TEXT, waited for (the first start may take a while on a
# loaded machine).
window_with() {
  local until=$((SECONDS + 90))
  while ((SECONDS < until)); do
    wmctrl -l 2>/dev/null | grep -qF -- "$1" && return 0
    kill -0 "$program" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# Closes the program's window as a user does and waits for the program to end.
close_program() {
  wmctrl -c "Trotwell" || true
  local until=$((SECONDS + 90))
  while ((SECONDS < until)) && kill -0 "$program" 2>/dev/null; do
    sleep 0.1
  done
  if kill -0 "$program" 2>/dev/null; then
    kill "$program"
    return 1
  fi
  wait "$program"
}

# Runs on the virtual display (scripts/on-desktop.sh): starts the installed launcher.
on_desktop() {
  local what=$1 root=$2 work=$3
  local user=$work/data/trotwell installed=$root/usr/lib/trotwell
  # An 800 x 600 mode, as most monitors offer: the display check switches to it, as at a user's.
  xrandr --newmode 800x600 40 800 840 968 1056 600 601 605 628 >/dev/null 2>&1 || true
  xrandr --addmode screen 800x600 >/dev/null 2>&1 || true
  export HOME=$work/home XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"

  if [ "$what" = starts ]; then
    "$root/usr/bin/trotwell" >"$work/program.log" 2>&1 &
    program=$!
    check "the installed program shows its window" window_with "Trotwell"
    check "the user's folder holds a copy of the installed TWL.org" \
      cmp "$user/TWL.org" "$installed/TWL.org"
    check "the user's TWL.org is the user's own file" test ! -L "$user/TWL.org" -a -w "$user/TWL.org"
    check "TWL.dll is read from the installed folder" links_to "$user/TWL.dll" "$installed/TWL.dll"
    check "Base.dat is read from the installed folder" links_to "$user/Base.dat" "$installed/Base.dat"
    check "the class-log folder is made in the user's folder" test -d "$user/TWL Class Log"
    check "the program ends when its window is closed" close_program
    check "the settings are written to the user's folder at exit" \
      contains "$user/TWL.ini" "CheckRes=True"
    check "nothing is written into the installed folder" \
      test "$(find "$installed" -newer "$work/unpacked" | wc -l)" = 0
  else
    local show="$work/shows/Spring Classic; Été à Nîmes.twl"
    mkdir -p "$work/shows"
    cp "$installed/Base.dat" "$show"
    chmod u+w "$show"
    "$root/usr/bin/trotwell" "$show" >"$work/program.log" 2>&1 &
    program=$!
    check "the show given on the command line is open in the window" window_with "$show"
    check "the program ends when its window is closed" close_program
  fi
  if [ "$problems" -gt 0 ] && [ -s "$work/program.log" ]; then
    echo "--- the program's output:"
    cat "$work/program.log"
  fi
  finish
}

if [ "${1:-}" = --on-desktop ]; then
  shift
  on_desktop "$@"
  exit
fi

what=${1:-}
package=${2:-}
case "$what" in
  contents | starts | opens-show) ;;
  *)
    echo "usage: check-package.sh contents|starts|opens-show PACKAGE" >&2
    exit 2
    ;;
esac
[ -f "$package" ] || {
  echo "check-package: no package $package (bash scripts/package.sh makes it)" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg-deb -x "$package" "$root"
touch "$work/unpacked"

if [ "$what" != contents ]; then
  bash "$here/on-desktop.sh" bash "$here/check-package.sh" --on-desktop "$what" "$root" "$work"
  exit
fi

installed=$root/usr/lib/trotwell
for file in TWL TWL.dll Base.dat TWL.org shared-program-folder; do
  check "/usr/lib/trotwell/$file is installed" test -s "$installed/$file"
done
check "the program can be run" test -x "$installed/TWL"
check "the launcher /usr/bin/trotwell starts the installed program" \
  links_to "$root/usr/bin/trotwell" "$installed/TWL"
desktop=$root/usr/share/applications/trotwell.desktop
check "the menu entry runs the launcher with the chosen file" contains "$desktop" "Exec=trotwell %f"
check "the menu entry opens show files" contains "$desktop" "MimeType=application/x-trotwell-show;"
check "the menu entry has the icon" contains "$desktop" "Icon=trotwell"
mime=$root/usr/share/mime/packages/trotwell.xml
check "show files are a type of their own" contains "$mime" '"application/x-trotwell-show"'
check "show files are known by their ending .twl" contains "$mime" '<glob pattern="*.twl"/>'
icons=$root/usr/share/icons/hicolor
check "the icon as SVG" contains "$icons/scalable/apps/trotwell.svg" "<svg"
for size in 16 22 24 32 48 64 128 256; do
  check "the icon as a ${size}x${size} PNG" png_size "$icons/${size}x${size}/apps/trotwell.png" "$size"
done
check "the manual page" test -s "$root/usr/share/man/man1/trotwell.1.gz"
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libsqlcipher0 libasound2; do
  check "the package depends on $library" grep -q "$library" <<<"$depends"
done
finish
