#!/usr/bin/python3
"""Checks the traces, parameter records and images that 60-dialog.sh's batches left.

  60-dialog-check.py DIR32 DIR64 DIR64WINE10

DIR32 and DIR64 hold every job of the 32-bit and the 64-bit file; each is checked
on its own, then the two are compared. DIR64WINE10 holds the 64-bit file's main
job run in Wine 10, whose dialog pictures must equal the 32-bit file's.

Expected proxy rectangles come from an independent model of the proxy geometry
(centre the source of zoom * preview size in the image, shift by the offsets,
divide by zoom), fed with the preview size that the opening's fetch shows."""
import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import tonecheck  # noqa: E402

work = None  # the folder of the file being checked
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def rect(text):
    return tuple(int(v) for v in text.split(","))


# --- reading the trace ---------------------------------------------------------

ADVANCE = re.compile(r"^advanceState in=(\S+) out=(\S+) mask=(\S+) .*inputRate=(\d+) maskRate=(\d+) padding=(\S+)")
DISPLAY = re.compile(r"^displayPixels version=(\d+) bounds=(\S+) src=(\S+) dst=(\d+),(\d+) mode=\d+ rowBytes=\d+ colBytes=(\d+) planeBytes=(\d+) mask=(\S+) drawn=\S+ hash=(\w+) -> (.*)$")
STATE = re.compile(r"^dialog state fields=([^,]*),([^,]*),(\S*) checks=(\S+) zoomIn=(\S+) zoomOut=(\S+) focus=(\d+)"
                   r" okDefault=(\S+) defId=(\d+)")
ABORTS = re.compile(r"^abortProc #(\d+)(?:\.\.#(\d+))? ")
DONE = re.compile(r"^dialog step (\d+) '(.*)' done$")


class Segment:
    """The trace lines of one dialog step (or of the opening)."""

    def __init__(self, text):
        self.text = text
        self.lines = []
        self.state = None

    def advances(self):
        out = []
        for line in self.lines:
            m = ADVANCE.match(line)
            if m:
                out.append({"in": rect(m.group(1)), "out": rect(m.group(2)), "mask": rect(m.group(3)),
                            "rate": int(m.group(4)), "maskRate": int(m.group(5)), "padding": m.group(6)})
        return out

    def displays(self):
        out = []
        for line in self.lines:
            m = DISPLAY.match(line)
            if m:
                out.append({"bounds": rect(m.group(2)), "src": rect(m.group(3)),
                            "dst": (int(m.group(4)), int(m.group(5))), "colBytes": int(m.group(6)),
                            "mask": m.group(8), "hash": m.group(9), "result": m.group(10)})
        return out

    def retones(self, pixels):
        """How often the preview was toned: the kernel asks abortProc once per pixel."""
        # The host folds consecutive calls into one line: abortProc #A..#B -> 0.
        asked = 0
        for line in self.lines:
            m = ABORTS.match(line)
            if m:
                asked += int(m.group(2)) - int(m.group(1)) + 1 if m.group(2) else 1
        check(pixels and asked % pixels == 0, f"'{self.text}': {asked} abortProc calls for {pixels}-pixel proxies")
        return asked // pixels if pixels else -1

    def has(self, fragment):
        return any(fragment in line for line in self.lines)


def parse_state(line):
    m = STATE.match(line)
    return {"fields": (m.group(1), m.group(2), m.group(3)), "checks": m.group(4),
            "zoomIn": m.group(5), "zoomOut": m.group(6), "focus": int(m.group(7)),
            "okDefault": m.group(8), "defId": int(m.group(9))}


class Dialog:
    def __init__(self):
        self.opening = Segment("opening")
        self.steps = []
        self.after = Segment("after the dialog")


FAILED_STEP = re.compile(r"^dialog step (\d+)(?::| '.*' failed:) (.*)$")


