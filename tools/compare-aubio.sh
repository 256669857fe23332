#!/usr/bin/env bash
# Compares the CPU time per 1024-sample frame of auralis-analyse with that of aubio's yinfft pitch
# tracker (aubiopitch -p yinfft -B 2048 -H 1024) on the same long recording of voices and
# instruments, the two run in turns. Prints the median of each and their ratio.
#
#   tools/compare-aubio.sh [RUNS]     (5 runs by default)
#
# Each figure is the user and system CPU time of the whole process divided by the frames it
# analysed. For auralis-analyse that is the program's whole live path: reading the file, building
# the detector tables, capture, the detector, the readout and printing a line per frame. aubio-tools
# is installed here when missing; it is no dependency of Auralis.
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
cmake --build --preset release --target auralis-analyse >/dev/null
analyser=build/release/tools/analyse/auralis-analyse

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

# User plus system CPU seconds of one run of a command, its output discarded.
cpu_seconds() {
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{print $1 + $2}'
}

median() {
  sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

echo "recording: $(soxi -D "$recording") s; frames: auralis-analyse $analyser_frames, aubiopitch $aubio_frames"
analyser_runs=()
aubio_runs=()
for ((run = 1; run <= runs; run++)); do
  a=$(cpu_seconds "$analyser" "$recording")
  b=$(cpu_seconds aubiopitch -p yinfft -B 2048 -H 1024 "$recording")
  analyser_runs+=("$(awk -v s="$a" -v n="$analyser_frames" 'BEGIN {printf "%.2f", s / n * 1e6}')")
  aubio_runs+=("$(awk -v s="$b" -v n="$aubio_frames" 'BEGIN {printf "%.2f", s / n * 1e6}')")
  echo "run $run: auralis-analyse ${analyser_runs[-1]} us/frame, aubiopitch yinfft ${aubio_runs[-1]} us/frame"
done
ours=$(printf '%s\n' "${analyser_runs[@]}" | median)
theirs=$(printf '%s\n' "${aubio_runs[@]}" | median)
echo "median CPU per frame: auralis-analyse $ours us, aubiopitch yinfft $theirs us"
awk -v a="$ours" -v b="$theirs" 'BEGIN {printf "ratio auralis-analyse / aubiopitch: %.2f\n", a / b}'
