#!/usr/bin/env bash
# Runs a private PulseAudio server in the foreground, with all its state under FOLDER:
#   FOLDER/native    the socket (PULSE_SERVER=unix:FOLDER/native)
#   FOLDER/mic.fifo  a virtual microphone: raw s16le mono 44100 Hz written here is captured
#   auralis_sink     the default output, a null sink; its monitor is auralis_sink.monitor
# The process becomes the server itself, so its PID is the server's. It logs errors only, unless
# AURALIS_PULSE_LOG_LEVEL says otherwise (debug shows each stream's latency, underruns and rewinds).
set -euo pipefail

[ $# -eq 1 ] || {
  echo "usage: $0 FOLDER" >&2
  exit 2
}
folder=$(realpath -m "$1")
mkdir -p "$folder/runtime" "$folder/state" "$folder/config" "$folder/home"
chmod 700 "$folder" "$folder/runtime"

# A server that was killed leaves its FIFO behind; the module makes a new one.
rm -f "$folder/mic.fifo"

# The socket opens last, as a desktop server's does: whoever connects as soon as it can, such as
# a test that starts once the server answers, finds the devices and the defaults in place. A
# server without a default device is passed over for ALSA, whose default reaches the same server
# through a plugin that never tells of the server's loss.
cat >"$folder/server.pa" <<EOF
load-module module-null-sink sink_name=auralis_sink format=s16le rate=44100 channels=1
load-module module-pipe-source source_name=auralis_mic file=$folder/mic.fifo format=s16le rate=44100 channels=1
set-default-sink auralis_sink
set-default-source auralis_mic
load-module module-native-protocol-unix auth-anonymous=1 socket=$folder/native
EOF

export PULSE_RUNTIME_PATH="$folder/runtime"
export PULSE_STATE_PATH="$folder/state"
export PULSE_CONFIG_PATH="$folder/config"
export PULSE_COOKIE="$folder/cookie"
export HOME="$folder/home"
# Without a display and a session bus the server neither loads X11 modules nor starts a bus. The
# bus is also found at XDG_RUNTIME_DIR/bus, where PipeWire's test services keep theirs: the
# server gets a runtime folder of its own, so that it never meets the desktop's servers there.
unset DISPLAY DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR="$folder/runtime"
exec pulseaudio -n -F "$folder/server.pa" --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no --log-target=stderr --log-level=${AURALIS_PULSE_LOG_LEVEL:-error}
