#!/usr/bin/env bash
# Installs what is missing, builds the optimised program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release
if [ -x build/release/app/auralis ]; then
  exec build/release/app/auralis "$@"
fi
exec build/release/tools/driver/auralis-driver "$@"
