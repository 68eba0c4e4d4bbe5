#!/usr/bin/env bash
# The filtering engine in real host processes under Wine, for both plug-in files:
# the 32-bit file in the 32-bit reference host (Wine 10), the 64-bit file in the
# 64-bit host (Wine 8), one batch each, at the same time. The host runs the
# built plug-in, without its dialog, on a parameter record that enables channels
# and holds a tone (loaded with --state).
# - preview path (one advanceState for the whole image) and strip path
#   (--no-advance-state) at several --max-space budgets, one row per strip among
#   them, write byte-identical images, for 3 planes, 4 planes, a sub-rectangle and
#   a rectangle 40000 rows tall;
# - each image equals the tone rule computed independently by the checker;
# - an abort in the middle of either path ends the run with -128 and no leaked
#   handle, and the host writes no image;
# - both files give the same summaries, byte-identical images and the same
#   abort traces, job for job.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source tests/stages/lib/bothfiles.sh
work=$root/build/stage-engine
check=$root/tests/stages/40-engine-e2e-check.py
for bits in 32 64; do
  [ -f "build/win$bits/tintara-host.exe" ] && [ -f "build/win$bits/Tintara.8bf" ] || {
    echo "FAIL: build/win$bits has no tintara-host.exe or Tintara.8bf (run scripts/build)" >&2
    exit 1
  }
done
rm -rf "$work"
mkdir -p "$work/32" "$work/64"
cd "$work"
export WINEPREFIX=$root/build/win64/wineprefix-engine WINEDEBUG=-all
trap both_stop EXIT
both_displays "$work"

tag=
fail() {
  echo "FAIL: $tag$*" >&2
  exit 1
}

# A host parameters file: the plug-in's record with a tone and channel switches,
# stripRows 1, zoom 1, mode 'moD1', everything else 0.
state() { # FILE RED GREEN BLUE APPLY_RED APPLY_GREEN APPLY_BLUE
  /usr/bin/python3 "$check" state "$@"
}
state all.state 250 10 128 1 1 1
state mixed.state 30 77 220 1 0 1

# One host process per file runs every job, in a folder of its own (32/, 64/);
# each job gets a fresh copy of its record, since the plug-in keeps its strip
# plan in it.
jobs=()
job() { # NAME STATE OPTIONS...
  local name=$1 from=$2
  shift 2
  cp "$from" "32/$name.state"
  cp "$from" "64/$name.state"
  jobs+=("--quiet --no-parameters --label $name --state $name.state $*")
}
rect=17,23,181,271
# 3 planes, 301 x 203: a row costs 7 x 301 = 2107 bytes.
job p3 all.state --sample 301x203 --before before3.png --out p3.png
job s3 all.state --sample 301x203 --no-advance-state --out s3.png
job s3-row all.state --sample 301x203 --no-advance-state --max-space 1 --out s3-row.png
job s3-ten all.state --sample 301x203 --no-advance-state --max-space 21000 --out s3-ten.png
job s3-odd all.state --sample 301x203 --no-advance-state --max-space 150000 --out s3-odd.png
# 4 planes (a transparency plane, never changed), three channels switched two on.
job p4 mixed.state --sample 257x131 --sample-alpha --before before4.png --out p4.png
job s4-row mixed.state --sample 257x131 --sample-alpha --no-advance-state --max-space 1 --out s4-row.png
job s4 mixed.state --sample 257x131 --sample-alpha --no-advance-state --max-space 40000 --out s4.png
# A filter rectangle inside the image.
job pr mixed.state --sample 301x203 --rect $rect --before beforer.png --out pr.png
job sr mixed.state --sample 301x203 --rect $rect --no-advance-state --max-space 9000 --out sr.png
# A filter rectangle 40000 rows tall (beyond a 16-bit height) over a small image:
# every row the host delivers is toned, on both paths.
tall=-20000,0,20000,2 # the host lets it reach past the 9 rows of the image
job pt mixed.state --sample 3x9 --rect $tall --rect-past-image --before beforet.png --out pt.png
job st mixed.state --sample 3x9 --rect $tall --rect-past-image --no-advance-state --max-space 2000000 --out st.png
# Abort after 20000 of the 61103 pixels' questions, on both paths.
job pa all.state --sample 301x203 --abort-after 20000 --expect-result -128 --out pa.png --trace pa.trace
job sa all.state --sample 301x203 --no-advance-state --max-space 21000 --abort-after 20000 \
  --expect-result -128 --out sa.png --trace sa.trace
