#!/usr/bin/env bash
# Fails when rules code reaches up a layer: store/ and the top-level files of entries/,
# classes/, members/ and reports/ (not their ui/ folders) may include neither a Qt Widgets
# header nor anything of shell/. CTest runs it as the test check_layers.
#
#   check-layers.sh [SOURCE_ROOT [QTWIDGETS_INCLUDE_DIR]]
#   check-layers.sh --self-test    shows that a break of each rule is caught
set -euo pipefail

widgets_dir() {
  local dir
  for dir in "${1:-}" /usr/include/*/qt6/QtWidgets /usr/include/qt6/QtWidgets; do
    if [ -n "$dir" ] && [ -f "$dir/QWidget" ]; then
      echo "$dir"
      return
    fi
  done
  echo "check-layers: the Qt Widgets headers were not found" >&2
  exit 2
}

check() {
  local root=$1 widgets=$2 files=() bad=0 file line header
  shopt -s nullglob
  files+=("$root"/store/*.h "$root"/store/*.cpp)
  for part in entries classes members reports; do
    files+=("$root/$part"/*.h "$root/$part"/*.cpp)
  done
  for file in "${files[@]}"; do
    while IFS= read -r line; do
      header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
      if [[ $header == shell/* ]]; then
        echo "${file#"$root"/}: includes $header (shell/ is above the rules)"
        bad=1
      elif [[ $header == QtWidgets/* ]] || { [[ $header != */* ]] && [ -f "$widgets/$header" ]; }; then
        echo "${file#"$root"/}: includes $header (Qt Widgets belong in ui/)"
        bad=1
      fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file" || true)
  done
  return "$bad"
}

if [ "${1:-}" = "--self-test" ]; then
  widgets=$(widgets_dir "${2:-}")
  tree=$(mktemp -d)
  trap 'rm -rf "$tree"' EXIT
  mkdir -p "$tree"/{store,entries/ui,classes,members,reports}
  printf '#include <QString>\n#include "store/Value.h"\n' >"$tree/store/Fine.cpp"
  printf '#include <QLabel>\n' >"$tree/entries/ui/Screen.cpp"
  printf '#include <QLineEdit>\n' >"$tree/store/Engine.cpp"
  printf '#include "shell/TWL_public.h"\n' >"$tree/classes/Rules.h"
  printf '#  include <QtWidgets/QDialog>\n' >"$tree/members/Rules.cpp"
  printf '#include <QtWidgets>\n' >"$tree/reports/Report.cpp"
  if out=$(check "$tree" "$widgets"); then
    echo "check-layers self-test: breaks went unnoticed" >&2
    exit 1
  fi
  expected=$'classes/Rules.h: includes shell/TWL_public.h (shell/ is above the rules)
members/Rules.cpp: includes QtWidgets/QDialog (Qt Widgets belong in ui/)
reports/Report.cpp: includes QtWidgets (Qt Widgets belong in ui/)
store/Engine.cpp: includes QLineEdit (Qt Widgets belong in ui/)'
  if [ "$(sort <<<"$out")" != "$expected" ]; then
    echo "check-layers self-test: unexpected findings:" >&2
    echo "$out" >&2
    exit 1
  fi
  echo "check-layers self-test: every break caught, ui/ and Qt Core left alone"
  exit 0
fi

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
widgets=$(widgets_dir "${2:-}")
if ! check "$root" "$widgets"; then
  echo "Rules code must not include Qt Widgets or shell/ headers (see DESIGN.md, Layers)." >&2
  exit 1
fi
echo "check-layers: rules code includes no Qt Widgets and no shell/ headers"
