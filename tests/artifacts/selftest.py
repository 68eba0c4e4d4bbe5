#!/usr/bin/python3
"""Proves that the verifier catches faults: alters one field at a time in a
copy of a good plug-in file and expects the verifier to reject each copy with
a message about that field.

Usage: selftest.py GOOD_FILE"""

import os
import struct
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from verify_plugin import REPO, PluginVerifier, expected_pipl_properties  # noqa: E402
from resparse import open_pe, resources  # noqa: E402


def patch_at(data, offset, new):
    data[offset : offset + len(new)] = new


def find_once(data, needle):
    at = data.find(needle)
    if at < 0 or data.find(needle, at + 1) >= 0:
        raise SystemExit("selftest: %r not found exactly once" % needle)
    return at


def mutations(pe):
    """(description, expected words in a failure, function altering a bytearray)."""
    found = resources(pe)
    res = {(r.type, r.name): r.data_offset for r in found}
    languages = {(r.type, r.name): r.lang_offset for r in found}
    entry = next(s for s in pe.DIRECTORY_ENTRY_EXPORT.symbols if s.name == b"ENTRYPOINT")
    # The value length of the version text InternalName, in the text's header
    # (length, value length, type) that precedes its key.
    internal_name = "InternalName".encode("utf-16-le")
    pipl = res[("PIPL", 16000)]
    dialog = res[(5, "MOSSBRACKETPARAM")]
    strings = res[(6, 1001)]
    cursor1 = res[(1, 1)]
    version = res[(16, 1)]
    pipl_size = 10 + sum(16 + len(d) for _, d in expected_pipl_properties("wx86"))
    # The entry keys as stored (little-endian): '8664', 'wx86', 'wa64'.
    keys = {0x8664: (b"4668", b"68xw"), 0x14C: (b"68xw", b"4668"), 0xAA64: (b"46aw", b"4668")}
    entry_key, other_key = keys[pe.FILE_HEADER.Machine]
    # Offset of the first control of the dialog: header, empty menu and class,
    # caption "Tintara", font fields and face, then 4-byte alignment.
    first_control = 26 + 2 + 2 + 16 + 6 + 2 * (len("ＭＳ Ｐゴシック") + 1)
    first_control = (first_control + 3) & ~3

    def at(offset, new):
        return lambda d: patch_at(d, offset, new)

    def replace(old, new):
        return lambda d: patch_at(d, find_once(d, old), new)

    return [
        ("PiPL property count", "property count", at(pipl + 6, struct.pack("<I", 8))),
        ("PiPL 'mode' byte", "'mode' data", replace(b"\x5f\xc0\x00\x00MIB8", b"\x5e\xc0\x00\x00MIB8")),
        ("PiPL length of 'name'", "'name' length", at(pipl + 10 + 16 + 4 + 12, struct.pack("<I", 7))),
        ("PiPL entry key of the other target", "key", replace(entry_key, other_key)),
        ("PiPL last 'fici' flags", "'fici' data", at(pipl + pipl_size - 2, b"\x07")),
        ("dialog style", "dialog style", at(dialog + 12, struct.pack("<I", 0x80C808C0 | 0x10000000))),
        ("dialog font charset", "charset", at(dialog + 26 + 2 + 2 + 16 + 5, b"\x00")),
        ("first control's style", "control 1 (id 1) style", at(dialog + first_control + 8, b"\x00")),
        ("first control's width", "rectangle", at(dialog + first_control + 16, struct.pack("<h", 29))),
        ("About caption", "string 16001", replace("Mossbracket".encode("utf-16-le"), "Mossbracken".encode("utf-16-le"))),
        ("length of the About text", "string block 1001 size",
         lambda d: patch_at(d, strings, struct.pack("<H", struct.unpack_from("<H", d, strings)[0] - 1))),
        ("About text line", "About text", replace("\n\n".encode("utf-16-le"), "\n-".encode("utf-16-le"))),
        ("cursor hot spot", "hot spot", at(cursor1, struct.pack("<H", 7))),
        ("cursor pixel outside its box", "top-left box", at(cursor1 + 4 + 48 + 128, b"\x00")),
        ("version file flags", "file flags", at(version + 40 + 28, struct.pack("<I", 1))),
        ("product version number", "product version", at(version + 40 + 20, struct.pack("<I", 0x00090009))),
        ("link time stamp", "time stamp", at(pe.DOS_HEADER.e_lfanew + 8, struct.pack("<I", 0x5F000000))),
        ("build folder in the file", "names the folder", lambda d: d.extend(REPO.encode())),
        ("language of the dialog", "language", at(languages[(5, "MOSSBRACKETPARAM")], struct.pack("<I", 0x409))),
        ("export directory name", "library name", replace(b"MOSSBRACKET.8bf\0", b"MOSSBRACKET.8bg\0")),
        ("export name", "exports", at(entry.name_offset, b"ENTRYPOINX")),
        ("imported DLL", "imported DLLs", replace(b"USER32.dll\0", b"USER33.dll\0")),
        ("version text value length", "InternalName value length",
         lambda d: patch_at(d, find_once(d, internal_name) - 4, struct.pack("<H", 3))),
        ("PE signature", "cannot read", at(pe.DOS_HEADER.e_lfanew, b"PE\0\1")),
    ]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    good = open(sys.argv[1], "rb").read()
    baseline = PluginVerifier(sys.argv[1])
    baseline.run()
    if baseline.failures:
        print("selftest: the unaltered file fails already:")
        print("\n".join("  " + f for f in baseline.failures))
        return 1
    pe = open_pe(good)
    missed = []
    with tempfile.TemporaryDirectory() as tmp:
        for what, words, mutate in mutations(pe):
            data = bytearray(good)
            mutate(data)
            if data == bytearray(good):
                missed.append("%s: the alteration changed nothing" % what)
                continue
            path = os.path.join(tmp, "altered.8bf")
            with open(path, "wb") as f:
                f.write(data)
            verifier = PluginVerifier(path)
            verifier.run()
            if not any(words in failure for failure in verifier.failures):
                missed.append("%s: no failure mentions %r (got %r)" % (what, words, verifier.failures))
    print("%s: %d alterations, %d missed" % (sys.argv[1], len(mutations(pe)), len(missed)))
    for m in missed:
        print("  " + m)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
