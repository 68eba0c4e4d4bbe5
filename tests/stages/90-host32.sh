#!/usr/bin/env bash
# The 32-bit plug-in in the emulated 32-bit host (tintara-host32 under qemu-i386),
# held to the 64-bit plug-in under Wine:
# - a second 32-bit file built to assume a 16-byte aligned stack crashes when the
#   host enters it 4, 8 or 12 bytes off that alignment, as 32-bit Windows hosts
#   may; the shipped file runs at every offset with its AVX2 and its SSE4.1
#   kernel, and in it every SSE instruction that needs an aligned stack operand
#   follows a realignment of the stack (the built-file verifier refuses the
#   other file for that);
# - the engine cases (both paths, 3 and 4 planes, several maxSpace budgets down
#   to one row per strip, tones and channels from a state file, an abort in the
#   middle, a failed advanceState, a replayed descriptor, the excluded host's
#   version) give byte-identical images and the same results in both hosts, with
#   and without SSE4.1 in the emulated processor;
# - the hostile-host jobs that need no dialog end with the same result codes;
# - 1000 runs in one process leave no handle and no memory behind;
# - About shows the plug-in's two strings.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin32=$root/build/win32
bin64=$root/build/win64
host32=$root/build/host32/tintara-host32
unaligned=$root/build/win32-unaligned
work=$root/build/host32/stage
check=$root/tests/stages/40-engine-e2e-check.py
for f in "$bin32/Tintara.8bf" "$bin64/Tintara.8bf" "$bin64/tintara-host.exe" "$host32" \
  "$bin64/tests/excludedhost/tintara-host-excluded.exe"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing (run scripts/build)" >&2; exit 1; }
done
rm -rf "$work"
mkdir -p "$work"
cd "$work"
export WINEPREFIX=$bin64/wineprefix-host32 WINEDEBUG=-all
unset DISPLAY
started=$(date +%s)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# qemu-i386 [-cpu MODEL] tintara-host32 ARGS, bounded.
emulate() { timeout --kill-after=10 300 qemu-i386 "$@"; }
summary() { grep -E "^tintara-host(32)?: $2 " "$1" | tr -d '\r' | sed -E 's/^tintara-host(32)?: //; s/ time=[0-9.]+s//'; }

echo "-- the file that assumes an aligned stack, built a second time"
cmake -S "$root" -B "$unaligned" --toolchain "$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTINTARA_ASSUME_ALIGNED_STACK=ON >/dev/null
cmake --build "$unaligned" --target Tintara -j"$(nproc)" >/dev/null
cmp -s "$unaligned/Tintara.8bf" "$bin32/Tintara.8bf" &&
  fail "the shipped 32-bit file is the same as the one that assumes an aligned stack"

echo "-- SSE instructions that need an aligned stack operand, and their functions"
# Every function counts here, also the dialog and window procedures that this
# host cannot run: each such instruction must follow a realignment of the stack.
alignment=$root/tests/artifacts/disasm_checks.py
read -r total unrealigned < <(python3 "$alignment" stack "$bin32/Tintara.8bf")
[ "$unrealigned" -eq 0 ] || fail "$unrealigned of $total such instructions in the shipped file run on the caller's alignment"
read -r total0 unrealigned0 < <(python3 "$alignment" stack "$unaligned/Tintara.8bf" 2>/dev/null)
[ "$unrealigned0" -gt 0 ] || fail "the check finds nothing in the file that assumes an aligned stack"
echo "   shipped file: $total, all after a realignment; unfixed file: $unrealigned0 of $total0 without"
# The built-file verifier refuses the unfixed file for that reason.
/usr/bin/python3 "$root/tests/artifacts/verify_plugin.py" "$unaligned/Tintara.8bf" >unaligned-verify.txt &&
  fail "the verifier accepts the file that assumes an aligned stack"
grep -q 'without a realignment of the stack' unaligned-verify.txt ||
  fail "the verifier refuses the unfixed file, but not for its stack: $(cat unaligned-verify.txt)"

