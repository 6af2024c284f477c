#!/usr/bin/env bash
# Fails when an include reaches up a layer. From the bottom up:
#   supportlib/ < store/ < common/ < entries/ classes/ members/ reports/ < shell/ < app/
# Every folder is read with its subfolders (store/spreadsheet/ is part of store/). Besides the
# order: the rules of a subsystem (its files outside ui/) include no Qt Widgets header, no ui/
# folder and no common/widgets/; store/ and the top of common/ include no Qt Widgets either.
# tests/, bench/ and tools/ may include anything. CTest runs it as the test check_layers.
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

# The rank of a path's top folder; empty for folders outside the layers.
rank() {
  case "${1%%/*}" in
  supportlib) echo 0 ;;
  store) echo 1 ;;
  common) echo 2 ;;
  entries | classes | members | reports | office) echo 3 ;;
  shell) echo 4 ;;
  app) echo 5 ;;
  esac
}

# Whether a path is widget-free rules code: store/, the top of common/, a subsystem outside ui/.
is_rules() {
  case "$1" in
  store/* | supportlib/*) return 0 ;;
  common/widgets/*) return 1 ;;
  common/*) return 0 ;;
  */ui/*) return 1 ;;
  entries/* | classes/* | members/* | reports/* | office/*) return 0 ;;
  esac
  return 1
}

check() {
  local root=$1 widgets=$2 bad=0 file rel line header mine theirs
  while IFS= read -r file; do
    rel=${file#"$root"/}
    mine=$(rank "$rel")
    [ -n "$mine" ] || continue
    while IFS= read -r line; do
      header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
      theirs=""
      [[ $header == */* ]] && [ -e "$root/$header" ] && theirs=$(rank "$header")
      if [ -n "$theirs" ] && [ "$theirs" -gt "$mine" ]; then
        echo "$rel: includes $header (${header%%/*}/ is above ${rel%%/*}/)"
        bad=1
      elif is_rules "$rel" && [[ $header == */ui/* || $header == common/widgets/* ]] && [ -e "$root/$header" ]; then
        echo "$rel: includes $header (rules code includes no screens or widgets)"
        bad=1
      elif is_rules "$rel" && { [[ $header == QtWidgets/* || $header == QtWidgets ]] ||
        { [[ $header != */* ]] && [ -f "$widgets/$header" ]; }; }; then
        echo "$rel: includes $header (Qt Widgets belong in ui/)"
        bad=1
      fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file" || true)
  done < <(find "$root" -path "$root/build*" -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print | sort)
  return "$bad"
}

if [ "${1:-}" = "--self-test" ]; then
  widgets=$(widgets_dir "${2:-}")
  tree=$(mktemp -d)
  trap 'rm -rf "$tree"' EXIT
  mkdir -p "$tree"/{store/spreadsheet,common/widgets,entries/ui,classes,members,reports/ui,shell/ui,app,tests}
  touch "$tree"/shell/Window.h "$tree"/app/Application.h "$tree"/entries/ui/Screen.h \
    "$tree"/common/widgets/Marker.h "$tree"/common/Services.h "$tree"/classes/Rules.h
  printf '#include <QString>\n#include "common/Services.h"\n' >"$tree/classes/Fine.cpp"
  printf '#include <QLabel>\n#include "common/widgets/Marker.h"\n' >"$tree/entries/ui/Screen.cpp"
  printf '#include "app/Application.h"\n#include <QWidget>\n' >"$tree/tests/Test.cpp"
  printf '#include "classes/Rules.h"\n' >"$tree/reports/Uses.cpp"
  printf '#include <QLineEdit>\n' >"$tree/store/Engine.cpp"
  printf '#include "shell/Window.h"\n' >"$tree/store/spreadsheet/Book.cpp"
  printf '#include "classes/Rules.h"\n' >"$tree/common/Formats.cpp"
  printf '#include "shell/Window.h"\n' >"$tree/classes/Rules.cpp"
  printf '#  include <QtWidgets/QDialog>\n' >"$tree/members/Rules.cpp"
  printf '#include "entries/ui/Screen.h"\n' >"$tree/reports/Report.cpp"
  printf '#include "app/Application.h"\n' >"$tree/shell/ui/Main.cpp"
  printf '#include "shell/Window.h"\n' >"$tree/reports/ui/Preview.cpp"
  if out=$(check "$tree" "$widgets"); then
    echo "check-layers self-test: breaks went unnoticed" >&2
    exit 1
  fi
  expected=$'classes/Rules.cpp: includes shell/Window.h (shell/ is above classes/)
common/Formats.cpp: includes classes/Rules.h (classes/ is above common/)
members/Rules.cpp: includes QtWidgets/QDialog (Qt Widgets belong in ui/)
reports/Report.cpp: includes entries/ui/Screen.h (rules code includes no screens or widgets)
reports/ui/Preview.cpp: includes shell/Window.h (shell/ is above reports/)
shell/ui/Main.cpp: includes app/Application.h (app/ is above shell/)
store/Engine.cpp: includes QLineEdit (Qt Widgets belong in ui/)
store/spreadsheet/Book.cpp: includes shell/Window.h (shell/ is above store/)'
  if [ "$(sort <<<"$out")" != "$expected" ]; then
    echo "check-layers self-test: unexpected findings:" >&2
    echo "$out" >&2
    exit 1
  fi
  echo "check-layers self-test: every break caught, the downward arrows left alone"
  exit 0
fi

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
widgets=$(widgets_dir "${2:-}")
if ! check "$root" "$widgets"; then
  echo "An include reaches up a layer (see DESIGN.md, Layers)." >&2
  exit 1
fi
echo "check-layers: every include points down a layer"
