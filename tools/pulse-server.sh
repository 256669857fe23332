#!/usr/bin/env bash
# Runs a private PulseAudio server in the foreground, with all its state under FOLDER:
#   FOLDER/native    the socket (PULSE_SERVER=unix:FOLDER/native)
#   FOLDER/mic.fifo  a virtual microphone: raw s16le mono 44100 Hz written here is captured
#   auralis_sink     the default output, a null sink; its monitor is auralis_sink.monitor
# The process becomes the server itself, so its PID is the server's.
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

cat >"$folder/server.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$folder/native
load-module module-null-sink sink_name=auralis_sink format=s16le rate=44100 channels=1
load-module module-pipe-source source_name=auralis_mic file=$folder/mic.fifo format=s16le rate=44100 channels=1
set-default-sink auralis_sink
set-default-source auralis_mic
EOF

export PULSE_RUNTIME_PATH="$folder/runtime"
export PULSE_STATE_PATH="$folder/state"
export PULSE_CONFIG_PATH="$folder/config"
export PULSE_COOKIE="$folder/cookie"
export HOME="$folder/home"
# Without a display and a session bus the server neither loads X11 modules nor starts a bus.
unset DISPLAY DBUS_SESSION_BUS_ADDRESS
exec pulseaudio -n -F "$folder/server.pa" --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no --log-target=stderr --log-level=error
