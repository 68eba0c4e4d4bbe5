#!/usr/bin/env python3
"""Counts, in a 32-bit .8bf, the SSE instructions whose memory operand must be
16-byte aligned and lies on the stack (addressed through esp), and how many of
them sit in a function that does not realign the stack (and $-16,%esp) before them.

  90-host32-alignment.py FILE.8bf     prints "TOTAL UNREALIGNED" and the offenders

A function starts at a call target, an exported entry, or an address of the code
that the code loads as a constant (window and dialog procedures handed to Windows).
"""
import bisect
import re
import subprocess
import sys

text = subprocess.run(["x86_64-w64-mingw32-objdump", "-d", "--no-show-raw-insn", sys.argv[1]],
                      capture_output=True, text=True, check=True).stdout
exports = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", sys.argv[1]],
                         capture_output=True, text=True, check=True).stdout
insns = [(int(m.group(1), 16), m.group(2))
         for m in re.finditer(r"^\s*([0-9a-f]+):\t(.*)$", text, re.M)]
low, high = insns[0][0], insns[-1][0]
starts = {int(t, 16) for _, i in insns for t in re.findall(r"call\s+0x([0-9a-f]+)", i)}
starts |= {int(t, 16) for _, i in insns for t in re.findall(r"\$0x([0-9a-f]+)", i)
           if low <= int(t, 16) <= high}
base = int(re.search(r"^ImageBase\s+([0-9a-f]+)", exports, re.M).group(1), 16)
starts |= {base + int(m.group(1), 16)
           for m in re.finditer(r"\[\s*\d+\]\s+\+base\[\s*\d+\]\s+([0-9a-f]+)", exports)}
starts = sorted(s for s in starts if low <= s <= high)
unaligned_ok = re.compile(r"^(movdqu|movups|movupd|movss|movsd|movd|movq|lddqu|pinsr|pextr|cvt|ucomis|comis)")
needs_alignment = re.compile(r"^(p\w+|movdqa|movaps|movapd|\w+ps|\w+pd)\s+.*\(%esp\).*%xmm"
                             r"|^(movdqa|movaps|movapd)\s+%xmm\d+,.*\(%esp\)")
realigns = [a for a, i in insns if re.search(r"and\s+\$0xfffffff0,%esp", i)]
total, offenders = 0, []
for address, insn in insns:
    if needs_alignment.search(insn) and not unaligned_ok.search(insn):
        total += 1
        start = starts[max(bisect.bisect_right(starts, address) - 1, 0)]
        if not any(start <= r < address for r in realigns):
            offenders.append("%x %s" % (address, insn))
print(total, len(offenders))
for offender in offenders:
    print("  " + offender, file=sys.stderr)
