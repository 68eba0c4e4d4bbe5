#!/usr/bin/env bash
# Host identification and scripting in real processes under Wine, for both
# plug-in files: the 32-bit programs and file under Wine 10, the 64-bit ones
# under Wine 8, both bitnesses at the same time on displays of their own.
# - a probe identifies the executable it runs in through the real version calls,
#   with and without the version resource of the excluded host;
# - the reference host built with that resource runs Tintara on the strip path
#   although it offers advanceState and displayPixels, the normal host on the
#   preview path;
# - a descriptor recorded at Finish by one run and replayed into the next with
#   --play dontdisplay applies without a dialog;
# - both files identify the same, and give the same images and the same
#   recorded descriptors, run for run.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source tests/stages/lib/bothfiles.sh
work=$root/build/stage-scripting
rm -rf "$work"
mkdir -p "$work/32" "$work/64"
export WINEPREFIX=$root/build/win64/wineprefix-scripting WINEDEBUG=-all
trap both_stop EXIT
both_displays "$work"

tag=
fail() {
  echo "FAIL: $tag$*" >&2
  exit 1
}
for bits in 32 64; do
  for f in tintara-host.exe tests/excludedhost/tintara-host-excluded.exe Tintara.8bf \
    tests/excludedhost/identify-probe-excluded.exe tests/excludedhost/identify-probe-plain.exe; do
    [ -f "build/win$bits/$f" ] || fail "build/win$bits/$f is missing: run scripts/build first"
  done
done

# Every run on the built-in sample goes without a Parameters call (so that nothing
# but the host's play information can ask for the dialog) and keeps its trace
# NAME.trace and image NAME.png.
common="--no-parameters --sample 64x48 --max-space 3000 --quiet --dialog-timeout 5000"
job() { # job NAME [options]: a line of the normal host's batch
  local name=$1
  shift
  echo "--label $name $common --trace $w/$name.trace --out $w/$name.png $*"
}

# The runs of one bitness: the two probes, the excluded host, then one batch of
# the normal host; a later job of the batch reads what an earlier one recorded.
# Each program's exit status goes to NAME.status.
run_bitness() { # run_bitness BITS
  local bits=$1 bin=$root/build/win$1 w=$work/$1 probe
  for probe in excluded plain; do
    both_wine $bits "$bin/tests/excludedhost/identify-probe-$probe.exe" >"$w/probe-$probe.out" 2>"$w/probe-$probe.err"
    echo $? >"$w/probe-$probe.status"
  done
  both_wine $bits "$bin/tests/excludedhost/tintara-host-excluded.exe" "$bin/Tintara.8bf" $common \
    --trace "$w/excluded.trace" --out "$w/excluded.png" >"$w/excluded.out" 2>"$w/excluded.err"
  echo $? >"$w/excluded.status"
  printf "%s\n" "'Amnt' 'UntF' '#Prc' 150" "'disP' 'enum' 'mooD' 'moD3'" "'entI' 'bool' true" \
    >"$w/edited.txt"
  {
    job normal
    job record --descriptor-out "$w/recorded.txt"
    job replay --descriptor-in "$w/recorded.txt" --play dontdisplay --descriptor-out "$w/replayed.txt"
    # The same descriptor played with the dialog asked for does show it: the runs
    # above went without one because of their play information.
    job display --descriptor-in "$w/recorded.txt" --play display --dialog ok
    # Every key replayed: out-of-range amount, another mode, and the flag.
    job edited --descriptor-in "$w/edited.txt" --play silent --descriptor-out "$w/edited-out.txt"
  } | sed "s|^|$bin/Tintara.8bf |" >"$w/jobs.txt"
  both_wine $bits "$bin/tintara-host.exe" --batch "$w/jobs.txt" >"$w/batch.out" 2>"$w/batch.err"
  echo $? >"$w/batch.status"
}

declare -A pid=()
for bits in 32 64; do
  w=$work/$bits
  run_bitness $bits &
  pid[$bits]=$!
done
for bits in 32 64; do wait "${pid[$bits]}"; done

has() { grep -q -- "$2" "$w/$1.trace" || fail "$1: no trace line matching '$2'"; }
hasNot() { ! grep -q -- "$2" "$w/$1.trace" || fail "$1: a trace line matches '$2'"; }
# The trace lines of the Start call only.
start() { sed -n '/^call Start/,/^result Start/p' "$w/$1.trace"; }
ran() { # ran NAME: the run ended with result 0
  grep -q '^summary result=0 ' "$w/$1.trace" || fail "$1: the run did not end with result 0"
}