echo "-- stack offsets: the kernel on a stack 0, 4, 8 and 12 bytes off alignment"
# The SSE4.1 kernel keeps constants in aligned stack slots; the AVX2 kernel's VEX
# instructions do not need aligned operands, so the unfixed file's fault shows on
# a processor without AVX2. The shipped file runs both kernels at every offset.
job="--sample 64x48 --no-parameters --quiet"
sse=(-cpu max,-avx2)
for offset in 0 4 8 12; do
  set +e
  emulate "${sse[@]}" "$host32" --stack-offset $offset "$unaligned/Tintara.8bf" $job --out u$offset.png \
    >u$offset.out 2>u$offset.err
  code=$?
  set -e
  for kernel in avx2 sse41; do
    model=()
    [ $kernel = avx2 ] || model=("${sse[@]}")
    emulate "${model[@]}" "$host32" --stack-offset $offset "$bin32/Tintara.8bf" $job \
      --out f$kernel$offset.png >f$kernel$offset.out 2>f$kernel$offset.err ||
      fail "the shipped file ($kernel) at offset $offset: $(cat f$kernel$offset.err)"
  done
  if [ $offset -eq 0 ]; then
    [ $code -eq 0 ] || fail "the aligned-stack file fails even on an aligned stack: $(cat u0.err)"
  else
    [ $code -eq 3 ] && grep -q 'crash: Segmentation fault' u$offset.err ||
      fail "the aligned-stack file did not crash at offset $offset (exit $code)"
    echo "   unfixed, offset $offset: $(cat u$offset.err)"
  fi
done
cp favx20.png f0.png
/usr/bin/python3 "$check" same f0.png favx2{4,8,12}.png fsse41{0,4,8,12}.png u0.png
# Without SSE4.1 the plug-in takes its plain kernel, which keeps nothing in
# aligned stack slots: the same file then runs at any offset.
emulate -cpu pentium3 "$host32" --stack-offset 4 "$unaligned/Tintara.8bf" $job --out p4.png \
  >p4.out 2>p4.err || fail "the plain kernel depends on the stack alignment: $(cat p4.err)"
/usr/bin/python3 "$check" same f0.png p4.png

echo "-- the engine cases in both hosts"
state() { # FILE RED GREEN BLUE APPLY_RED APPLY_GREEN APPLY_BLUE
  /usr/bin/python3 "$check" state "$@"
}
state all.state 250 10 128 1 1 1
state mixed.state 30 77 220 1 0 1
# The inputs come from one host, so that both filter the same pixels (the two
# hosts' built-in charts differ in floating-point rounding).
emulate "$host32" "$bin32/Tintara.8bf" --quiet --no-parameters --sample 301x203 --before in3.png >/dev/null
emulate "$host32" "$bin32/Tintara.8bf" --quiet --no-parameters --sample 257x131 --sample-alpha \
  --before in4.png >/dev/null

names=()
# NAME STATE OPTIONS...: one job for each host; each gets a fresh copy of its
# record, since the plug-in keeps its strip plan in it.
job() {
  local name=$1 from=$2
  shift 2
  names+=("$name")
  for bits in 32 64; do
    cp "$from" "$name-$bits.state"
    local plugin=$bin32/Tintara.8bf
    [ $bits = 64 ] && plugin=$bin64/Tintara.8bf
    echo "$plugin --quiet --label $name --state $work/$name-$bits.state $* --out $work/$name-$bits.png" \
      "--trace $work/$name-$bits.trace" >>jobs$bits.txt
  done
}
rect=17,23,181,271
in3="--in $work/in3.png --no-parameters" in4="--in $work/in4.png --no-parameters"
job p3 all.state $in3
job s3 all.state $in3 --no-advance-state
job s3-row all.state $in3 --no-advance-state --max-space 1
job s3-ten all.state $in3 --no-advance-state --max-space 21000
job s3-odd all.state $in3 --no-advance-state --max-space 150000
job p4 mixed.state $in4
job s4-row mixed.state $in4 --no-advance-state --max-space 1
job s4 mixed.state $in4 --no-advance-state --max-space 40000
job pr mixed.state $in3 --rect $rect
job sr mixed.state $in3 --rect $rect --no-advance-state --max-space 9000
job pa all.state $in3 --abort-after 20000 --expect-result -128
job sa all.state $in3 --no-advance-state --max-space 21000 --abort-after 20000 --expect-result -128
job pf all.state $in3 --fail-advance-state 1 --expect-result -108
# A descriptor recorded at Finish, replayed with the host's wish for no dialog.
job record mixed.state $in3 --descriptor-out $work/record.desc
job replay all.state $in3 --descriptor-in $work/record.desc --play dontdisplay \
  --descriptor-out $work/replay.desc
for bits in 32 64; do
  sed -i "s#$work/record.desc#$work/record-$bits.desc#; s#$work/replay.desc#$work/replay-$bits.desc#" jobs$bits.txt
done
# The excluded host (its own process: identification runs once per process),
# with a new parameter record, since the record keeps what identification found.
excluded="--quiet --label excluded $in3 --max-space 30000"

set +e
timeout --kill-after=10 300 "$root/scripts/wine-run" "$bin64/tintara-host.exe" --batch jobs64.txt \
  >out64.txt 2>err64.txt
