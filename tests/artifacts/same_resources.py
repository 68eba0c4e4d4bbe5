#!/usr/bin/python3
"""Checks that two built plug-in files carry the same resources byte for byte,
but for the property list's entry key, which names each file's processor
('8664', 'wx86' or 'wa64').

Usage: same_resources.py FILE OTHER
Prints each difference and exits 1 when there is any."""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from resparse import open_pe  # noqa: E402
from resparse import resources as resources_of  # noqa: E402

SIGNATURE = struct.pack("<I", 0x3842494D)  # '8BIM', as the resource script stores it
ENTRY_KEYS = [struct.pack("<I", int.from_bytes(k.encode(), "big")) for k in ("8664", "wx86", "wa64")]


def neutral(rtype, data):
    """The resource with its entry key replaced by a placeholder (PiPL only)."""
    if rtype != "PIPL":
        return data
    for key in ENTRY_KEYS:
        data = data.replace(SIGNATURE + key, SIGNATURE + b"????")
    return data


def table(path):
    with open(path, "rb") as f:
        pe = open_pe(f.read())
    return {(str(t), str(n), lang): neutral(t, d) for t, n, lang, d in (r[:4] for r in resources_of(pe))}


def differences(first, second):
    found = []
    for key in sorted(set(first) | set(second)):
        if key not in first or key not in second:
            found.append("resource %s/%s (language %#x) is in one file only" % key)
        elif first[key] != second[key]:
            found.append("resource %s/%s (language %#x) differs" % key)
    for resources in (first, second):
        pipl = [k for k in resources if k[0] == "PIPL"]
        if pipl and all(b"????" not in resources[k] for k in pipl):
            found.append("a property list without a known entry key")
    return found


def main(args):
    if len(args) != 2:
        sys.exit(__doc__)
    found = differences(table(args[0]), table(args[1]))
    for line in found:
        print(line)
    print("%s and %s: %s" % (args[0], args[1], "resources differ" if found else "same resources"))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
