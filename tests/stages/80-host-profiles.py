#!/usr/bin/python3
"""Every host profile of the reference host, in every scenario, and the check of
what came out.

  80-host-profiles.py run WORKDIR HOST PLUGIN [HOST PLUGIN ...]
      plans the same jobs for each file, runs them in as few host processes as
      crashes allow (each file in the reference host of its own machine type
      under Wine: scripts/wine-run picks Wine 8 for the 64-bit one, Wine 10 for
      the 32-bit one), checks them, prints one table per file and holds every
      file's results to the first file's

Scenarios: a first run, the host's repeat run, a cancel, an abort in the middle of
the pixels, the strip path (a small maxSpace, no displayPixels), an image with
transparency as the host presents it, and a filter rectangle smaller than the image,
on the preview path and in strips; beside them the repeat of modern-reload on
suites the plug-in does not use (its record then lives in system memory across the
reload). Every file runs with its dialog, answered by a
script.

Between the files, each job must end with the same result code and the same
count of leftover handles, write the same before and after pixels and leave the
same trace, apart from what legitimately differs (trace_lines: the entry's name,
handle sizes and pointer values, the dialog's frame, repeated repaints).

The tone rule is computed independently of the plug-in (tests/stages/lib/tonecheck.py),
over the filter rectangle that the host hands over; a floating selection
(transparency as Paint.NET's bridge shows it) leaves wholly transparent pixels alone.
"""
import json
import os
import re
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import tonecheck  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
W, H = 61, 37
TONE = (200, 30, 117)
CHOOSE = "r=%d;g=%d;b=%d;check=rgb;ok" % TONE
PROFILES = ["strict", "pdn", "pspi", "pspihost", "irfanview", "photoplus", "modern", "modern-reload"]
# On the vm route (an emulated machine, TINTARA_VM32_SPOOL set by the stage) the
# 32-bit file's jobs are many times slower: there it runs two profiles, the
# strictest and the one that reloads the plug-in; the native route runs them all.
VM_PROFILES = ["strict", "modern-reload"]


def profiles_for(file_label):
    if file_label == "x86" and os.environ.get("TINTARA_VM32_SPOOL"):
        return VM_PROFILES
    return PROFILES
# Hosts that hand the plug-in's record back on a repeat, so that the repeat
# applies the settings of the first run. GIMP's bridge keeps the record as it was
# right after Parameters (before the dialog chose anything); IrfanView and the
# library PhotoDemon embeds keep nothing.
KEEPS_SETTINGS = {"strict", "pdn", "photoplus", "modern", "modern-reload"}
# Hosts that unload the library between runs but hand back the data slot's handle:
# the new load cannot know the block as its own and makes another, so each reload
# abandons one globals block (the host still holds it; nothing frees it).
ABANDONS_ON_RELOAD = {"modern-reload"}
# The dialog's preview area at zoom 1 under this Wine (its dialog font): an image of
# exactly this width leaves no room to pan.
PREVIEW_WIDTH = 273
SHORT_RECT = {"pspihost"}      # the filter rectangle is one pixel short
FLOATING_RGBA = {"pdn"}        # transparency as a floating selection with a mask
RECT = (5, 7, 30, 50)


