#!/usr/bin/env bash
# The program's memory at start with a JACK server running and without one: resident memory
# (VmRSS) and its peak since start (VmHWM), in MiB. A JACK client locks its server's shared
# memory (about 100 MB under jackd -d dummy) into its process, so listing the MIDI ports on JACK
# shows in the peak unless the program keeps clear of it. Every run starts the program afresh
# under tools/with-services.sh, feeds silence into its microphone, waits until it records and has
# settled, and reads /proc/PID/status; "without JACK" points the program at a server name that
# does not exist. Prints each run with the machine's load, then the medians.
#
#   tools/measure-jack-memory.sh [RUNS]          (5 runs by default)
#   AURALIS_PROGRAM=path tools/measure-jack-memory.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
settle_seconds=5

die() {
  echo "measure-jack-memory: $*" >&2
  exit 1
}

status_mib() {
  awk -v key="$2:" '$1 == key { printf "%.1f", $2 / 1024 }' "/proc/$1/status"
}

# Runs under tools/with-services.sh: one start, one line "VmRSS VmHWM".
measure_one() {
  local work
  work=$(mktemp -d)
  # Silence at the pace of real time, in 1024-sample blocks, as a sound card delivers it.
  (exec 3>"$AURALIS_TEST_MIC_FIFO"
    while :; do
      head -c 2048 /dev/zero >&3
      sleep 0.023
    done) &
  local feeder=$!
  (cd "$work" && exec "$@") >"$work/log" 2>&1 &
  local pid=$!
  trap 'kill "$pid" "$feeder" 2>/dev/null || true; rm -rf "$work"' EXIT
  local waited=0
  until [ -n "$(pactl list short source-outputs 2>/dev/null)" ]; do
    kill -0 "$pid" 2>/dev/null || die "the program ended: $(cat "$work/log")"
    ((waited++ < 300)) || die "the program did not start recording within 30 s"
    sleep 0.1
  done
  sleep "$settle_seconds"
  echo "$(status_mib "$pid" VmRSS) $(status_mib "$pid" VmHWM)"
  kill "$pid" "$feeder" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  trap - EXIT
  rm -rf "$work"
}

if [ "${1:-}" = "--one" ]; then
  shift
  measure_one "$@"
  exit 0
fi

runs=${1:-5}
program=${AURALIS_PROGRAM:-}
if [ -z "$program" ]; then
  (cd "$root" && cmake --preset release >/dev/null &&
    cmake --build --preset release --target auralis >/dev/null)
  program=$root/build/release/app/auralis
fi
[ -x "$program" ] || die "no program at $program"

median() {
  sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "VmRSS and VmHWM in MiB, $runs starts each, interleaved:"
with_jack=()
without_jack=()
for ((run = 1; run <= runs; run++)); do
  line=$("$root/tools/with-services.sh" "$0" --one "$program")
  echo "  with JACK    run $run: $line   ($(uptime | sed 's/.*load/load/'))"
  with_jack+=("$line")
  line=$("$root/tools/with-services.sh" env JACK_DEFAULT_SERVER=auralis-no-such-server "$0" --one "$program")
  echo "  without JACK run $run: $line   ($(uptime | sed 's/.*load/load/'))"
  without_jack+=("$line")
done
for kind in with without; do
  if [ "$kind" = with ]; then lines=("${with_jack[@]}"); else lines=("${without_jack[@]}"); fi
  rss=$(printf '%s\n' "${lines[@]}" | awk '{ print $1 }' | median)
  hwm=$(printf '%s\n' "${lines[@]}" | awk '{ print $2 }' | median)
  printf 'median %-7s JACK: VmRSS %s MiB, VmHWM %s MiB\n' "$kind" "$rss" "$hwm"
done
