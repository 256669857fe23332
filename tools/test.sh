#!/usr/bin/env bash
# Installs what is missing, builds twice (optimised, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds, with the display and sound
# servers the tests need (the device tests of the optimised build on PulseAudio and again on
# PipeWire), then runs each fuzz target for a few seconds. A device test that misses its time is
# run once more and named (tools/run-ctest.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh

echo "== format"
git ls-files -z '*.h' '*.cpp' | xargs -0 clang-format --dry-run --Werror

for preset in release asan; do
  echo "== build ($preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for preset in release asan; do
  echo "== test ($preset)"
  tools/run-ctest.sh "$preset"
  if [ "$preset" = release ]; then
    # The device tests once more on PipeWire, the sound server of most current desktops.
    echo "== device tests on PipeWire ($preset)"
    AURALIS_AUDIO_SERVER=pipewire tools/run-ctest.sh "$preset" -L device
  fi
done
tools/package-test.sh

echo "== fuzz"
tests/fuzz/run.sh
