#!/usr/bin/env bash
# The plug-in in every host the reference host can play (tools/reference-host,
# --profile): first run, repeat, cancel, abort, strip path, transparency and a
# small filter rectangle, each checked for its result code, its pixels against the
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
python3 tests/stages/80-host-profiles.py run "$work" "$bin/tintara-host.exe" "$bin/Tintara.8bf" \
  | tee "$work/table.md"
echo "host profiles passed"
