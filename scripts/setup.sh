#!/usr/bin/env bash
# Installs the Debian 12 packages that Trotwell needs to build, run and test. Run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libsqlcipher-dev libssl-dev libxrandr-dev
  libbenchmark-dev libasound2-dev
  xvfb xauth
  openbox x11-utils clang-format
  poppler-utils
  libgsf-1-dev libzip-dev python3-openpyxl python3-xlrd python3-xlwt python3-olefile
  libreoffice-calc-nogui libreoffice-writer-nogui
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi
