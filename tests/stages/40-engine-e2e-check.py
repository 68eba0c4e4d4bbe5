#!/usr/bin/python3
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

The rule is computed independently of the plug-in (tests/stages/lib/tonecheck.py).
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import tonecheck  # noqa: E402


def rule(before_path, after_path, state_path, rect=None):
    tone, apply = tonecheck.read_state(state_path)
    failures = tonecheck.check_rule(before_path, after_path, tone, apply, rect)
    if failures:
        raise SystemExit("\n".join(failures))
    h, w, n = tonecheck.read_image(after_path).shape
    top, left, bottom, right = rect if rect else (0, 0, h, w)
    print(f'{after_path}: {w}x{h}x{n}, all pixels follow the rule '
          f'(tone {list(tone)}, {sum(apply)} channels, rect {top},{left},{bottom},{right})')


def same(paths):
    first = tonecheck.read_image(paths[0])
    for path in paths[1:]:
        other = tonecheck.read_image(path)
        if other.shape != first.shape or (other != first).any():
            raise SystemExit(f'{path} differs from {paths[0]}')
    print(f'identical: {" ".join(paths)}')


def main():
    if len(sys.argv) >= 5 and sys.argv[1] == 'rule':
        rect = tuple(int(v) for v in sys.argv[5].split(',')) if len(sys.argv) > 5 else None
        rule(sys.argv[2], sys.argv[3], sys.argv[4], rect)
    elif len(sys.argv) >= 4 and sys.argv[1] == 'same':
        same(sys.argv[2:])
    elif len(sys.argv) == 9 and sys.argv[1] == 'state':
        values = [int(v) for v in sys.argv[3:]]
        tonecheck.write_state(sys.argv[2], values[:3], values[3:])
    else:
        raise SystemExit(__doc__)


if __name__ == '__main__':
    try:
        main()
    except (OSError, ValueError) as error:
        raise SystemExit(f'cannot be checked: {error}')
