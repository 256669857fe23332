#!/usr/bin/env bash
# Measures how the program meets a microphone that stops delivering and an audio server that
# restarts: the interface thread's largest gap during each, how long the real program takes to end
# after Quit while its microphone delivers nothing, and how soon capture and the built-in
# synthesiser are back once the server answers again. Runs the window tests that take these
# measurements, on the servers of tools/with-services.sh, and prints their figures. Arguments go
# to the test program, for example --gtest_repeat=5.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh

cmake --preset release >/dev/null
cmake --build --preset release --target app_device_tests auralis

tools/with-services.sh build/release/tests/app/app_device_tests \
  --gtest_filter='StalledMicrophone*:ServerLossFaultTest.MicrophoneAndSynthesiserComeBack*' "$@" |
  grep -E '^(largest interface-thread gap|program ended|microphone_back|synthesiser_back)|FAILED'
