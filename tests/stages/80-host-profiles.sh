#!/usr/bin/env bash
# The plug-in in every host the reference host can play (tools/reference-host,
# --profile), both files under Wine with their dialog (the 64-bit file in the
# 64-bit host under Wine 8, the 32-bit file in the 32-bit host under Wine 10):
# first run, repeat, cancel, abort, strip path, transparency and a small filter
# rectangle (also in strips), each checked for its result code, its pixels against
# the tone rule and the plug-in's leftover handles by 80-host-profiles.py, which
# also holds the 32-bit file's results and images to the 64-bit file's.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
work=$root/build/win64/stage-profiles
rm -rf "$work"
mkdir -p "$work"
# The 64-bit file gets this stage's own prefix; the 32-bit file uses the one
# shared 32-bit prefix (build/wineprefix32), whose first creation is costly.
export WINEPREFIX=$root/build/win64/wineprefix-profiles
unset DISPLAY # scripts/wine-run starts its own Xvfb and stops it again
source tests/stages/lib/route32.sh
trap route32_end EXIT
route32_begin "$work"
files=("$root/build/win64/tintara-host.exe" "$root/build/win64/Tintara.8bf"
  "$root/build/win32/tintara-host.exe" "$root/build/win32/Tintara.8bf")
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing (run scripts/build)" >&2; exit 1; }
done
/usr/bin/python3 tests/stages/80-host-profiles.py run "$work" "${files[@]}" | tee "$work/table.md"
echo "host profiles passed"
