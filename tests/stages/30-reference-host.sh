#!/usr/bin/env bash
# The reference host under Wine, on both bitnesses: the 32-bit host with the
# 32-bit test plug-ins and Tintara file under Wine 10, the 64-bit host with the
# 64-bit ones under Wine 8, at the same time on displays of their own. One Wine
# process per bitness runs a batch of jobs: the test filter proves the host
# (selector sequence, strips with padding and clipping, sampling, write-back,
# abort, descriptor round trip, state, leak counting, the dialog automation,
# refusing files that are no filter plug-ins, the other bitness's file included),
# then Tintara loads and runs About, Parameters, Prepare, Start, Continue and
# Finish. Assertions read the summaries, traces and output files of each
# bitness; then both bitnesses' results, images, recorded descriptors, state
# files and traces must be the same job for job.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"
source tests/stages/lib/bothfiles.sh
for bits in 32 64; do
  B=build/win$bits
  [ -x $B/tintara-host.exe ] && [ -f $B/testplugin/TestFilter.8bf ] && [ -f $B/Tintara.8bf ] ||
    scripts/build win$bits >/dev/null || exit 1
done

work="$root/build/stage30"
rm -rf "$work"
mkdir -p "$work/32" "$work/64"
trap both_stop EXIT
both_displays "$work" || exit 1
failures=0
pass=0
tag=
check() { # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then
    pass=$((pass + 1))
  else
    echo "FAIL: [$tag] $what"
    failures=$((failures + 1))
  fi
}
has() { grep -aqF -- "$2" "$1"; }
hasre() { grep -aqE -- "$2" "$1"; }
summary() { grep -E "^tintara-host: $1 " "$W/stdout.txt"; }
field() { summary "$1" | sed -nE "s/.* $2=([^ ]+).*/\\1/p"; }
desc() { grep -F "'$2'" "$W/$1" | head -n1; }

