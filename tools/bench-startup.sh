#!/usr/bin/env bash
# Times Auralis from launch until its main window is mapped, on a private X display and audio
# server (tools/with-services.sh), several runs in fresh settings folders, and prints the median.
# When lingot is installed it runs in turn with Auralis, as the peer to compare with. The first
# argument is the number of runs of each (15 if not given).
#
#   tools/bench-startup.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
runs=${1:-15}

cmake --preset release >/dev/null
cmake --build --preset release --target auralis

programs=("auralis=Auralis=$PWD/build/release/app/auralis")
if command -v lingot >/dev/null; then
  programs+=("lingot==lingot")
else
  echo "(lingot is not installed: Auralis alone)"
fi

# The microphone gets silence in real time, as a real one delivers, so that no start waits on it.
tools/with-services.sh bash -c '
  (while head -c 8820 /dev/zero; do sleep 0.1; done) >"$AURALIS_TEST_MIC_FIFO" 2>/dev/null &
  feeder=$!
  trap "kill $feeder 2>/dev/null || true" EXIT
  python3 tools/startup-time.py "$@"' startup "$runs" "${programs[@]}"
