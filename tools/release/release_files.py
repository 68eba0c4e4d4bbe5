#!/usr/bin/env python3
"""Writes the files of the release archive so that the same inputs always give
the same bytes, whoever builds them, wherever and whenever.

  release_files.py text SRC DST VERSION     a guide for Windows readers: @VERSION@
                                            replaced, UTF-8 with a byte order mark,
                                            CRLF line ends
  release_files.py sums DIR NAME...         DIR/SHA256SUMS for the named files, in that
                                            order (the format of sha256sum)
  release_files.py zip OUT.zip DIR NAME...  the named files of DIR, in that order

The archive's entries carry the time given by SOURCE_DATE_EPOCH (seconds since
1970, normally the commit's time) in UTC, fixed attributes and no extra fields.
Entry names must be ASCII: unzip 6.0 and older Windows unzippers ignore the
zip format's UTF-8 flag and write other names garbled.
"""

import hashlib
import os
import sys
import time
import zipfile

# The earliest time a zip entry can hold.
ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)


def text(src, dst, version):
    with open(src, encoding="utf-8") as f:
        body = f.read().replace("@VERSION@", version)
    if "\r" in body:
        raise SystemExit("%s: carriage returns in the source text" % src)
    with open(dst, "wb") as f:
        f.write(b"\xef\xbb\xbf" + body.replace("\n", "\r\n").encode("utf-8"))


def sums(folder, names):
    lines = []
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            lines.append("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), name))
    with open(os.path.join(folder, "SHA256SUMS"), "w", encoding="utf-8", newline="\n") as f:
        f.writelines(lines)


def entry_time():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch is None:
        raise SystemExit("zip: SOURCE_DATE_EPOCH is not set")
    stamp = time.gmtime(int(epoch))[:6]
    return max(stamp, ZIP_EPOCH)


def write_zip(out, folder, names):
    stamp = entry_time()
    foreign = [name for name in names if not name.isascii()]
    if foreign:
        raise SystemExit("zip: entry names must be ASCII: %s" % ", ".join(foreign))
    # Written to a neighbour first, so that a failed run leaves no partial archive.
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS attributes, the same on every build machine
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            archive.writestr(info, data, compresslevel=9)
    os.replace(partial, out)


def main(argv):
    if argv[:1] == ["text"] and len(argv) == 4:
        text(argv[1], argv[2], argv[3])
    elif argv[:1] == ["sums"] and len(argv) >= 3:
        sums(argv[1], argv[2:])
    elif argv[:1] == ["zip"] and len(argv) >= 4:
        write_zip(argv[1], argv[2], argv[3:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
