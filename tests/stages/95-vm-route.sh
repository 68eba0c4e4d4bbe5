#!/usr/bin/env bash
# The emulated-machine ("vm") route of the 32-bit file on a machine whose own
# route is native, so that the route that machines refusing 32-bit code depend
# on is proven by every test run: one guest is booted, the 32-bit file runs its
# dialog job there, and its image, kept parameters and trace must be the 64-bit
# file's (run on the host). On a vm-route machine every 32-bit job of the other
# stages already ran in a guest.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source tests/stages/lib/route32.sh
source tests/stages/lib/bothfiles.sh
if [ "$route32" = vm ]; then
  echo "this machine's 32-bit route is vm: the other stages ran every 32-bit job in a guest"
  exit 0
fi
if ! vm32_ready; then
  echo "FAIL: the vm route is not set up on this machine (scripts/setup sets it up beside the native one)"
  exit 1
fi
work=$root/build/stage-vm-route
rm -rf "$work"
mkdir -p "$work/32" "$work/64"
route32=vm
trap route32_end EXIT
started=$SECONDS
route32_begin "$work" || exit 1
booted=$((SECONDS - started))

dialog="r=230;g=140;b=40;check=rgb"
fail=0
for bits in 64 32; do
  t=$SECONDS
  timeout --kill-after=10 600 scripts/wine-run "build/win$bits/tintara-host.exe" \
    "$root/build/win$bits/Tintara.8bf" --out "$work/$bits/after.png" --state "$work/$bits/kept.state" \
    --trace "$work/$bits/trace.txt" --dialog "$dialog;shot=$work/$bits/dialog.png;ok" \
    >"$work/$bits/out.txt" 2>"$work/$bits/err.txt"
  code=$?
  echo "$bits-bit dialog job: exit $code in $((SECONDS - t)) s ($([ "$bits" = 32 ] && echo "in the guest" || echo "on the host"))"
  [ $code = 0 ] || { cat "$work/$bits/err.txt"; fail=1; }
done
both_same "the image" "$work/32/after.png" "$work/64/after.png" || fail=1
both_same "the kept parameters" "$work/32/kept.state" "$work/64/kept.state" || fail=1
both_same_alike "the trace" "$work/32/trace.txt" "$work/64/trace.txt" || fail=1
[ -s "$work/32/dialog.png" ] || { echo "FAIL: no dialog picture from the guest"; fail=1; }
route32_end
echo "guest ready in $booted s; stage $((SECONDS - started)) s"
[ $fail = 0 ] && echo "vm route passed"
exit $fail
