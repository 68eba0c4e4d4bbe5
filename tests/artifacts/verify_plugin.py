#!/usr/bin/python3
"""Checks a built Tintara.8bf field by field: the plug-in property list, the
dialog template, the string table, the cursors, the version block, the
language of every resource, the export directory and the imported DLLs.

Usage: verify_plugin.py FILE...   (the target is taken from the PE header)
Prints one line per failed check and exits 1 when any check fails."""

import os
import re
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import disasm_checks  # noqa: E402
from resparse import (  # noqa: E402
    FormatError,
    open_pe,
    parse_cursor_group,
    parse_cursor_image,
    parse_dialogex,
    string_blocks,
)
from resparse import resources as resources_of  # noqa: E402

REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
LANG_JAPANESE = 0x0411
RT_CURSOR, RT_DIALOG, RT_STRING, RT_GROUP_CURSOR, RT_VERSION = 1, 5, 6, 12, 16

# Window and control styles.
WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_BORDER, WS_SYSMENU = 0x00C00000, 0x00800000, 0x00080000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_MODALFRAME, DS_SETFONT, DS_CENTER = 0x80, 0x40, 0x800
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
BS_GROUPBOX, BS_OWNERDRAW, BS_NOTIFY = 7, 0xB, 0x4000
SS_LEFT, SS_CENTER, ES_AUTOHSCROLL = 0, 1, 0x80
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82  # class ordinals
NO_ID = 0xFFFFFFFF
V, T, G = WS_VISIBLE, WS_TABSTOP, WS_GROUP

# id, class, caption, x, y, width, height, style without WS_CHILD.
CONTROLS = [
    (1, BUTTON, "OK", 159, 152, 28, 14, V | T | BS_DEFPUSHBUTTON | BS_NOTIFY),
    (2, BUTTON, "ｷｬﾝｾﾙ", 191, 152, 29, 14, V | T | BS_PUSHBUTTON | BS_NOTIFY),
    (5, STATIC, "", 48, 49, 61, 70, G | SS_CENTER),
    (1013, BUTTON, "&E", 138, 8, 14, 12, V | BS_PUSHBUTTON),
    (1014, BUTTON, "&C", 138, 149, 14, 12, V | BS_PUSHBUTTON),
    (1015, BUTTON, "&D", 138, 79, 14, 12, V | BS_PUSHBUTTON),
    (1016, BUTTON, "&Q", 5, 8, 14, 12, V | BS_PUSHBUTTON),
    (1017, BUTTON, "&Z", 5, 149, 14, 12, V | BS_PUSHBUTTON),
    (1018, BUTTON, "&A", 5, 79, 14, 12, V | BS_PUSHBUTTON),
    (1019, BUTTON, "&W", 72, 8, 14, 12, V | BS_PUSHBUTTON),
    (1020, BUTTON, "&X", 72, 149, 14, 12, V | BS_PUSHBUTTON),
    (1021, BUTTON, "拡 大 ( &] )", 24, 149, 44, 14, V | BS_PUSHBUTTON),
    (1022, BUTTON, "縮 小 ( &[ )", 90, 149, 44, 14, V | BS_PUSHBUTTON),
    (1012, BUTTON, "Rチャンネル(&R)", 162, 23, 56, 10, V | T | BS_AUTOCHECKBOX),
    (1023, BUTTON, "Gチャンネル(&G)", 162, 37, 56, 10, V | T | BS_AUTOCHECKBOX),
    (1024, BUTTON, "Bチャンネル(&B)", 162, 51, 56, 10, V | T | BS_AUTOCHECKBOX),
    (NO_ID, BUTTON, "適用チャンネル", 158, 8, 63, 62, V | BS_GROUPBOX),
    (NO_ID, BUTTON, "Tintara", 158, 74, 63, 73, V | BS_GROUPBOX),
    (1006, EDIT, "", 162, 113, 16, 12, V | T | WS_BORDER | ES_AUTOHSCROLL),
    (1007, EDIT, "", 181, 113, 16, 12, V | T | WS_BORDER | ES_AUTOHSCROLL),
    (1008, EDIT, "", 200, 113, 16, 12, V | T | WS_BORDER | ES_AUTOHSCROLL),
    (NO_ID, STATIC, "R :", 165, 103, 9, 8, V | G | SS_LEFT),
    (NO_ID, STATIC, "G :", 183, 103, 9, 8, V | G | SS_LEFT),
    (NO_ID, STATIC, "B :", 202, 103, 9, 8, V | G | SS_LEFT),
    (1026, BUTTON, "カラーピッカー", 164, 86, 50, 14, V | T | BS_PUSHBUTTON),
    (1027, BUTTON, "", 164, 130, 50, 12, V | T | BS_OWNERDRAW),
]

