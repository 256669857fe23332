#!/usr/bin/env bash
# Runs a command with the services the tests need, in a private runtime folder, and stops them
# afterwards whatever the command's outcome.
#
# Services and what the command finds in its environment:
#   a virtual X display                         DISPLAY
#   a PulseAudio server (null sink, pipe mic)   PULSE_SERVER, AURALIS_TEST_MIC_FIFO,
#                                               AURALIS_TEST_SINK_MONITOR
#   a JACK server on the dummy driver           JACK_DEFAULT_SERVER, JACK_NO_START_SERVER
#   AURALIS_TEST_SERVICES=1 once all are up.
set -euo pipefail

tools=$(cd "$(dirname "$0")" && pwd)
runtime=$(mktemp -d /tmp/auralis-test.XXXXXX)
chmod 700 "$runtime"
pids=()
command_pid=""
cleanup() {
  [ -z "$command_pid" ] || kill "$command_pid" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$runtime"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

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

start_pulse() {
  local folder="$runtime/pulse"
  "$tools/pulse-server.sh" "$folder" 2>"$runtime/pulse.log" &
  pids+=($!)
  export PULSE_SERVER="unix:$folder/native"
  wait_for 100 timeout 5 pactl info || die "PulseAudio did not start: $(cat "$runtime/pulse.log")"
  export AURALIS_TEST_MIC_FIFO="$folder/mic.fifo"
  export AURALIS_TEST_SINK_MONITOR="auralis_sink.monitor"
}

start_jack() {
  # A server name of its own, so that runs side by side do not share one server.
  export JACK_DEFAULT_SERVER="auralis-$$"
  export JACK_NO_START_SERVER=1
  jackd -n "$JACK_DEFAULT_SERVER" --no-realtime -t 5000 -d dummy -r 44100 -p 128 \
    >"$runtime/jack.log" 2>&1 &
  pids+=($!)
  wait_for 100 timeout 5 jack_lsp || die "JACK did not start: $(cat "$runtime/jack.log")"
}

start_display
start_pulse
start_jack
export AURALIS_TEST_SERVICES=1

# In the background, so that a signal to this script stops everything at once.
"$@" &
command_pid=$!
status=0
wait "$command_pid" || status=$?
command_pid=""
exit "$status"
