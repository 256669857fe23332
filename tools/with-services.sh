#!/usr/bin/env bash
# Runs a command with the services the tests need, in a private runtime folder, and stops them
# afterwards whatever the command's outcome.
#
# Services: a virtual X display (DISPLAY).
set -euo pipefail

runtime=$(mktemp -d /tmp/auralis-test.XXXXXX)
chmod 700 "$runtime"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$runtime"
}
trap cleanup EXIT

die() {
  echo "with-services: $*" >&2
  exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
  local tenths=$1
  shift
  for ((i = 0; i < tenths; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

export XDG_RUNTIME_DIR="$runtime"
export XDG_CONFIG_HOME="$runtime/config"
export HOME="$runtime/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME"

start_display() {
  # Xvfb picks a free display number itself and writes it once it accepts connections.
  local number_file="$runtime/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" 2>"$runtime/xvfb.log" &
  pids+=($!)
  wait_for 100 test -s "$number_file" || die "Xvfb did not start: $(cat "$runtime/xvfb.log")"
  export DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
}

start_display

"$@"