# Cursor group id: (cursor image id, hot spot, drawn box, text picture).
CURSORS = {
    104: (1, (8, 9), (16, 16), "HandOpen.txt"),
    105: (2, (6, 4), (13, 11), "HandClosed.txt"),
}



def project_version():
    """The release number (four integers) from project(... VERSION ...) in the
    top-level CMakeLists.txt, the one place that the build takes it from."""
    with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"project\(\s*Tintara\s+VERSION\s+(\d+)\.(\d+)\.(\d+)\.(\d+)", f.read())
    if not match:
        raise SystemExit("CMakeLists.txt: no four-part project VERSION")
    return tuple(int(n) for n in match.groups())


VERSION = project_version()
VERSION_DOTTED = ".".join(map(str, VERSION))
VERSION_COMMAS = ", ".join(map(str, VERSION))

VERSION_STRINGS = {
    "FileDescription": "Tintara Photoshop Plug-In",
    "FileVersion": VERSION_COMMAS,
    "InternalName": "Tintara",
    "OriginalFilename": "Tintara.8bf",
    "ProductName": "Tintara Photoshop Plug-In",
    "ProductVersion": VERSION_COMMAS,
}

SYSTEM_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "VERSION.DLL", "MSVCRT.DLL"}


def fourcc(code):
    """A four-character code as stored on Windows: the little-endian word
    whose most significant byte is the first character."""
    assert len(code) == 4
    return struct.pack("<I", int.from_bytes(code.encode("ascii"), "big"))


def expected_pipl_properties(entry_key):
    """(key, data with padding) for the nine properties, in order."""
    hstm = struct.pack("<I", 0) + fourcc("sdK9") + fourcc("griD") + struct.pack("<H", 16000) + b"\0\0" + b"\0" * 4
    fici = bytes([4, 1, 0x06, 0]) * 7
    return [
        ("kind", fourcc("8BFM")),
        ("name", b"\x07Tintara"),
        ("catg", b"\x0dWimble Filter" + b"\0" * 2),
        ("vers", struct.pack("<I", 4 << 16)),
        (entry_key, b"ENTRYPOINT\0" + b"\0"),
        ("hstm", hstm),
        ("mode", bytes([0x5F, 0xC0, 0, 0])),
        ("enbl", b"in (PSHOP_ImageMode, RGBMode)\0" + b"\0" * 2),
        ("fici", fici),
    ]


