#!/usr/bin/python3
"""Checks release archives written by scripts/package.

  check.py same A.zip B.zip       the two archives are byte-identical; if not, says
                                  which entries differ and where (for a plug-in
                                  file: the offset, the header field or section,
                                  and the bytes)
  check.py contents A.zip README.md COMMIT_TIME FORBIDDEN...
                                  the entries, their order, dates and attributes,
                                  SHA256SUMS, the guides' encoding, that the guides
                                  agree with the project README's install section,
                                  and that no entry holds any of the FORBIDDEN
                                  texts (the build machine's name, user, folders)
  check.py extract A.zip DIR      unpacks the archive into DIR
"""
import hashlib
import os
import re
import sys
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "artifacts"))
from resparse import FormatError, open_pe  # noqa: E402

NAMES = ["32-bit/Tintara.8bf", "64-bit/Tintara.8bf", "arm64/Tintara.8bf", "README.txt", "README-ja.txt", "SHA256SUMS"]
GUIDES = ["README.txt", "README-ja.txt"]
SHOWN = 8  # differing places listed per entry
SHORTEST_IN_BINARIES = 6


def where(data, offset):
    """Names the part of a PE file that holds the byte at offset."""
    try:
        pe = open_pe(data)
    except FormatError:
        return "not a PE file"
    stamp = pe.FILE_HEADER.get_field_absolute_offset("TimeDateStamp")
    checksum = pe.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
    if stamp <= offset < stamp + 4:
        return "link time stamp"
    if checksum <= offset < checksum + 4:
        return "image checksum"
    for section in pe.sections:
        if section.PointerToRawData <= offset < section.PointerToRawData + section.SizeOfRawData:
            return "section " + section.Name.rstrip(b"\0").decode("latin-1")
    return "headers" if offset < pe.OPTIONAL_HEADER.SizeOfHeaders else "outside every section"


def differences(name, a, b):
    lines = []
    if len(a) != len(b):
        lines.append("%s: %d bytes against %d" % (name, len(a), len(b)))
    offsets = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
    if offsets:
        lines.append("%s: %d bytes differ" % (name, len(offsets)))
    for i in offsets[:SHOWN]:
        part = where(a, i) if name.endswith(".8bf") else "text"
        lines.append("  offset %#x (%s): %02x against %02x" % (i, part, a[i], b[i]))
    return lines


def same(path_a, path_b):
    a, b = open(path_a, "rb").read(), open(path_b, "rb").read()
    if a == b:
        print("the archives are byte-identical (%d bytes, sha256 %s)" % (len(a), hashlib.sha256(a).hexdigest()))
        return 0
    print("the archives differ:")
    za, zb = zipfile.ZipFile(path_a), zipfile.ZipFile(path_b)
    if za.namelist() != zb.namelist():
        print("  entries %r against %r" % (za.namelist(), zb.namelist()))
    for name in za.namelist():
        if name not in zb.namelist():
            continue
        ia, ib = za.getinfo(name), zb.getinfo(name)
        for field in ("date_time", "external_attr", "create_system", "flag_bits", "extra", "compress_type"):
            if getattr(ia, field) != getattr(ib, field):
                print("  %s: %s %r against %r" % (name, field, getattr(ia, field), getattr(ib, field)))
        for line in differences(name, za.read(name), zb.read(name)):
            print("  " + line)
    for line in differences("the archive file", a, b)[:2]:
        print("  " + line)
    return 1


def install_section(readme):
    """The project README's section from '## Download and install' to the next '## '."""
    text = open(readme, encoding="utf-8").read()
    match = re.search(r"^## Download and install\n(.*?)(?=^## )", text, re.S | re.M)
    return match.group(1) if match else None


class Contents:
    def __init__(self):
        self.failures = []

    def expect(self, what, ok):
        if not ok:
            self.failures.append(what)

    def run(self, path, readme, commit_time, forbidden):
        archive = zipfile.ZipFile(path)
        infos = archive.infolist()
        self.expect("entries in order %r, got %r" % (NAMES, archive.namelist()), archive.namelist() == NAMES)
        # Zip entries keep the time in two-second steps.
        stamp = time.gmtime(commit_time - commit_time % 2)[:6]
        for info in infos:
            self.expect("%s dated %r, not the commit's %r" % (info.filename, info.date_time, stamp), info.date_time == stamp)
            self.expect("%s carries extra fields" % info.filename, info.extra == b"")
            self.expect("%s attributes %#x" % (info.filename, info.external_attr), info.external_attr == 0x20)
        # unzip 6.0 and older Windows unzippers ignore the UTF-8 flag and garble
        # other names, and SHA256SUMS then fails for them.
        self.expect("entry names that are not ASCII: %r" % [i.filename for i in infos if not i.filename.isascii()],
                    all(info.filename.isascii() and not info.flag_bits & 0x800 for info in infos))
        files = {name: archive.read(name) for name in archive.namelist()}
        self.check_sums(files)
        for name, data in files.items():
            for text in forbidden:
                # A short name (a host called "vm") turns up in machine code by
                # chance; such names are looked for in the texts only.
                if len(text) < SHORTEST_IN_BINARIES and name.endswith(".8bf"):
                    continue
                for form in {text.encode("utf-8"), text.encode("utf-16-le")}:
                    self.expect("%s names the build machine (%r)" % (name, text), form not in data)
        guides = {}
        for name in GUIDES:
            data = files.get(name, b"")
            self.expect("%s starts with a UTF-8 byte order mark" % name, data.startswith(b"\xef\xbb\xbf"))
            self.expect("%s has a line feed without carriage return" % name, b"\n" not in data.replace(b"\r\n", b""))
            guides[name] = data[3:].decode("utf-8", "replace")
        self.check_agreement(readme, guides, archive.filename)
        return self.failures

    def check_sums(self, files):
        listed = {}
        for line in files.get("SHA256SUMS", b"").decode("utf-8").splitlines():
            digest, _, name = line.partition("  ")
            listed[name] = digest
        self.expect("SHA256SUMS lists %r" % sorted(listed), sorted(listed) == sorted(NAMES[:-1]))
        for name, digest in listed.items():
            actual = hashlib.sha256(files.get(name, b"")).hexdigest()
            self.expect("SHA256SUMS: %s has %s, the file %s" % (name, digest, actual), digest == actual)

    def check_agreement(self, readme, guides, archive_name):
        """Every folder, menu path, command and file name that the project README's
        install section puts in backticks appears in both guides, and so does the
        archive's name."""
        section = install_section(readme)
        self.expect("the project README has no '## Download and install' section", section is not None)
        if section is None:
            return
        terms = set(re.findall(r"`([^`\n]+)`", section))
        terms.add(os.path.basename(archive_name))
        for name, text in guides.items():
            flat = " ".join(text.split())
            for term in sorted(terms):
                self.expect("%s does not mention %r from the README" % (name, term), " ".join(term.split()) in flat)


def main(argv):
    if argv[:1] == ["same"] and len(argv) == 3:
        return same(argv[1], argv[2])
    if argv[:1] == ["contents"] and len(argv) >= 4:
        failures = Contents().run(argv[1], argv[2], int(argv[3]), [t for t in argv[4:] if t])
        for failure in failures:
            print("FAIL: " + failure)
        if not failures:
            print("%s: entries, dates, sums, guides and agreement with the README are right" % argv[1])
        return 1 if failures else 0
    if argv[:1] == ["extract"] and len(argv) == 3:
        zipfile.ZipFile(argv[1]).extractall(argv[2])
        return 0
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