declare -A pid=()
for bits in 32 64; do
  for line in "${jobs[@]}"; do echo "$root/build/win$bits/Tintara.8bf $line"; done >$bits/jobs.txt
  (cd $bits && both_wine $bits "$root/build/win$bits/tintara-host.exe" --batch jobs.txt >host.out \
    2> >(grep -v 'rundll32\|wine: \|not written: the filter did not complete' >&2)) &
  pid[$bits]=$!
done
for bits in 32 64; do
  status=0
  wait "${pid[$bits]}" || status=$?
  echo "-- $bits-bit file"
  tr -d '\r' <$bits/host.out
  [ "$status" -eq 0 ] || fail "$bits-bit: the host reported a failed job (exit $status)"
done

summary() { grep -E "^tintara-host: $1 " host.out | tr -d '\r'; }
/usr/bin/python3 "$root/tests/stages/lib/tonecheck_test.py" || fail "the shared tone checker fails its own cases"
for bits in 32 64; do
  cd "$work/$bits"
  tag="$bits-bit file: "
  echo "== $bits-bit file"
  for name in p3 p4 pr pt; do
    [[ $(summary $name) == *"result=0 (noErr)"*"strips=1 advanceState=1 "*"leaked=0"* ]] ||
      fail "$name did not run once through advanceState: $(summary $name)"
  done
  for name in s3 s3-row s3-ten s3-odd s4-row s4 sr st; do
    [[ $(summary $name) == *"result=0 (noErr)"*"advanceState=0 "*"leaked=0"* ]] ||
      fail "$name did not run on the strip path: $(summary $name)"
  done
  [[ $(summary s3) == *"strips=1 "* ]] || fail "s3: the default budget is not one strip"
  [[ $(summary s3-row) == *"strips=203 "* ]] || fail "s3-row: not one row per strip"
  [[ $(summary s3-ten) == *"strips=21 "* ]] || fail "s3-ten: not ten rows per strip"
  [[ $(summary s4-row) == *"strips=131 "* ]] || fail "s4-row: not one row per strip"

  echo "-- byte-identical images on both paths"
  /usr/bin/python3 "$check" same p3.png s3.png s3-row.png s3-ten.png s3-odd.png
  /usr/bin/python3 "$check" same p4.png s4-row.png s4.png
  /usr/bin/python3 "$check" same pr.png sr.png
  /usr/bin/python3 "$check" same pt.png st.png

  echo "-- the tone rule, computed independently for every pixel"
  /usr/bin/python3 "$check" rule before3.png p3.png ../all.state
  /usr/bin/python3 "$check" rule before4.png p4.png ../mixed.state
  /usr/bin/python3 "$check" rule beforer.png pr.png ../mixed.state 17,23,181,271
  /usr/bin/python3 "$check" rule beforet.png pt.png ../mixed.state $tall

  echo "-- abort in the middle of the run"
  for name in pa sa; do
    [[ $(summary $name) == *"result=-128 "*"leaked=0"* ]] || fail "$name: $(summary $name)"
    [ ! -e $name.png ] || fail "$name: the host wrote an image of an aborted run"
    last=$(grep -E '^abortProc #' $name.trace | tail -1 | tr -d '\r')
    [[ $last == "abortProc #20000 -> 1" ]] || fail "$name: questions went on after the abort: $last"
  done
  grep -q '^result Start -128' pa.trace || fail "pa: Start did not end with -128"
  grep -q '^result Continue -128' sa.trace || fail "sa: Continue did not end with -128"
done
cd "$work"
tag=

# Both files ran the same jobs: the same summaries apart from the time taken,
# the same images byte for byte, the same records left in the state files, the
# same traces of the aborted runs apart from what legitimately differs
# (tests/stages/lib/bothfiles.sh). The batch files differ only in the folder of
# the plug-in and host.
echo "-- the two files give the same results"
both_same_alike host.out 32/host.out 64/host.out || fail "the files' summaries differ"
for image in before3 p3 s3 s3-row s3-ten s3-odd before4 p4 s4-row s4 beforer pr sr beforet pt st; do
  both_same "$image.png" 32/$image.png 64/$image.png || fail "$image.png differs between the files"
done
# The host writes the plug-in's record back into each job's state file.
for name in p3 s3 s3-row s3-ten s3-odd p4 s4-row s4 pr sr pt st pa sa; do
  both_same "$name.state" 32/$name.state 64/$name.state || fail "the files left different records"
done
for trace in pa sa; do
  both_same_alike $trace.trace 32/$trace.trace 64/$trace.trace || fail "the files traced an aborted run differently"
done

echo "engine e2e passed"
