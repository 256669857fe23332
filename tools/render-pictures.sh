#!/usr/bin/env bash
# Renders every picture that is committed beside its source, in one command:
#
#   tools/render-pictures.sh            the icons, then the screenshots of docs/ and the manual
#   tools/render-pictures.sh --icons    only the tool bar pictures and the program icon
#   tools/render-pictures.sh --check SCREENSHOT_FOLDER
#                                       only checks docs/ against the screenshot tests' pictures
#
# The tool bar pictures and the icon come from their SVG sources (rsvg-convert, Debian package
# librsvg2-bin). The screenshots come from the real window: the screenshot tests draw it on a
# private X display (xvfb-run, package xvfb) and save each picture; the ones named
# screenshot-*.png are the pictures of docs/, README.md and the manual, and are copied there.
# Look at the results before committing them.
#
# The check fails when docs/, README.md or the manual show a screenshot that the tests do not
# make, when the tests make one that is not committed or not shown anywhere, or when a committed
# one differs in size from the window the tests drew: each means the pictures fell behind the
# window. It compares no pixels, as fonts and themes vary between machines.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"

die() {
  echo "render-pictures: $*" >&2
  exit 1
}

check() {
  local made="$1"
  python3 - "$root" "$made" <<'EOF'
import glob
import html.parser
import os
import re
import subprocess
import sys

root, made = sys.argv[1], sys.argv[2]
docs = os.path.join(root, "docs")
problems = []


class Images(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.sources = []

    def handle_starttag(self, tag, attrs):
        if tag == "img":
            self.sources.append(dict(attrs).get("src") or "")


# Every picture a page or a Markdown file shows, as a path, with the file that shows it.
shown = {}
for page in sorted(glob.glob(os.path.join(docs, "manual", "*.html"))):
    parser = Images()
    with open(page, encoding="utf-8") as f:
        parser.feed(f.read())
    for source in parser.sources:
        shown.setdefault(os.path.normpath(os.path.join(os.path.dirname(page), source)), page)
for text in [os.path.join(root, "README.md")] + sorted(glob.glob(os.path.join(docs, "*.md"))):
    with open(text, encoding="utf-8") as f:
        for source in re.findall(r"!\[[^\]]*\]\(([^)\s]+)", f.read()):
            shown.setdefault(os.path.normpath(os.path.join(os.path.dirname(text), source)), text)


def size(path):
    return subprocess.run(["identify", "-format", "%wx%h", path], check=True,
                          capture_output=True, text=True).stdout


committed = {os.path.basename(p) for p in glob.glob(os.path.join(docs, "screenshot-*.png"))}
drawn = {os.path.basename(p) for p in glob.glob(os.path.join(made, "screenshot-*.png"))}
shown_names = set()
for path, by in sorted(shown.items()):
    where = os.path.relpath(by, root)
    if not os.path.isfile(path):
        problems.append(f"{where} shows {os.path.relpath(path, root)}, which does not exist")
        continue
    if os.path.dirname(path) != docs or not os.path.basename(path).startswith("screenshot-"):
        continue
    shown_names.add(os.path.basename(path))
for name in sorted(committed | shown_names):
    if name not in drawn:
        problems.append(f"docs/{name} is not made by the screenshot tests")
for name in sorted(drawn):
    if name not in committed:
        problems.append(f"the screenshot tests make {name}, which is not in docs/")
    elif size(os.path.join(docs, name)) != size(os.path.join(made, name)):
        problems.append(f"docs/{name} is {size(os.path.join(docs, name))}, the window now "
                        f"{size(os.path.join(made, name))}")
    if name not in shown_names:
        problems.append(f"the screenshot tests make {name}, which nothing shows")

for problem in problems:
    print(f"render-pictures: {problem}", file=sys.stderr)
if problems:
    print("render-pictures: run tools/render-pictures.sh and look at the pictures", file=sys.stderr)
    sys.exit(1)
print(f"render-pictures: the {len(drawn)} screenshots of docs/ are the window's own")
EOF
}

render_icons() {
  local pictures="$root/resources/pictures"
  command -v rsvg-convert >/dev/null || die "rsvg-convert not found (apt-get install librsvg2-bin)"
  # In tool bar order: Identify, Unlock, Mimic, Sing, Meditate, Practice Singing, Help, Statistics.
  for name in identify unlock mimic sing meditate practice help statistics; do
    rsvg-convert -w 64 -h 64 "$pictures/src/$name.svg" -o "$pictures/$name.png"
    # The same drawing under the mouse: see src/hot.css.
    rsvg-convert -w 64 -h 64 -s "$pictures/src/hot.css" "$pictures/src/$name.svg" \
      -o "$pictures/$name-hot.png"
  done
  for size in 256 128 64 48; do
    rsvg-convert -w "$size" -h "$size" "$pictures/auralis.svg" -o "$pictures/auralis-$size.png"
  done
  echo "render-pictures: rendered the tool bar pictures and the icon"
}

render_screenshots() {
  command -v xvfb-run >/dev/null || die "xvfb-run not found (apt-get install xvfb)"
  local build="$root/build/release"
  local made="$build/tests/app/screenshots"
  cd "$root"
  [ -f "$build/CMakeCache.txt" ] || cmake --preset release >/dev/null
  # The window shows the pictures just rendered: they are built into the program.
  cmake --build "$build" --target app_screenshot_tests >/dev/null
  rm -rf "$made"
  local runtime
  runtime="$(mktemp -d /tmp/auralis-pictures.XXXXXX)"
  chmod 700 "$runtime"
  # The same screen as the tests' services give.
  XDG_RUNTIME_DIR="$runtime" xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    "$build/tests/app/app_screenshot_tests" >"$runtime/tests.log" 2>&1 ||
    die "the screenshot tests failed: $(tail -n 30 "$runtime/tests.log")"
  rm -rf "$runtime"
  compgen -G "$made/screenshot-*.png" >/dev/null || die "the screenshot tests made no picture"
  for old in "$root"/docs/screenshot-*.png; do
    [ -e "$made/$(basename "$old")" ] || { rm -f "$old" && echo "removed ${old#"$root"/}"; }
  done
  for picture in "$made"/screenshot-*.png; do
    cp "$picture" "$root/docs/"
    echo "docs/$(basename "$picture")"
  done
  check "$made"
}

case "${1:-}" in
  --check)
    [ $# -eq 2 ] || die "usage: tools/render-pictures.sh --check SCREENSHOT_FOLDER"
    # Without a display the screenshot tests skip, and make nothing to compare.
    if [ -z "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
      echo "render-pictures: no X display, so no screenshots to check against" >&2
      exit 77
    fi
    check "$2"
    ;;
  --icons) render_icons ;;
  "")
    # The committed icons serve when their sources cannot be rendered here.
    if command -v rsvg-convert >/dev/null; then
      render_icons
    else
      echo "render-pictures: rsvg-convert not found: the icons are left as committed" >&2
    fi
    render_screenshots
    ;;
  *) die "usage: tools/render-pictures.sh [--icons | --check SCREENSHOT_FOLDER]" ;;
esac