# Writes the input files and the two batches of one bitness into $W. (This
# function's and host_checks' bodies stay at the margin for their here-documents.)
write_jobs() { # write_jobs BITS: the other bitness's Tintara file is one of the refused files
  local other=$((96 - $1))
cat >"$W/strips.txt" <<'D'
'rows' 'long' 100
'over' 'long' 3
'chks' 'bool' true
'Amnt' 'UntF' '#Prc' 42.5
'name' 'TEXT' "hello world"
'disP' 'enum' 'mooD' 'moD1'
'flt ' 'doub' 0.25
'cls ' 'type' 'Lyr '
'path' 'enum' 'path' 'strp'
D
printf "'rows' 'long' 32\n" >"$W/rect.txt"
printf "'path' 'enum' 'path' 'advs'\n'chks' 'bool' true\n" >"$W/advance.txt"
printf "'rows' 'long' 10\n" >"$W/abort.txt"
printf "'leak' 'bool' true\n" >"$W/leak.txt"
printf "'stck' 'bool' true\n" >"$W/stuck.txt"
printf "'past' 'bool' true\n" >"$W/past.txt"
printf "[{\"key\": \"dlg \", \"type\": \"bool\", \"value\": true}]\n" >"$W/dialog.json"

script="pick;swatch;r=200;type=3;key=up;key=wheelup;b=7;check=rb;pan=D;zoom=in;dblclick;drag=30,20;shot=$W/dialog.png;ok"
cat >"$W/jobs.txt" <<J
--label strips $T/TestFilter.8bf --about --sample 301x250 --descriptor-in $W/strips.txt --descriptor-out $W/strips-out.txt --before $W/before.ppm --out $W/strips.ppm --trace $W/strips.trace --quiet
--label rect $T/TestFilter.8bf --sample 301x250 --rect 20,30,120,200 --descriptor-in $W/rect.txt --out $W/rect.ppm --trace $W/rect.trace --quiet
--label advance $T/TestFilter.8bf --sample 211x157 --sample-alpha --descriptor-in $W/advance.txt --before $W/advance-before.png --out $W/advance.png --trace $W/advance.trace --quiet
--label abort $T/TestFilter.8bf --sample 64x100 --descriptor-in $W/abort.txt --abort-after 3 --expect-result -128 --out $W/abort.ppm --trace $W/abort.trace --quiet
--label leak $T/TestFilter.8bf --sample 64x64 --descriptor-in $W/leak.txt --trace $W/leak.trace --quiet
--label runs $T/TestFilter.8bf --sample 64x64 --runs 3 --state $W/state.txt --descriptor-out $W/runs-out.txt --quiet
--label state $T/TestFilter.8bf --sample 64x64 --no-parameters --state $W/state.txt --descriptor-out $W/state-out.txt --trace $W/state.trace --quiet
--label nohandles $T/TestFilter.8bf --sample 64x64 --no-handle-procs --no-descriptor --trace $W/nohandles.trace --quiet
--label nullhandles $T/TestFilter.8bf --sample 16x16 --null handleProcs --runs 3 --quiet
--label dialog $T/TestFilter.8bf --sample 320x240 --descriptor-in $W/dialog.json --descriptor-out $W/dialog-out.txt --pick 10,20,30 --dialog "$script" --trace $W/dialog.trace --quiet
--label cancel $T/TestFilter.8bf --sample 64x64 --descriptor-in $W/dialog.json --dialog cancel --expect-result -128 --trace $W/cancel.trace --quiet
--label timeout $T/TestFilter.8bf --sample 64x64 --descriptor-in $W/dialog.json --dialog-timeout 300 --expect-result -128 --trace $W/timeout.trace --quiet
--label stuck $T/TestFilter.8bf --sample 20x20 --descriptor-in $W/stuck.txt --trace $W/stuck.trace --quiet
--label play $T/TestFilter.8bf --sample 16x16 --play display --descriptor-out $W/play-out.json --quiet
--label badentry $T/BadEntry.8bf --quiet
--label notfilter $T/NotAFilter.8bf --quiet
--label nopipl $T/NoPipl.8bf --quiet
--label missing $W/missing.8bf --quiet
--label otherbits $root/build/win$other/Tintara.8bf --quiet
--label tintara $root/$B/Tintara.8bf --about --dialog "r=230;g=140;b=40;check=rgb;ok" --dialog-timeout 20000 --trace $W/tintara.trace --descriptor-out $W/tintara-desc.txt --before $W/tintara-before.ppm --out $W/tintara.ppm --quiet
--label tintara-strips $root/$B/Tintara.8bf --no-display-pixels --max-space 1000000 --runs 2 --dialog ok --dialog-timeout 20000 --trace $W/tintara-strips.trace --quiet
--label past $T/TestFilter.8bf --sample 16x16 --descriptor-in $W/past.txt --quiet
J
# Malformed files and options: a message and exit status 2, never a crash.
printf '[{"type": "long", "value": 1}]\n' >"$W/bad-nokey.json"
printf '[{"key": "rows", "value": 1}]\n' >"$W/bad-notype.json"
printf '[{"value": 1}]\n' >"$W/bad-valuealone.json"
printf "'rows 'long' 1\n" >"$W/bad-code.txt"
printf 'tintara-host-parameters\n' >"$W/bad-state-magic.txt"
printf 'tintara-host-parameters 8\n01 02\n' >"$W/bad-state-short.txt"
printf 'P6\n64 64\n255\nonly a few bytes' >"$W/bad-short.ppm"
cat >"$W/bad-jobs.txt" <<J
$T/TestFilter.8bf --sample 16x16 --descriptor-in $W/bad-nokey.json --quiet
$T/TestFilter.8bf --sample 16x16 --descriptor-in $W/bad-notype.json --quiet
$T/TestFilter.8bf --sample 16x16 --descriptor-in $W/bad-valuealone.json --quiet
$T/TestFilter.8bf --sample 16x16 --descriptor-in $W/bad-code.txt --quiet
$T/TestFilter.8bf --sample 16x16 --state $W/bad-state-magic.txt --quiet
$T/TestFilter.8bf --sample 16x16 --state $W/bad-state-short.txt --quiet
$T/TestFilter.8bf --in $W/bad-crc.png --quiet
$T/TestFilter.8bf --in $W/bad-short.ppm --quiet
$T/TestFilter.8bf --sample 100x100 --rect 0,0,65573,61 --quiet
J
}

