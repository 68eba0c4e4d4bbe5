"""Minimal reader of the parts of a PE file that the verifier checks: the
section table, the export directory, the import table and the resource tree."""

import struct


class PeError(Exception):
    pass


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe : pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        self.machine, nsections, self.timestamp, _, _, optsize, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4
        )
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        if magic == 0x10B:
            self.is64 = False
            dirs = opt + 96
        elif magic == 0x20B:
            self.is64 = True
            dirs = opt + 112
        else:
            raise PeError("unknown optional header magic %#x" % magic)
        ndirs = struct.unpack_from("<I", data, dirs - 4)[0]
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(ndirs)]
        self.sections = []
        sec = opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), va, max(vsize, rawsize), rawptr, rawsize))

    def offset(self, rva):
        for _, va, size, rawptr, rawsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    raise PeError("RVA %#x lies in uninitialised data" % rva)
                return rawptr + rva - va
        raise PeError("RVA %#x outside every section" % rva)

    def read(self, rva, size):
        off = self.offset(rva)
        if off + size > len(self.data):
            raise PeError("read past the end of the file at RVA %#x" % rva)
        return self.data[off : off + size]

    def u16(self, rva):
        return struct.unpack("<H", self.read(rva, 2))[0]

    def u32(self, rva):
        return struct.unpack("<I", self.read(rva, 4))[0]

    def cstring(self, rva):
        off = self.offset(rva)
        end = self.data.index(b"\0", off)
        return self.data[off:end].decode("latin-1")

    # Export directory: library name and the exported names.
    def exports(self):
        rva, size = self.directories[0]
        if rva == 0:
            return None, []
        d = self.read(rva, 40)
        name_rva, _base, _nfuncs, nnames, _funcs, names_rva, _ords = struct.unpack_from("<IIIIIII", d, 12)
        names = [self.cstring(self.u32(names_rva + 4 * i)) for i in range(nnames)]
        return self.cstring(name_rva), names

    # Import table: the names of the imported DLLs.
    def imports(self):
        rva, _ = self.directories[1]
        dlls = []
        while rva:
            desc = struct.unpack("<IIIII", self.read(rva, 20))
            if desc == (0, 0, 0, 0, 0):
                break
            dlls.append(self.cstring(desc[3]))
            rva += 20
        return dlls

    # Resource tree flattened to (type, name, language, bytes); string names
    # come back as str, ordinals as int.
    def resources(self):
        base, _ = self.directories[2]
        if base == 0:
            return []
        out = []
        # File offsets of each resource's data and of its language entry, for
        # tests that alter a resource in place.
        self.resource_data_offsets = {}
        self.resource_language_offsets = {}

        def entry_name(value):
            if value & 0x80000000:
                at = base + (value & 0x7FFFFFFF)
                n = self.u16(at)
                return self.read(at + 2, 2 * n).decode("utf-16-le")
            return value

        def walk(rva, path):
            _, _, _, _, nnamed, nid = struct.unpack("<IIHHHH", self.read(rva, 16))
            for i in range(nnamed + nid):
                name, target = struct.unpack("<II", self.read(rva + 16 + 8 * i, 8))
                key = entry_name(name)
                if target & 0x80000000:
                    if len(path) >= 2:
                        raise PeError("resource tree deeper than three levels")
                    walk(base + (target & 0x7FFFFFFF), path + [key])
                else:
                    if len(path) != 2:
                        raise PeError("resource data at depth %d" % len(path))
                    data_rva, size, _cp, _ = struct.unpack("<IIII", self.read(base + target, 16))
                    self.resource_data_offsets[(path[0], path[1])] = self.offset(data_rva)
                    self.resource_language_offsets[(path[0], path[1])] = self.offset(rva + 16 + 8 * i)
                    out.append((path[0], path[1], key, self.read(data_rva, size)))

        walk(base, [])
        return out
