#!/usr/bin/env bash
# What the program costs while it listens to silence in Practice Singing, measured from outside
# on the real program: private memory (RssAnon), resident memory (VmRSS), the peak of resident
# memory since start (VmHWM), the process's CPU and the CPU of the PulseAudio server it talks to,
# each as a share of one core. Every run starts the program afresh under tools/with-services.sh,
# feeds silence into the pipe-source microphone as a sound card does (1024 samples every 23.2 ms;
# MIC_BLOCK=2205 gives 50 ms blocks), waits until the program captures
# and has settled, and measures over SECONDS. Prints each run, then the medians; lingot, when
# installed, is measured the same way and printed beside, and so is a bare recorder (parec), the
# least any recording costs the server.
#
#   tools/measure-idle.sh [RUNS [SECONDS]]     (3 runs of 20 s by default)
#   AURALIS_PROGRAM=path tools/measure-idle.sh  (otherwise the release build, built first)
#   MIC_BLOCK=SAMPLES tools/measure-idle.sh     (the microphone's block, 1024 by default)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
settle_seconds=5

die() {
  echo "measure-idle: $*" >&2
  exit 1
}

# Silence into the FIFO as a sound card delivers it: a block of MIC_BLOCK samples (1024, 23.2 ms,
# unless told otherwise) at a time, each at its due time.
feed_silence() {
  exec "$root/tools/feed-silence.py" "$1" "${MIC_BLOCK:-1024}"
}

# CPU time of a process's threads, in nanoseconds, as the scheduler counts it: /proc/PID/stat gives
# it in 10 ms ticks, which over 20 s of a share near 1 % are a twentieth of the figure.
cpu_ns() {
  cat "/proc/$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d\n", sum }'
}

status_kib() {
  awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"
}

# The PulseAudio server of this run: the one whose script lies beside its socket.
pulse_server_pid() {
  local folder=${PULSE_SERVER#unix:}
  folder=${folder%/native}
  local proc
  for proc in /proc/[0-9]*; do
    # A process may end while the list is read.
    if { tr '\0' ' ' <"$proc/cmdline"; } 2>/dev/null | grep -q "^pulseaudio .*$folder/server.pa"; then
      echo "${proc#/proc/}"
      return 0
    fi
  done
  return 1
}

# The program records once the server lists a recording stream.
recording() {
  [ -n "$(pactl list short source-outputs 2>/dev/null)" ]
}

# Runs under tools/with-services.sh: one program, one measurement, one line of numbers.
measure_one() {
  local name=$1 seconds=$2
  shift 2
  local work
  work=$(mktemp -d)
  feed_silence "$AURALIS_TEST_MIC_FIFO" &
  local feeder=$!
  (cd "$work" && exec "$@") >"$work/log" 2>&1 &
  local pid=$!
  trap 'kill "$pid" "$feeder" 2>/dev/null || true; rm -rf "$work"' EXIT

  local waited=0
  until recording; do
    kill -0 "$pid" 2>/dev/null || die "$name ended: $(cat "$work/log")"
    ((waited++ < 300)) || die "$name did not start recording within 30 s"
    # Without a window manager the first window is not activated by itself.
    if ((waited == 50)); then
      local window
      window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1) || true
      [ -z "$window" ] || xdotool windowfocus "$window" 2>/dev/null || true
    fi
    sleep 0.1
  done
  sleep "$settle_seconds"

  local server
  server=$(pulse_server_pid) || die "the PulseAudio server is not found"
  local process_before server_before start
  process_before=$(cpu_ns "$pid")
  server_before=$(cpu_ns "$server")
  start=${EPOCHREALTIME/./}
  sleep "$seconds"
  local process_after server_after end
  process_after=$(cpu_ns "$pid")
  server_after=$(cpu_ns "$server")
  end=${EPOCHREALTIME/./}
  local rss_anon vm_rss vm_hwm
  rss_anon=$(status_kib "$pid" RssAnon)
  vm_rss=$(status_kib "$pid" VmRSS)
  vm_hwm=$(status_kib "$pid" VmHWM)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  kill "$feeder" 2>/dev/null || true
  trap - EXIT
  rm -rf "$work"
  awk -v anon="$rss_anon" -v rss="$vm_rss" -v hwm="$vm_hwm" \
    -v process=$((process_after - process_before)) -v server=$((server_after - server_before)) \
    -v wall=$((end - start)) 'BEGIN {
      printf "%.1f %.1f %.1f %.2f %.2f\n", anon / 1024, rss / 1024, hwm / 1024,
        100 * process / (wall * 1e3), 100 * server / (wall * 1e3)
    }'
}

if [ "${1:-}" = "--one" ]; then
  shift
  measure_one "$@"
  exit 0
fi

runs=${1:-3}
seconds=${2:-20}
program=${AURALIS_PROGRAM:-}
if [ -z "$program" ]; then
  (cd "$root" && tools/setup.sh && cmake --preset release >/dev/null &&
    cmake --build --preset release --target auralis >/dev/null)
  program=$root/build/release/app/auralis
fi
[ -x "$program" ] || die "no program at $program"

header="RssAnon MiB  VmRSS MiB  VmHWM MiB  process CPU %  PulseAudio CPU %"
# Runs one program RUNS times and prints each run and the median of every column.
measure_program() {
  local name=$1
  shift
  local results=()
  for ((run = 1; run <= runs; run++)); do
    local line
    line=$("$root/tools/with-services.sh" "$0" --one "$name" "$seconds" "$@")
    printf '%-8s run %d: %s   (load %s)\n' "$name" "$run" "$line" "$(cut -d' ' -f1 /proc/loadavg)" >&2
    results+=("$line")
  done
  printf '%s\n' "${results[@]}" | awk -v name="$name" '
    { for (c = 1; c <= NF; c++) column[c, NR] = $c; columns = NF }
    END {
      printf "%-8s", name
      for (c = 1; c <= columns; c++) {
        n = 0
        for (r = 1; r <= NR; r++) values[++n] = column[c, r]
        for (i = 2; i <= n; i++)
          for (j = i; j > 1 && values[j - 1] + 0 > values[j] + 0; j--) {
            t = values[j]; values[j] = values[j - 1]; values[j - 1] = t
          }
        median = n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
        printf " %11.2f", median
      }
      printf "\n"
    }'
}

echo "medians of $runs runs over $seconds s, idle and listening, silence in blocks of ${MIC_BLOCK:-1024} samples; load: $(cut -d" " -f1-3 /proc/loadavg)"
echo "         $header"
measure_program auralis "$program"
if command -v lingot >/dev/null; then
  measure_program lingot lingot
else
  echo "lingot is not installed; apt-get install lingot measures it beside"
fi
# The floor: PulseAudio's own recorder taking the same microphone in the same fragments, writing
# nothing. What the server spends for it, any program that records spends.
if command -v parec >/dev/null; then
  measure_program parec parec --channels=1 --latency=2048 --raw /dev/null
fi
