#!/usr/bin/env bash
# Runs the About box of both plug-in files in the reference host under Wine with
# a Japanese locale: the 32-bit file in the 32-bit host (Wine 10), the 64-bit file
# in the 64-bit host (Wine 8), at the same time on displays of their own. The
# host reads the message box through its window and traces caption and text
# (line feeds shown as spaces); they must be strings 16001 and 16000 of the
# plug-in, character for character, the box must be closed with OK, and About
# must leave the result and the data slot alone. Both files must show the same
# box: the same strings, read back the same.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source tests/stages/lib/bothfiles.sh
for bits in 32 64; do
  for f in build/win$bits/Tintara.8bf build/win$bits/tintara-host.exe; do
    [ -f "$f" ] || { echo "missing $f: run scripts/build first"; exit 1; }
  done
done

export WINEPREFIX=$root/build/win64/wineprefix-about WINEDEBUG=-all
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
mkdir -p build/stages
work=$(mktemp -d "$root/build/stages/about.XXXXXX")
cleanup() {
  both_stop
  rm -rf "$work"
}
trap cleanup EXIT
both_displays "$work"

BOTH_TIMEOUT=120
declare -A pid=()
for bits in 32 64; do
  both_wine $bits "build/win$bits/tintara-host.exe" "$root/build/win$bits/Tintara.8bf" --about \
    --no-parameters --sample 8x8 --quiet --trace "$work/trace-$bits.txt" >"$work/out-$bits" 2>&1 &
  pid[$bits]=$!
done
failed=0
for bits in 32 64; do
  wait "${pid[$bits]}" || {
    echo "tintara-host ($bits-bit) failed:"
    cat "$work/out-$bits"
    failed=1
  }
done
[ "$failed" = 0 ] || exit 1

/usr/bin/python3 - build/win32/Tintara.8bf "$work/trace-32.txt" build/win64/Tintara.8bf \
  "$work/trace-64.txt" <<'PY'
import sys
import re
sys.path.insert(0, "tests/artifacts")
from resparse import open_pe, strings as string_table


def about_box(plugin, trace_file):
    """What the host traced for About, and what the plug-in's strings say it must be."""
    strings = string_table(open_pe(open(plugin, "rb").read()))
    trace = open(trace_file, encoding="utf-8").read().splitlines()
    about = trace[trace.index("call About") + 1 : trace.index("call About") + 4] if "call About" in trace else []
    # Timings that the host appends (after=..., ms=...) are not part of what is checked.
    about = [re.sub(r" (after|ms)=[0-9.]+(ms)?$", "", line) for line in about]
    text = strings.get(16000, "").replace("\n", " ")
    want = [
        'messageBox caption="%s" text="%s"' % (strings.get(16001), text),
        "messageBox closed with button 1",
        "result About untouched",
    ]
    return about, want, (strings.get(16000), strings.get(16001))


seen = {}
failed = False
for bits, plugin, trace in ((32, sys.argv[1], sys.argv[2]), (64, sys.argv[3], sys.argv[4])):
    about, want, texts = about_box(plugin, trace)
    seen[bits] = about, texts
    if about != want:
        print("About of the %d-bit file traced:\n  " % bits + "\n  ".join(about or ["nothing"]))
        print("expected:\n  " + "\n  ".join(want))
        failed = True
    else:
        print("About box (%d-bit): %s" % (bits, about[0]))
if seen[32][1] != seen[64][1]:
    print("the two files carry different About strings: %r and %r" % (seen[32][1], seen[64][1]))
    failed = True
if seen[32][0] != seen[64][0]:
    print("the two files' About boxes read back differently")
    failed = True
sys.exit(1 if failed else 0)
PY
