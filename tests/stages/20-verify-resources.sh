#!/usr/bin/env bash
# Checks both built plug-in files field by field (property list, dialog
# template, strings, cursors, version block, languages, exports, imports, and
# the machine code: no aligned ymm move of memory, the AVX2 kernel, the 32-bit
# stack realignment), then proves on altered copies that the verifier rejects a
# wrong byte or instruction.
set -euo pipefail
cd "$(dirname "$0")/../.."

files=(build/win32/Tintara.8bf build/win64/Tintara.8bf)
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "missing $f: run scripts/build first"; exit 1; }
done
/usr/bin/python3 tests/artifacts/verify_plugin.py "${files[@]}"
for f in "${files[@]}"; do
  /usr/bin/python3 tests/artifacts/selftest.py "$f"
  /usr/bin/python3 tests/artifacts/disasm_checks.py selftest "$f"
done
