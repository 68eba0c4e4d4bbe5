#!/usr/bin/env python3
"""Checks of a built plug-in's machine code, read from its disassembly
(objdump of binutils-mingw-w64):
- no aligned 256-bit move (vmovdqa, vmovaps, vmovapd, the non-temporal moves and
  their AVX-512 forms) with a memory operand: 64-bit Windows code cannot realign
  the stack, so such a move of a stack slot faults depending on the stack at entry;
- the AVX2 kernel is in the file;
- 32-bit files: every SSE instruction whose stack operand (addressed through esp)
  must be 16-byte aligned sits in a function that realigns the stack before it
  (and $-16, $-32 or $-64, %esp), since 32-bit hosts and Windows itself call in
  with a stack aligned to 4 bytes only.
A function starts at a call target, an exported entry, or an address of the code
that the code loads as a constant (window and dialog procedures handed to Windows).

  disasm_checks.py stack FILE      prints "TOTAL UNREALIGNED", offenders on stderr
  disasm_checks.py selftest FILE   alters copies of a good file and expects the
                                   verifier to refuse each; builds one object with
                                   and without the assembler's unaligned moves
"""
import bisect
import hashlib
import os
import re
import subprocess
import sys
import tempfile

OBJDUMP = "x86_64-w64-mingw32-objdump"

# 256-bit (or wider) moves that fault on a misaligned memory operand.
ALIGNED_WIDE_MOVE = re.compile(r"^v(movdqa(32|64)?|movap[sd]|movntdqa?|movntp[sd])\s+\S*%[yz]mm")
WIDE_REGISTER = re.compile(r"%[yz]mm\d+")
# SSE instructions that need a 16-byte aligned stack operand, and those that do not.
NEEDS_ALIGNMENT = re.compile(
    r"^(p\w+|movdqa|movaps|movapd|\w+ps|\w+pd)\s+.*\(%esp\).*%xmm"
    r"|^v?(movdqa|movaps|movapd)\s+%[xy]mm\d+,.*\(%esp\)"
    r"|^v(movdqa|movaps|movapd)\s+.*\(%esp\),%[xy]mm"
)
UNALIGNED_OK = re.compile(r"^(movdqu|movups|movupd|movss|movsd|movd|movq|lddqu|pinsr|pextr|cvt|ucomis|comis)")
REALIGNMENT = re.compile(r"and\s+\$0xffffff[cef]0,%esp")


def run(*args):
    return subprocess.run([OBJDUMP, *args], capture_output=True, text=True, check=True).stdout


class Disassembly:
    """The instructions of a PE file or object: (address, bytes, text). Copies that
    differ outside their code (the verifier's altered copies) share one listing."""

    _listings = {}

    def __init__(self, path):
        headers = run("-h", path)
        # Section: name, size, VMA, LMA, file offset, alignment; then its flags.
        found = re.findall(
            r"^\s*\d+\s+\S+\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+)\s+\S+\n\s+(.*)$", headers, re.M
        )
        self.sections = [(int(vma, 16), int(size, 16), int(offset, 16)) for size, vma, offset, _ in found]
        data = open(path, "rb").read()
        code = hashlib.sha256()
        for size, _, offset, flags in found:
            if "CODE" in flags:
                code.update(data[int(offset, 16) : int(offset, 16) + int(size, 16)])
        key = (len(data), code.hexdigest())
        if key not in Disassembly._listings:
            text = run("-d", "--insn-width=16", path)
            Disassembly._listings[key] = [
                (int(m.group(1), 16), bytes.fromhex(m.group(2)), m.group(3).strip())
                for m in re.finditer(r"^\s*([0-9a-f]+):\t([0-9a-f ]+?)\s*\t(.*)$", text, re.M)
            ]
        self.insns = Disassembly._listings[key]
        self.key = key
        exports = run("-p", path)
        base = re.search(r"^ImageBase\s+([0-9a-f]+)", exports, re.M)
        self.entries = set()
        if base:
            self.entries = {
                int(base.group(1), 16) + int(m.group(1), 16)
                for m in re.finditer(r"\[\s*\d+\]\s+\+base\[\s*\d+\]\s+([0-9a-f]+)", exports)
            }

    def file_offset(self, address):
        for vma, size, offset in self.sections:
            if vma <= address < vma + size:
                return offset + address - vma
        raise ValueError("address %#x lies in no section" % address)


