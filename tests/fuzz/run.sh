#!/usr/bin/env bash
# Builds the fuzz targets and runs each one for a bounded time from a small seed corpus. Fails
# when a fuzzer finds a crash; the input that caused it is kept in build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${AURALIS_FUZZ_SECONDS:-15}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_wav fuzz_detector

work=$(mktemp -d /tmp/auralis-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts" "$work/wav" "$work/detector"

# A four-sample WAV file, and a tenth of a second of a sawtooth (it has every harmonic, so the
# detector finds it) behind a control byte of 0.
printf 'RIFF\x2c\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x44\xac\x00\x00\x88\x58\x01\x00\x02\x00\x10\x00data\x08\x00\x00\x00\x01\x00\xff\xff\x00\x80\xff\x7f' \
  >"$work/wav/tiny.wav"
{
  printf '\x00'
  sox -n -r 44100 -b 16 -c 1 -e signed -L -t raw - synth 0.1 sawtooth 220
} >"$work/detector/sawtooth.raw"

declare -A max_len=([wav]=4096 [detector]=16384)
for target in wav detector; do
  echo "== fuzz ($target, ${seconds} s)"
  if ! "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="${max_len[$target]}" \
    -artifact_prefix="$artifacts/$target-" "$work/$target" >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log"
    exit 1
  fi
  grep -E '^Done [0-9]+ runs' "$work/$target.log" || tail -n 1 "$work/$target.log"
done
