#!/usr/bin/env bash
# The question and feedback-sound latency benchmarks on a loaded machine: two busy loops per core
# at ordinary priority run beside them, as a build or a browser would. The "gaps" counter tells
# whether the output ran dry while sounds played.
#
#   tools/bench-latency-load.sh [BENCHMARK ARGUMENTS]
#   AURALIS_BENCH=path tools/bench-latency-load.sh   (otherwise the release build, built first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench=${AURALIS_BENCH:-}
if [ -z "$bench" ]; then
  (cd "$root" && cmake --preset release >/dev/null &&
    cmake --build --preset release --target app_bench >/dev/null)
  bench=$root/build/release/bench/app/app_bench
fi

loops=()
stop_loops() {
  for pid in "${loops[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${loops[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_loops EXIT
for ((i = 0; i < 2 * $(nproc); i++)); do
  (while :; do :; done) &
  loops+=($!)
done
uptime
"$root/tools/with-services.sh" "$bench" --benchmark_filter=ToHearing "$@"
uptime
