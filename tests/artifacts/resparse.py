"""The resources of a PE file, read with pefile, and decoders for the resource
formats that pefile leaves undecoded: extended dialog templates, cursor groups
and cursor images."""

import collections
import struct

try:
    import pefile
except ImportError as error:  # pyenv's python3 does not see Debian's packages
    raise SystemExit("%s; run with /usr/bin/python3 (scripts/setup installs python3-pefile)" % error)


class FormatError(Exception):
    pass


# type and name: an ordinal (int) or a name (str); data_offset and lang_offset:
# the file offsets of the bytes and of the language entry, for tests that alter
# a resource in place.
Resource = collections.namedtuple("Resource", "type name lang data data_offset lang_offset")


def open_pe(data):
    """pefile's reading of the headers and of the directories that the checks
    use (exports, imports, resources; the others cost time and are not looked
    at); FormatError when the bytes are no PE file."""
    try:
        pe = pefile.PE(data=bytes(data), fast_load=True)
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_" + name]
                                               for name in ("EXPORT", "IMPORT", "RESOURCE")])
        return pe
    except pefile.PEFormatError as e:
        raise FormatError(e.value)


def _key(entry):
    return entry.id if entry.name is None else str(entry.name)


def resources(pe):
    """The resource tree flattened to Resource records, in the file's order."""
    out = []
    for kind in getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None) and pe.DIRECTORY_ENTRY_RESOURCE.entries or []:
        if not hasattr(kind, "directory"):
            raise FormatError("resource data at depth 1")
        for name in kind.directory.entries:
            if not hasattr(name, "directory"):
                raise FormatError("resource data at depth 2")
            for lang in name.directory.entries:
                if not hasattr(lang, "data"):
                    raise FormatError("resource tree deeper than three levels")
                rva, size = lang.data.struct.OffsetToData, lang.data.struct.Size
                data = pe.get_data(rva, size)
                if len(data) != size:
                    raise FormatError("resource %r/%r runs past the end of the file" % (_key(kind), _key(name)))
                out.append(Resource(_key(kind), _key(name), lang.id, data, pe.get_offset_from_rva(rva),
                                    lang.struct.get_file_offset()))
    return out


def string_blocks(pe):
    """(block id, size in bytes, {string id: text}) for every string table block;
    empty slots are left out."""
    blocks = []
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []:
        if kind.id == pefile.RESOURCE_TYPE["RT_STRING"] and hasattr(kind, "directory"):
            for name in kind.directory.entries:
                size = sum(lang.data.struct.Size for lang in name.directory.entries if hasattr(lang, "data"))
                blocks.append((name.id, size, dict(getattr(name.directory, "strings", {}))))
    return blocks


def strings(pe):
    """{string id: text} over every string table block."""
    out = {}
    for _, _, texts in string_blocks(pe):
        out.update(texts)
    return out


class Reader:
    def __init__(self, data, pos=0):
        self.data = data
        self.pos = pos

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.pos + size > len(self.data):
            raise FormatError("truncated at byte %d" % self.pos)
        values = struct.unpack_from(fmt, self.data, self.pos)
        self.pos += size
        return values if len(values) > 1 else values[0]

    def align(self, n):
        self.pos = (self.pos + n - 1) // n * n

    def wstring(self):
        end = self.pos
        while True:
            if end + 2 > len(self.data):
                raise FormatError("unterminated UTF-16 string at byte %d" % self.pos)
            if self.data[end : end + 2] == b"\0\0":
                break
            end += 2
        text = self.data[self.pos : end].decode("utf-16-le")
        self.pos = end + 2
        return text

    # A name or ordinal field: 0 (none), 0xFFFF followed by an ordinal, or a string.
    def sz_or_ord(self):
        first = self.take("<H")
        if first == 0xFFFF:
            return self.take("<H")
        if first == 0:
            return ""
        self.pos -= 2
        return self.wstring()


def parse_dialogex(data):
    r = Reader(data)
    dlg = {}
    dlg["dlgVer"], dlg["signature"], dlg["helpID"], dlg["exStyle"], dlg["style"] = r.take("<HHIII")
    if (dlg["dlgVer"], dlg["signature"]) != (1, 0xFFFF):
        raise FormatError("not an extended dialog template")
    count, dlg["x"], dlg["y"], dlg["cx"], dlg["cy"] = r.take("<Hhhhh")
    dlg["menu"] = r.sz_or_ord()
    dlg["windowClass"] = r.sz_or_ord()
    dlg["title"] = r.wstring()
    if dlg["style"] & 0x40 or dlg["style"] & 0x48:  # DS_SETFONT / DS_SHELLFONT
        dlg["pointsize"], dlg["weight"], dlg["italic"], dlg["charset"] = r.take("<HHBB")
        dlg["typeface"] = r.wstring()
    controls = []
    for _ in range(count):
        r.align(4)
        c = {}
        c["helpID"], c["exStyle"], c["style"], c["x"], c["y"], c["cx"], c["cy"], c["id"] = r.take("<IIIhhhhI")
        c["windowClass"] = r.sz_or_ord()
        c["title"] = r.sz_or_ord()
        extra = r.take("<H")
        c["extra"] = r.data[r.pos : r.pos + extra]
        r.pos += extra
        controls.append(c)
    dlg["controls"] = controls
    dlg["trailing"] = len(data) - r.pos
    return dlg


def parse_cursor_group(data):
    r = Reader(data)
    reserved, kind, count = r.take("<HHH")
    entries = []
    for _ in range(count):
        e = {}
        e["width"], e["height"], e["planes"], e["bitCount"], e["bytesInRes"], e["id"] = r.take("<HHHHIH")
        entries.append(e)
    return {"reserved": reserved, "type": kind, "entries": entries, "trailing": len(data) - r.pos}


def parse_cursor_image(data):
    """A cursor resource: hot spot, BITMAPINFOHEADER, palette, XOR then AND bits."""
    r = Reader(data)
    cur = {}
    cur["hotX"], cur["hotY"] = r.take("<HH")
    (
        cur["biSize"],
        cur["biWidth"],
        cur["biHeight"],
        cur["biPlanes"],
        cur["biBitCount"],
        cur["biCompression"],
        cur["biSizeImage"],
        _,
        _,
        cur["biClrUsed"],
        _,
    ) = r.take("<IiiHHIIiiII")
    cur["palette"] = [r.take("<4B") for _ in range(2)]
    rows = cur["biHeight"] // 2
    stride = (cur["biWidth"] + 31) // 32 * 4
    cur["xor"] = data[r.pos : r.pos + rows * stride]
    cur["and"] = data[r.pos + rows * stride : r.pos + 2 * rows * stride]
    cur["stride"] = stride
    cur["trailing"] = len(data) - r.pos - 2 * rows * stride
    return cur