for bits in 32 64; do
  w=$work/$bits
  tag="$bits-bit: "
  echo "== $bits-bit programs and file"
  for f in probe-excluded probe-plain excluded batch; do
    [ "$(cat "$w/$f.status")" = 0 ] ||
      fail "$f: the program failed (exit $(cat "$w/$f.status")): $(grep -v 'rundll32\|wine: ' "$w/$f.err" | tr -d '\r')"
  done
  echo "-- identification through the real version resource calls"
  excluded=$(tr -d '\r' <"$w/probe-excluded.out")
  plain=$(tr -d '\r' <"$w/probe-plain.out")
  echo "excluded: $excluded"
  echo "plain:    $plain"
  [[ $excluded == *"signature=50724d72 version=6.0.0 osCode=10 PrMr=0600000a 8BIM=00000000 XXXX=00000000"* ]] ||
    fail "the excluded host's resource is not identified as 'PrMr' 6.0 on VOS_NT"
  [[ $plain == *"signature=00000000"*"PrMr=00000000 8BIM=00000000"* ]] ||
    fail "an executable without a version resource is identified"
  for name in normal excluded record replay display edited; do ran $name; done

  echo "-- the normal host takes the preview path, the excluded host the strip path"
  start normal | grep '^advanceState in=0,0,48,64 ' >/dev/null ||
    fail "normal: Start did not fetch the whole image through advanceState"
  hasNot normal '^call Continue'
  has normal '^summary result=0 strips=1 advanceState=1 '
  # Same offers (advanceState and displayPixels), but identified as excluded.
  ! start excluded | grep '^advanceState' >/dev/null || fail "excluded: Start called advanceState"
  has excluded '^serve in=0,0,[0-9]*,64 .*padding=255,255,255'
  [ "$(grep -c '^call Continue' "$w/excluded.trace")" -ge 2 ] ||
    fail "excluded: the strips were not delivered through Continue"
  has excluded '^summary result=0 strips=7 advanceState=0 '
  cmp -s "$w/normal.png" "$w/excluded.png" || fail "the two paths gave different images"

  echo "-- a descriptor recorded at Finish replays into the next run without a dialog"
  has record "^put 'Amnt' 'UntF' '#Prc' 0"
  has record '^descriptor recorded items=2 recordInfo=0'
  grep -q "^'Amnt' 'UntF' '#Prc' 0$" "$w/recorded.txt" || fail "record: 'Amnt' not saved"
  grep -q "^'disP' 'enum' 'mooD' 'moD1'$" "$w/recorded.txt" || fail "record: 'disP' not saved"

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
  grep -q "^'Amnt' 'UntF' '#Prc' 1$" "$w/replayed.txt" ||
    fail "replay: the replayed 'Amnt' did not reach the record ($(cat "$w/replayed.txt"))"

  has display '^dialog appeared'
  has display '^dialog gone'

  hasNot edited '^dialog appeared'
  grep -q "^'Amnt' 'UntF' '#Prc' 99$" "$w/edited-out.txt" || fail "edited: 'Amnt' not pinned to 99"
  grep -q "^'disP' 'enum' 'mooD' 'moD3'$" "$w/edited-out.txt" || fail "edited: 'disP' not replayed"
  grep -q "^'entI' 'bool' true$" "$w/edited-out.txt" || fail "edited: 'entI' not replayed"
done
tag=

# Both files ran the same jobs: the same identification, images and recorded
# descriptors.
echo "-- the two files give the same results"
for f in probe-excluded.out probe-plain.out normal.png excluded.png record.png replay.png display.png \
  edited.png recorded.txt replayed.txt edited-out.txt; do
  both_same "$f" "$work/32/$f" "$work/64/$f" || fail "$f differs between the files"
done
# The traces and the batch's summaries apart from what legitimately differs
# (tests/stages/lib/bothfiles.sh).
for f in normal.trace excluded.trace record.trace replay.trace display.trace edited.trace batch.out \
  excluded.out; do
  both_same_alike "$f" "$work/32/$f" "$work/64/$f" || fail "the files ran differently"
done

echo "scripting e2e passed"
