#!/usr/bin/env bash
# Runs a command with the services the tests need, in a private runtime folder, and stops them
# afterwards whatever the command's outcome.
#
# Services and what the command finds in its environment:
#   a virtual X display                         DISPLAY
#   a PulseAudio server (null sink, pipe mic)   PULSE_SERVER, AURALIS_TEST_MIC_FIFO,
#                                               AURALIS_TEST_SINK_MONITOR
#     or, with AURALIS_AUDIO_SERVER=pipewire, PipeWire with its PulseAudio server, WirePlumber
#     and a session bus of their own, with the same sink and microphone
#   a JACK server on the dummy driver           JACK_DEFAULT_SERVER, JACK_NO_START_SERVER
#   AURALIS_TEST_SERVICES=1 once all are up.
set -euo pipefail

tools=$(cd "$(dirname "$0")" && pwd)
# On a desktop the runtime folder is a tmpfs (/run/user/UID): the program's lock and socket and
# the servers' sockets live there, so that a lock's sync to disk costs nothing. Home and settings
# stay on disk, as they are on a desktop.
if [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ] && [ -w /dev/shm ]; then
  runtime=$(mktemp -d /dev/shm/auralis-test.XXXXXX)
else
  runtime=$(mktemp -d /tmp/auralis-test.XXXXXX)
fi
chmod 700 "$runtime"
home=$(mktemp -d /tmp/auralis-home.XXXXXX)
pids=()
command_pid=""
cleanup() {
  [ -z "$command_pid" ] || kill "$command_pid" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$runtime" "$home"
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
export XDG_CONFIG_HOME="$home/config"
export HOME="$home/home"
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
  # No session bus here. Without an address, the D-Bus library starts one by forking the test
  # process, and in the sanitizer build such a child of a threaded process can deadlock before
  # it runs anything; an address where no bus answers fails at once instead.
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/no-session-bus"
}

start_pipewire() {
  local bus="$runtime/bus"
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$bus" 2>"$runtime/dbus.log" &
  pids+=($!)
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$bus"
  wait_for 100 test -S "$bus" || die "the session bus did not start: $(cat "$runtime/dbus.log")"
  pipewire 2>"$runtime/pipewire.log" &
  pids+=($!)
  wait_for 100 test -S "$runtime/pipewire-0" ||
    die "PipeWire did not start: $(cat "$runtime/pipewire.log")"
  wireplumber 2>"$runtime/wireplumber.log" &
  pids+=($!)
  pipewire-pulse 2>"$runtime/pipewire-pulse.log" &
  pids+=($!)
  export PULSE_SERVER="unix:$runtime/pulse/native"
  wait_for 100 timeout 5 pactl info ||
    die "pipewire-pulse did not start: $(cat "$runtime/pipewire-pulse.log")"

  local fifo="$runtime/mic.fifo"
  pactl load-module module-null-sink sink_name=auralis_sink format=s16le rate=44100 channels=1 \
    >/dev/null
  # As PipeWire makes it, without a description: it goes by its name, which here names its FIFO
  # as PulseAudio's description does.
  pactl load-module module-pipe-source "source_name=$fifo" "file=$fifo" format=s16le \
    rate=44100 channels=1 >/dev/null
  # The pipe source does not always hold its FIFO open; holding it here keeps a writer's open()
  # from waiting for a reader.
  exec 7<>"$fifo"
  pactl set-default-sink auralis_sink
  pactl set-default-source "$fifo"
  # WirePlumber takes the defaults over a moment later.
  wait_for 100 sh -c "pactl get-default-source | grep -qxF '$fifo'" ||
    die "PipeWire did not take the test microphone as its default"
  export AURALIS_TEST_MIC_FIFO="$fifo"
  export AURALIS_TEST_SINK_MONITOR="auralis_sink.monitor"
}

# JACK keeps at most 8 servers in its registry (/dev/shm/jack-shm-registry) and frees the slot
# of a server that was killed, rather than stopped, only when a server of the same name starts
# again. So the test servers take their names from this small fixed pool, as the device tests'
# own servers do (tests/platform/DeviceServices.cpp): a name is free when nobody holds its lock
# file and no server answers to it. The lock stays with this script and with the server, which
# inherits it, so that a server left running keeps its name.
jack_pool=(auralis-test-{0..5})

claim_jack_name() {
  local name
  for name in "${jack_pool[@]}"; do
    exec {jack_lock}>"/tmp/auralis-jack-$name.lock"
    if flock -n "$jack_lock" && ! timeout 5 jack_lsp -s "$name" >/dev/null 2>&1; then
      JACK_DEFAULT_SERVER=$name
      return 0
    fi
    exec {jack_lock}>&-
  done
  return 1
}

start_jack() {
  export JACK_NO_START_SERVER=1
  claim_jack_name || die "every JACK test server name (${jack_pool[*]}) is in use by another run"
  export JACK_DEFAULT_SERVER
  "$tools/jack-server.sh" "$JACK_DEFAULT_SERVER" >"$runtime/jack.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  for ((i = 0; i < 100; i++)); do
    timeout 5 jack_lsp >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if grep -qi 'too many servers already active' "$runtime/jack.log"; then
    die "JACK's registry of servers is full: servers that were killed keep their slots.
When no JACK server runs (pgrep -x jackd finds none), clear it with
  rm -f /dev/shm/jack-* /dev/shm/jack_sem.*"
  fi
  die "JACK did not start: $(cat "$runtime/jack.log")"
}

start_display
case "${AURALIS_AUDIO_SERVER:-pulseaudio}" in
  pulseaudio) start_pulse ;;
  pipewire) start_pipewire ;;
  *) die "AURALIS_AUDIO_SERVER is pulseaudio or pipewire, not $AURALIS_AUDIO_SERVER" ;;
esac
start_jack
export AURALIS_TEST_SERVICES=1

# In the background, so that a signal to this script stops everything at once.
"$@" &
command_pid=$!
status=0
wait "$command_pid" || status=$?
command_pid=""
exit "$status"
