#!/usr/bin/env bash
# Times Auralis from launch until its main window is mapped, on a private X display and audio
# server (tools/with-services.sh), several runs in fresh settings folders. A bare Qt 6 main window
# (bench/app/BareWindow.cpp), the same window with Auralis's menus, tool bar, lines and status bar
# and nothing behind them (bench/app/FurnishedWindow.cpp) and, when installed, lingot run in the
# same runs, the programs taking turns, so that each is measured on the same machine load. Prints
# every program's median, fastest and slowest run, Auralis's and the furnished window's times
# over the bare window's and Auralis's over the furnished window's, and the load meanwhile. The
# first argument is the number of runs of each (15 if not given).
#
#   tools/bench-startup.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
runs=${1:-15}

cmake --preset release >/dev/null
cmake --build --preset release --target auralis bare_window furnished_window

programs=("auralis=Auralis=$PWD/build/release/app/auralis"
  "bare-qt=Bare Qt window=$PWD/build/release/bench/app/bare_window"
  "furnished=Furnished Qt window=$PWD/build/release/bench/app/furnished_window")
if command -v lingot >/dev/null; then
  programs+=("lingot==lingot")
else
  echo "(lingot is not installed: no peer beside)"
fi

# What the dynamic linker does before main, which no load on the machine changes: the libraries
# loaded and the relocations bound. The program is stopped at once after main by a display that
# does not exist.
relocations="$(DISPLAY=:nonexistent LD_DEBUG=statistics build/release/app/auralis 2>&1 >/dev/null |
  awk '/ number of relocations:/ { print $NF; exit }')" || true
echo "Auralis loads $(ldd build/release/app/auralis | wc -l) shared libraries at start," \
  "${relocations:-?} relocations before main"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
# The microphone gets silence as a sound card delivers it, so that no start waits on it.
tools/with-services.sh bash -c '
  tools/feed-silence.py "$AURALIS_TEST_MIC_FIFO" &
  feeder=$!
  trap "kill $feeder 2>/dev/null || true" EXIT
  python3 tools/startup-time.py --ratio auralis/bare-qt --ratio furnished/bare-qt \
    --ratio auralis/furnished "$@"' startup "$runs" "${programs[@]}"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
