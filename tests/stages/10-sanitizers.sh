#!/usr/bin/env bash
# The native unit tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer:
# any finding aborts the test that caused it.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$(nproc)" >/dev/null
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --preset asan -j"$(nproc)" --timeout 600
