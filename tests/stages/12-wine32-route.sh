#!/usr/bin/env bash
# How the 32-bit file's route is chosen: the proof program that tells whether
# this kernel runs 32-bit code in a 64-bit process (and reports a refusal rather
# than dying with it), the route read from the machine's record and its
# override, "none" whenever the chosen route is not set up, the folders a guest
# shares, and scripts/wine-run refusing a 32-bit program honestly (status 77,
# the job named in the run's list) when no route can run it.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # check WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: expected '$2', got '$3'"
    failures=$((failures + 1))
  fi
}

gcc -O2 -static -no-pie -o "$work/compat32-check" tools/compat32-check/compat32-check.c
said=$("$work/compat32-check")
code=$?
case "$code:$said" in
"0:compat32: runs (eax=42)") echo "this kernel runs 32-bit code in a 64-bit process" ;;
1:*refused*) echo "this kernel refuses 32-bit code in a 64-bit process: $said" ;;
*) check "the proof program's verdict" "0 or 1 with its line" "$code: $said" ;;
esac
# A jump to the data segment faults on every kernel: the child dies, the
# program reports it.
said=$("$work/compat32-check" 0x2b)
check "a refused jump's status" 1 "$?"
check "a refused jump's report" "refused" "$(grep -o refused <<<"$said")"

# The route: the record, its override, and "none" when not set up.
route() { # route [VAR=VALUE...]: what wine32_route and wine32_why_none say
  env -u TINTARA_WINE32_ROUTE -u TINTARA_VM32_SPOOL TINTARA_WINE10_ROOT="$work/opt/sid-root" \
    TINTARA_VM32_ROOT="$work/opt/vm-root" "$@" bash -c '
    source scripts/lib/wine10.sh
    source scripts/lib/vm32.sh
    source scripts/lib/wine32-route.sh
    echo "$(wine32_route): $(wine32_why_none)"'
}
mkdir -p "$work/opt/sid-root" "$work/opt/vm-root/opt/tintara-prefix"
check "no record" "none" "$(route | cut -d: -f1)"
grep -q "run scripts/setup" <<<"$(route)" || check "the reason without a record" "run scripts/setup" "$(route)"
echo native >"$work/opt/wine32-route"
check "native recorded, root missing" "none" "$(route | cut -d: -f1)"
touch "$work/opt/sid-root/.tintara-ready"
check "native recorded and set up" "native" "$(route | cut -d: -f1)"
check "vm forced, not set up" "none" "$(route TINTARA_WINE32_ROUTE=vm | cut -d: -f1)"
grep -q "vm 32-bit route is not set up" <<<"$(route TINTARA_WINE32_ROUTE=vm)" ||
  check "the reason for a missing vm route" "vm 32-bit route is not set up" "$(route TINTARA_WINE32_ROUTE=vm)"
touch "$work/opt/vm-root/.tintara-ready"
check "vm forced, marker without a prefix" "none" "$(route TINTARA_WINE32_ROUTE=vm | cut -d: -f1)"
touch "$work/opt/vm-root/opt/tintara-prefix/system.reg"
check "vm forced and set up" "vm" "$(route TINTARA_WINE32_ROUTE=vm | cut -d: -f1)"
echo vm >"$work/opt/wine32-route"
check "vm recorded" "vm" "$(route | cut -d: -f1)"
check "native forced on a vm machine" "native" "$(route TINTARA_WINE32_ROUTE=native | cut -d: -f1)"
check "an unknown route" "none" "$(route TINTARA_WINE32_ROUTE=wow | cut -d: -f1)"

# A guest shares the checkout, /tmp and the given folders, each once, none
# inside another, never the system's own folders.
mkdir -p "$work/a/b" "$work/c"
shares=$(bash -c 'source scripts/lib/vm32.sh; vm32_shares "$@"' shares "$work/a/b" "$work/c" "$root/build" /usr /opt/tintara |
  tr '\n' ' ')
check "shared folders" "$(printf '%s\n' "$root" /tmp | sort | tr '\n' ' ')" "$shares"

# No route: scripts/wine-run refuses a 32-bit program with status 77 and names
# the job, without touching any Wine. Neither route is there, whichever the
# caller's environment forces.
printf 'MZ' >"$work/prog32.exe"
head -c 58 /dev/zero >>"$work/prog32.exe"
printf '\x40\x00\x00\x00PE\x00\x00\x4c\x01' >>"$work/prog32.exe"
env -u TINTARA_VM32_SPOOL TINTARA_WINE10_ROOT="$work/nowhere/sid-root" \
  TINTARA_VM32_ROOT="$work/nowhere/vm-root" TINTARA_NOT_RUN_LOG="$work/not-run.txt" \
  scripts/wine-run "$work/prog32.exe" --about 2>"$work/err"
check "wine-run without a route" 77 "$?"
check "the job it could not run" "$work/prog32.exe --about" "$(cat "$work/not-run.txt" 2>/dev/null)"
grep -q "cannot run the 32-bit" "$work/err" || check "wine-run's reason" "cannot run the 32-bit ..." "$(cat "$work/err")"

echo "$failures failed"
[ "$failures" = 0 ]
