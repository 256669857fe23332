#!/usr/bin/env bash
# Installs the Debian packages Auralis needs to build, run and test, when any is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev pkg-config
  qt6-base-dev libqt6sql6-sqlite qt6-qpa-plugins libgl-dev fonts-liberation fonts-dejavu-core librtaudio-dev librtmidi-dev libfluidsynth-dev timgm6mb-soundfont
  # The font configuration is read beside the start of the window (app/main.cpp).
  libfontconfig-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth pulseaudio pulseaudio-utils jackd2 sox
  # The device tests run on PipeWire too, with its PulseAudio server and session manager.
  pipewire pipewire-pulse wireplumber dbus-daemon libpulse-dev
  # The package and its checks: cpack's dependency scan, the metadata validators, the installed
  # window driven from outside, the manual rendered in a real browser.
  dpkg-dev appstream desktop-file-utils groff-base xdotool imagemagick python3 chromium
  # Renders the tool bar pictures from their drawings (tools/render-pictures.sh).
  librsvg2-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
# jackd2 asks about realtime priority unless told not to.
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