# Both batches of one bitness, one after the other (the second reads an image of the
# first); their exit statuses go to files.
run_batches() { # run_batches BITS
  local start
  start=$(date +%s)
  both_wine "$1" "$root/$B/tintara-host.exe" --batch "$W/jobs.txt" >"$W/stdout.txt" 2>"$W/stderr.txt"
  echo $? >"$W/status"
  echo "$1-bit: one Wine process, $(wc -l <"$W/jobs.txt") jobs, $(($(date +%s) - start)) s, exit $(cat "$W/status")"
  /usr/bin/python3 - "$W/advance-before.png" "$W/bad-crc.png" <<'P'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[len(data) // 2] ^= 0x10  # inside the image data; the chunk's CRC no longer matches
open(sys.argv[2], 'wb').write(data)
P
  both_wine "$1" "$root/$B/tintara-host.exe" --batch "$W/bad-jobs.txt" >"$W/bad-stdout.txt" 2>"$W/bad-stderr.txt"
  echo $? >"$W/bad-status"
}

# The checks of one bitness's results.
host_checks() { # host_checks BITS
  local status own other
  status=$(cat "$W/status")
  grep -a -v -e "^wine" -e "X connection" "$W/stderr.txt" | sed "s/^/  $1-bit stderr: /"
# The last job reads past the record and must crash the host (exit 3).
check "reading past the 6.0-era record faults at once" test "$status" = 3
check "the fault is reported with its address" hasre "$W/stderr.txt" "crash: exception 0xc0000005 at .* in .*TestFilter.8bf \\(reading address"

# --- selector sequence, About, descriptor round trip (strips) ---------------
check "strips result 0" test "$(field strips result)" = "0"
check "About came first and closed its message box" has "$W/strips.trace" 'messageBox caption="About TestFilter" text="Test filter for the reference host"'
check "About left result and data slot alone" has "$W/strips.trace" "result About untouched"
check "selector order" test "$(grep -E '^result ' "$W/strips.trace" | awk '{print $2}' | uniq | tr '\n' ' ')" = "About Parameters Prepare Start Continue Finish "
check "the plug-in saw 1 2 3 4 4 4 5" has "$W/strips-out.txt" "'seq ' 'TEXT' \"1 2 3 4 4 4 5\""
check "three strips of 100 rows served" test "$(field strips strips)" = "3"
check "strips reach 3 px outside with padding 255" has "$W/strips.trace" "serve in=200,-3,300,304 out=200,-3,300,304 mask=200,-3,300,304 inPlanes=0-2 outPlanes=0-2 inputRate=65536 maskRate=65536 padding=255,255,255"
check "write-back clipped to the image" has "$W/strips.trace" "writeBack out=200,-3,300,304 clipped=200,0,250,301 planes=0-2"
check "the plug-in found every padding pixel 255" test "$(desc strips-out.txt padN | awk '{print $3}')" -gt 0
check "all 9 sampling/padding/plane checks passed" has "$W/strips-out.txt" "'chkN' 'long' 9"
check "rate 2 served as source/2" has "$W/strips.trace" "advanceState in=0,0,125,150 out=0,0,0,0 mask=0,0,0,0 inPlanes=0-2 outPlanes=0-2 inputRate=131072"
check "bounds error padding refused" has "$W/strips.trace" "padding asks for an error -> paramErr"
for line in "'Amnt' 'UntF' '#Prc' 42.5" "'name' 'TEXT' \"hello world\"" "'flt ' 'doub' 0.25" "'cls ' 'type' 'Lyr '" "'rows' 'long' 100" "'chks' 'bool' true" "'disP' 'enum' 'tEnm' 'moD1'"; do
  check "descriptor round trip keeps $line" has "$W/strips-out.txt" "$line"
done
check "expected key 'path' present: reader closes with 0" has "$W/strips.trace" "closeReadDescriptor missing=none -> 0 (noErr)"
check "no handles leaked by strips" test "$(field strips leaked)" = "0"
check "globals and parameters stay" test "$(field strips handles)" = "2"
check "strips output is the inverse of the input" /usr/bin/python3 - "$W/before.ppm" "$W/strips.ppm" <<'P'
import sys
sys.path.insert(0, "tests/stages/lib")
from tonecheck import read_image
a, b = read_image(sys.argv[1]), read_image(sys.argv[2])
sys.exit(0 if a.shape == b.shape == (250, 301, 3) and (b == 255 - a).all() else 1)
P

# --- filter rectangle: strips past its bottom, write-back clipped to it ------
check "rect result 0" test "$(field rect result)" = "0"
check "last strip reaches below the rectangle" has "$W/rect.trace" "writeBack out=116,30,148,200 clipped=116,30,120,200"
check "only the rectangle changed" /usr/bin/python3 - "$W/before.ppm" "$W/rect.ppm" <<'P'
import sys
sys.path.insert(0, "tests/stages/lib")
from tonecheck import read_image
a, b = read_image(sys.argv[1]), read_image(sys.argv[2])
want = a.copy()
want[20:120, 30:200] = 255 - a[20:120, 30:200]
sys.exit(0 if a.shape == b.shape and (b == want).all() else 1)
P

# --- whole image through advanceState, four planes ---------------------------
check "advance result 0" test "$(field advance result)" = "0"
check "advance: no strips after Start, one advanceState pass" has "$W/advance.trace" "writeBack out=0,0,157,211 clipped=0,0,157,211 planes=0-3"
check "advance: checks pass with a transparency plane" has "$W/advance.trace" "padding=255,255,255"
check "advance: colour inverted, transparency kept" /usr/bin/python3 - "$W/advance-before.png" "$W/advance.png" <<'P'
import sys
sys.path.insert(0, "tests/stages/lib")
from tonecheck import read_image
a, b = read_image(sys.argv[1]), read_image(sys.argv[2])
ok = a.shape == b.shape and a.shape[2] == 4 and (b[..., :3] == 255 - a[..., :3]).all() and (b[..., 3] == a[..., 3]).all()
sys.exit(0 if ok else 1)
P

# --- abort -------------------------------------------------------------------
check "abort ends with -128" test "$(field abort result)" = "-128"
check "abort: the first two abortProc calls answered no" has "$W/abort.trace" "abortProc #2 -> 0"
check "abort: the third answered yes and was the last" test "$(grep -a '^abortProc' "$W/abort.trace" | tail -n1)" = "abortProc #3 -> 1"
check "abort: Finish still follows a cancelled Continue" test "$(grep -E '^result ' "$W/abort.trace" | tail -n2 | awk '{print $2 $3}' | tr '\n' ' ')" = "Continue-128 Finish0 "
check "abort: no output written" test ! -e "$W/abort.ppm"

# --- leak counting -----------------------------------------------------------
check "leak: one handle left behind" test "$(field leak leaked)" = "1"
check "leak: globals, parameters and the leaked one live" test "$(field leak handles)" = "3"

# --- runs and state ----------------------------------------------------------
check "runs: three runs in one job" test "$(field runs runs)" = "3"
check "runs: the parameters handle kept across runs" has "$W/runs-out.txt" "'runN' 'long' 3"
check "state: the saved parameters come back from the file" has "$W/state-out.txt" "'runN' 'long' 4"
check "state: loaded from the file" has "$W/state.trace" "state loaded 8 bytes"
check "runs: the recorded descriptor is handed to the next run" test "$(grep -c "'runN' 'long'" "$W/runs-out.txt")" = "1"

# --- without handle services ---------------------------------------------------
check "no handle procs: result 0" test "$(field nohandles result)" = "0"
check "no handle procs: nothing counted" test "$(field nohandles handles)" = "0"
check "no handle procs: no handle calls" bash -c "! grep -q Handle '$W/nohandles.trace'"
check "null handle procs: no host handle is handed to a plug-in that cannot dispose of it" test "$(field nullhandles runs)/$(field nullhandles handles)" = "3/0"

# --- dialog automation on the test dialog --------------------------------------
check "dialog result 0" test "$(field dialog result)" = "0"
check "dialog found as owned by the host window" has "$W/dialog.trace" 'dialog appeared kind=parameters title="TestFilter" owner=host'
check "dialog: fields typed, stepped and read" has "$W/dialog-out.txt" "'dlgR' 'long' 200"
check "dialog: type=3, key=up, key=wheelup on the focused field" has "$W/dialog-out.txt" "'dlgG' 'long' 14"
check "dialog: b=7" has "$W/dialog-out.txt" "'dlgB' 'long' 7"
check "dialog: check=rb made exactly r and b checked" has "$W/dialog-out.txt" "'dlgC' 'TEXT' \"rb\""
check "dialog: commands clicked in order" has "$W/dialog-out.txt" "'cmds' 'TEXT' \"1026,1027,1023,1024,1015,1021,1\""
check "dialog: double click then drag" has "$W/dialog-out.txt" "'mous' 'TEXT' \"du2udu\""
check "dialog: drag moved by 30,20" has "$W/dialog-out.txt" "'drag' 'TEXT' \"30,20\""
check "dialog: the cursor was where every mouse message said" has "$W/dialog-out.txt" "'curX' 'long' 0"
check "dialog: five characters typed" has "$W/dialog-out.txt" "'chrs' 'long' 5"
check "dialog: picker answered by --pick" has "$W/dialog.trace" "colorServices choose prompt=\"Pick a tone\" source=0,0,0 by=pick -> 10,20,30 0 (noErr)"
check "dialog: preview drawn with its mask" hasre "$W/dialog.trace" "displayPixels version=1 bounds=0,0,60,80 src=0,0,60,80 dst=[0-9]+,[0-9]+ mode=3 rowBytes=240 colBytes=3 planeBytes=1 mask=kind0/colBytes1 drawn=80x60"
check "dialog: proxy fetched at rate 2" has "$W/dialog.trace" "advanceState in=0,0,60,80 out=0,0,60,80 mask=0,0,60,80 inPlanes=0-2 outPlanes=0-2 inputRate=131072"
check "dialog: sampled output not written back" has "$W/dialog.trace" "writeBack skipped: out=0,0,60,80 sampled"
check "dialog: screenshot written" /usr/bin/python3 -c "import sys; from PIL import Image; i=Image.open('$W/dialog.png'); i.load(); sys.exit(0 if i.format=='PNG' and min(i.size)>200 else 1)"
check "cancel ends with -128" test "$(field cancel result)" = "-128"
check "cancel: Cancel clicked by the script" has "$W/cancel.trace" "dialog step 1 'cancel' done"
check "cancel: no Finish after a failed Start" bash -c "! grep -q 'call Finish' '$W/cancel.trace'"
check "unanswered dialog cancelled after the timeout" test "$(field timeout result)" = "-128"
check "unanswered dialog: said so" has "$W/stderr.txt" 'the dialog "TestFilter" was left unanswered for'

# --- a plug-in that never empties its rectangles, playInfo, JSON -------------
check "stuck: stopped loudly" has "$W/stderr.txt" "the plug-in never emptied its rectangles; stopped after 176 Continue calls"
check "stuck: Finish still lets the plug-in clean up" has "$W/stuck.trace" "result Finish 0"
check "play display reaches the plug-in; JSON descriptor written" /usr/bin/python3 -c "
import json, sys
items = {i['key']: i for i in json.load(open('$W/play-out.json'))}
sys.exit(0 if items['plyI']['value'] == 1 and items['seq ']['value'] == '1 2 3 4 5' else 1)"
check "playInfo dontdisplay by default" has "$W/strips-out.txt" "'plyI' 'long' 0"

# --- refusals ----------------------------------------------------------------
check "entry not exported: refused" has "$W/stderr.txt" "names entry 'MissingMain', which the file does not export"
check "kind 8BAM: refused" has "$W/stderr.txt" "plug-in kind '8BAM', not a filter ('8BFM')"
check "no PIPL: refused" has "$W/stderr.txt" "NoPipl.8bf: no PIPL resource, so not a filter plug-in"
check "missing file: refused" has "$W/stderr.txt" "missing.8bf: cannot open as a Windows library"
if [ "$1" = 64 ]; then own=8664 other=wx86; else own=wx86 other=8664; fi
check "the other bitness's plug-in: refused with its entry named" has "$W/stderr.txt" "no '$own' entry for $1-bit hosts (it is a $((96 - $1))-bit plug-in, entry 'ENTRYPOINT')"

# --- Tintara itself ------------------------------------------------------------
tt="$W/tintara.trace"
check "Tintara: result 0" test "$(field tintara result)" = "0"
check "Tintara: PiPL read, its own entry named" hasre "$tt" "^pipl kind='8BFM' name=\"Tintara\" category=\"Wimble Filter\" .*$own=\"ENTRYPOINT\""
check "Tintara: About showed its box and was closed" hasre "$tt" '^messageBox caption="Mossbracket"'
check "Tintara: About touched neither result nor data slot" has "$tt" "result About untouched"
for s in Parameters Prepare Start Finish; do
  check "Tintara: $s returned 0" has "$tt" "result $s 0 (noErr)"
done
check "Tintara: every Continue returned 0" bash -c "! grep -E '^result Continue' '$tt' | grep -vq 'noErr'"
check "Tintara: no handle leaked" test "$(field tintara leaked)" = "0"
check "Tintara: only globals and parameters live" test "$(field tintara handles)" = "2"
check "Tintara: no foreign dispose" has "$tt" "badDisposes=0 openDescriptors=0"
check "Tintara: the dialog was answered by the script" has "$tt" "dialog state fields=230,140,40 checks=rgb"
check "Tintara: the toned image came back from the plug-in" /usr/bin/python3 - "$W/tintara-before.ppm" "$W/tintara.ppm" <<'P'
import sys
sys.path.insert(0, "tests/stages/lib")
from tonecheck import read_image
a, b = read_image(sys.argv[1]), read_image(sys.argv[2])
sys.exit(0 if a.shape == b.shape == (768, 1024, 3) and (a != b).sum() > a.size // 2 else 1)
P
ts="$W/tintara-strips.trace"
check "Tintara strip path: two runs, result 0" test "$(field tintara-strips result)/$(field tintara-strips runs)" = "0/2"
check "Tintara strip path: every selector returned 0" bash -c "! grep -E '^result ' '$ts' | grep -vq 'noErr'"
check "Tintara strip path: nothing leaked over two runs" test "$(field tintara-strips leaked)/$(field tintara-strips handles)" = "0/2"

  status=$(cat "$W/bad-status")
check "malformed files: every job refused as a host failure, none crashed (exit 2)" test "$status" = 2
for message in 'bad-nokey.json: object 0 has no "key"' 'bad-notype.json: object 0 has no "type"' \
  'bad-valuealone.json: object 0 has no "key"' "bad-code.txt: line 1: four-character code" \
  "bad-state-magic.txt has no byte count" "bad-state-short.txt is truncated: it holds 2 of the 8 bytes" \
  "bad-crc.png: chunk 1 (IDAT) fails its CRC check" "bad-short.ppm: the header claims 64x64 pixels" \
  "--rect 0,0,65573,61: 65573 does not fit the host's 16-bit coordinates"; do
  check "malformed: $message" has "$W/bad-stderr.txt" "$message"
done
check "malformed: no job ran the plug-in" test "$(grep -c ' runs=0 ' "$W/bad-stdout.txt")/$(grep -c 'runs=' "$W/bad-stdout.txt")" = 6/6
}

declare -A batches=()
for bits in 32 64; do
  W="$work/$bits" B=build/win$bits T="$root/build/win$bits/testplugin"
  write_jobs $bits
  run_batches $bits &
  batches[$bits]=$!
done
for bits in 32 64; do wait "${batches[$bits]}"; done
for bits in 32 64; do
  W="$work/$bits" tag="$bits-bit"
  host_checks $bits
done

# --- both bitnesses ran the same jobs: the same outcome, job for job -----------
# What legitimately differs is made alike (tests/stages/lib/bothfiles.sh); the
# dialog pictures come from two Wines and are not compared.
tag=both
check "both: the main batches ended alike" test "$(cat "$work/32/status")" = "$(cat "$work/64/status")"
check "both: the malformed batches ended alike" test "$(cat "$work/32/bad-status")" = "$(cat "$work/64/bad-status")"
for f in before.ppm strips.ppm rect.ppm advance-before.png advance.png tintara-before.ppm tintara.ppm \
  strips-out.txt runs-out.txt state-out.txt play-out.json tintara-desc.txt state.txt; do
  check "both: the same $f" both_same "$f" "$work/32/$f" "$work/64/$f"
done
for f in dialog-out.txt stdout.txt stderr.txt bad-stdout.txt bad-stderr.txt $(cd "$work/64" && ls -- *.trace); do
  check "both: the same $f apart from what legitimately differs" both_same_alike "$f" "$work/32/$f" "$work/64/$f"
done

echo "$pass passed, $failures failed"
[ "$failures" -eq 0 ]
