#!/usr/bin/env bash
# The release archive. scripts/package builds it twice from the committed tree: the
# first build with its checks (verifier, a run of each plug-in in its host), the
# second later, in a folder elsewhere, without them. Both archives must be
# byte-identical (the checker names the differing bytes otherwise). Then the
# archive's contents are checked, it is unpacked twice and checked against its
# SHA256SUMS, and the three plug-ins unpacked from it are run with scripts/apply
# (each in the reference host of its machine type under Wine, with its dialog):
# the 64-bit one must give the tone rule's image, the 32-bit and ARM64 ones the
# same image and the same kept parameters.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
work=$root/build/stage-release
check=$root/tests/stages/85-release-check.py
rm -rf "$work"
mkdir -p "$work"
elsewhere=$(mktemp -d)
source tests/stages/lib/route32.sh
trap 'route32_end; rm -rf "$elsewhere"' EXIT
route32_begin "$work" || exit 1
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

host=()
[ -x build/win64/tintara-host.exe ] && host=(--host "$root/build/win64/tintara-host.exe")
[ -x build/win32/tintara-host.exe ] && host+=(--host32 "$root/build/win32/tintara-host.exe")
[ -x build/arm64/tintara-host.exe ] && host+=(--host-arm64 "$root/build/arm64/tintara-host.exe")
first=$(scripts/package --out "$work/a" --work "$work/build-a" "${host[@]}") ||
  fail "scripts/package failed"
second=$(scripts/package --out "$elsewhere/b" --work "$elsewhere/deeper/build-b" --no-checks 2>/dev/null) ||
  fail "the second scripts/package failed"
[ "$(basename "$first")" = "Tintara-$(cat "$work/build-a/src/build/win64/VERSION").zip" ] ||
  fail "archive name $first does not carry the built version"
/usr/bin/python3 "$check" same "$first" "$second" || fail "two builds of one commit differ"

commit_time=$(git log -1 --format=%ct HEAD)
/usr/bin/python3 "$check" contents "$first" README.md "$commit_time" \
  "$root" "$work" "$elsewhere" "$(hostname)" "${USER:-}" "$(id -un)" "$HOME" ||
  fail "the archive's contents"

# Unpacked with Python's zipfile and with unzip (as a user on Linux would), each
# copy must pass sha256sum -c, and both must hold the same files.
unpacked=$work/unpacked
/usr/bin/python3 "$check" extract "$first" "$unpacked"
(cd "$unpacked" && sha256sum --check --strict --quiet SHA256SUMS) ||
  fail "SHA256SUMS does not match the files that Python unpacked"
unzip -q "$first" -d "$work/unzipped" || fail "unzip could not unpack the archive"
(cd "$work/unzipped" && sha256sum --check --strict --quiet SHA256SUMS) ||
  fail "SHA256SUMS does not match the files that unzip unpacked"
diff -r "$unpacked" "$work/unzipped" >/dev/null || fail "unzip and Python unpacked different files"
runs=$work/build-a/runs
for bits in 64 32 arm64; do
  folder=$bits-bit
  [ "$bits" = arm64 ] && folder=arm64
  scripts/apply --plugin "$unpacked/$folder/Tintara.8bf" "$runs/before64.png" "$work/applied$bits.png" \
    --state "$work/applied$bits.state" --dialog "r=12;g=250;b=99;check=rb;ok" --dialog-timeout 20000 --quiet \
    >"$work/apply$bits.log" 2>&1 || { cat "$work/apply$bits.log" >&2; fail "scripts/apply on the unpacked $bits-bit plug-in"; }
done
/usr/bin/python3 tests/stages/40-engine-e2e-check.py rule "$runs/before64.png" "$work/applied64.png" "$work/applied64.state" ||
  fail "the unpacked 64-bit plug-in's image is not the tone rule's"
/usr/bin/python3 tests/stages/40-engine-e2e-check.py same "$work/applied64.png" "$work/applied32.png" &&
  cmp -s "$work/applied64.state" "$work/applied32.state" ||
  fail "the unpacked 32-bit plug-in's image or kept parameters are not the 64-bit plug-in's"
cmp -s "$work/applied64.png" "$work/appliedarm64.png" && cmp -s "$work/applied64.state" "$work/appliedarm64.state" ||
  fail "the unpacked ARM64 plug-in's image or kept parameters are not the 64-bit plug-in's"
echo "release archive: $(basename "$first"), reproducible, checked, all three files applied"
