#!/usr/bin/env bash
# The 32-bit plug-in in the emulated 32-bit host (tintara-host32 under qemu-i386),
# for what only that host can do; everything else the 32-bit file does is proven
# in a real Windows API (Wine 10) by the other stages:
# - a second 32-bit file built to assume a 16-byte aligned stack crashes when the
#   host enters it 4, 8 or 12 bytes off that alignment, as 32-bit Windows hosts
#   may; the shipped file runs at every offset with its AVX2 and its SSE4.1
#   kernel, and in it every SSE instruction that needs an aligned stack operand
#   follows a realignment of the stack (the built-file verifier refuses the
#   other file for that);
# - on a processor without SSE4.1 (pentium3) the engine cases (both paths, 3 and
#   4 planes, several maxSpace budgets down to one row per strip, tones and
#   channels from a state file, an abort in the middle, a failed advanceState, a
#   replayed descriptor), each call entered at the next stack offset in turn, give
#   the images, results and descriptors of the 64-bit file under Wine;
# - a run that would show the dialog, which this host cannot, says so and ends;
# - every system function that the file imports is served (USER32 and GDI32
#   functions that only the dialog calls aside), so that a new import fails this
#   stage rather than a user's run; and a kept record on a host without a handle
#   suite, which the plug-in measures with GlobalSize, runs to the end.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin32=$root/build/win32
bin64=$root/build/win64
host32=$root/build/host32/tintara-host32
unaligned=$root/build/win32-unaligned
work=$root/build/host32/stage
check=$root/tests/stages/40-engine-e2e-check.py
for f in "$bin32/Tintara.8bf" "$bin64/Tintara.8bf" "$bin64/tintara-host.exe" "$host32"; do
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
  # The host's own option before the plug-in's file here and after the job's
  # options there: the unfixed file's crash shows that it took effect.
  emulate "${sse[@]}" "$host32" "$unaligned/Tintara.8bf" $job --out u$offset.png --stack-offset $offset \
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
# scripts/apply32 takes its options after IN.png OUT.png as well.
set +e
timeout --kill-after=10 300 "$root/scripts/apply32" f0.png a12.png --quiet --plugin "$unaligned/Tintara.8bf" \
  --no-parameters --stack-offset 12 --cpu max,-avx2 >a12.out 2>a12.err
code=$?
set -e
[ $code -eq 3 ] && grep -q 'entered with the stack 12 bytes off' a12.err ||
  fail "scripts/apply32 with --stack-offset after its files: exit $code: $(cat a12.err)"
# Without SSE4.1 the plug-in takes its plain kernel, which keeps nothing in
# aligned stack slots: the same file then runs at any offset.
emulate -cpu pentium3 "$host32" --stack-offset 4 "$unaligned/Tintara.8bf" $job --out p4.png \
  >p4.out 2>p4.err || fail "the plain kernel depends on the stack alignment: $(cat p4.err)"
/usr/bin/python3 "$check" same f0.png p4.png

echo "-- the engine cases without SSE4.1, against the 64-bit file under Wine"
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

set +e
timeout --kill-after=10 300 "$root/scripts/wine-run" "$bin64/tintara-host.exe" --batch jobs64.txt \
  >out64.txt 2>err64.txt
code64=$?
[ $code64 -eq 124 ] && "$root/scripts/wineserver" 64 -k
emulate -cpu pentium3 "$host32" --batch jobs32.txt >out32.txt 2>err32.txt
code32=$?
set -e
[ $code64 -eq 0 ] || fail "the 64-bit host failed: $(cat err64.txt)"
[ $code32 -eq 0 ] || fail "tintara-host32 (pentium3) failed: $(cat err32.txt)"
for n in "${names[@]}"; do
  want=$(summary out64.txt "$n")
  [ -n "$want" ] || fail "$n: no summary from the 64-bit host"
  got=$(summary out32.txt "$n")
  [ "$got" = "$want" ] || fail "$n: the hosts differ:
  64-bit: $want
  32-bit: $got"
  if [ -f "$n-64.png" ]; then
    /usr/bin/python3 "$check" same "$n-64.png" "$n-32.png" >/dev/null || fail "$n: the images differ"
  else
    [ ! -e "$n-32.png" ] || fail "$n: the 32-bit host wrote an image of a run that did not complete"
  fi
  printf '   %-8s %s\n' "$n" "$want"
done
[[ $(summary out64.txt s3-row) == *"strips=203 "* ]] || fail "s3-row: not one row per strip"
cmp -s record-64.desc record-32.desc && cmp -s replay-64.desc replay-32.desc ||
  fail "the recorded descriptors differ"
grep -q '^openReadDescriptor .* -> reader' replay-32.trace || fail "replay: no descriptor read"
! grep -q '^unserved' replay-32.trace || fail "replay: the plug-in wanted its dialog"
/usr/bin/python3 "$check" rule in3.png p3-32.png all.state
/usr/bin/python3 "$check" rule in4.png p4-32.png mixed.state
/usr/bin/python3 "$check" rule in3.png sr-32.png mixed.state $rect
for n in pa sa; do
  last=$(grep -E '^abortProc #' $n-32.trace | tail -1)
  [[ $last == "abortProc #20000 -> 1" ]] || fail "$n: questions went on after the abort: $last"
done
echo "   ${#names[@]} cases: byte-identical images and equal results"

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

echo "-- the file's imports against the host's stand-ins"
set +e
emulate "$host32" --check-imports "$bin32/Tintara.8bf" >imports.out 2>&1
code=$?
set -e
[ $code -eq 0 ] || fail "the emulated host does not serve every import of the plug-in: $(cat imports.out)"
echo "   $(head -n1 imports.out)"
# The check names an import that no stand-in serves (and GlobalSize is served).
printf '#include <windows.h>\n__declspec(dllexport) void Probe(void) { Beep(440, 10); GlobalSize(0); }\n' >extra.c
i686-w64-mingw32-gcc -shared -o extra.dll extra.c
set +e
emulate "$host32" --check-imports extra.dll >extra.out 2>&1
code=$?
set -e
[ $code -eq 1 ] && grep -qx 'unserved import: KERNEL32.dll!Beep' extra.out && ! grep -q GlobalSize extra.out ||
  fail "the import check of a library that imports Beep ended with $code: $(cat extra.out)"

echo "-- a kept record on a host without a handle suite"
/usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import tonecheck
tonecheck.write_record(sys.argv[2], tonecheck.record((200, 30, 117), (1, 1, 1)))' \
  "$root/tests/stages/lib" kept.state
set +e
emulate "$host32" "$bin32/Tintara.8bf" --sample 32x24 --no-parameters --null handleProcs \
  --state kept.state --out kept.png >kept.out 2>kept.err
code=$?
set -e
[ $code -eq 0 ] && grep -q 'result=0' kept.out || fail "the run without a handle suite ended with $code: $(cat kept.out kept.err)"
echo "   $(summary kept.out '\S+' | head -n1)"

echo "host32 passed in $(($(date +%s) - started)) s"