def memory_operands(text):
    """The memory operands of an AT&T instruction: neither registers nor immediates."""
    parts = text.split(None, 1)
    if len(parts) < 2:
        return []
    operands = re.findall(r"[^,(]*(?:\([^)]*\))?[^,]*", parts[1].split("#")[0])
    return [o.strip() for o in operands if o.strip() and not o.strip().startswith(("%", "$"))]


def aligned_wide_moves(dis):
    """Instructions that move 256 bits or more through an aligned memory operand."""
    return [
        "%x %s" % (address, text)
        for address, _, text in dis.insns
        if ALIGNED_WIDE_MOVE.search(text) and memory_operands(text)
    ]


def wide_instructions(dis):
    return sum(1 for _, _, text in dis.insns if WIDE_REGISTER.search(text))


def unrealigned_stack_operands(dis):
    """(number of 16-byte stack operands, those without a realignment before them)."""
    insns = dis.insns
    if not insns:
        return 0, []
    low, high = insns[0][0], insns[-1][0]
    starts = {int(t, 16) for _, _, i in insns for t in re.findall(r"call\s+0x([0-9a-f]+)", i)}
    starts |= {int(t, 16) for _, _, i in insns for t in re.findall(r"\$0x([0-9a-f]+)", i)}
    starts |= dis.entries
    starts = sorted(s for s in starts if low <= s <= high)
    realigns = [a for a, _, i in insns if REALIGNMENT.search(i)]
    total, offenders = 0, []
    for address, _, insn in insns:
        if NEEDS_ALIGNMENT.search(insn) and not UNALIGNED_OK.search(insn):
            total += 1
            start = starts[max(bisect.bisect_right(starts, address) - 1, 0)] if starts else low
            if not any(start <= r < address for r in realigns):
                offenders.append("%x %s" % (address, insn))
    return total, offenders


_results = {}


def verify(verifier, machine):
    """The checks above, reported through the plug-in verifier (verify_plugin.py)."""
    dis = Disassembly(verifier.path)
    key = (dis.key, frozenset(dis.entries))
    if key not in _results:
        _results[key] = (aligned_wide_moves(dis), wide_instructions(dis), unrealigned_stack_operands(dis))
    moves, wide, (total, offenders) = _results[key]
    verifier.expect("aligned ymm moves with a memory operand (%d; first ones)" % len(moves), moves[:3], [])
    verifier.expect("the AVX2 kernel (instructions on ymm registers) is in the file", wide > 0, True)
    note = "%d ymm instructions, no aligned ymm move of memory" % wide
    if machine == "x86":
        verifier.expect(
            "16-byte stack operands without a realignment of the stack before them (%d of %d; first ones)"
            % (len(offenders), total),
            offenders[:3],
            [],
        )
        note += "; %d 16-byte stack operands, all after a realignment" % total
    if not verifier.failures:
        verifier.notes.append(note)


def verify_arm64(verifier):
    """The ARM64 file carries the NEON kernel: its table lookups (tbl on 16-byte
    vectors) are in the code, counted in llvm-objdump's listing."""
    listing = subprocess.run(
        ["llvm-objdump-14", "-d", "--no-show-raw-insn", verifier.path],
        capture_output=True, text=True, check=False,
    ).stdout
    lookups = len(re.findall(r"\btbl\s+v\d+\.16b", listing))
    verifier.expect("the NEON kernel (tbl on 16-byte vectors) is in the file", lookups > 0, True)
    if not verifier.failures:
        verifier.notes.append("%d NEON table lookups" % lookups)


