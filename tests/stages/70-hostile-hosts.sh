#!/usr/bin/env bash
# Hostile hosts in a real process: the reference host under 64-bit Wine runs the
# plug-in with callbacks taken away, a handle suite of another version or without
# setSizeProc, advanceState failing, the user cancelling in each selector and in
# the middle of the pixels, a 1x1 image, filter rectangles on the image's edges,
# maxSpace 0 and 1, parameter records of random bytes, and kept records shorter
# than the record in handles that end at an inaccessible page. Every job must end
# with the expected (or, for random records, some) result code and no crash;
# where the result is 0 the pixels must follow the tone rule, computed by
# 70-hostile-hosts.py on its own. All jobs run in one Wine process.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=$root/build/win64
work=$bin/stage-hostile
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$bin/wineprefix-hostile
unset DISPLAY # scripts/wine-run starts its own Xvfb and stops it again

jobs=$(/usr/bin/python3 tests/stages/70-hostile-hosts.py plan "$work" "$bin/tintara-host.exe" "$bin/Tintara.8bf")
echo "running $jobs hostile-host jobs in one Wine process"
set +e
timeout --kill-after=10 300 scripts/wine-run "$bin/tintara-host.exe" --batch "$work/jobs.batch" \
  >"$work/stdout" 2>"$work/stderr"
code=$?
set -e
if [ "$code" -ge 124 ]; then
  echo "FAIL: the host did not finish (exit $code)" >&2
  WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
  exit 1
fi
if grep -q "crash" "$work/stderr"; then
  grep "crash" "$work/stderr" >&2
  echo "FAIL: the host reported a crash" >&2
  exit 1
fi
/usr/bin/python3 tests/stages/70-hostile-hosts.py check "$work" "$work/stdout" | tee "$work/table.md"
echo "hostile hosts passed"
