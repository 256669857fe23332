#!/usr/bin/env bash
# Runs ctest with the services the tests need: tools/run-ctest.sh PRESET [CTEST ARGS...].
#
# The device tests time real sound and MIDI through servers that share the machine's two cores
# with everything else, and now and then one misses its moment. A device test that failed or timed
# out is run once more, alone, on fresh services; the run fails if it fails again. Every test
# that needed the second run is named at the end, so a flaky test never passes unseen. Anything
# else fails the run at once: another test's failure, a crash, or a sanitizer's report.
set -euo pipefail
cd "$(dirname "$0")/.."

preset=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT

if tools/with-services.sh ctest --preset "$preset" "$@" 2>&1 | tee "$log"; then
  exit 0
fi

# ctest's own lines for a failure: "N/M Test #N: NAME ....***Failed  1.2 sec".
mapfile -t failures < <(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*' "$log" || true)
[ ${#failures[@]} -gt 0 ] || exit 1
mapfile -t device < <(ctest --preset "$preset" -N -L device |
  sed -nE 's/^ *Test +#[0-9]+: (.*)$/\1/p')

retry=()
for line in "${failures[@]}"; do
  name=$(sed -E 's/^.*Test +#[0-9]+: ([^ ]+) .*$/\1/' <<<"$line")
  if ! grep -qE '\*\*\*(Failed|Timeout)' <<<"$line" ||
    ! printf '%s\n' "${device[@]}" | grep -qxF "$name"; then
    echo "run-ctest: $name is not a device test that missed its time; no second run" >&2
    exit 1
  fi
  retry+=("$name")
done
if grep -qE 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$log"; then
  echo "run-ctest: a sanitizer reported; no second run" >&2
  exit 1
fi

pattern=$(printf '^%s$|' "${retry[@]}")
echo "== second run of ${#retry[@]} device test(s) ($preset)"
tools/with-services.sh ctest --preset "$preset" -R "${pattern%|}"
echo "run-ctest: passed only on a second run ($preset):" >&2
printf '  %s\n' "${retry[@]}" >&2
