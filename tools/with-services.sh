#!/usr/bin/env bash
# Runs a command with the services the tests need, in a private runtime folder, and stops them
# afterwards whatever the command's outcome.
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

export XDG_RUNTIME_DIR="$runtime"
export XDG_CONFIG_HOME="$runtime/config"
export HOME="$runtime/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME"

"$@"
