#!/usr/bin/env bash
# Installs the Debian 12 packages that Trotwell needs. Run as root.
#
#   setup.sh run     what building and running need (scripts/packages/run.txt)
#   setup.sh test    that and what the tests, benchmarks and package add (packages/test.txt);
#                    the default
#
# Packages already installed are left alone; apt's output goes to build/logs/packages.log.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/steps.sh"

case "${1:-test}" in
  run) lists=(run) recommends=(--no-install-recommends) ;;
  test) lists=(run test) recommends=() ;;
  *)
    echo "usage: setup.sh [run|test]" >&2
    exit 2
    ;;
esac

packages=()
for list in "${lists[@]}"; do
  while read -r name _; do
    [[ -z $name || $name == \#* ]] || packages+=("$name")
  done <"$here/packages/$list.txt"
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "   all ${#packages[@]} packages are installed"
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "These packages are missing: ${missing[*]}" >&2
  echo "Run this command as root, or install them first: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi

stage_started=$SECONDS
log="$(logs_dir)/packages.log"
: >"$log"
echo "   installing ${#missing[@]} of ${#packages[@]} packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >>"$log" 2>&1 ||
  fail "reading the package lists (apt-get update); is the Debian mirror reachable?" "$log"

# Names the packages apt cannot find at all, before it tries to install any.
unknown=()
for p in "${missing[@]}"; do
  candidate=$(apt-cache policy "$p" 2>/dev/null | sed -n 's/^ *Candidate: //p')
  [ -n "$candidate" ] && [ "$candidate" != "(none)" ] || unknown+=("$p")
done
if [ "${#unknown[@]}" -gt 0 ]; then
  fail "cannot install ${unknown[*]}: the package sources in /etc/apt/ offer no such package \
(Debian 12 \"bookworm\" with its main component is needed)"
fi

apt-get install -y -q "${recommends[@]}" "${missing[@]}" >>"$log" 2>&1 ||
  fail "installing ${missing[*]}" "$log"

# What apt reports installed, checked by name: a package it skipped is named here.
unfinished=()
for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || unfinished+=("$p")
done
[ "${#unfinished[@]}" -eq 0 ] || fail "these packages are still not installed: ${unfinished[*]}" "$log"
echo "   installed in $(stage_time)"
