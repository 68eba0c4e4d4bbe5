#!/usr/bin/env bash
# Runs the 64-bit plug-in's About box under Wine with a Japanese locale and
# checks that the message box shows string 16000 as its text and string 16001
# as its caption, character for character, owned by the host window, with an
# OK button, and that About wrote neither the data slot nor the result.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
plugin=build/win64/Tintara.8bf
probe=build/win64/tests/about_probe.exe
for f in "$plugin" "$probe"; do
  [ -f "$f" ] || { echo "missing $f: run scripts/build first"; exit 1; }
done

export WINEPREFIX=$root/build/win64/wineprefix-about WINEDEBUG=-all
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private X display; Xvfb writes the number it picked once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start"; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb gave no display number"; exit 1; }
export DISPLAY=:$(cat "$work/display")

winpath="Z:$(realpath "$plugin" | tr / '\\')"
timeout 180 /usr/lib/wine/wine64 "$probe" "$winpath" >"$work/out" 2>"$work/err" || {
  echo "about_probe failed:"; cat "$work/out" "$work/err"; exit 1; }
tr -d '\r' <"$work/out" >"$work/probe.txt"

python3 - "$plugin" "$work/probe.txt" <<'PY'
import sys
sys.path.insert(0, "tests/inspector")
from pefile_lite import PeFile
from resparse import parse_string_block

pe = PeFile(open(sys.argv[1], "rb").read())
strings = {}
for rtype, name, _, data in pe.resources():
    if rtype == 6:
        strings.update(parse_string_block(name, data))
seen = dict(line.split(" ", 1) for line in open(sys.argv[2], encoding="ascii").read().splitlines() if " " in line)
def text(key):
    h = seen.get(key, "")
    return "".join(chr(int(h[i:i + 4], 16)) for i in range(0, len(h), 4))
checks = [
    ("caption", text("caption"), strings.get(16001)),
    ("text", text("text"), strings.get(16000)),
    ("owned by the host window", seen.get("owned-by-host"), "1"),
    ("buttons", seen.get("ok-button"), "1 cancel-button 0"),
    ("data slot and result untouched", seen.get("data"), "0 result 23130"),
]
bad = [(what, got, want) for what, got, want in checks if got != want]
for what, got, want in bad:
    print("About box %s: got %r, expected %r" % (what, got, want))
if not bad:
    print("About box: caption %r, text %r" % (text("caption"), text("text")))
sys.exit(1 if bad else 0)
PY