def read_trace(label):
    """The trace split into dialogs; each into its opening (from the Start call to
    the dialog's first state), its steps (each step's lines end with its "done",
    or with the note that it could not act) and what follows the dialog."""
    with open(f"{work}/{label}.trace", encoding="utf-8", errors="replace") as f:
        lines = [l.rstrip("\n") for l in f]
    dialogs, current, segment, start = [], None, None, 0
    for i, line in enumerate(lines):
        if line.startswith("call Start"):
            start, current = i, None
            continue
        if line.startswith("dialog appeared"):
            current = Dialog()
            current.opening.lines = lines[start + 1:i + 1]
            dialogs.append(current)
            segment = current.opening
            continue
        if current is None:
            continue
        if line.startswith("dialog state") and segment is not current.after:
            segment.state = parse_state(line)
            segment = Segment("")
            continue
        m = DONE.match(line)
        if m and segment is not current.after:
            segment.text = m.group(2)
            current.steps.append(segment)
            continue
        m = FAILED_STEP.match(line)
        if m and segment is not current.after:
            segment.text = line
            segment.lines.append(line)
            current.steps.append(segment)
            segment = Segment("")
            continue
        if line.startswith("dialog gone"):
            current.after = segment
        segment.lines.append(line)
    return lines, dialogs


def read_state(label):
    with open(f"{work}/{label}.state") as f:
        words = f.read().split()
    size = int(words[1])
    data = bytes(int(w, 16) for w in words[2:2 + size])
    (offsetH, offsetV, toneRed, toneGreen, toneBlue, top, left, bottom, right, showDialog, stripRows,
     mode, modeFlag, usePreview, hostExcluded, zoom, applyRed, applyGreen, applyBlue) = struct.unpack_from(
        "<hhhhhhhhhBxhxxIBBBxhBBB", data)
    return {"offsets": (offsetH, offsetV), "tone": (toneRed, toneGreen, toneBlue),
            "imageRect": (top, left, bottom, right), "showDialog": showDialog, "mode": mode,
            "modeFlag": modeFlag, "zoom": zoom, "apply": (applyRed, applyGreen, applyBlue)}


def toned(label, tone, apply):
    """The image after the dialog follows the tone rule from the image before it."""
    for message in tonecheck.check_rule(f"{work}/{label}-before.ppm", f"{work}/{label}-after.ppm", tone, apply):
        failures.append(f"{label}: {message}")


# --- the proxy model --------------------------------------------------------------

def proxy(image, preview, zoom, off):
    """In-rectangle (top, left, bottom, right) that the proxy geometry asks for."""
    (iw, ih), (pw, ph) = image, preview
    left, right, top, bottom = 0, iw, 0, ih
    if iw >= zoom * pw:
        shift = (iw - zoom * pw) // 2
        left, right = shift + off[0], shift + zoom * pw + off[0]
    if ih >= zoom * ph:
        shift = (ih - zoom * ph) // 2
        top, bottom = shift + off[1], shift + zoom * ph + off[1]
    div = lambda c: int(c / zoom)  # truncation toward zero
    return (div(top), div(left), div(bottom), div(right))


def limits(image, preview, zoom):
    """((left, right), (top, bottom)) pan limits of the centred source rectangle:
    the image pixels beyond each of its edges. When the image and the source differ
    by an odd count, the far side keeps the extra pixel."""
    def axis(size, source):
        if size < source:
            return (0, 0)
        near = (size - source) // 2
        return (near, size - source - near)
    (iw, ih), (pw, ph) = image, preview
    return axis(iw, zoom * pw), axis(ih, zoom * ph)


def clamp(v, limit):
    """v held to [-near, far]; the lower end is tested first."""
    near, far = limit
    return min(far, max(-near, v))


def halve(v):
    return int(v / 2)


def expect_state(seg, label, fields=None, checks=None, zoomIn=None, zoomOut=None, focus=None):
    st = seg.state
    if not check(st is not None, f"{label}: no dialog state after '{seg.text}'"):
        return
    if fields is not None:
        check(st["fields"] == tuple(str(f) for f in fields),
              f"{label}: after '{seg.text}' fields {st['fields']}, expected {fields}")
    if checks is not None:
        check(st["checks"] == checks, f"{label}: after '{seg.text}' checks {st['checks']}, expected {checks}")
    if zoomIn is not None:
        check(st["zoomIn"] == zoomIn, f"{label}: after '{seg.text}' zoomIn {st['zoomIn']}, expected {zoomIn}")
    if zoomOut is not None:
        check(st["zoomOut"] == zoomOut, f"{label}: after '{seg.text}' zoomOut {st['zoomOut']}, expected {zoomOut}")
    if focus is not None:
        check(st["focus"] == focus, f"{label}: after '{seg.text}' focus {st['focus']}, expected {focus}")


