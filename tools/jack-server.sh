#!/usr/bin/env bash
# Runs a JACK server on the dummy driver in the foreground under NAME, as the tests use it. The
# process becomes the server itself, so its PID is the server's. Stop it with SIGTERM: it then
# leaves JACK's registry of servers, which holds at most 8 and frees the slot of a killed server
# only when a server of the same name starts again.
set -euo pipefail

[ $# -eq 1 ] || {
  echo "usage: $0 NAME" >&2
  exit 2
}
# Real-time, as on a desktop: otherwise its clients' cycles queue behind every busy process on a
# loaded machine, and a client that misses a cycle loses the MIDI events of that cycle. Where
# real-time scheduling is not allowed the server says so once and runs without it.
exec jackd -n "$1" --realtime -t 5000 -d dummy -r 44100 -p 128
