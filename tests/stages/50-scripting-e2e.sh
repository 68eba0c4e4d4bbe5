#!/usr/bin/env bash
# Host identification and scripting in real processes under 64-bit Wine:
# - a probe identifies the executable it runs in through the real version calls,
#   with and without the version resource of the excluded host;
# - the reference host built with that resource runs Tintara on the strip path
#   although it offers advanceState and displayPixels, the normal host on the
#   preview path;
# - a descriptor recorded at Finish by one run and replayed into the next with
#   --play dontdisplay applies without a dialog.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=$root/build/win64
work=$bin/stage-scripting
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$bin/wineprefix-scripting WINEDEBUG=-all

# One Xvfb for every run of the stage (the dialog run needs a display; a display
# that stays the same lets the runs share one Wine server), stopped by its id.
xvfbPid=""
cleanup() {
  # Let this prefix's Wine server end (bounded) before its display goes away.
  timeout 30 /usr/lib/wine/wineserver -w 2>/dev/null || true
  if [ -n "$xvfbPid" ]; then
    kill "$xvfbPid" 2>/dev/null || true
    wait "$xvfbPid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfbPid=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfbPid" 2>/dev/null || break
  sleep 0.05
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")" TINTARA_HOST_UNATTENDED=1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Runs a Windows program with a bounded time and the dialog's locale; its output
# goes to stdout.
run() {
  timeout --kill-after=10 120 "$root/scripts/wine-run" "$@" 2> >(grep -v 'rundll32\|wine: ' >&2)
}

echo "-- identification through the real version resource calls"
excluded=$(run "$bin/tests/excludedhost/identify-probe-excluded.exe" | tr -d '\r')
plain=$(run "$bin/tests/excludedhost/identify-probe-plain.exe" | tr -d '\r')
echo "excluded: $excluded"
echo "plain:    $plain"
[[ $excluded == *"signature=50724d72 version=6.0.0 osCode=10 PrMr=0600000a 8BIM=00000000 XXXX=00000000"* ]] ||
  fail "the excluded host's resource is not identified as 'PrMr' 6.0 on VOS_NT"
[[ $plain == *"signature=00000000"*"PrMr=00000000 8BIM=00000000"* ]] ||
  fail "an executable without a version resource is identified"

host=$bin/tintara-host.exe
excludedHost=$bin/tests/excludedhost/tintara-host-excluded.exe
plugin=$bin/Tintara.8bf
for f in "$host" "$excludedHost" "$plugin"; do
  [ -f "$f" ] || fail "$f is missing: run scripts/build first"
done

# Runs a host on the built-in sample without a Parameters call (so that nothing
# but the host's play information can ask for the dialog) and keeps its trace.
# Usage: filter HOST NAME [options]; the trace is $work/NAME.trace.
filter() {
  local program=$1 name=$2
  shift 2
  run "$program" "$plugin" --no-parameters --sample 64x48 --max-space 3000 --quiet \
    --dialog-timeout 5000 --trace "$work/$name.trace" --out "$work/$name.png" "$@" |
    tr -d '\r' >"$work/$name.out" || fail "$name: the host failed: $(cat "$work/$name.out")"
  grep -q '^summary result=0 ' "$work/$name.trace" || fail "$name: the run did not end with result 0"
}
has() { grep -q -- "$2" "$work/$1.trace" || fail "$1: no trace line matching '$2'"; }
hasNot() { ! grep -q -- "$2" "$work/$1.trace" || fail "$1: a trace line matches '$2'"; }
# The trace lines of the Start call only.
start() { sed -n '/^call Start/,/^result Start/p' "$work/$1.trace"; }

echo "-- the normal host takes the preview path, the excluded host the strip path"
filter "$host" normal
filter "$excludedHost" excluded
start normal | grep '^advanceState in=0,0,48,64 ' >/dev/null ||
  fail "normal: Start did not fetch the whole image through advanceState"
hasNot normal '^call Continue'
has normal '^summary result=0 strips=1 advanceState=1 '
# Same offers (advanceState and displayPixels), but identified as excluded.
! start excluded | grep '^advanceState' >/dev/null || fail "excluded: Start called advanceState"
has excluded '^serve in=0,0,[0-9]*,64 .*padding=255,255,255'
[ "$(grep -c '^call Continue' "$work/excluded.trace")" -ge 2 ] ||
  fail "excluded: the strips were not delivered through Continue"
has excluded '^summary result=0 strips=7 advanceState=0 '
cmp -s "$work/normal.png" "$work/excluded.png" || fail "the two paths gave different images"

echo "-- a descriptor recorded at Finish replays into the next run without a dialog"
filter "$host" record --descriptor-out "$work/recorded.txt"
has record "^put 'Amnt' 'UntF' '#Prc' 0"
has record '^descriptor recorded items=2 recordInfo=0'
grep -q "^'Amnt' 'UntF' '#Prc' 0$" "$work/recorded.txt" || fail "record: 'Amnt' not saved"
grep -q "^'disP' 'enum' 'mooD' 'moD1'$" "$work/recorded.txt" || fail "record: 'disP' not saved"

filter "$host" replay --descriptor-in "$work/recorded.txt" --play dontdisplay \
  --descriptor-out "$work/replayed.txt"
has replay "^openReadDescriptor keys='Amnt','disP' items=2 -> reader"
has replay '^getPinnedUnitFloat min=1 max=99 '
has replay "^getEnumerated -> 'mooD' 'moD1'"
has replay '^closeReadDescriptor missing=.* -> 0 '
# The replayed descriptor handle is disposed of right after the read.
start replay | grep -A1 '^closeReadDescriptor' | grep '^disposeHandle' >/dev/null ||
  fail "replay: the read descriptor was not disposed of"
has replay '^end handles=2 leaked=0 badDisposes=0 openDescriptors=0'
hasNot replay '^dialog appeared'
start replay | grep '^advanceState in=0,0,48,64 ' >/dev/null || fail "replay: the image was not filtered"
# 'Amnt' 0.0 came back pinned to 1, and the next recording carries it.
grep -q "^'Amnt' 'UntF' '#Prc' 1$" "$work/replayed.txt" ||
  fail "replay: the replayed 'Amnt' did not reach the record ($(cat "$work/replayed.txt"))"

# The same descriptor played with the dialog asked for does show it: the runs
# above went without one because of their play information.
filter "$host" display --descriptor-in "$work/recorded.txt" --play display --dialog ok
has display '^dialog appeared'
has display '^dialog gone'

# Every key replayed: out-of-range amount, another mode, and the flag.
printf "%s\n" "'Amnt' 'UntF' '#Prc' 150" "'disP' 'enum' 'mooD' 'moD3'" "'entI' 'bool' true" \
  >"$work/edited.txt"
filter "$host" edited --descriptor-in "$work/edited.txt" --play silent \
  --descriptor-out "$work/edited-out.txt"
hasNot edited '^dialog appeared'
grep -q "^'Amnt' 'UntF' '#Prc' 99$" "$work/edited-out.txt" || fail "edited: 'Amnt' not pinned to 99"
grep -q "^'disP' 'enum' 'mooD' 'moD3'$" "$work/edited-out.txt" || fail "edited: 'disP' not replayed"
grep -q "^'entI' 'bool' true$" "$work/edited-out.txt" || fail "edited: 'entI' not replayed"

echo "scripting e2e passed"
