#!/usr/bin/env bash
# Renders the tool bar pictures and the program icon from their SVG sources into the PNGs that
# are committed beside them. A developer tool: run it after editing a source, then look at the
# results and commit them. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail

pictures="$(cd "$(dirname "$0")/../resources/pictures" && pwd)"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert not found (apt-get install librsvg2-bin)" >&2; exit 1; }

# In tool bar order: Identify, Unlock, Mimic, Sing, Meditate, Practice Singing, Help, Statistics.
for name in identify unlock mimic sing meditate practice help statistics; do
  rsvg-convert -w 64 -h 64 "$pictures/src/$name.svg" -o "$pictures/$name.png"
  # The same drawing under the mouse: see src/hot.css.
  rsvg-convert -w 64 -h 64 -s "$pictures/src/hot.css" "$pictures/src/$name.svg" -o "$pictures/$name-hot.png"
done

for size in 256 128 64 48; do
  rsvg-convert -w "$size" -h "$size" "$pictures/auralis.svg" -o "$pictures/auralis-$size.png"
done
