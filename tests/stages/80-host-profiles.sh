#!/usr/bin/env bash
# The plug-in in every host the reference host can play (tools/reference-host,
# --profile), the 64-bit file under Wine with its dialog and the 32-bit file in the
# emulated 32-bit host without it: first run, repeat, cancel, abort, strip path,
# transparency and a small filter rectangle (also in strips), each checked for
# its result code, its pixels against the
# tone rule and the plug-in's leftover handles by 80-host-profiles.py.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=$root/build/win64
work=$bin/stage-profiles
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$bin/wineprefix-profiles
unset DISPLAY # scripts/wine-run starts its own Xvfb and stops it again
files=("$bin/tintara-host.exe" "$bin/Tintara.8bf")
# The 32-bit file runs in the emulated 32-bit host wherever the tree has one.
if [ -d tools/host32 ]; then
  files+=("$root/build/host32/tintara-host32" "$root/build/win32/Tintara.8bf")
fi
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing (run scripts/build)" >&2; exit 1; }
done
/usr/bin/python3 tests/stages/80-host-profiles.py run "$work" "${files[@]}" | tee "$work/table.md"
echo "host profiles passed"