code64=$?
timeout --kill-after=10 120 "$root/scripts/wine-run" "$bin64/tests/excludedhost/tintara-host-excluded.exe" \
  "$bin64/Tintara.8bf" $excluded --out "$work/excluded-64.png" \
  >>out64.txt 2>>err64.txt
excluded64=$?
for cpu in default pentium3; do
  model=()
  [ $cpu = default ] || model=(-cpu $cpu)
  sed "s#-32\.#-32$cpu.#g" jobs32.txt >jobs32$cpu.txt
  for n in "${names[@]}"; do cp "$n-32.state" "$n-32$cpu.state"; done
  emulate "${model[@]}" "$host32" --batch jobs32$cpu.txt >out32$cpu.txt 2>err32$cpu.txt
  eval "code32$cpu=$?"
  emulate "${model[@]}" "$host32" --version-resource "$bin64/tests/excludedhost/tintara-host-excluded.exe" \
    "$bin32/Tintara.8bf" $excluded --out "$work/excluded-32$cpu.png" >>out32$cpu.txt 2>>err32$cpu.txt
  eval "excluded32$cpu=$?"
done
set -e
[ $code64 -eq 0 ] && [ $excluded64 -eq 0 ] || fail "the 64-bit host failed: $(cat err64.txt)"
for cpu in default pentium3; do
  c=code32$cpu e=excluded32$cpu
  [ "${!c}" -eq 0 ] && [ "${!e}" -eq 0 ] || fail "tintara-host32 ($cpu) failed: $(cat err32$cpu.txt)"
done
names+=(excluded)
for n in "${names[@]}"; do
  want=$(summary out64.txt "$n")
  [ -n "$want" ] || fail "$n: no summary from the 64-bit host"
  for cpu in default pentium3; do
    got=$(summary out32$cpu.txt "$n")
    [ "$got" = "$want" ] || fail "$n ($cpu): the hosts differ:
  64-bit: $want
  32-bit: $got"
  done
  if [ -f "$n-64.png" ]; then
    /usr/bin/python3 "$check" same "$n-64.png" "$n-32default.png" "$n-32pentium3.png" >/dev/null ||
      fail "$n: the images differ"
  else
    [ ! -e "$n-32default.png" ] && [ ! -e "$n-32pentium3.png" ] ||
      fail "$n: the 32-bit host wrote an image of a run that did not complete"
  fi
  printf '   %-8s %s\n' "$n" "$want"
done
[[ $(summary out64.txt excluded) == *"advanceState=0 "* ]] || fail "the excluded host took the preview path"
[[ $(summary out64.txt s3-row) == *"strips=203 "* ]] || fail "s3-row: not one row per strip"
for cpu in default pentium3; do
  cmp -s record-64.desc record-32$cpu.desc && cmp -s replay-64.desc replay-32$cpu.desc ||
    fail "the recorded descriptors differ ($cpu)"
done
grep -q '^openReadDescriptor .* -> reader' replay-32default.trace || fail "replay: no descriptor read"
! grep -q '^unserved' replay-32default.trace || fail "replay: the plug-in wanted its dialog"
/usr/bin/python3 "$check" rule in3.png p3-32default.png all.state
/usr/bin/python3 "$check" rule in4.png p4-32pentium3.png mixed.state
/usr/bin/python3 "$check" rule in3.png sr-32default.png mixed.state $rect
for n in pa sa; do
  last=$(grep -E '^abortProc #' $n-32default.trace | tail -1)
  [[ $last == "abortProc #20000 -> 1" ]] || fail "$n: questions went on after the abort: $last"
done
echo "   ${#names[@]} cases, 3 runs each: byte-identical images and equal results"

echo "-- the hostile-host jobs without a dialog"
mkdir -p hostile32 hostile64
/usr/bin/python3 "$root/tests/stages/70-hostile-hosts.py" plan "$work/hostile64" x "$bin64/Tintara.8bf" >/dev/null
/usr/bin/python3 "$root/tests/stages/70-hostile-hosts.py" plan "$work/hostile32" x "$bin32/Tintara.8bf" >/dev/null
python3 - hostile32 hostile64 <<'PY'
import json, shlex, sys
# Only the jobs that run no dialog: the emulated host has no windows.
for work in sys.argv[1:]:
    jobs = json.load(open(work + "/jobs.json"))
    lines = [l for l in open(work + "/jobs.batch") if "--dialog" not in shlex.split(l)]
    labels = [shlex.split(l) for l in lines]
    labels = {words[words.index("--label") + 1] for words in labels}
    json.dump({k: v for k, v in jobs.items() if k in labels}, open(work + "/jobs.json", "w"))
    open(work + "/jobs.batch", "w").writelines(lines)
    print("%s: %d jobs" % (work, len(labels)))
