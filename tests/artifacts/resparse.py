"""Decoders for the Windows resource formats the plug-in carries: extended
dialog templates, string table blocks, cursor groups and the version block."""

import struct


class FormatError(Exception):
    pass


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


def parse_string_block(block_id, data):
    """Returns {string id: text} for the 16 slots of string table block
    block_id (ids (block_id - 1) * 16 .. + 15); empty slots are left out."""
    r = Reader(data)
    strings = {}
    for i in range(16):
        n = r.take("<H")
        if r.pos + 2 * n > len(data):
            raise FormatError("string %d runs past its block" % i)
        text = data[r.pos : r.pos + 2 * n].decode("utf-16-le")
        r.pos += 2 * n
        if n:
            strings[(block_id - 1) * 16 + i] = text
    if r.pos != len(data):
        raise FormatError("%d stray bytes after the string block" % (len(data) - r.pos))
    return strings


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


def parse_version_node(data, pos=0):
    """One node of the version tree: (key, value, children, end position).
    Text values come back as str, binary values as bytes."""
    r = Reader(data, pos)
    length, value_length, kind = r.take("<HHH")
    end = pos + length
    if length < 6 or end > len(data):
        raise FormatError("version node at %d has bad length %d" % (pos, length))
    key = r.wstring()
    r.align(4)
    if kind == 1:
        start = r.pos
        value = r.wstring() if value_length else ""
        if value_length and (r.pos - start) // 2 != value_length:
            raise FormatError("text %r: value length %d, stored %d" % (key, value_length, (r.pos - start) // 2))
    else:
        value = data[r.pos : r.pos + value_length]
        r.pos += value_length
    children = []
    while True:
        r.align(4)
        if r.pos >= end:
            break
        child = parse_version_node(data, r.pos)
        children.append(child)
        r.pos = child[3]
    return key, value, children, end
