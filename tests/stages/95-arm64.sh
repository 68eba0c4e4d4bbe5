#!/usr/bin/env bash
# The ARM64 file (build/arm64, Windows on Arm), proven beside the 64-bit x86 one:
# - the built-file verifier's checks (machine AA64, 'wa64' entry, exports, imports,
#   library name, every resource field), and its resources byte for byte those of
#   the 64-bit file but for the entry key;
# - the unit tests built for aarch64 Linux under qemu-aarch64, the NEON kernel
#   among them (it must match the reference kernel in every case);
# - the main job in Debian's Wine for ARM64 (the dialog answered by a script, its
#   picture taken), whose image must equal the 64-bit file's byte for byte.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
arm=$root/build/arm64
x64=$root/build/win64
work=$arm/stage
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
[ -f "$x64/Tintara.8bf" ] && [ -f "$x64/tintara-host.exe" ] || fail "$x64 is not built (run scripts/build)"
started=$(date +%s)

cmake --preset arm64 >/dev/null
cmake --build --preset arm64 -j2 >/dev/null || fail "the arm64 preset does not build"
/usr/bin/python3 tests/artifacts/verify_plugin.py "$arm/Tintara.8bf" || fail "verifier"
/usr/bin/python3 tests/artifacts/same_resources.py "$arm/Tintara.8bf" "$x64/Tintara.8bf" ||
  fail "the ARM64 file's resources differ from the 64-bit file's"

cmake --preset aarch64-tests >/dev/null
cmake --build --preset aarch64-tests -j2 >/dev/null || fail "the aarch64 unit tests do not build"
ctest --preset aarch64-tests -j2 >"$arm/aarch64-tests.log" 2>&1 || {
  tail -30 "$arm/aarch64-tests.log" >&2
  fail "aarch64 unit tests"
}
grep -q 'FastMatchesReferenceOverEdgeAxes/Neon .*Passed' "$arm/aarch64-tests.log" ||
  fail "the NEON kernel's test did not run"
grep "tests passed" "$arm/aarch64-tests.log"

rm -rf "$work"
mkdir -p "$work"
for target in win64 arm64; do
  timeout 300 scripts/wine-run "$root/build/$target/tintara-host.exe" "$root/build/$target/Tintara.8bf" \
    --out "$work/after-$target.png" \
    --dialog "r=230;g=140;b=40;check=rgb;shot=$work/dialog-$target.png;ok" \
    >"$work/run-$target.log" 2>&1 || {
    cat "$work/run-$target.log" >&2
    fail "the main job with the $target file"
  }
  grep -q 'result=0 (noErr)' "$work/run-$target.log" || fail "the $target file's main job did not end with noErr"
  [ -s "$work/dialog-$target.png" ] || fail "no dialog picture from the $target file"
done
cmp -s "$work/after-win64.png" "$work/after-arm64.png" ||
  fail "the ARM64 file's image differs from the 64-bit file's"
echo "arm64: verified, aarch64 unit tests passed, main job equal to the 64-bit file's" \
  "($(($(date +%s) - started)) s)"