def scenarios():
    """(name, options, expected result, times toned, filter rectangle or None)."""
    return [
        # The host's colour picker first: each host answers it its own way (GIMP's
        # bridge refuses every colour request), then the fields set the tone.
        ("first", ["--dialog", "pick;" + CHOOSE, "--pick", "10,20,30"], 0, 1, None),
        ("repeat", ["--runs", "2", "--dialog", CHOOSE, "--dialog-again", "ok"], 0, "repeat", None),
        ("cancel", ["--dialog", "cancel"], -128, 0, None),
        ("abort", ["--dialog", CHOOSE, "--abort-outside-dialog", str(W * H // 2)], -128, 0, None),
        ("strip", ["--dialog", CHOOSE, "--max-space", "4000", "--no-display-pixels"], 0, 1, None),
        ("rgba", ["--dialog", CHOOSE, "--sample-alpha"], 0, 1, None),
        ("rect", ["--dialog", CHOOSE, "--rect", "%d,%d,%d,%d" % RECT], 0, 1, RECT),
        ("strip-rect", ["--dialog", CHOOSE, "--rect", "%d,%d,%d,%d" % RECT, "--max-space", "1000",
                        "--no-display-pixels"], 0, 1, RECT),
    ]


def plan(work, plugin, file_label):
    jobs = []
    for profile in profiles_for(file_label):
        for name, options, expected, times, rect in scenarios():
            label = "%s-%s-%s" % (file_label, profile, name)
            before = os.path.join(work, label + ".before.png")
            after = os.path.join(work, label + ".after.png")
            opts = ["--profile", profile, "--sample", "%dx%d" % (W, H)] + options
            opts += ["--before", before, "--out", after, "--quiet", "--label", label,
                     "--trace", os.path.join(work, label + ".trace"),
                     "--expect-result", str(expected)]
            if times == "repeat":
                times = 2 if profile in KEEPS_SETTINGS else 1
            if rect is None:
                rect = (0, 0, H, W)
            if profile in SHORT_RECT:
                rect = (rect[0], rect[1], rect[2] - 1, rect[3] - 1)
            line = " ".join([plugin] + ["'%s'" % o if (" " in o or ";" in o) else o for o in opts])
            runs = 2 if name == "repeat" else 1
            jobs.append({"label": label, "profile": profile, "scenario": name, "line": line,
                         "expected": expected, "times": times, "rect": rect,
                         "floating": profile in FLOATING_RGBA and name == "rgba",
                         "leaks": runs - 1 if profile in ABANDONS_ON_RELOAD else 0,
                         "before": before, "after": after,
                         "trace": os.path.join(work, label + ".trace")})
    jobs.append(opening_offset_job(work, plugin, file_label))
    jobs += reload_without_suite_jobs(work, plugin, file_label)
    return jobs


# Suites that the plug-in does not use for its own handles: none at all, and one
# without setSizeProc.
RELOAD_SUITES = [("no-handle-procs", ["--no-handle-procs"]), ("null-set-size", ["--null-set-size"])]


def reload_without_suite_jobs(work, plugin, file_label):
    """modern-reload on hosts whose handle suite the plug-in does not use: the record
    of the first run lives in the operating system's memory, and the reloaded library
    must know it as its own, so the repeat applies the user's settings again (the
    pixels toned twice). Neither run leaves a handle of the host's suite behind."""
    jobs = []
    for suite, suite_options in RELOAD_SUITES:
        label = "%s-modern-reload-repeat-%s" % (file_label, suite)
        before = os.path.join(work, label + ".before.png")
        after = os.path.join(work, label + ".after.png")
        trace = os.path.join(work, label + ".trace")
        opts = ["--profile", "modern-reload", "--sample", "%dx%d" % (W, H), "--runs", "2", "--dialog", CHOOSE,
                "--dialog-again", "ok"] + suite_options
        opts += ["--before", before, "--out", after, "--quiet", "--label", label, "--trace", trace,
                 "--expect-result", "0"]
        line = " ".join([plugin] + ["'%s'" % o if (" " in o or ";" in o) else o for o in opts])
        jobs.append({"label": label, "profile": "modern-reload", "scenario": "repeat-" + suite, "line": line,
                     "expected": 0, "times": 2, "rect": (0, 0, H, W), "floating": False, "leaks": 0,
                     "before": before, "after": after, "trace": trace})
    return jobs


def opening_offset_job(work, plugin, file_label):
    """Paint.NET's bridge replays the descriptor's offset, pinned to 1..99, so a later
    dialog run opens with an offset of 1. On an image exactly as wide as the preview
    the opening request must stay on the image: that bridge serves a request past the
    right edge without padding, overrunning its read (the profile refuses it)."""
    label = "%s-pdn-opening-offset" % file_label
    descriptor = os.path.join(work, label + ".descriptor")
    with open(descriptor, "w") as f:
        f.write("'Amnt' 'UntF' '#Prc' 1\n")
    before = os.path.join(work, label + ".before.png")
    after = os.path.join(work, label + ".after.png")
    trace = os.path.join(work, label + ".trace")
    opts = ["--profile", "pdn", "--sample", "%dx%d" % (PREVIEW_WIDTH, H), "--descriptor-in", descriptor,
            "--dialog", CHOOSE, "--before", before, "--out", after, "--quiet", "--label", label,
            "--trace", trace, "--expect-result", "0"]
    line = " ".join([plugin] + ["'%s'" % o if (" " in o or ";" in o) else o for o in opts])
    return {"label": label, "profile": "pdn", "scenario": "opening-offset", "line": line, "expected": 0,
            "times": 1, "rect": (0, 0, H, PREVIEW_WIDTH), "floating": False, "leaks": 0,
            "before": before, "after": after, "trace": trace}


def check_opening_request(job):
    """The opening request of the job's trace: its width must be the image's (else the
    job does not test what it means) and nothing may reach past the image's edge."""
    with open(job["trace"], errors="replace") as f:
        trace = f.read()
    m = re.search(r"^advanceState in=(-?\d+),(-?\d+),(-?\d+),(-?\d+)", trace, re.M)
    if not m:
        return ["%s: no preview request in the trace" % job["label"]]
    top, left, bottom, right = (int(g) for g in m.groups())
    failures = []
    if right - left != PREVIEW_WIDTH:
        failures.append("%s: the opening request is %d wide, not the preview's %d: the job tests nothing"
                        % (job["label"], right - left, PREVIEW_WIDTH))
    if "reaches past its edge" in trace or right > PREVIEW_WIDTH or left < 0:
        failures.append("%s: a preview request reached past the image (opening %d..%d)"
                        % (job["label"], left, right))
    return failures


def run_batches(work, command, jobs, name, bits):
    """Runs the jobs in one host process; a crash ends a process, so the jobs after
    the one that crashed run in the next. A hung process is ended, and with it
    every program left in that Wine's prefix."""
    outcomes, pending = {}, list(jobs)
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    batch_no = 0
    while pending:
        batch_no += 1
        batch = os.path.join(work, "%s%d.batch" % (name, batch_no))
        with open(batch, "w") as f:
            f.write("\n".join(j["line"] for j in pending) + "\n")
        try:
            proc = subprocess.run(command + ["--batch", batch],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                                  timeout=700)
            stdout, stderr = proc.stdout.decode(errors="replace"), proc.stderr.decode(errors="replace")
            hung = proc.returncode == 124
        except subprocess.TimeoutExpired as e:
            stdout = (e.stdout or b"").decode(errors="replace")
            stderr, hung = (e.stderr or b"").decode(errors="replace"), True
        if hung:
            subprocess.run([os.path.join(ROOT, "scripts", "wineserver"), bits, "-k"], env=env)
        with open(os.path.join(work, "%s%d.stdout" % (name, batch_no)), "w") as f:
            f.write(stdout)
        with open(os.path.join(work, "%s%d.stderr" % (name, batch_no)), "w") as f:
            f.write(stderr)
        for line in stdout.splitlines():
            m = re.match(r"tintara-host: (\S+) \S+ result=(-?\d+) .* leaked=(\d+)", line)
            if m:
                outcomes[m.group(1)] = {"result": int(m.group(2)), "leaked": int(m.group(3))}
        rest = [j for j in pending if j["label"] not in outcomes]
        if not rest:
            break
        what = "hang" if hung else ("crash" if "crash" in stderr else "stopped")
        outcomes[rest[0]["label"]] = {"result": None, "leaked": None, "failure": what}
        pending = rest[1:]
    return outcomes


def check(jobs, outcomes):
    failures, rows = [], {}
    for job in jobs:
        label, o = job["label"], outcomes.get(job["label"], {"result": None, "failure": "not run"})
        result, pixels, leaks = "-", "-", "-"
        if o.get("result") is None:
            result = o.get("failure", "none")
            failures.append("%s: %s" % (label, result))
        else:
            result = str(o["result"])
            leaks = str(o["leaked"])
            if o["result"] != job["expected"]:
                failures.append("%s: result %d, expected %d" % (label, o["result"], job["expected"]))
            if o["leaked"] != job["leaks"]:
                failures.append("%s: %d handles of the plug-in leaked, expected %d"
                                % (label, o["leaked"], job["leaks"]))
            if job["scenario"] == "opening-offset":
                failures += check_opening_request(job)
            if o["result"] == 0:
                wrong = tonecheck.check_rule(job["before"], job["after"], TONE, (1, 1, 1), job["rect"],
                                             job["times"], job["floating"])
                if wrong:
                    failures += ["%s: %s" % (label, line) for line in wrong]
                    pixels = "wrong"
                else:
                    pixels = "right"
            elif os.path.exists(job["after"]):
                failures.append("%s: result %d but an image was written" % (label, o["result"]))
                pixels = "written"
            else:
                pixels = "kept"
        rows[(job["profile"], job["scenario"])] = "%s / %s / %s" % (result, pixels, leaks)
    names = [s[0] for s in scenarios()]
    lines = ["| profile | " + " | ".join(names) + " |", "|---" * (len(names) + 1) + "|"]
    for profile in [p for p in PROFILES if all((p, n) in rows for n in names)]:
        lines.append("| %s | " % profile + " | ".join(rows[(profile, n)] for n in names) + " |")
    if ("pdn", "opening-offset") in rows:
        lines.append("")
        lines.append("pdn, opening offset 1 on an image as wide as the preview: " + rows[("pdn", "opening-offset")])
    for suite, _ in RELOAD_SUITES:
        if ("modern-reload", "repeat-" + suite) in rows:
            lines.append("modern-reload, repeat with --%s: %s" % (suite, rows[("modern-reload", "repeat-" + suite)]))
    return lines, failures


def machine_label(path):
    """x86 or x64, from the machine field of a Windows library's file header."""
    with open(path, "rb") as f:
        head = f.read(4096)
    at = struct.unpack_from("<I", head, 0x3C)[0]
    return {0x14C: "x86", 0x8664: "x64"}.get(struct.unpack_from("<H", head, at + 4)[0], "other")


def trace_lines(path):
    """A job's trace without what legitimately differs between the files: the
    entry's name in the property list, handle sizes (the plug-in's globals hold
    pointers), the kept slot's value (a pointer), where and when the dialog
    appeared (each Wine frames it its own way), and a repaint that repeats the
    previous one (how often a window is painted is the window system's choice)."""
    lines, shown = [], None
    if not os.path.exists(path):
        return None
    for line in open(path, encoding="utf-8", errors="replace").read().splitlines():
        if line.startswith(("pipl ", "dialog appeared ")):
            continue
        line = re.sub(r"newHandle size=\d+", "newHandle", line)
        line = re.sub(r"slot=0x[0-9a-f]+", "slot", line)
        if line.startswith("displayPixels "):
            if line == shown:
                continue
            shown = line
        lines.append(line)
    return lines


def same_as(first, jobs, outcomes, first_outcomes):
    """Each job against the first file's job of the same profile and scenario."""
    failures = []
    first_by_case = {(job["profile"], job["scenario"]): job for job in first}
    for mine in jobs:
        theirs = first_by_case[(mine["profile"], mine["scenario"])]
        label = "%s against %s" % (mine["label"], theirs["label"])
        a, b = outcomes.get(mine["label"], {}), first_outcomes.get(theirs["label"], {})
        for what in ("result", "leaked", "failure"):
            if a.get(what) != b.get(what):
                failures.append("%s: %s %r, not %r" % (label, what, a.get(what), b.get(what)))
        for image in ("before", "after"):
            here, there = os.path.exists(mine[image]), os.path.exists(theirs[image])
            if here != there:
                failures.append("%s: the %s image %s" % (label, image, "is extra" if here else "is missing"))
            elif here and not tonecheck.np.array_equal(tonecheck.read_image(mine[image]),
                                                       tonecheck.read_image(theirs[image])):
                failures.append("%s: the %s images differ" % (label, image))
        mine_trace, their_trace = trace_lines(mine["trace"]), trace_lines(theirs["trace"])
        if mine_trace != their_trace:
            at = next((i for i, (a, b) in enumerate(zip(mine_trace or [], their_trace or [])) if a != b),
                      min(len(mine_trace or []), len(their_trace or [])))
            failures.append("%s: the traces differ from line %d: %r against %r" % (
                label, at + 1, (mine_trace or [])[at:at + 1], (their_trace or [])[at:at + 1]))
    return failures


def main():
    work, pairs = sys.argv[2], sys.argv[3:]
    if sys.argv[1:2] != ["run"] or not pairs or len(pairs) % 2:
        sys.exit(__doc__)
    wine_run = os.path.join(ROOT, "scripts", "wine-run")
    all_failures, first = [], None
    for host, plugin_file in zip(pairs[::2], pairs[1::2]):
        file_label = machine_label(plugin_file)
        jobs = plan(work, plugin_file, file_label)
        if profiles_for(file_label) != PROFILES:
            print("%s file on the vm route: profiles %s only; every profile runs on the native route" % (
                file_label, ", ".join(profiles_for(file_label))))
        with open(os.path.join(work, file_label + "-jobs.json"), "w") as f:
            json.dump(jobs, f, indent=1)
        command = ["timeout", "--kill-after=10", "600", wine_run, host]
        outcomes = run_batches(work, command, jobs, file_label, "32" if file_label == "x86" else "64")
        lines, failures = check(jobs, outcomes)
        print("%s file, with the dialog: result / pixels / leaked handles (kept: no image written, as "
              "the host discards a failed run)" % file_label)
        print("\n".join(lines))
        if first is None:
            first = (jobs, outcomes)
        else:
            failures += same_as(first[0], jobs, outcomes, first[1])
        all_failures += failures
    for failure in all_failures:
        print("FAIL: " + failure, file=sys.stderr)
    return 1 if all_failures else 0


if __name__ == "__main__":
    sys.exit(main())
