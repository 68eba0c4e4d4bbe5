#!/usr/bin/env bash
# A short run of every fuzz target (libFuzzer with ASan and UBSan), each starting
# from its committed corpus in tests/fuzz/corpus/<target>. Any finding fails.
# Longer runs: FUZZ_SECONDS=600 tests/stages/15-fuzz-short.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-15}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target fuzz_all >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in build/fuzz/tests/fuzz/fuzz*; do
  [ -x "$target" ] && [ -f "$target" ] || continue
  name=$(basename "$target")
  mkdir -p "$work/$name"
  # The corpus folders keep the sources' capitals (Engine for FuzzEngine.cpp); the
  # built targets are lower case.
  seeds=$(find tests/fuzz/corpus -mindepth 1 -maxdepth 1 -type d -iname "${name#fuzz}" | head -n1)
  [ -n "$seeds" ] && cp "$seeds"/* "$work/$name"/ 2>/dev/null || true
  echo "fuzzing $name for ${seconds} s from $(ls "$work/$name" | wc -l) seeds"
  (cd "$work" && "$OLDPWD/$target" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
      -artifact_prefix="$work/" "$work/$name" 2>&1 | grep -E "stat::number_of_executed_units|ERROR|SUMMARY" )
  if ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* >/dev/null 2>&1; then
    echo "$name found a fault:"; ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null
    exit 1
  fi
done
