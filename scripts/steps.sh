# Shared by the set-up, build, run, test and package scripts (sourced, not run): one progress
# line per stage, the tools' own output kept in a log file under build/logs/, and a failure that
# names its log and shows the lines that matter.

logs_dir() {
  local dir
  dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/logs"
  mkdir -p "$dir"
  echo "$dir"
}

# Prints "== STAGE" and starts its clock.
stage() {
  stage_started=$SECONDS
  printf '== %s\n' "$*"
}

# How long the current stage has taken, as "4m12s" or "9s".
stage_time() {
  local taken=$((SECONDS - ${stage_started:-$SECONDS}))
  if ((taken >= 60)); then
    printf '%dm%02ds' $((taken / 60)) $((taken % 60))
  else
    printf '%ds' "$taken"
  fi
}

# fail MESSAGE [LOG]: says what failed, shows the end of the log (or its first error) and where
# the whole of it is, and ends the script.
fail() {
  local message=$1 log=${2:-}
  echo "FAILED: $message" >&2
  if [ -n "$log" ] && [ -s "$log" ]; then
    if grep -q '^FAILED: ' "$log"; then
      echo "--- the first failed step:" >&2
      sed -n '/^FAILED: /,$p' "$log" | head -n 40 >&2
    else
      echo "--- the last lines of $log:" >&2
      tail -n 25 "$log" >&2
    fi
    echo "--- the whole output is in $log" >&2
  fi
  exit 1
}

# Reads a build's output: all of it goes to descriptor 3 (the log), and the terminal sees how far
# the build is (one line kept up to date on a terminal, a line per tenth otherwise). Leaves the
# number of steps run in the file named by $1.
build_progress() {
  local steps_file=$1 line done_steps=0 total=0 shown_tenth=-1 tenth
  while IFS= read -r line; do
    printf '%s\n' "$line" >&3
    if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
      done_steps=${BASH_REMATCH[1]}
      total=${BASH_REMATCH[2]}
      if [ -t 1 ]; then
        printf '\r   step %d of %d' "$done_steps" "$total"
      else
        tenth=$((done_steps * 10 / total))
        if ((done_steps > 0 && tenth != shown_tenth)); then
          shown_tenth=$tenth
          printf '   step %d of %d\n' "$done_steps" "$total"
        fi
      fi
    fi
  done
  [ -t 1 ] && ((total > 0)) && printf '\n'
  echo "$done_steps" >"$steps_file"
}
