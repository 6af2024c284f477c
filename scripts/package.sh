#!/usr/bin/env bash
# Builds the Debian package of Trotwell: build/trotwell_<version>_<architecture>.deb.
#
#   package.sh [BUILD_FOLDER]     (default: build/ of this checkout)
#
# Needs the build packages (scripts/setup.sh run) and, to find the libraries the package depends
# on, dpkg-dev and file (scripts/setup.sh test). Install the package with
#   apt-get install ./build/trotwell_<version>_<architecture>.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/steps.sh"
build=$(cd "${1:-$root/build}" 2>/dev/null && pwd || echo "${1:-$root/build}")

for tool in dpkg-shlibdeps file; do
  command -v "$tool" >/dev/null ||
    fail "$tool is missing (bash scripts/setup.sh test installs it)"
done

stage "building"
if [ "$build" = "$root/build" ]; then
  bash "$root/scripts/build.sh"
else
  log=$(logs_dir)/package-build.log
  cmake --build "$build" >"$log" 2>&1 || fail "building in $build" "$log"
fi

stage "packaging"
log=$(logs_dir)/package.log
(cd "$build" && cpack -G DEB) >"$log" 2>&1 || fail "making the Debian package (CPack)" "$log"
package=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$log")
[ -f "$package" ] || fail "CPack named no package it made" "$log"
echo "   $package"
