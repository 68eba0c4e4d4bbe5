#!/usr/bin/env bash
# Leaks over many runs: one reference-host process under Wine applies the filter
# 1000 times on each path (preview and strip), once more with the operating
# system's memory in place of the host's handle suite and once with a suite of
# another version, keeping the plug-in loaded and its state (and the recorded
# descriptor) between runs. The host's live handles, the bytes in the process's
# heap blocks and its committed private memory after the last run must not exceed
# what they were after the first, beyond small allowances that a leak of even 8
# bytes a run over 999 runs would exceed.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=$root/build/win64
work=$bin/stage-leaks
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$bin/wineprefix-hostile
unset DISPLAY
runs=${LEAK_RUNS:-1000}
allowance=$((16 * 1024))     # committed pages
heap_allowance=$((4 * 1024)) # bytes in heap blocks: a leak of 8 bytes a run exceeds it

common="--sample 24x16 --no-parameters --quiet --runs $runs --report-memory"
{
  echo "$bin/Tintara.8bf $common --label preview"
  echo "$bin/Tintara.8bf $common --no-display-pixels --label strip"
  echo "$bin/Tintara.8bf $common --no-handle-procs --label system-memory"
  # A handle suite that fails the plug-in's usability rule, with recorded
  # descriptors handed back on every run.
  echo "$bin/Tintara.8bf $common --handle-procs-version 2 --label suite-version-2"
} >"$work/jobs.batch"
start=$(date +%s%N)
set +e
timeout --kill-after=10 240 scripts/wine-run "$bin/tintara-host.exe" --batch "$work/jobs.batch" \
  >"$work/stdout" 2>"$work/stderr"
code=$?
set -e
ms=$((($(date +%s%N) - start) / 1000000))
cat "$work/stdout"
echo "one Wine process, 4 x $runs runs: ${ms} ms"
if [ "$code" -ne 0 ]; then
  cat "$work/stderr" >&2
  [ "$code" -ge 124 ] && WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null
  echo "FAIL: the host exited with $code" >&2
  exit 1
fi
python3 - "$work/stdout" "$runs" "$allowance" "$heap_allowance" <<'PY'
import re, sys
text = open(sys.argv[1], errors="replace").read()
runs, allowance, heap_allowance = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
figures = re.findall(r"memory runs=(\d+) handlesAfterFirst=(\d+) handlesAfterLast=(\d+) "
                     r"committedAfterFirst=(\d+) committedAfterLast=(\d+) committedPeak=(\d+) "
                     r"heapAfterFirst=(\d+) heapAfterLast=(\d+)", text)
labels = re.findall(r"tintara-host: (\S+) \S+ result=0 ", text)
failed = len(figures) != 4 or len(labels) != 4
for (done, h1, hn, c1, cn, peak, u1, un) in figures:
    done, h1, hn, c1, cn, peak, u1, un = map(int, (done, h1, hn, c1, cn, peak, u1, un))
    growth, heap_growth = cn - c1, un - u1
    print("runs=%d handles %d -> %d, committed %d -> %d bytes (%+d), peak %d, "
          "heap in use %d -> %d bytes (%+d, %.2f bytes/run)"
          % (done, h1, hn, c1, cn, growth, peak, u1, un, heap_growth,
             heap_growth / max(done - 1, 1)))
    if (done != runs or hn > h1 or c1 == 0 or u1 == 0 or growth > allowance
            or heap_growth > heap_allowance):
        failed = True
if failed:
    print("FAIL: handles or committed memory grew, or a job did not complete", file=sys.stderr)
sys.exit(1 if failed else 0)
PY
echo "leaks passed"
