#!/usr/bin/env bash
# Hostile hosts in a real process, for both plug-in files: the reference host of
# the file's bitness (the 32-bit one under Wine 10, the 64-bit one under Wine 8)
# runs the plug-in with callbacks taken away, a handle suite of another version or
# without setSizeProc, advanceState failing, the user cancelling in each selector
# and in the middle of the pixels, a 1x1 image, filter rectangles on the image's
# edges, maxSpace 0 and 1, parameter records of random bytes, the dialog, and kept
# records shorter than the record in handles that end at an inaccessible page.
# Every job must end with the expected (or, for random records, some) result code
# and no crash; where the result is 0 the pixels must follow the tone rule,
# computed by 70-hostile-hosts.py on its own. Both files get the same jobs with
# the same parameter bytes and must end each the same way, with the same kept
# record and images. All jobs of a file run in one Wine process; the two run side
# by side, each with its own Xvfb.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
stage=$root/build/stage-hostile
rm -rf "$stage"
mkdir -p "$stage/win32" "$stage/win64"
# The 64-bit Wine gets a prefix of its own; the 32-bit one shares build/wineprefix32.
export WINEPREFIX=$root/build/win64/wineprefix-hostile
unset DISPLAY # scripts/wine-run starts its own Xvfb and stops it again
source tests/stages/lib/route32.sh
trap route32_end EXIT
route32_begin "$stage"

jobs=$(/usr/bin/python3 tests/stages/70-hostile-hosts.py plan \
  "$stage/win32" "$root/build/win32/tintara-host.exe" "$root/build/win32/Tintara.8bf" \
  "$stage/win64" "$root/build/win64/tintara-host.exe" "$root/build/win64/Tintara.8bf")
echo "running $jobs hostile-host jobs (32-bit, 64-bit file), one Wine process per file"

run() { # BITS: the file's batch; its exit code goes to its folder
  local work=$stage/win$1 code=0
  timeout --kill-after=10 300 scripts/wine-run "$root/build/win$1/tintara-host.exe" \
    --batch "$work/jobs.batch" >"$work/stdout" 2>"$work/stderr" || code=$?
  echo "$code" >"$work/exit"
}
run 32 &
lane=$!
run 64
wait "$lane" || true

fail=0
for bits in 32 64; do
  work=$stage/win$bits
  code=$(cat "$work/exit")
  if [ "$code" -ge 124 ]; then
    echo "FAIL: the $bits-bit host did not finish (exit $code)" >&2
    scripts/wineserver "$bits" -k 2>/dev/null || true
    fail=1
    continue
  fi
  if grep -q "crash" "$work/stderr"; then
    grep "crash" "$work/stderr" >&2
    echo "FAIL: the $bits-bit host reported a crash" >&2
    fail=1
    continue
  fi
  echo "== the ${bits}-bit file"
  /usr/bin/python3 tests/stages/70-hostile-hosts.py check "$work" "$work/stdout" >"$work/table.md" || fail=1
  cat "$work/table.md"
done
/usr/bin/python3 tests/stages/70-hostile-hosts.py compare \
  "$stage/win32" "$stage/win32/stdout" "$stage/win64" "$stage/win64/stdout" || fail=1
[ "$fail" = 0 ] || exit 1
echo "hostile hosts passed"