class PluginVerifier:
    def __init__(self, path):
        self.path = path
        self.failures = []
        self.checks = 0
        self.notes = []

    def expect(self, what, got, want):
        self.checks += 1
        if got != want:
            self.failures.append("%s: got %r, expected %r" % (what, got, want))
            return False
        return True

    def fail(self, what):
        self.checks += 1
        self.failures.append(what)

    # -- PiPL -------------------------------------------------------------
    def check_pipl(self, data, entry_key):
        props = expected_pipl_properties(entry_key)
        if not self.expect("PiPL size", len(data), 10 + sum(16 + len(d) for _, d in props)):
            if len(data) < 10:
                return
        reserved, version, count = struct.unpack_from("<HII", data, 0)
        self.expect("PiPL reserved word", reserved, 1)
        self.expect("PiPL version", version, 0)
        self.expect("PiPL property count", count, 9)
        pos = 10
        for n, (key, want) in enumerate(props, 1):
            if pos + 16 > len(data):
                self.fail("PiPL ends before property %d" % n)
                return
            vendor, got_key, prop_id, length = data[pos : pos + 4], data[pos + 4 : pos + 8], *struct.unpack_from(
                "<II", data, pos + 8
            )
            name = "PiPL property %d" % n
            self.expect(name + " vendor", vendor, fourcc("8BIM"))
            self.expect(name + " key", got_key, fourcc(key))
            self.expect(name + " id", prop_id, 0)
            self.expect(name + " '%s' length" % key, length, len(want))
            stored = data[pos + 16 : pos + 16 + ((length + 3) & ~3)]
            self.expect(name + " '%s' data" % key, stored.hex(" "), want.hex(" "))
            pos += 16 + ((length + 3) & ~3)
        self.expect("bytes after the last PiPL property", len(data) - pos, 0)

    # -- dialog -----------------------------------------------------------
    def check_dialog(self, data):
        try:
            dlg = parse_dialogex(data)
        except FormatError as e:
            self.fail("dialog template: %s" % e)
            return
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT
        self.expect("dialog style", hex(dlg["style"]), hex(style))
        for field, want in [
            ("exStyle", 0),
            ("helpID", 0),
            ("x", 34),
            ("y", 40),
            ("cx", 226),
            ("cy", 178),
            ("menu", ""),
            ("windowClass", ""),
            ("title", "Tintara"),
            ("pointsize", 12),
            ("weight", 400),
            ("italic", 0),
            ("charset", 128),
            ("typeface", "ＭＳ Ｐゴシック"),
            ("trailing", 0),
        ]:
            self.expect("dialog " + field, dlg.get(field), want)
        got = dlg["controls"]
        self.expect("dialog control count", len(got), len(CONTROLS))
        for n, (c, want) in enumerate(zip(got, CONTROLS), 1):
            cid, cls, title, x, y, cx, cy, cstyle = want
            name = "control %d (id %d)" % (n, cid if cid != NO_ID else -1)
            self.expect(name + " id", c["id"], cid)
            self.expect(name + " class", c["windowClass"], cls)
            self.expect(name + " caption", c["title"], title)
            self.expect(name + " rectangle", (c["x"], c["y"], c["cx"], c["cy"]), (x, y, cx, cy))
            self.expect(name + " style", hex(c["style"]), hex(WS_CHILD | cstyle))
            self.expect(name + " extended style", c["exStyle"], 0)
            self.expect(name + " help id", c["helpID"], 0)
            self.expect(name + " creation data", c["extra"], b"")

    # -- strings ----------------------------------------------------------
    def check_strings(self, blocks):
        strings = {}
        for block_id, size, texts in blocks:
            # Sixteen slots, each a 16-bit length and that many UTF-16 units.
            units = sum(len(t.encode("utf-16-le")) // 2 for t in texts.values())
            self.expect("string block %d size" % block_id, size, 2 * (16 + units))
            strings.update(texts)
        self.expect("string ids", sorted(strings), [16000, 16001])
        self.expect("string 16001", strings.get(16001), "Mossbracket")
        about = strings.get(16000, "")
        lines = about.split("\n")
        # Five lines (product, empty, version, ownership, rights) and a final
        # line feed that leaves one empty line after them.
        if self.expect("About text line count", len(lines), 6):
            self.expect("About text empty second line", lines[1], "")
            self.expect("About text ends with an empty line", lines[5], "")
            self.expect("About text lines 1, 3, 4, 5 filled", all(lines[i] for i in (0, 2, 3, 4)), True)
            self.expect("About product line names Tintara", "Tintara" in lines[0], True)
            self.expect("About version line carries " + VERSION_DOTTED, VERSION_DOTTED in lines[2], True)
        self.expect("About text has no carriage return", "\r" in about, False)
        # LoadStringA converts through the ANSI code page (932 under a Japanese
        # locale) into buffers of 255 and 60 bytes that include the zero.
        for sid, limit in ((16000, 254), (16001, 59)):
            try:
                size = len(strings.get(sid, "").encode("cp932"))
            except UnicodeEncodeError:
                self.fail("string %d has characters outside code page 932" % sid)
                continue
            self.expect("string %d fits its buffer in code page 932" % sid, size <= limit, True)
        self.notes.append("About text: %d bytes in code page 932" % len(about.encode("cp932", "replace")))

    # -- cursors ----------------------------------------------------------
    def check_cursor(self, group_id, group_data, images):
        image_id, hotspot, box, picture = CURSORS[group_id]
        name = "cursor group %d" % group_id
        try:
            group = parse_cursor_group(group_data)
        except FormatError as e:
            self.fail("%s: %s" % (name, e))
            return
        self.expect(name + " header", (group["reserved"], group["type"], group["trailing"]), (0, 2, 0))
        want_entry = {"width": 32, "height": 64, "planes": 1, "bitCount": 1, "bytesInRes": 308, "id": image_id}
        if not self.expect(name + " entries", group["entries"], [want_entry]):
            return
        data = images.get(image_id)
        if data is None:
            self.fail("%s: cursor image %d missing" % (name, image_id))
            return
        name = "cursor image %d" % image_id
        self.expect(name + " size", len(data), 308)
        try:
            cur = parse_cursor_image(data)
        except FormatError as e:
            self.fail("%s: %s" % (name, e))
            return
        self.expect(name + " hot spot", (cur["hotX"], cur["hotY"]), hotspot)
        header = tuple(cur[k] for k in ("biSize", "biWidth", "biHeight", "biPlanes", "biBitCount", "biCompression"))
        self.expect(name + " bitmap header", header, (40, 32, 64, 1, 1, 0))
        self.expect(name + " palette", cur["palette"], [(0, 0, 0, 0), (255, 255, 255, 0)])
        self.expect(name + " trailing bytes", cur["trailing"], 0)

        def pixel(x, y):  # '#' black, 'o' white, '.' transparent, '~' inverted
            stored = 31 - y  # bottom-up rows
            bit = 0x80 >> (x % 8)
            at = stored * cur["stride"] + x // 8
            colour, keep = cur["xor"][at] & bit, cur["and"][at] & bit
            return "~" if keep and colour else "." if keep else "o" if colour else "#"

        drawn = [(x, y) for y in range(32) for x in range(32) if pixel(x, y) != "."]
        if drawn:
            extent = (max(x for x, _ in drawn) + 1, max(y for _, y in drawn) + 1)
            self.expect(name + " drawing fills its top-left box", extent, box)
        else:
            self.fail(name + " is fully transparent")
        self.expect(name + " inverted pixels", sum(pixel(x, y) == "~" for x, y in drawn), 0)
        self.expect(name + " hot spot on the hand", pixel(*hotspot) in "#o", True)
        # The pixels are the text picture that the build generated them from.
        rows = [
            line
            for line in open(os.path.join(REPO, "resources", "cursors", picture), encoding="ascii").read().splitlines()
            if line and not line.startswith("# ") and not line.startswith("hotspot ")
        ]
        got = ["".join(pixel(x, y) for x in range(box[0])) for y in range(box[1])]
        self.expect(name + " pixels match resources/cursors/" + picture, got, rows)

    # -- version ----------------------------------------------------------
    def check_version(self, pe, data):
        if not hasattr(pe, "VS_VERSIONINFO") or not hasattr(pe, "VS_FIXEDFILEINFO"):
            self.fail("version block: not readable")
            return
        root = pe.VS_VERSIONINFO[0]
        self.expect("version root key", root.Key, b"VS_VERSION_INFO")
        self.expect("version block length", root.Length, len(data))
        if self.expect("version fixed part size", root.ValueLength, 52):
            f = pe.VS_FIXEDFILEINFO[0]
            self.expect("version signature", hex(f.Signature), hex(0xFEEF04BD))
            self.expect("version structure version", hex(f.StrucVersion), hex(0x00010000))
            for what, ms, ls in (("file version", f.FileVersionMS, f.FileVersionLS),
                                 ("product version", f.ProductVersionMS, f.ProductVersionLS)):
                self.expect(what, (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), VERSION)
            self.expect("file flags mask", hex(f.FileFlagsMask), hex(0x17))
            self.expect("file flags", f.FileFlags, 0)
            self.expect("file OS (VOS__WINDOWS32)", f.FileOS, 4)
            self.expect("file type (VFT_DLL)", f.FileType, 2)
            self.expect("file subtype", f.FileSubtype, 0)
            self.expect("file date", (f.FileDateMS, f.FileDateLS), (0, 0))
        blocks = {b.Key.decode("latin-1"): b for b in (pe.FileInfo[0] if getattr(pe, "FileInfo", None) else [])}
        self.expect("version blocks", sorted(blocks), ["StringFileInfo", "VarFileInfo"])
        if "StringFileInfo" in blocks:
            tables = blocks["StringFileInfo"].StringTable
            self.expect("string tables", [t.LangID.decode("latin-1") for t in tables], ["041104b0"])
            if tables:
                values = {k.decode("utf-8"): v.decode("utf-8") for k, v in tables[0].entries.items()}
                self.expect("version strings", values, VERSION_STRINGS)
                # Each text's stored value length counts its UTF-16 units and the zero.
                for key, (key_offset, _) in tables[0].entries_offsets.items():
                    _, stored, kind = struct.unpack_from("<HHH", pe.__data__, key_offset - 6)
                    text = tables[0].entries[key].decode("utf-8")
                    self.expect("version text %s value length" % key.decode("utf-8"), (kind, stored),
                                (1, len(text.encode("utf-16-le")) // 2 + 1))
        if "VarFileInfo" in blocks:
            var = [entry for v in blocks["VarFileInfo"].Var for entry in v.entry.items()]
            self.expect("version translation", var, [(b"Translation", "0x0411 0x04b0")])

    # -- the whole file ---------------------------------------------------
    def run(self):
        try:
            with open(self.path, "rb") as f:
                self.data = f.read()
            pe = open_pe(self.data)
        except (OSError, FormatError) as e:
            self.fail("cannot read %s: %s" % (self.path, e))
            return
        try:
            self.run_checks(pe)
        except (FormatError, struct.error, ValueError, AttributeError, IndexError) as e:
            self.fail("malformed file: %s" % e)

    def run_checks(self, pe):
        machine = {0x14C: "x86", 0x8664: "x64", 0xAA64: "arm64"}.get(pe.FILE_HEADER.Machine)
        if machine is None:
            self.fail("unexpected machine %#x" % pe.FILE_HEADER.Machine)
            return
        self.notes.append("target " + machine)
        self.expect("PE32+ header matches the machine", pe.OPTIONAL_HEADER.Magic == 0x20B, machine != "x86")
        self.expect("file is a DLL", pe.is_dll(), True)
        # Reproducible builds: no link time and no folder of the build machine.
        self.expect("link time stamp", pe.FILE_HEADER.TimeDateStamp, 0)
        for folder in sorted({REPO, os.path.dirname(os.path.abspath(self.path))}):
            self.expect("file names the folder " + folder, folder.encode() in self.data, False)
        # pefile reads damaged structures as far as it can and says what it skipped.
        self.expect("pefile's warnings", pe.get_warnings(), [])

        exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
        library = exports.name.decode("latin-1") if exports and exports.name else None
        names = [s.name.decode("latin-1") for s in exports.symbols if s.name] if exports else []
        self.expect("export directory library name", library, "MOSSBRACKET.8bf")
        if sorted(names) == ["ENTRYPOINT"]:
            self.notes.append("exports: ENTRYPOINT")
        elif sorted(names) == ["ENTRYPOINT", "MossbracketProc"]:
            self.notes.append("exports: ENTRYPOINT, MossbracketProc")
        else:
            self.fail("exports: got %r, expected ENTRYPOINT and optionally MossbracketProc" % sorted(names))

        dlls = [i.dll.decode("latin-1") for i in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
        self.expect("imported DLLs outside the system set", sorted(d for d in dlls if d.upper() not in SYSTEM_DLLS), [])
        self.notes.append("imports: " + ", ".join(dlls))

        resources = [r[:4] for r in resources_of(pe)]
        for rtype, rname, lang, _ in resources:
            self.expect("language of resource %r/%r" % (rtype, rname), hex(lang), hex(LANG_JAPANESE))
        present = sorted((str(t), str(n)) for t, n, _, _ in resources)
        wanted = [
            ("PIPL", "16000"),
            (str(RT_DIALOG), "MOSSBRACKETPARAM"),
            (str(RT_STRING), "1001"),
            (str(RT_GROUP_CURSOR), "104"),
            (str(RT_GROUP_CURSOR), "105"),
            (str(RT_CURSOR), "1"),
            (str(RT_CURSOR), "2"),
            (str(RT_VERSION), "1"),
        ]
        self.expect("resource set", present, sorted(wanted))
        by_key = {(t, n): d for t, n, _, d in resources}

        entry_key = {"x64": "8664", "x86": "wx86", "arm64": "wa64"}[machine]
        if ("PIPL", 16000) in by_key:
            self.check_pipl(by_key[("PIPL", 16000)], entry_key)
        if (RT_DIALOG, "MOSSBRACKETPARAM") in by_key:
            self.check_dialog(by_key[(RT_DIALOG, "MOSSBRACKETPARAM")])
        self.check_strings(string_blocks(pe))
        images = {n: d for t, n, _, d in resources if t == RT_CURSOR}
        for group_id in CURSORS:
            if (RT_GROUP_CURSOR, group_id) in by_key:
                self.check_cursor(group_id, by_key[(RT_GROUP_CURSOR, group_id)], images)
        if (RT_VERSION, 1) in by_key:
            self.check_version(pe, by_key[(RT_VERSION, 1)])
        # Machine code: aligned ymm moves, the AVX2 kernel, the 32-bit stack realignment;
        # in the ARM64 file, the NEON kernel.
        if machine == "arm64":
            disasm_checks.verify_arm64(self)
        else:
            disasm_checks.verify(self, machine)


def main(paths):
    if not paths:
        sys.exit(__doc__)
    ok = True
    for path in paths:
        verifier = PluginVerifier(path)
        verifier.run()
        status = "FAILED" if verifier.failures else "ok"
        print("%s: %s, %d checks (%s)" % (path, status, verifier.checks, "; ".join(verifier.notes)))
        for failure in verifier.failures:
            print("  " + failure)
        ok = ok and not verifier.failures
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
