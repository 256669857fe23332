#!/usr/bin/env bash
# Installs what is missing, builds the optimised benchmarks and runs every benchmark program; the
# ones that need the display, audio and MIDI servers run under tools/with-services.sh. Arguments
# go to every program, for example --benchmark_filter=Sung or --benchmark_repetitions=3.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh

cmake --preset release >/dev/null
cmake --build --preset release --target engine_bench input_bench platform_bench app_bench history_bench \
  display_bench

bench=build/release/bench
# input_bench holds the cost of keeping sung notes and coaching: BM_ReadoutAndHeldNotes against
# BM_ReadoutAlone, each with its share of a core.
for program in engine/engine_bench input/input_bench; do
  echo "== $program"
  "$bench/$program" "$@"
done
# One run at a time: the window benchmarks time a live stream and measure the process's CPU.
# history_bench opens the statistics window over 200,000 and 1,000,000 answers on the display
# (BM_OpenStatisticsWindow: the longest the interface thread is held, gap_ms; until the window is
# mapped and painted, mapped_ms; until every chart has drawn, drawn_ms). display_bench times a
# frame of the pitch graph with its repaint (BM_PitchGraphFrame) beside the floor of a widget of
# the same size that only fills itself (BM_FilledWidgetRepaint).
for program in platform/platform_bench app/app_bench app/history_bench display/display_bench; do
  echo "== $program"
  tools/with-services.sh "$bench/$program" "$@"
done
# The whole program from outside: launch until mapped beside a bare Qt window and lingot, and
# what listening costs the program and the audio server, each with the machine's load.
echo "== start-up"
tools/bench-startup.sh
echo "== listening"
tools/measure-idle.sh
# Question and feedback-sound latency on a loaded machine, and the peak memory with JACK.
echo "== latency beside busy loops"
AURALIS_BENCH="$bench/app/app_bench" tools/bench-latency-load.sh
echo "== memory at start with and without JACK"
tools/measure-jack-memory.sh
