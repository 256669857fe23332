#!/usr/bin/env bash
# Compares the CPU time per 1024-sample frame of Auralis's pitch detection with that of aubio's
# yinfft pitch tracker (aubiopitch -p yinfft -B 2048 -H 1024) on the same long recording of
# voices and instruments, the programs run in turns. Prints each run, then the medians and their
# ratios to aubio.
#
#   tools/compare-aubio.sh [RUNS]     (5 runs by default)
#
# Every process figure is the user and system CPU time of the whole process divided by the
# frames it analysed:
# - auralis-analyse: the program's whole live path, reading the file, building the detector
#   tables, capture, the detector, the readout and a printed line per frame;
# - detector_cpu: the detector alone, reading the file and building the tables, once with each
#   correlator kernel. It also reports the CPU of its detection loop alone, printed as "loop".
# aubio-tools is installed here when missing; it is no dependency of Auralis.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

tools/setup.sh
if ! command -v aubiopitch >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends aubio-tools
fi
cmake --preset release >/dev/null
cmake --build --preset release --target auralis-analyse detector_cpu >/dev/null
analyser=build/release/tools/analyse/auralis-analyse
detector=build/release/bench/input/detector_cpu

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 120 notes of 2.32 s from E2 to C6 and back, in turn a voice (sawtooth with vibrato, darkened), a
# plucked string, a clarinet-like square wave, a flute-like triangle with vibrato and a glide of
# a semitone; then soft pink noise over all of it. About 278 s, 12,000 frames.
segments=()
for ((i = 0; i < 120; i++)); do
  step=$((i % 80))
  ((step < 40)) || step=$((80 - step))
  note=$((-29 + step))  # semitones from A4: E2 up to C6
  segment="$work/segment$i.wav"
  case $((i % 5)) in
    0) sound=(synth 2.32 sine 5.5 vol 0.02 synth 2.32 sawtooth fmod "%$note" gain -6 lowpass 3000) ;;
    1) sound=(synth 2.32 pluck "%$note") ;;
    2) sound=(synth 2.32 square "%$note" gain -6 lowpass 4000) ;;
    3) sound=(synth 2.32 sine 4.5 vol 0.01 synth 2.32 triangle fmod "%$note") ;;
    4) sound=(synth 2.32 sawtooth "%$note:%$((note + 1))" gain -6 lowpass 2500) ;;
  esac
  sox -n -r 44100 -b 16 -c 1 "$segment" "${sound[@]}" fade 0.05 2.32 0.2 gain -n -$((6 + i % 4 * 6))
  segments+=("$segment")
done
sox "${segments[@]}" "$work/notes.wav"
sox -n -r 44100 -b 16 -c 1 "$work/noise.wav" synth "$(soxi -D "$work/notes.wav")" pinknoise gain -n -40
sox -m "$work/notes.wav" "$work/noise.wav" "$work/recording.wav"
recording="$work/recording.wav"

# Frames each program analyses: the analyser prints two comment lines and then one per frame;
# aubiopitch one line per hop.
analyser_frames=$("$analyser" "$recording" | grep -vc '^#')
aubio_frames=$(aubiopitch -p yinfft -B 2048 -H 1024 "$recording" | wc -l)
kernels=(avx2fma portable)
grep -qw fma /proc/cpuinfo && grep -qw avx2 /proc/cpuinfo || kernels=(portable)

# Microseconds of user plus system CPU per frame for one run of a command, its output kept in
# $work/out.
per_frame() {
  local frames=$1 TIMEFORMAT='%U %S'
  shift
  { time "$@" >"$work/out" 2>/dev/null; } 2>&1 | awk -v n="$frames" '{printf "%.2f", ($1 + $2) / n * 1e6}'
}

median() {
  sort -g | awk '{v[NR] = $1} END {printf "%.2f", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

echo "recording: $(soxi -D "$recording") s; frames: auralis-analyse $analyser_frames, aubiopitch $aubio_frames"
declare -A runs
for ((run = 1; run <= runs; run++)); do
  line="run $run:"
  figure=$(per_frame "$analyser_frames" "$analyser" "$recording")
  runs[analyse]+="$figure "
  line+=" auralis-analyse $figure"
  for kernel in "${kernels[@]}"; do
    figure=$(per_frame "$analyser_frames" "$detector" --kernel "$kernel" "$recording")
    loop=$(awk '{print $6}' "$work/out")
    runs[$kernel]+="$figure "
    runs[$kernel-loop]+="$loop "
    line+=", detector $kernel $figure (loop $loop)"
  done
  figure=$(per_frame "$aubio_frames" aubiopitch -p yinfft -B 2048 -H 1024 "$recording")
  runs[aubio]+="$figure "
  echo "$line, aubiopitch yinfft $figure us/frame"
done

aubio=$(tr ' ' '\n' <<<"${runs[aubio]}" | grep . | median)
report() {
  local value
  value=$(tr ' ' '\n' <<<"${runs[$2]}" | grep . | median)
  awk -v name="$1" -v a="$value" -v b="$aubio" 'BEGIN {printf "  %-44s %8.2f us  %5.2f x aubio\n", name, a, a / b}'
}
echo "median CPU per frame:"
report "auralis-analyse, whole process" analyse
for kernel in "${kernels[@]}"; do
  report "detector_cpu --kernel $kernel, whole process" "$kernel"
  report "detector_cpu --kernel $kernel, loop only" "$kernel-loop"
done
printf '  %-44s %8.2f us\n' "aubiopitch -p yinfft, whole process" "$aubio"
