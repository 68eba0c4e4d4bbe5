#!/usr/bin/env bash
# The release archive. scripts/package builds it twice from the committed tree: the
# first build with its checks (verifier, a run of each plug-in in its host), the
# second later, in a folder elsewhere, without them. Both archives must be
# byte-identical (the checker names the differing bytes otherwise). Then the
# archive's contents are checked, it is unpacked twice and checked against its
# SHA256SUMS, and the 64-bit plug-in unpacked from it is run
# with scripts/apply and must give the tone rule's image.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
work=$root/build/stage-release
check=$root/tests/stages/85-release-check.py
rm -rf "$work"
mkdir -p "$work"
elsewhere=$(mktemp -d)
trap 'rm -rf "$elsewhere"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

host=()
[ -x build/win64/tintara-host.exe ] && host=(--host "$root/build/win64/tintara-host.exe")
[ -x build/host32/tintara-host32 ] && host+=(--host32 "$root/build/host32/tintara-host32")
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
scripts/apply --plugin "$unpacked/64-bit/Tintara.8bf" "$runs/before64.png" "$work/applied.png" \
  --state "$work/applied.state" --dialog "r=12;g=250;b=99;check=rb;ok" --dialog-timeout 20000 --quiet \
  >"$work/apply.log" 2>&1 || { cat "$work/apply.log" >&2; fail "scripts/apply on the unpacked plug-in"; }
/usr/bin/python3 tests/stages/40-engine-e2e-check.py rule "$runs/before64.png" "$work/applied.png" "$work/applied.state" ||
  fail "the unpacked plug-in's image is not the tone rule's"
echo "release archive: $(basename "$first"), reproducible, checked and applied"