def expect_fetches(seg, label, rects, rate=None):
    got = [a["in"] for a in seg.advances()]
    check(got == list(rects), f"{label}: '{seg.text}' fetched {got}, expected {list(rects)}")
    for a in seg.advances():
        check(a["out"] == a["in"] and a["mask"] == a["in"], f"{label}: '{seg.text}' rectangles differ: {a}")
        check(a["padding"] == "255,255,255", f"{label}: '{seg.text}' paddings {a['padding']}")
        if rate is not None:
            check(a["rate"] == rate and a["maskRate"] == rate, f"{label}: '{seg.text}' rate {a['rate']}, expected {rate}")


def expect_refresh(seg, label, pixels, fetches, retones, repaint):
    """One row of the dialog's refresh table: proxy fetches, re-tones, repaints."""
    got = len(seg.advances())
    if fetches is not None:
        check(got == fetches, f"{label}: '{seg.text}' fetched {got} times, expected {fetches}")
    toned_count = seg.retones(pixels)
    check(toned_count == retones, f"{label}: '{seg.text}' toned {toned_count} times, expected {retones}")
    drawn = len(seg.displays())
    check(drawn > 0 if repaint else drawn == 0, f"{label}: '{seg.text}' repainted {drawn} times")


def expect_repaint(seg, label, bounds=None):
    shown = seg.displays()
    if check(shown, f"{label}: '{seg.text}' drew no preview"):
        if bounds is not None:
            check(shown[-1]["bounds"] == bounds, f"{label}: '{seg.text}' drew {shown[-1]['bounds']}, expected {bounds}")
    return shown


def along(fetches, start):
    """The distinct positions that a drag fetched, in order. Each mouse move
    fetches once; the system may add moves of its own (moving or confining the
    cursor sends one), so repeats of a position and the starting position count
    once or not at all."""
    path = []
    for a in fetches:
        if a["in"] != start and (not path or path[-1] != a["in"]):
            path.append(a["in"])
    return path


# --- main: the whole dialog on the 1024 x 768 sample --------------------------------