PY
set +e
timeout --kill-after=10 300 "$root/scripts/wine-run" "$bin64/tintara-host.exe" --batch hostile64/jobs.batch \
  >hostile64/stdout 2>hostile64/stderr
emulate "$host32" --batch hostile32/jobs.batch >hostile32/stdout 2>hostile32/stderr
set -e
! grep -q crash hostile32/stderr || fail "tintara-host32 reported a crash: $(grep crash hostile32/stderr)"
/usr/bin/python3 "$root/tests/stages/70-hostile-hosts.py" check hostile32 hostile32/stdout >hostile32/table.md ||
  fail "hostile jobs in the 32-bit host: $(cat hostile32/table.md)"
/usr/bin/python3 "$root/tests/stages/70-hostile-hosts.py" check hostile64 hostile64/stdout >hostile64/table.md ||
  fail "hostile jobs in the 64-bit host: $(cat hostile64/table.md)"
diff <(sed 's/ | [a-z-]* |$//' hostile64/table.md) <(sed 's/ | [a-z-]* |$//' hostile32/table.md) ||
  fail "the hostile jobs ended with other result codes in the 32-bit host"
echo "   $(wc -l <hostile32/table.md) jobs: the same result codes in both hosts"

echo "-- 1000 runs in one process"
common="$bin32/Tintara.8bf --sample 24x16 --no-parameters --quiet --runs 1000 --report-memory"
{
  echo "$common --label preview"
  echo "$common --no-display-pixels --label strip"
  echo "$common --no-handle-procs --label system-memory"
} >leaks.batch
emulate "$host32" --batch leaks.batch >leaks.out 2>leaks.err || fail "leak runs failed: $(cat leaks.err)"
python3 - leaks.out <<'PY'
import re, sys
text = open(sys.argv[1]).read()
rows = re.findall(r"memory runs=(\d+) handlesAfterFirst=(\d+) handlesAfterLast=(\d+) "
                  r"committedAfterFirst=(\d+) committedAfterLast=(\d+) committedPeak=\d+ "
                  r"heapAfterFirst=(\d+) heapAfterLast=(\d+)", text)
bad = len(rows) != 3 or len(re.findall(r"result=0 \(noErr\) time=\S+ runs=1000 ", text)) != 3
for runs, h1, hn, c1, cn, u1, un in (map(int, row) for row in rows):
    print("   runs=%d handles %d -> %d, mapped %d -> %d bytes, heap in use %d -> %d bytes"
          % (runs, h1, hn, c1, cn, u1, un))
    # A leak of 8 bytes a run over 999 runs exceeds the heap allowance.
    bad |= runs != 1000 or hn > h1 or c1 == 0 or u1 == 0 or cn - c1 > 16384 or un - u1 > 4096
if bad:
    sys.exit("FAIL: handles or memory grew over the runs, or a job did not complete")
PY

echo "-- a run that would show the dialog says so and ends"
set +e
emulate "$host32" "$bin32/Tintara.8bf" --sample 32x24 --quiet --out "$work/dialog.png" \
  --trace "$work/dialog.trace" >dialog.out 2>dialog.err
code=$?
set -e
[ $code -eq 2 ] && grep -q 'USER32.dll!DialogBoxParamA' dialog.err && [ ! -e dialog.png ] ||
  fail "the dialog run ended with $code: $(cat dialog.err)"
grep -q '^unserved USER32.dll!DialogBoxParamA' dialog.trace || fail "the trace does not name the dialog call"
echo "   $(cat dialog.err)"

echo "-- About"
emulate "$host32" "$bin32/Tintara.8bf" --about --no-parameters --sample 8x8 --quiet \
  --trace "$work/about.trace" >/dev/null
/usr/bin/python3 - "$root" "$bin32/Tintara.8bf" about.trace <<'PY'
import sys
sys.path.insert(0, sys.argv[1] + "/tests/artifacts")
from resparse import open_pe, strings as string_table
strings = string_table(open_pe(open(sys.argv[2], "rb").read()))
trace = open(sys.argv[3], encoding="utf-8").read().splitlines()
at = trace.index("call About") if "call About" in trace else -1
want = ['messageBox caption="%s" text="%s"' % (strings.get(16001), strings.get(16000, "").replace("\n", " ")),
        "messageBox closed with button 1", "result About untouched"]
if at < 0 or trace[at + 1:at + 4] != want:
    sys.exit("FAIL: About traced %r, expected %r" % (trace[at + 1:at + 4], want))
print("   " + want[0])
PY

echo "host32 passed in $(($(date +%s) - started)) s"
