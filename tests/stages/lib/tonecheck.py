"""The tone rule, computed independently of the plug-in, and the image and
parameter files that the stage checkers compare it with.

The rule: inside the filter rectangle, each enabled channel of the first three
becomes (p0 + p1 + p2 + tone) // 4 of the pixel's input values, with the tone held
to 0..255 as the plug-in holds it; a disabled channel, a fourth plane and every
pixel outside the rectangle stay as they were. A floating selection (transparency
as Paint.NET's bridge hands it over) also leaves wholly transparent pixels alone.

Images are read with Pillow (8-bit RGB or RGBA PNG, binary PPM) into arrays of
rows x columns x planes; the rule is whole-array numpy arithmetic.
"""
import struct
import sys

try:
    import numpy as np
    from PIL import Image
except ImportError as error:  # pyenv's python3 does not see Debian's packages
    sys.exit("tonecheck: %s; run the checkers with /usr/bin/python3 (scripts/setup installs "
             "python3-numpy and python3-pil)" % error)

# The parameter record as the plug-in lays it out (40 bytes on both files).
RECORD_SIZE = 40
TONE_AT = 4           # toneRed, toneGreen, toneBlue: int16 each
STRIP_ROWS_AT = 20    # int16
MODE_AT = 24          # OSType 'moD1'
ZOOM_AT = 32          # int16
APPLY_AT = 34         # applyRed, applyGreen, applyBlue: one byte each
SHOWN = 5             # wrong pixels listed in a failure


def read_image(path):
    """The pixels of an 8-bit RGB or RGBA PNG, or of a binary PPM, as a
    rows x columns x planes array of uint8. A file that is missing, damaged or of
    another pixel format raises OSError or ValueError."""
    with Image.open(path) as image:
        image.load()
        if image.mode not in ("RGB", "RGBA"):
            raise ValueError("%s: %s pixels; only 8-bit RGB or RGBA images are read" % (path, image.mode))
        return np.asarray(image, dtype=np.uint8)


def record_settings(record):
    """(tone, apply) from the parameter record's bytes; a missing record means no
    channel enabled."""
    if record is None:
        return (0, 0, 0), (False, False, False)
    tone = struct.unpack_from("<3h", record, TONE_AT)
    apply = tuple(record[APPLY_AT + k] != 0 for k in range(3))
    return tone, apply


def record(tone, apply, strip_rows=1):
    """A parameter record with the tone and channel switches, stripRows as given,
    zoom 1, mode 'moD1', the rest 0."""
    data = bytearray(RECORD_SIZE)
    struct.pack_into("<3h", data, TONE_AT, *tone)
    struct.pack_into("<h", data, STRIP_ROWS_AT, strip_rows)
    struct.pack_into("<I", data, MODE_AT, 0x6D6F4431)
    struct.pack_into("<h", data, ZOOM_AT, 1)
    data[APPLY_AT:APPLY_AT + 3] = bytes(1 if a else 0 for a in apply)
    return bytes(data)


def write_record(path, data):
    """A host parameters file holding the record's bytes."""
    with open(path, "w") as f:
        f.write("tintara-host-parameters %d\n" % len(data) + " ".join("%02x" % b for b in data) + "\n")


def write_state(path, tone, apply):
    write_record(path, record(tone, apply))


def read_state(path):
    """(tone, apply) from a host parameters file."""
    with open(path) as f:
        words = f.read().split()
    if not words or words[0] != "tintara-host-parameters":
        raise SystemExit("%s: not a parameters file" % path)
    return record_settings(bytes(int(w, 16) for w in words[2:]))


def tone_rule(before, tone, apply, rect=None, times=1, floating=False):
    """The image that the rule makes of before (rows x columns x planes), applied
    times over inside rect (top, left, bottom, right; the whole image if None)."""
    out = before.copy()
    h, w = before.shape[:2]
    top, left, bottom, right = rect if rect else (0, 0, h, w)
    area = out[max(top, 0):max(bottom, 0), max(left, 0):max(right, 0)]
    held = np.clip(np.asarray(tone, dtype=np.int32), 0, 255)
    enabled = [k for k in range(3) if apply[k]]
    keep = area[..., 3] == 0 if floating and area.shape[-1] == 4 else None
    for _ in range(times):
        total = area[..., :3].astype(np.int32).sum(axis=-1)
        toned = area.copy()
        for k in enabled:
            toned[..., k] = (total + held[k]) // 4
        if keep is not None:
            toned[keep] = area[keep]
        area[...] = toned
    return out


def mismatches(after, want):
    """Messages for the pixels of after that are not want's: empty when they agree."""
    if after.shape != want.shape:
        return ["%dx%dx%d pixels, expected %dx%dx%d" % (after.shape[1], after.shape[0], after.shape[2],
                                                          want.shape[1], want.shape[0], want.shape[2])]
    wrong = np.argwhere((after != want).any(axis=-1))
    if not len(wrong):
        return []
    lines = ["%d pixels differ from the tone rule" % len(wrong)]
    for y, x in wrong[:SHOWN]:
        lines.append("pixel (%d, %d) is %s, expected %s" % (x, y, after[y, x].tolist(), want[y, x].tolist()))
    return lines


def check_rule(before_path, after_path, tone, apply, rect=None, times=1, floating=False):
    """Messages for what in after_path does not follow the rule from before_path
    (also when either image cannot be read)."""
    try:
        want = tone_rule(read_image(before_path), tone, apply, rect, times, floating)
        after = read_image(after_path)
    except (OSError, ValueError) as error:
        return ["cannot be checked: %s" % error]
    return ["%s: %s" % (after_path, line) for line in mismatches(after, want)]