def check_main():
    label = "main"
    lines, dialogs = read_trace(label)
    if not check(len(dialogs) == 1, f"{label}: {len(dialogs)} dialogs"):
        return
    d = dialogs[0]
    # Every caption fits its control in the font that the dialog got (under Wine a
    # missing face falls back to a wider one that cuts the labels off).
    captions = [l for l in d.opening.lines if l.startswith("dialog caption ")]
    check(len(captions) == 19, f"{label}: {len(captions)} captions measured, expected 19")
    cut = [l for l in captions if not l.endswith(" fits")]
    check(not cut, f"{label}: captions cut off: {cut}")
    image = (1024, 768)
    opening = d.opening.advances()
    if not check(len(opening) == 1, f"{label}: the opening fetched {len(opening)} times"):
        return
    first = opening[0]["in"]
    preview = (first[3] - first[1], first[2] - first[0])
    px = preview[0] * preview[1]
    check(first == proxy(image, preview, 1, (0, 0)), f"{label}: opening proxy {first} not centred")
    check(opening[0]["rate"] == 65536, f"{label}: opening rate {opening[0]['rate']}")
    check(d.opening.retones(px) == 1, f"{label}: the opening did not tone the proxy once")
    shown = expect_repaint(d.opening, label, first)
    dst = shown[-1]["dst"] if shown else (0, 0)
    check(shown and shown[-1]["mask"] == "none" and shown[-1]["colBytes"] == 3,
          f"{label}: opening map {shown[-1] if shown else None}")
    bounds_right, bounds_bottom = dst[1] + preview[0], dst[0] + preview[1]
    # Stored tone 0,0,0: the host's foreground colour; factor 1.
    expect_state(d.opening, label, fields=(10, 200, 255), checks="none", zoomIn="off",
                 zoomOut="on" if image[0] // 2 >= bounds_right and image[1] // 2 >= bounds_bottom else "off",
                 focus=1)

    steps = iter(d.steps)
    nxt = lambda: next(steps)
    refresh = lambda seg, fetches, retones, repaint=True: expect_refresh(seg, label, px, fetches, retones, repaint)
    s = nxt()  # shot
    s = nxt()  # check=r: a channel box re-tones and repaints, no fetch
    expect_state(s, label, checks="r")
    refresh(s, 0, 1)
    red_on = expect_repaint(s, label, first)
    check(red_on and shown and red_on[-1]["hash"] != shown[-1]["hash"], f"{label}: enabling red changed nothing")
    s = nxt()  # swatch: inverts
    expect_state(s, label, fields=(245, 55, 0))
    refresh(s, 0, 1)
    inverted = expect_repaint(s, label, first)
    check(inverted and red_on and inverted[-1]["hash"] != red_on[-1]["hash"], f"{label}: swatch did not re-tone")
    s = nxt()  # swatch again: back
    expect_state(s, label, fields=(10, 200, 255))
    refresh(s, 0, 1)
    back = expect_repaint(s, label, first)
    check(back and red_on and back[-1]["hash"] == red_on[-1]["hash"], f"{label}: second swatch click did not restore the preview")
    # Typing (a digit notifies on the character and on the key release), arrows and
    # wheel (one notification per step): values change without fetching.
    for expected, retones in [((25, 200, 255), 4), (None, 0), ((253, 200, 255), 2), (("", 200, 255), 2),
                              ((1, 200, 255), 1), ((0, 200, 255), 1), ((255, 200, 255), 1), ((0, 200, 255), 1),
                              ((255, 200, 255), 1), ((0, 200, 255), 1)]:
        s = nxt()
        refresh(s, 0, retones, retones > 0)
        if expected is not None:
            expect_state(s, label, fields=expected)
    # Letters toggle the channels (either case).
    for checks in ["none", "g", "gb", "rgb"]:
        s = nxt()
        expect_state(s, label, checks=checks, focus=1006)
        refresh(s, 0, 1)
    s = nxt()  # focus=b
    s = nxt()  # key=end
    s = nxt()  # key=left
    s = nxt()  # f deletes after the caret
    expect_state(s, label, fields=(0, 200, 25))
    refresh(s, 0, 1)
    s = nxt()  # j deletes before it
    expect_state(s, label, fields=(0, 200, 2))
    refresh(s, 0, 2)
    for _ in range(4):  # h, -, space, [ are discarded
        s = nxt()
        expect_state(s, label, fields=(0, 200, 2))
        refresh(s, 0, 0, False)
    s = nxt()  # focus=r
    s = nxt()  # paste=999: not re-read, not toned
    expect_state(s, label, fields=("0999", 200, 2))
    refresh(s, 0, 0, False)
    s = nxt()  # focus=g
    s = nxt()  # key=end
    s = nxt()  # j in green: all three re-read, the pasted value held to 255
    expect_state(s, label, fields=(255, 20, 2))
    s = nxt()  # pick
    check(s.has("colorServices choose prompt=\"\" source=255,20,2 by=pick -> 30,60,90"),
          f"{label}: picker call not as expected: {[l for l in s.lines if 'colorServices' in l]}")
    expect_state(s, label, fields=(30, 60, 90))
    refresh(s, 0, 1)

    # Pans: each button fetches once, also at a limit; each axis clamps alone.
    limH, limV = limits(image, preview, 1)
    off = [0, 0]
    moves = {"D": (50, 0), "E": (50, -50), "Q": (-50, -50), "Z": (-50, 50)}
    for letter in "DDDDDDDDDEEEEEEQ":
        s = nxt()
        dh, dv = moves[letter]
        off = [clamp(off[0] + dh, limH), clamp(off[1] + dv, limV)]
        want = proxy(image, preview, 1, off)
        expect_fetches(s, label, [want], 65536)
        refresh(s, 1, 1)
        expect_repaint(s, label, want)
    check(off == [limH[1] - 50, -limV[0]], f"{label}: the pan sequence did not reach the corner ({off})")
    s = nxt()  # focus=g
    for letter in "ZD":  # letters in a tone field pan like the buttons
        s = nxt()
        dh, dv = moves[letter]
        off = [clamp(off[0] + dh, limH), clamp(off[1] + dv, limV)]
        expect_fetches(s, label, [proxy(image, preview, 1, off)], 65536)
        refresh(s, 1, 1)
    # Reduce: the centred source at factor 2, then the carried pan position.
    s = nxt()
    lim2 = limits(image, preview, 2)
    pan = [clamp(halve(off[0]) + halve(off[0]), lim2[0]), clamp(halve(off[1]) + halve(off[1]), lim2[1])]
    expect_fetches(s, label, [proxy(image, preview, 2, (0, 0)), proxy(image, preview, 2, pan)], 131072)
    refresh(s, 2, 1)
    too_small = image[0] // 3 < bounds_right or image[1] // 3 < bounds_bottom
    expect_state(s, label, zoomIn="on", zoomOut="off" if too_small else "on",
                 focus=1021 if too_small else None)
    expect_repaint(s, label, proxy(image, preview, 2, pan))
    s = nxt()  # shot
    s = nxt()  # zoom=out again: disabled at factor 2 for this image
    if too_small:
        check(any("is disabled" in l for l in s.lines), f"{label}: the reduce button was not disabled")
        expect_fetches(s, label, [])
    s = nxt()  # zoom=in back to 1
    pan = [clamp(halve(pan[0]) + halve(pan[0]), limH), clamp(halve(pan[1]) + halve(pan[1]), limV)]
    expect_fetches(s, label, [proxy(image, preview, 1, (0, 0)), proxy(image, preview, 1, pan)], 65536)
    refresh(s, 2, 1)
    expect_state(s, label, zoomIn="off", zoomOut="on", focus=1022)
    s = nxt()  # drag 40 screen pixels left: the offset grows by 40, fetched per move,
    # toned once at the button up, after the last fetch
    moves_n = 40 // 5 + 1
    path = [proxy(image, preview, 1, (clamp(pan[0] + 40 * i // moves_n, limH), pan[1]))
            for i in range(1, moves_n + 1)]
    start = proxy(image, preview, 1, tuple(pan))
    check(along(s.advances(), start) == path, f"{label}: the drag fetched {along(s.advances(), start)}, expected {path}")
    check(s.retones(px) == 1, f"{label}: the drag toned {s.retones(px)} times, expected once")
    last_fetch = max(i for i, l in enumerate(s.lines) if l.startswith("advanceState in="))
    check(any(l.startswith("abortProc #") for l in s.lines[last_fetch:]), f"{label}: the drag was toned before it ended")
    s = nxt()  # double click: down, up, double click, up; centred by the double click
    fetched = [a["in"] for a in s.advances()]
    dragged = proxy(image, preview, 1, (clamp(pan[0] + 40, limH), pan[1]))
    check(fetched and fetched[-1] == first and set(fetched) <= {first, dragged},
          f"{label}: the double click fetched {fetched}")
    check(s.retones(px) == 3, f"{label}: the double click toned {s.retones(px)} times, expected 3")
    expect_repaint(s, label, first)
    s = nxt()  # check=rb: one click
    expect_state(s, label, checks="rb")
    refresh(s, 0, 1)
    s = nxt()  # shot
    s = nxt()  # ok: no fetch, no tone within the dialog
    refresh(s, 0, 0, False)
    check(any(l == "dialog gone cursorClip=free" for l in lines), f"{label}: cursor not free after OK")
    check("  filterRect after Start=0,0,768,1024" in lines, f"{label}: filterRect not restored")
    check(any(l.startswith("result Start 0") for l in lines), f"{label}: Start did not succeed")
    whole = d.after.advances()
    check(any(a["in"] == (0, 0, 768, 1024) and a["rate"] == 65536 for a in whole),
          f"{label}: the whole image was not fetched at full size: {whole}")
    st = read_state(label)
    check(st["tone"] == (30, 60, 90), f"{label}: stored tone {st['tone']}")
    check(st["apply"] == (1, 0, 1), f"{label}: stored channels {st['apply']}")
    check(st["offsets"] == (0, 0), f"{label}: stored offsets {st['offsets']}")
    check(st["imageRect"] == (0, 0, 768, 1024), f"{label}: stored imageRect {st['imageRect']}")
    check(st["mode"] == 0x6D6F4431, f"{label}: stored mode {st['mode']:#x}")
    check(st["showDialog"] == 0, f"{label}: showDialog left set")
    toned("main", (30, 60, 90), (1, 0, 1))


def check_reopen():
    label = "reopen"
    lines, dialogs = read_trace(label)
    if not check(len(dialogs) == 2, f"{label}: {len(dialogs)} dialogs, expected 2"):
        return
    expect_state(dialogs[0].opening, label, fields=(10, 200, 255))
    # The second opening shows the stored tone, not the foreground colour.
    expect_state(dialogs[1].opening, label, fields=(7, 200, 255), zoomIn="off")
    a, b = dialogs[0].opening.advances(), dialogs[1].opening.advances()
    check(a and b and a[0]["in"] == b[0]["in"], f"{label}: the second opening is not centred")
    if a:
        first = a[0]["in"]
        pans = dialogs[1].steps[1].advances()
        want = (first[0], first[1] - 50, first[2], first[3] - 50)
        check(pans and pans[0]["in"] == want, f"{label}: second dialog's pan fetched {pans}, expected {want}")
    st = read_state(label)
    check(st["tone"] == (7, 200, 255), f"{label}: stored tone {st['tone']}")


def check_zoom():
    label = "zoom"
    lines, dialogs = read_trace(label)
    if not check(len(dialogs) == 1, f"{label}: {len(dialogs)} dialogs"):
        return
    d = dialogs[0]
    image = (1000, 1000)
    first = d.opening.advances()[0]["in"]
    preview = (first[3] - first[1], first[2] - first[0])
    dst = d.opening.displays()[-1]["dst"]
    right, bottom = dst[1] + preview[0], dst[0] + preview[1]
    # The example's pattern: reduction stays possible at factors 1 and 2 and stops
    # on reaching 3; for this dialog's proxy that holds for 1000 x 1000.
    check(1000 // 3 >= max(right, bottom) and 1000 // 4 < max(right, bottom),
          f"{label}: proxy edges {right},{bottom} do not fit the example")
    expect_state(d.opening, label, zoomIn="off", zoomOut="on")
    s1, s2, s3, s4 = d.steps[0:4]
    px = preview[0] * preview[1]
    expect_fetches(s1, label, [proxy(image, preview, 2, (0, 0))] * 2, 131072)
    expect_refresh(s1, label, px, 2, 1, True)
    expect_state(s1, label, zoomIn="on", zoomOut="on")
    expect_fetches(s2, label, [proxy(image, preview, 3, (0, 0))] * 2, 196608)
    expect_state(s2, label, zoomIn="on", zoomOut="off", focus=1021)
    # At factor 3 a drag of 10 screen pixels to the right lowers the offset by 30.
    want = [proxy(image, preview, 3, (-3 * dx, 0)) for dx in (3, 6, 10)]
    fetched = along(s3.advances(), proxy(image, preview, 3, (0, 0)))
    check(fetched == want, f"{label}: drag at factor 3 fetched {fetched}, expected {want}")
    check(s3.retones(px) == 1, f"{label}: the drag at factor 3 was not toned once")
    lim2 = limits(image, preview, 2)
    carried = clamp(halve(-30) + halve(-30), lim2[0])
    expect_fetches(s4, label, [proxy(image, preview, 2, (0, 0)), proxy(image, preview, 2, (carried, 0))], 131072)
    expect_state(s4, label, zoomIn="on", zoomOut="on")
    check(any(l.startswith("result Start -128") for l in lines), f"{label}: Cancel did not return -128")
    check("  filterRect after Start=0,0,1000,1000" in lines, f"{label}: filterRect not restored after Cancel")
    check("dialog gone cursorClip=free" in lines, f"{label}: cursor not free")
    st = read_state(label)
    check(st["tone"] == (9, 0, 0), f"{label}: Cancel lost the tone: {st['tone']}")
    check(st["apply"] == (0, 1, 0), f"{label}: Cancel lost the channels: {st['apply']}")
    check(st["offsets"] == (0, 0), f"{label}: offsets after Cancel {st['offsets']}")
    check(st["zoom"] == 2, f"{label}: factor after Cancel {st['zoom']}")
    check(st["mode"] == 0x6D6F4431, f"{label}: mode after Cancel {st['mode']:#x}")


def check_zoomenter():
    """At the reduction limit the focus moves to the enlarge button, but OK stays the
    default button: Enter closes the dialog with OK, and the image is filtered."""
    label = "zoomenter"
    lines, dialogs = read_trace(label)
    if not check(len(dialogs) == 1, f"{label}: {len(dialogs)} dialogs"):
        return
    d = dialogs[0]
    check(d.opening.state and d.opening.state["okDefault"] == "yes", f"{label}: OK is not the default at opening")
    zooms = [s for s in d.steps if s.text == "zoom=out"]
    if not check(len(zooms) == 2, f"{label}: {len(zooms)} zoom steps"):
        return
    for s in zooms:
        expect_state(s, label, zoomIn="on")
        st = s.state
        check(st and st["okDefault"] == "yes" and st["defId"] == 1,
              f"{label}: after '{s.text}' OK lost its default style: {st}")
    expect_state(zooms[1], label, zoomOut="off", focus=1021)
    enlarges = [l for l in d.after.lines if l.startswith("advanceState") and "inputRate=131072" in l]
    check(not enlarges, f"{label}: Enter enlarged the preview instead of closing the dialog")
    check(any(l.startswith("result Start 0") for l in lines), f"{label}: Enter did not end the dialog with OK")
    toned("zoomenter", (40, 0, 0), (0, 1, 1))


def check_noproxy():
    label = "noproxy"
    lines, dialogs = read_trace(label)
    if not check(len(dialogs) == 1, f"{label}: {len(dialogs)} dialogs"):
        return
    check(any("advanceState #1 -> -108" in l for l in lines), f"{label}: the first fetch did not fail")
    check(not any(l.startswith("displayPixels") for l in lines), f"{label}: a preview was drawn without buffers")
    expect_state(dialogs[0].opening, label, fields=(0, 0, 0))
    check(any(l.startswith("result Start 0") for l in lines), f"{label}: OK did not proceed")
    check(any(l.startswith("serve ") for l in lines), f"{label}: the strips were not served")
    toned("noproxy", (100, 0, 0), (1, 0, 0))


def check_bare():
    label = "bare"
    lines, dialogs = read_trace(label)
    if not check(len(dialogs) == 1, f"{label}: {len(dialogs)} dialogs"):
        return
    expect_state(dialogs[0].opening, label, zoomIn="off", zoomOut="off")
    check(not any(l.startswith("advanceState") or l.startswith("colorServices") or
                  l.startswith("displayPixels") for l in lines),
          f"{label}: a missing callback's place was reached")
    for what in ("pan button", "reduce button", "colour picker button"):
        check(any(f"{what} is disabled" in l for l in lines), f"{label}: the {what} is not disabled")
    for s in dialogs[0].steps[3:5]:  # d and q typed into a field change nothing
        expect_state(s, label, fields=(0, 0, 0))
    check(any(l.startswith("result Start 0") for l in lines), f"{label}: OK did not proceed")
    st = read_state(label)
    check(st["tone"] == (50, 0, 0) and st["apply"] == (1, 0, 1), f"{label}: record {st}")


def check_hold(label, result):
    lines, dialogs = read_trace(label)
    held = [l for l in lines if "holds the button cursorClip=" in l]
    check(held and not held[0].endswith("=free"), f"{label}: the drag did not confine the cursor: {held}")
    check(dialogs and dialogs[0].steps and dialogs[0].steps[0].advances(),
          f"{label}: the held drag fetched nothing")
    check("dialog gone cursorClip=free" in lines, f"{label}: the cursor stayed confined after the dialog")
    check(any(l.startswith(f"result Start {result}") for l in lines), f"{label}: Start did not end with {result}")


def check_alpha():
    label = "alpha"
    lines, dialogs = read_trace(label)
    shown = [s for d in dialogs for s in d.opening.displays()]
    check(shown and shown[-1]["colBytes"] == 4 and shown[-1]["mask"] == "kind0/colBytes4",
          f"{label}: a layer's preview is not masked by its transparency: {shown[-1] if shown else None}")


# --- the two files compared ----------------------------------------------------------

LABELS = ["main", "reopen", "zoom", "zoomenter", "noproxy", "bare", "holdenter", "holdescape", "alpha"]
SUMMARY = re.compile(r"^\S+: (\S+) (\S+) (result=.*) time=\S+ (.*)$")
PIPL_ENTRIES = re.compile(r' 8664="[^"]*" wx86="[^"]*"')
NEW_HANDLE = re.compile(r"^newHandle size=(\d+) ")


def summaries(folder):
    """label -> the host's summary line without its time."""
    out = {}
    with open(f"{folder}/host.out", errors="replace") as f:
        for line in f:
            m = SUMMARY.match(line.rstrip("\n"))
            if m:
                out[m.group(1)] = " ".join(m.group(2, 3, 4))
    return out


def normalised_trace(folder, label, same_wine):
    """The trace with what legitimately differs between the files taken out: the
    PiPL entry that the host took (wx86 or 8664) and the job's folder in picture
    paths, how long the dialog took to appear, and repaints of an unchanged preview
    (the window system decides how often it asks). Between Wine 8 and Wine 10 the
    dialog's frame differs, so its screen rectangle and the cursor confinement,
    which follow from the frame, are left out too."""
    out = []
    with open(f"{folder}/{label}.trace", encoding="utf-8", errors="replace") as f:
        for line in f:
            line = re.sub(r"[^\s=']*/shots/", "shots/", PIPL_ENTRIES.sub("", line.rstrip("\n")))
            line = re.sub(r" after=\d+ms", "", line)
            if not same_wine:
                line = re.sub(r" rect=\S+", "", line)
                line = re.sub(r"cursorClip=\d+,\d+,\d+,\d+", "cursorClip=confined", line)
            if line.startswith("displayPixels") and out and out[-1] == line:
                continue
            out.append(line)
    return out


def same_handle(line32, line64):
    """The plug-in's own block holds pointers: on the 64-bit file it is larger."""
    a, b = NEW_HANDLE.match(line32), NEW_HANDLE.match(line64)
    return (a and b and line32[a.end():] == line64[b.end():] and
            int(a.group(1)) < int(b.group(1)) <= 2 * int(a.group(1)))


def compare(dir32, dir64, labels, same_wine):
    """The same job on both files: the same summary, trace (apart from the above),
    parameter record and images; within one Wine also the same dialog pictures."""
    name = f"{os.path.basename(dir32)} and {os.path.basename(dir64)}"
    before = len(failures)
    sums32, sums64 = summaries(dir32), summaries(dir64)
    for label in labels:
        check(label in sums32 and sums32.get(label) == sums64.get(label),
              f"{name}: {label} ended differently: {sums32.get(label)!r} and {sums64.get(label)!r}")
        t32, t64 = normalised_trace(dir32, label, same_wine), normalised_trace(dir64, label, same_wine)
        odd = [(i + 1, a, b) for i, (a, b) in enumerate(zip(t32, t64)) if a != b and not same_handle(a, b)]
        check(len(t32) == len(t64) and not odd,
              f"{name}: {label} traces differ ({len(t32)} and {len(t64)} lines), first: {odd[:1]}")
        with open(f"{dir32}/{label}.state", "rb") as a, open(f"{dir64}/{label}.state", "rb") as b:
            check(a.read() == b.read(), f"{name}: {label} left different parameter records")
    images = sorted(f for f in os.listdir(dir32) if f.endswith(".ppm") and f.split("-")[0] in labels)
    pictures = sorted(os.listdir(f"{dir32}/shots")) if same_wine else []
    check(images, f"{name}: no images to compare")
    check(not same_wine or len(pictures) == 3, f"{name}: dialog pictures {pictures}, expected 3")
    for path in [f for f in images] + [f"shots/{f}" for f in pictures]:
        a = tonecheck.read_image(f"{dir32}/{path}")
        b = tonecheck.read_image(f"{dir64}/{path}")
        check(a.shape == b.shape and (a == b).all(), f"{name}: {path} differs")
    print(f"60-dialog: {name} ({', '.join(labels)}; {len(images)} images, {len(pictures)} dialog pictures): "
          f"{'same' if len(failures) == before else 'DIFFERENT'}")


CHECKS = [("main", check_main), ("reopen", check_reopen), ("zoom", check_zoom),
          ("zoomenter", check_zoomenter),
          ("noproxy", check_noproxy), ("bare", check_bare),
          ("holdenter", lambda: check_hold("holdenter", 0)),
          ("holdescape", lambda: check_hold("holdescape", -128)), ("alpha", check_alpha)]

for work, file in [(sys.argv[1], "win32"), (sys.argv[2], "win64")]:
    for name, run in CHECKS:
        before = len(failures)
        try:
            run()
        except (OSError, StopIteration, IndexError, KeyError, ValueError, struct.error) as error:
            failures.append(f"{name}: could not be checked: {error!r}")
        failures[before:] = [f"{file} {f}" for f in failures[before:]]
        print(f"60-dialog: {file} {name}: {'ok' if len(failures) == before else 'FAILED'}")

for dir64, labels, same_wine in [(sys.argv[2], LABELS, False), (sys.argv[3], ["main"], True)]:
    try:
        compare(sys.argv[1], dir64, labels, same_wine)
    except (OSError, ValueError) as error:
        failures.append(f"{dir64}: could not be compared: {error!r}")

for f in failures:
    print("  " + f, file=sys.stderr)
sys.exit(1 if failures else 0)
