#!/usr/bin/env python3
"""Checks images written by the reference host against the tone rule.

  check.py rule BEFORE AFTER STATE [T,L,B,R]   AFTER is the tone rule applied to BEFORE
                                               inside the rectangle (whole image if
                                               none) and BEFORE itself elsewhere; a
                                               fourth plane is never changed
  check.py same A B [C ...]                    the images hold identical pixels
  check.py state FILE R G B AR AG AB           writes a host parameters file: the
                                               plug-in's record with tone R,G,B and
                                               channel switches AR,AG,AB, stripRows
                                               1, zoom 1, mode 'moD1', the rest 0

The rule is computed here independently of the plug-in: each enabled channel of a
pixel becomes (r + g + b + tone) // 4 of the input values; everything else stays.
"""
import struct
import sys
import zlib


def read_png(path):
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise SystemExit(f'{path}: not a PNG')
    pos, idat, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat.append(body)
        elif kind == b'IEND':
            break
    width, height, depth, color, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(color)
    if depth != 8 or channels is None or interlace != 0:
        raise SystemExit(f'{path}: only 8-bit RGB or RGBA PNGs without interlace are read')
    raw = zlib.decompress(b''.join(idat))
    stride = width * channels
    pixels = bytearray(stride * height)
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = previous[x]
            c = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 255
        pixels[y * stride:(y + 1) * stride] = line
        previous = line
    return width, height, channels, bytes(pixels)


def read_state(path):
    """Tone and channel switches from a host parameters file (the record's bytes)."""
    words = open(path).read().split()
    if words[0] != 'tintara-host-parameters':
        raise SystemExit(f'{path}: not a parameters file')
    record = bytes(int(w, 16) for w in words[2:])
    tone = struct.unpack_from('<3h', record, 4)
    apply = [record[34 + k] != 0 for k in range(3)]
    return tone, apply


def write_state(path, tone, apply):
    record = bytearray(40)
    struct.pack_into('<3h', record, 4, *tone)
    struct.pack_into('<h', record, 20, 1)            # stripRows
    struct.pack_into('<I', record, 24, 0x6d6f4431)   # mode 'moD1'
    struct.pack_into('<h', record, 32, 1)            # zoom
    record[34:37] = bytes(apply)
    with open(path, 'w') as f:
        f.write('tintara-host-parameters 40\n' + ' '.join('%02x' % b for b in record) + '\n')


def rule(before_path, after_path, state_path, rect=None):
    w, h, n, before = read_png(before_path)
    w2, h2, n2, after = read_png(after_path)
    if (w, h, n) != (w2, h2, n2):
        raise SystemExit(f'{after_path}: {w2}x{h2}x{n2}, expected {w}x{h}x{n}')
    tone, apply = read_state(state_path)
    top, left, bottom, right = rect if rect else (0, 0, h, w)
    wrong = 0
    for y in range(h):
        for x in range(w):
            i = (y * w + x) * n
            p = before[i:i + n]
            expected = bytearray(p)
            if top <= y < bottom and left <= x < right:
                total = p[0] + p[1] + p[2]
                for k in range(3):
                    if apply[k]:
                        expected[k] = (total + tone[k]) // 4
            if after[i:i + n] != expected:
                if wrong < 5:
                    print(f'{after_path}: pixel ({x}, {y}) is {list(after[i:i + n])}, '
                          f'expected {list(expected)} from {list(p)}')
                wrong += 1
    if wrong:
        raise SystemExit(f'{after_path}: {wrong} pixels differ from the tone rule')
    toned = sum(apply)
    print(f'{after_path}: {w}x{h}x{n}, all pixels follow the rule '
          f'(tone {list(tone)}, {toned} channels, rect {top},{left},{bottom},{right})')


def same(paths):
    first = read_png(paths[0])
    for path in paths[1:]:
        if read_png(path) != first:
            raise SystemExit(f'{path} differs from {paths[0]}')
    print(f'identical: {" ".join(paths)}')


if __name__ == '__main__':
    if len(sys.argv) >= 5 and sys.argv[1] == 'rule':
        rect = tuple(int(v) for v in sys.argv[5].split(',')) if len(sys.argv) > 5 else None
        rule(sys.argv[2], sys.argv[3], sys.argv[4], rect)
    elif len(sys.argv) >= 4 and sys.argv[1] == 'same':
        same(sys.argv[2:])
    elif len(sys.argv) == 9 and sys.argv[1] == 'state':
        values = [int(v) for v in sys.argv[3:]]
        write_state(sys.argv[2], values[:3], values[3:])
    else:
        raise SystemExit(__doc__)
