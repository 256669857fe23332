#!/usr/bin/env bash
# Checks the HTML manual: every link, picture and style sheet it uses is a local file that
# exists, every #anchor names an element of its page, every page can be reached from index.html,
# and nothing needs the network or JavaScript. Then renders each page with headless Chromium
# to a PNG, for a person to look at, and checks that none came out blank.
#
#   tools/check-manual.sh [--no-render] [MANUAL_FOLDER [PICTURE_FOLDER]]
#
# MANUAL_FOLDER defaults to docs/manual, PICTURE_FOLDER to a new temporary folder. Rendering
# needs chromium and ImageMagick's convert.
set -euo pipefail

render=1
if [ "${1:-}" = "--no-render" ]; then
  render=0
  shift
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
manual="$(cd "${1:-$root/docs/manual}" && pwd)"

python3 - "$manual" <<'EOF'
import html.parser
import os
import re
import sys
import urllib.parse

manual = sys.argv[1]
problems = []


class Page(html.parser.HTMLParser):
    def __init__(self, path):
        super().__init__(convert_charrefs=True)
        self.path = path
        self.ids = []
        self.references = []  # (tag, attribute, value)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        for name in ("id", "name") if tag == "a" else ("id",):
            if attrs.get(name):
                self.ids.append(attrs[name])
        if tag == "script":
            problems.append(f"{self.path}: <script>: the manual works without JavaScript")
        if tag == "img" and not attrs.get("alt"):
            problems.append(f"{self.path}: <img src={attrs.get('src')!r}> has no alt text")
        if "style" in attrs and "url(" in attrs["style"]:
            self.references.append((tag, "style", attrs["style"]))
        for attribute in ("href", "src"):
            if attribute in attrs:
                self.references.append((tag, attribute, attrs[attribute] or ""))


pages = {}


def page(path):
    if path not in pages:
        parser = Page(os.path.relpath(path, manual))
        with open(path, encoding="utf-8") as f:
            parser.feed(f.read())
        pages[path] = parser
        duplicates = {i for i in parser.ids if parser.ids.count(i) > 1}
        for i in sorted(duplicates):
            problems.append(f"{parser.path}: id {i!r} is given more than once")
    return pages[path]


def check_target(source, value, what):
    """A reference must be a relative path to a file that exists; returns the file or None."""
    parts = urllib.parse.urlsplit(value)
    if parts.scheme or parts.netloc:
        problems.append(f"{source}: {what} {value!r} leaves the manual (the manual is read offline)")
        return None, None
    folder = os.path.dirname(os.path.join(manual, source))
    target = os.path.normpath(os.path.join(folder, urllib.parse.unquote(parts.path))) if parts.path \
        else os.path.join(manual, source)
    if not os.path.isfile(target):
        problems.append(f"{source}: {what} {value!r}: no such file")
        return None, None
    return target, parts.fragment


html_files = sorted(f for f in os.listdir(manual) if f.endswith(".html"))
if "index.html" not in html_files:
    problems.append("index.html is missing")
reached = set()
for name in html_files:
    source = page(os.path.join(manual, name))
    for tag, attribute, value in source.references:
        if attribute == "style":
            for inner in re.findall(r"url\(\s*['\"]?([^'\")]+)", value):
                check_target(name, inner, "style url")
            continue
        target, fragment = check_target(name, value, f"<{tag} {attribute}>")
        if target is None:
            continue
        if target.endswith(".html"):
            reached.add(target)
            if fragment and fragment not in page(target).ids:
                problems.append(f"{name}: <{tag} {attribute}> {value!r}: no element with id {fragment!r}")
        elif target.endswith(".css"):
            with open(target, encoding="utf-8") as f:
                css = f.read()
            for inner in re.findall(r"(?:url\(\s*['\"]?|@import\s+['\"])([^'\")]+)", css):
                check_target(os.path.relpath(target, manual), inner, "style sheet reference")

for name in html_files:
    path = os.path.join(manual, name)
    if name != "index.html" and path not in reached:
        problems.append(f"{name}: no page links to it")

for problem in problems:
    print(f"check-manual: {problem}", file=sys.stderr)
if problems:
    sys.exit(1)
print(f"check-manual: {len(html_files)} pages, every link, anchor and picture found")
EOF

[ "$render" -eq 1 ] || exit 0

command -v chromium >/dev/null || { echo "check-manual: chromium not found (apt-get install chromium)" >&2; exit 1; }
[ -x /usr/bin/convert ] || { echo "check-manual: /usr/bin/convert not found (apt-get install imagemagick)" >&2; exit 1; }
pictures="${2:-$(mktemp -d /tmp/auralis-manual.XXXXXX)}"
mkdir -p "$pictures"
# Chromium wants a profile and a runtime folder of its own; both go with the pictures.
profile="$pictures/.profile"
mkdir -p "$profile"
chmod 700 "$profile"
failed=0
for page in "$manual"/*.html; do
  name="$(basename "$page" .html)"
  png="$pictures/$name.png"
  rm -f "$png"
  # It reports its missing desktop services (D-Bus) on stderr: noise here, kept in a log.
  XDG_RUNTIME_DIR="$profile" timeout -k 5 60 chromium --headless --no-sandbox --disable-gpu \
    --user-data-dir="$profile" --hide-scrollbars --screenshot="$png" --window-size=1024,768 \
    "file://$page" >"$pictures/$name.log" 2>&1 || true
  if [ ! -s "$png" ]; then
    echo "check-manual: $name.html was not rendered (see $pictures/$name.log)" >&2
    failed=1
    continue
  fi
  # A page that rendered as nothing has one or two colours; text, tables and pictures many.
  colours="$(/usr/bin/convert "$png" -format '%k' info:)"
  if [ "$colours" -lt 32 ]; then
    echo "check-manual: $name.html rendered blank ($colours colours): $png" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] || exit 1
echo "check-manual: every page rendered; pictures in $pictures"