# -- selftest ---------------------------------------------------------------
def make_aligned_wide_move(data, dis):
    """Turns the first 256-bit vmovdqu with a memory operand into vmovdqa by
    changing the VEX prefix's pp field from F3 to 66."""
    for address, raw, text in dis.insns:
        if re.match(r"vmovdqu\s", text) and "%ymm" in text and memory_operands(text):
            pp = {0xC5: 1, 0xC4: 2}.get(raw[0])
            if pp is None or raw[pp] & 3 != 2:
                continue
            at = dis.file_offset(address) + pp
            data[at] = (data[at] & ~3) | 1
            return "%x %s" % (address, text)
    raise SystemExit("selftest: the file has no 256-bit vmovdqu with a memory operand")


def drop_realignment(data, dis):
    """Replaces with a no-op the realignment before the first 16-byte stack operand."""
    _, offenders = unrealigned_stack_operands(dis)
    if offenders:
        raise SystemExit("selftest: the good file has stack operands without realignment")
    realigns = [(a, raw) for a, raw, i in dis.insns if REALIGNMENT.search(i)]
    for address, _, insn in dis.insns:
        if NEEDS_ALIGNMENT.search(insn) and not UNALIGNED_OK.search(insn):
            before = [(a, raw) for a, raw in realigns if a < address]
            if before:
                at, raw = before[-1]
                nop = {3: b"\x0f\x1f\x00", 6: b"\x66\x0f\x1f\x44\x00\x00"}[len(raw)]
                data[dis.file_offset(at) : dis.file_offset(at) + len(raw)] = nop
                return "%x (before %x %s)" % (at, address, insn)
    raise SystemExit("selftest: no realignment found")


def object_moves(tmp, assembler_flags):
    """Aligned 256-bit moves in a small object for 64-bit Windows, built with the
    given extra flags, whose code writes such a move itself (Debian's compiler
    already writes unaligned ones for 256-bit values; the assembler's guard must
    also turn those of hand-written code)."""
    source = os.path.join(tmp, "store.c")
    with open(source, "w") as f:
        f.write(
            "#include <immintrin.h>\n"
            "__attribute__((target(\"avx2\"))) void Store(__m256i* p, __m256i v) {\n"
            "  __asm__(\"vmovdqa %1, %0\" : \"=m\"(*p) : \"x\"(v));\n}\n"
        )
    obj = os.path.join(tmp, "store.o")
    subprocess.run(["x86_64-w64-mingw32-gcc", "-O2", "-c", source, "-o", obj, *assembler_flags], check=True)
    return aligned_wide_moves(Disassembly(obj))


def selftest(path):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    from verify_plugin import PluginVerifier

    good = open(path, "rb").read()
    dis = Disassembly(path)
    alterations = [("an aligned ymm move", "aligned ymm moves", make_aligned_wide_move)]
    if "file format pei-i386" in run("-f", path):
        alterations.append(("a realignment removed", "without a realignment", drop_realignment))
    missed = []
    with tempfile.TemporaryDirectory() as tmp:
        altered = os.path.join(tmp, "altered.8bf")

        def failures_of(data):
            open(altered, "wb").write(data)
            verifier = PluginVerifier(altered)
            verifier.run()
            return verifier.failures

        for what, words, alter in alterations:
            data = bytearray(good)
            where = alter(data, dis)
            failures = failures_of(data)
            if not any(words in failure for failure in failures):
                missed.append("%s at %s: no failure mentions %r (got %r)" % (what, where, words, failures))
        plain = object_moves(tmp, [])
        guarded = object_moves(tmp, ["-Wa,-muse-unaligned-vector-move"])
        if not plain:
            missed.append("an object with aligned AVX2 moves: the check finds none")
        if guarded:
            missed.append("the assembler's unaligned moves left %r" % guarded)
    print("%s: %d machine-code alterations and an object with and without the assembler's guard, %d missed"
          % (path, len(alterations), len(missed)))
    for m in missed:
        print("  " + m)
    return 1 if missed else 0


def main(args):
    if len(args) != 2 or args[0] not in ("stack", "selftest"):
        sys.exit(__doc__)
    if args[0] == "selftest":
        return selftest(args[1])
    total, offenders = unrealigned_stack_operands(Disassembly(args[1]))
    print(total, len(offenders))
    for offender in offenders:
        print("  " + offender, file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
