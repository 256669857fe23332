#!/usr/bin/env bash
# Makes the Debian package from the release build and checks it as a user would meet it:
# its metadata pass their validators, it installs with apt-get, the installed program opens its
# window on a private display, its Help leads to the installed manual, it quits cleanly, and
# removing the package takes every file away again. Needs root or sudo, and the packages that
# tools/setup.sh installs.
#
#   tools/package-test.sh
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

die() {
  echo "package-test: $*" >&2
  exit 1
}

installed() {
  dpkg-query -W -f='${Status}' auralis 2>/dev/null | grep -q "install ok installed"
}

# Runs under tools/with-services.sh: starts the installed program in a folder of its own, with
# a stand-in for the desktop's document opener, and checks it from the outside.
check_window() {
  local work="$1"
  local opener="$work/bin"
  mkdir -p "$opener" "$work/run" "$work/data"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >>"%s/opened"\n' "$work" >"$opener/xdg-open"
  chmod +x "$opener/xdg-open"
  cd "$work/run"
  # A microphone that delivers nothing holds up the program's exit, and a real one always
  # delivers: the virtual microphone gets silence in real time, a tenth of a second at a time.
  (while head -c 8820 /dev/zero; do sleep 0.1; done) >"$AURALIS_TEST_MIC_FIFO" 2>/dev/null &
  feeder=$!
  XDG_DATA_HOME="$work/data" PATH="$opener:$PATH" /usr/bin/auralis >"$work/auralis.log" 2>&1 &
  pid=$!
  # Stops the program if a check below fails before it has quit.
  trap 'kill "$pid" "$feeder" 2>/dev/null || true' EXIT

  local window
  window="$(timeout 30 xdotool search --sync --onlyvisible --name '^Auralis' | head -n 1)" ||
    die "no window of /usr/bin/auralis appeared: $(cat "$work/auralis.log")"
  local title
  title="$(xdotool getwindowname "$window")"
  [ "$title" = "Auralis (1.0.0)" ] || die "window title \"$title\""

  # Sets X, Y, WIDTH, HEIGHT, SCREEN and WINDOW.
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window")"
  if [ "$WIDTH" -lt 775 ] || [ "$HEIGHT" -lt 355 ]; then die "window of ${WIDTH}x$HEIGHT"; fi
  # The window is painted when its picture holds the tool bar's many colours, not one grey.
  local colours=0
  for _ in $(seq 50); do
    import -window root "$work/screen.png"
    /usr/bin/convert "$work/screen.png" -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage "$work/window.png"
    colours="$(/usr/bin/convert "$work/window.png" -format '%k' info:)"
    [ "$colours" -ge 64 ] && break
    sleep 0.2
  done
  [ "$colours" -ge 64 ] || die "the window stays blank ($colours colours): $work/window.png"

  # The built-in synthesiser, the MIDI output of fresh settings, opens once the window is up and
  # loads its module from the installed place.
  for _ in $(seq 50); do
    grep -q " /usr/lib/auralis/auralis-synth.so$" "/proc/$pid/maps" && break
    sleep 0.2
  done
  grep -q " /usr/lib/auralis/auralis-synth.so$" "/proc/$pid/maps" ||
    die "the installed program did not load /usr/lib/auralis/auralis-synth.so"

  # The Help button is the fifth of six visible 84-pixel buttons with 20-pixel gaps (Statistics
  # follows it), which the tool bar centres in the window: its middle is 156 pixels right of the
  # window's.
  xdotool mousemove --window "$window" $((WIDTH / 2 + 156)) 60 click 1
  for _ in $(seq 50); do
    [ -s "$work/opened" ] && break
    sleep 0.2
  done
  [ -s "$work/opened" ] || die "Help opened nothing"
  grep -qx "file://$work/run/auralis.html" "$work/opened" || die "Help opened $(cat "$work/opened")"
  grep -q 'URL=file:///usr/share/doc/auralis/manual/index.html"' "$work/run/auralis.html" ||
    die "the help page does not lead to the installed manual: $(cat "$work/run/auralis.html")"
  if command -v chromium >/dev/null; then
    # A real browser follows the page to the manual.
    timeout -k 5 60 chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/browser" \
      --virtual-time-budget=3000 --dump-dom "file://$work/run/auralis.html" 2>/dev/null |
      grep -q "<title>Getting started – Auralis manual</title>" ||
      die "the browser did not reach the manual from auralis.html"
  fi

  # The window is gone before the key is released, which xdotool reports as an error.
  xdotool key --window "$window" ctrl+x 2>/dev/null || true
  for _ in $(seq 75); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$pid" 2>/dev/null && die "Ctrl+X did not end the program"
  wait "$pid" || die "the program ended with status $?: $(cat "$work/auralis.log")"
  kill "$feeder" 2>/dev/null || true
  trap - EXIT
  [ -s "$XDG_CONFIG_HOME/Auralis/Auralis.ini" ] || die "no settings were saved at exit"
  # The installed program finds the module that makes its audio and MIDI devices.
  ! grep -q "could not be loaded" "$work/auralis.log" || die "$(cat "$work/auralis.log")"
  # The answer history opens at start, through Qt's SQLite driver.
  head -c 15 "$work/data/Auralis/history.sqlite" 2>/dev/null | grep -q "SQLite format 3" ||
    die "no answer history was kept: $(cat "$work/auralis.log")"
}

if [ "${1:-}" = "--window" ]; then
  check_window "$2"
  exit 0
fi

