#!/usr/bin/env bash
# Runs the 64-bit plug-in's About box in the reference host under Wine with a
# Japanese locale. The host reads the message box through its window and
# traces caption and text (line feeds shown as spaces); they must be strings
# 16001 and 16000 of the plug-in, character for character, the box must be
# closed with OK, and About must leave the result and the data slot alone.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
plugin=build/win64/Tintara.8bf
host=build/win64/tintara-host.exe
for f in "$plugin" "$host"; do
  [ -f "$f" ] || { echo "missing $f: run scripts/build first"; exit 1; }
done

export WINEPREFIX=$root/build/win64/wineprefix-about WINEDEBUG=-all
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
# The host answers message boxes itself instead of waiting for a person.
export TINTARA_HOST_UNATTENDED=1
work=$(mktemp -d "$root/build/win64/about.XXXXXX")
xvfb_pid=
cleanup() {
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
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

windows() { echo "Z:$(realpath "$1" | tr / '\\')"; }
timeout --kill-after=10 120 /usr/lib/wine/wine64 "$host" "$(windows "$plugin")" --about --no-parameters \
  --sample 8x8 --quiet --trace "$(windows "$work")\\trace.txt" >"$work/out" 2>&1 || {
  echo "tintara-host failed:"; cat "$work/out"; exit 1; }

/usr/bin/python3 - "$plugin" "$work/trace.txt" <<'PY'
import sys
import re
sys.path.insert(0, "tests/artifacts")
from resparse import open_pe, strings as string_table

strings = string_table(open_pe(open(sys.argv[1], "rb").read()))
trace = open(sys.argv[2], encoding="utf-8").read().splitlines()
about = trace[trace.index("call About") + 1 : trace.index("call About") + 4] if "call About" in trace else []
# Timings that the host appends (after=..., ms=...) are not part of what is checked.
about = [re.sub(r" (after|ms)=[0-9.]+(ms)?$", "", line) for line in about]
text = strings.get(16000, "").replace("\n", " ")
want = [
    'messageBox caption="%s" text="%s"' % (strings.get(16001), text),
    "messageBox closed with button 1",
    "result About untouched",
]
if about != want:
    print("About in the host traced:\n  " + "\n  ".join(about or ["nothing"]))
    print("expected:\n  " + "\n  ".join(want))
    sys.exit(1)
print("About box: " + about[0])
PY