echo "== package"
installed && die "auralis is installed already; remove it first (apt-get remove auralis)"
work="$(mktemp -d /tmp/auralis-package.XXXXXX)"
we_installed=0
cleanup() {
  if [ "$we_installed" -eq 1 ] && installed; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq auralis >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release --target auralis >/dev/null
(cd build/release && cpack -G DEB -B "$work/deb" >"$work/cpack.log" 2>&1) ||
  die "cpack failed: $(cat "$work/cpack.log")"
deb="$(ls "$work"/deb/auralis_*.deb)"
echo "built $(basename "$deb")"

version="$(dpkg-deb -f "$deb" Version)"
depends="$(dpkg-deb -f "$deb" Depends)"
# libqt6sql6 only recommends its SQLite driver; without it no answer is kept.
for needed in timgm6mb-soundfont qt6-qpa-plugins libqt6widgets6 librtaudio6 libfluidsynth3 \
  libqt6sql6 libqt6sql6-sqlite; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || die "Depends lacks $needed: $depends"
done
# No address of a site that does not exist.
[ -z "$(dpkg-deb -f "$deb" Homepage)" ] || die "Homepage: $(dpkg-deb -f "$deb" Homepage)"

# The metadata as the package holds them.
contents="$work/contents"
dpkg-deb -x "$deb" "$contents"
share="$contents/usr/share"
desktop-file-validate "$share/applications/auralis.desktop"
appstreamcli validate --no-net "$share/metainfo/org.auralis.Auralis.metainfo.xml"
! grep -n "example\.org" "$share/metainfo/org.auralis.Auralis.metainfo.xml" ||
  die "the metainfo points at a site that does not exist"
doc="$share/doc/auralis"
head -n 1 "$doc/copyright" |
  grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ||
  die "copyright is not in the machine-readable format"
# Every licence named in a Files paragraph has its own paragraph.
while read -r licence; do
  grep -qx "License: $licence" <(awk '/^Files:/ { files = 1 } /^$/ { files = 0 } !files' "$doc/copyright") ||
    die "copyright names the licence $licence without its text"
done < <(awk '/^Files:/ { files = 1 } /^$/ { files = 0 } files && /^License:/ { print $2 }' "$doc/copyright")
# Compressed as dpkg-dev does: gzip -9 with no file name and no time stamp.
gzip -t "$doc/changelog.gz" || die "changelog.gz is not gzip"
[ "$(od -An -tx1 -j3 -N6 "$doc/changelog.gz" | tr -d ' ')" = "000000000002" ] ||
  die "changelog.gz keeps a file name or a time stamp (gzip -9n)"
zcat "$doc/changelog.gz" >"$work/changelog"
changelog_version="$(dpkg-parsechangelog -l "$work/changelog" -S Version)" ||
  die "changelog.gz is not a Debian changelog"
[ "$changelog_version" = "$version" ] ||
  die "the changelog's newest version is $changelog_version, the package's $version"
man_warnings="$(groff -man -ww -z "$share/man/man1/auralis.1" 2>&1)"
[ -z "$man_warnings" ] || die "auralis.1: $man_warnings"
for size in 48 64 128 256; do
  icon="$share/icons/hicolor/${size}x$size/apps/auralis.png"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x$size" ] || die "$icon is not ${size}x$size"
done
[ -s "$share/icons/hicolor/scalable/apps/auralis.svg" ] || die "no scalable icon"
"$root/tools/check-manual.sh" --no-render "$share/doc/auralis/manual"
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || die "lintian found errors"
fi

echo "== install"
(cd "$work/deb" && $sudo env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq -o DPkg::Lock::Timeout=120 ./auralis_*.deb >"$work/apt.log" 2>&1) ||
  die "apt-get install failed: $(cat "$work/apt.log")"
we_installed=1
files="$(dpkg -L auralis)"
installed_depends="$(dpkg-query -W -f='${Depends}' auralis)"
[[ ", $installed_depends," == *", libqt6sql6-sqlite"[\ ,]* ]] ||
  die "the installed package does not depend on libqt6sql6-sqlite: $installed_depends"
for file in /usr/share/doc/auralis/copyright /usr/share/doc/auralis/changelog.gz \
  /usr/lib/auralis/auralis-synth.so; do
  grep -qx "$file" <<<"$files" && [ -s "$file" ] || die "$file is not installed"
done
# The built-in synthesiser's module, where the installed program looks for it from its own
# folder, with its entry point; the program itself starts without FluidSynth.
module="$(readlink -f /usr/bin/../lib/auralis/auralis-synth.so)"
nm -D --defined-only "$module" | grep -qw auralis_make_synth_voices ||
  die "$module lacks the synthesiser's entry point"
! readelf -d /usr/bin/auralis | grep -qi fluidsynth || die "/usr/bin/auralis links FluidSynth"
"$root/tools/with-services.sh" "$root/tools/package-test.sh" --window "$work/window"
mkdir -p build/release
cp "$work/window/window.png" build/release/package-test-window.png
echo "the installed program opened, led to its manual and quit; its window: build/release/package-test-window.png"

echo "== remove"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=120 \
  auralis >"$work/apt.log" 2>&1 || die "apt-get remove failed: $(cat "$work/apt.log")"
installed && die "auralis is still installed"
[ ! -e /usr/bin/auralis ] || die "/usr/bin/auralis is still there"
left=0
while IFS= read -r file; do
  if [ -e "$file" ] && [ ! -d "$file" ]; then
    echo "package-test: left behind: $file" >&2
    left=1
  fi
done <<<"$files"
[ "$left" -eq 0 ] || die "removing the package left files behind"
echo "removed; no file of the package is left"
