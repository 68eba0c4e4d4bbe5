#!/usr/bin/python3
"""Hostile-host scenarios for the reference host, and the check of their outcome.

  70-hostile-hosts.py plan WORKDIR HOST PLUGIN [WORKDIR HOST PLUGIN...]
                                                 writes each WORKDIR/jobs.batch and the
                                                 parameter files the jobs load: the
                                                 same jobs, with the same bytes, for
                                                 every plug-in file
  70-hostile-hosts.py check WORKDIR STDOUT       compares each job's result code with
                                                 the expected one and, where it is 0,
                                                 its pixels with the tone rule
  70-hostile-hosts.py compare WORKDIR STDOUT WORKDIR STDOUT
                                                 checks that two plug-in files ran the
                                                 same jobs to the same end

The tone rule is computed independently of the plug-in (tests/stages/lib/tonecheck.py).
"""
import json
import os
import random
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import tonecheck  # noqa: E402

RECORD_SIZE = tonecheck.RECORD_SIZE
W, H = 61, 37         # small odd-sized sample: fast, and no width is a multiple of 4
TONE = (200, 30, 117)


def scenarios():
    """(label, options, expected result, parameters bytes, filter rectangle or None)."""
    toned = tonecheck.record(TONE, (1, 1, 1))
    strip = ["--no-display-pixels"]  # without displayPixels the plug-in takes strips
    paths = [("preview", []), ("strip", strip)]
    out = []
    for name, path in paths:
        out.append((name + "-baseline", path, 0, toned, None))
        for field in ["abortProc", "progressProc", "processEvent", "colorServices",
                      "descriptorParameters", "platformData", "handleProcs"]:
            # Without any handle suite the host's record cannot be measured.
            params = Unmeasured(toned) if field == "handleProcs" else toned
            out.append(("%s-null-%s" % (name, field), path + ["--null", field], 0, params, None))
        # A suite of a later version still tells the size of the host's record (its
        # get-size procedure keeps its place), so a whole record is used.
        out.append((name + "-handle-procs-v2", path + ["--handle-procs-version", "2"], 0, toned, None))
        out.append((name + "-handle-procs-count4", path + ["--handle-procs-count", "4"], 0, toned, None))
        out.append((name + "-null-set-size", path + ["--null-set-size"], 0, toned, None))
        out.append((name + "-null-set-size-no-params", path + ["--null-set-size"], 0, None, None))
        # abortProc answering true inside each selector: only Start (preview path)
        # and Continue (strip path) ask it.
        for selector in ["parameters", "prepare", "start", "continue", "finish"]:
            asks = (name == "preview" and selector == "start") or (name == "strip" and selector == "continue")
            out.append(("%s-abort-in-%s" % (name, selector), path + ["--abort-in", selector],
                        -128 if asks else 0, toned, None))
        # abort in the middle of the pixels (the preview path asks once before
        # advanceState, then once per pixel).
        out.append((name + "-abort-mid-pixels", path + ["--abort-after", str(W * H // 2)], -128, toned, None))
        out.append((name + "-abort-last-pixel", path + ["--abort-after", str(W * H + (1 if name == "preview" else 0))],
                    -128, toned, None))
        out.append((name + "-1x1", path + ["--sample", "1x1"], 0, toned, (0, 0, 1, 1)))
        out.append((name + "-rect-bottom-right-edge", path + ["--rect", "5,7,%d,%d" % (H, W)], 0, toned,
                    (5, 7, H, W)))
        out.append((name + "-rect-top-left-edge", path + ["--rect", "0,0,20,30"], 0, toned, (0, 0, 20, 30)))
        out.append((name + "-rect-one-row-at-bottom", path + ["--rect", "%d,0,%d,%d" % (H - 1, H, W)], 0, toned,
                    (H - 1, 0, H, W)))
        out.append((name + "-rect-empty", path + ["--rect", "10,10,10,20"], 0, toned, (10, 10, 10, 20)))
        for space in ["0", "1"]:
            out.append(("%s-max-space-%s" % (name, space), path + ["--max-space", space], 0, toned, None))
        rng = random.Random(name)
        for i in range(4):
            data = bytes(rng.randrange(256) for _ in range(RECORD_SIZE))
            out.append(("%s-random-parameters-%d" % (name, i), path, None, data, None))
    # advanceState failing at the first, second and third call of a job (one
    # call per run on the preview path).
    for call in [1, 2, 3]:
        out.append(("preview-advance-fails-call%d" % call,
                    ["--runs", "3", "--fail-advance", "%d,-108" % call], -108, toned, None))
    out.append(("preview-advance-fails-paramErr", ["--fail-advance", "1,-50"], -50, toned, None))
    # Without advanceState (or its failure) the plug-in never previews.
    out.append(("strip-null-advanceState", ["--null", "advanceState"], 0, toned, None))
    out.append(("strip-null-advance-and-display", ["--null", "advanceState", "--null", "displayPixels"], 0, toned, None))
    out.append(("strip-fail-advance-unused", strip + ["--fail-advance", "1"], 0, toned, None))
    out.append(("preview-4-planes", ["--sample-alpha"], 0, toned, None))
    out.append(("strip-4-planes", strip + ["--sample-alpha"], 0, toned, None))
    # The dialog in a real process: its previews compute the proxy through
    # advanceState (call 1 when it opens, one more per pan or zoom), then OK.
    dialog = ["--parameters-selector", "--dialog"]
    previews = "pan=D;zoom=out;pan=C;zoom=in;pan=Q;ok"
    out.append(("dialog-ok", dialog + [previews], 0, toned, None))
    out.append(("dialog-cancel", dialog + ["pan=D;cancel"], -128, toned, None))
    # The image fits the preview, so the zoom clicks do nothing: the calls are the
    # opening (1), the three pans (2 to 4) and the whole-image pass (5). A first
    # preview that fails turns the preview off; a failed later preview is replaced
    # by the next one's answer; a failure in the last preview ends Start with it.
    for call, code in [(1, 0), (2, 0), (4, -108), (5, -108)]:
        out.append(("dialog-advance-fails-call%d" % call, dialog + [previews, "--fail-advance", str(call)],
                    code, toned, None))
    out.append(("dialog-abort-in-preview", dialog + [previews, "--abort-after", "10"], -128, toned, None))
    out.append(("dialog-1x1", dialog + [previews, "--sample", "1x1"], 0, toned, None))
    out.append(("dialog-rect-edge", dialog + [previews, "--rect", "30,50,%d,%d" % (H, W)], 0, toned,
                (30, 50, H, W)))
    out.append(("dialog-no-display-pixels", dialog + [previews, "--no-display-pixels"], 0, toned, None))
    # An image larger than the preview: zoom, pans and a drag move the source area.
    large = "zoom=out;zoom=out;pan=D;pan=D;drag=30,10;zoom=in;pan=Z;ok"
    out.append(("dialog-large", dialog + [large, "--sample", "700x500"], 0, toned, None))
    out.append(("dialog-large-random-parameters", dialog + [large, "--sample", "700x500"], None,
                bytes(random.Random("large").randrange(256) for _ in range(RECORD_SIZE)), None))
    rng = random.Random("dialog")
    for i in range(4):
        data = bytes(rng.randrange(256) for _ in range(RECORD_SIZE))
        out.append(("dialog-random-parameters-%d" % i, dialog + [previews], None, data, None))
    # Handles whose data ends at an inaccessible page. A kept record shorter than
    # the record (a state file holding only its first bytes) counts as absent: the
    # plug-in makes a fresh one, which enables no channel, so the image is unchanged.
    guarded = ["--guarded-handles"]
    short_paths = [("preview", []), ("strip", strip), ("strip-one-row", strip + ["--max-space", "0"]),
                   ("dialog", dialog + [previews])]
    for name, path in short_paths:
        out.append(("guarded-%s-whole-record" % name, guarded + path, 0, toned, None))
        for size in [0, 1, 2, 10, 20, 30, 36, RECORD_SIZE - 1]:
            out.append(("guarded-%s-record-of-%d-bytes" % (name, size), guarded + path, 0,
                        Short(toned[:size]), None))
    # The same short records on hosts whose suite the plug-in does not use. A suite
    # that keeps its get-size procedure (no setSizeProc, four procedures, version 2)
    # tells the record's size: a whole record is used, a short one replaced.
    suites = [("null-set-size", ["--null-set-size"]), ("count4", ["--handle-procs-count", "4"]),
              ("v2", ["--handle-procs-version", "2"])]
    for suite, suite_options in suites:
        for name, path in [("preview", []), ("strip", strip)]:
            out.append(("guarded-%s-%s-whole-record" % (suite, name), guarded + suite_options + path, 0,
                        toned, None))
            for size in [0, 1, 2, 10, 20, 30, 36, RECORD_SIZE - 1]:
                out.append(("guarded-%s-%s-record-of-%d-bytes" % (suite, name, size),
                            guarded + suite_options + path, 0, Short(toned[:size]), None))
    return out


class Short(bytes):
    """A kept record shorter than the record: the plug-in must use a fresh one."""


class Unmeasured(bytes):
    """A kept record whose size the plug-in cannot know: it must use a fresh one."""


def plan(work, host, plugin):
    jobs, lines = {}, []
    for label, options, expected, params, rect in scenarios():
        opts = list(options)
        sample = None
        if "--sample" in opts:
            sample = opts[opts.index("--sample") + 1]
        else:
            opts += ["--sample", "%dx%d" % (W, H)]
        if "--parameters-selector" in opts:
            opts.remove("--parameters-selector")
        else:
            opts.append("--no-parameters")
        before = os.path.join(work, label + ".before.ppm")
        after = os.path.join(work, label + ".after.ppm")
        opts += ["--before", before, "--out", after, "--quiet", "--label", label]
        if params is not None:  # an empty record too
            state = os.path.join(work, label + ".state")
            tonecheck.write_record(state, params)
            opts += ["--state", state]
        if expected is not None:
            opts += ["--expect-result", str(expected)]
        lines.append(" ".join([plugin] + ["'%s'" % o if " " in o else o for o in opts]))
        # A short or unmeasured record is replaced by a fresh one: no channel is toned.
        effective = None if isinstance(params, (Short, Unmeasured)) else params
        jobs[label] = {"expected": expected, "params": effective.hex() if effective else None,
                       "rect": rect, "before": before, "after": after}
    with open(os.path.join(work, "jobs.batch"), "w") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(work, "jobs.json"), "w") as f:
        json.dump(jobs, f)
    return len(jobs)


def check(work, stdout_path):
    with open(os.path.join(work, "jobs.json")) as f:
        jobs = json.load(f)
    results = {}
    with open(stdout_path, errors="replace") as f:
        for line in f:
            m = re.match(r"tintara-host(?:32)?: (\S+) \S+ result=(-?\d+)", line)
            if m:
                results[m.group(1)] = int(m.group(2))
    failures, table = [], []
    for label, job in jobs.items():
        if label not in results:
            failures.append("%s: no summary line (crashed or stopped early)" % label)
            table.append((label, "none", "-"))
            continue
        code = results[label]
        if job["expected"] is not None and code != job["expected"]:
            failures.append("%s: result %d, expected %d" % (label, code, job["expected"]))
        pixels = "-"
        if code == 0:
            params = bytes.fromhex(job["params"]) if job["params"] else None
            tone, apply = tonecheck.record_settings(params)
            wrong = tonecheck.check_rule(job["before"], job["after"], tone, apply, job["rect"])
            if wrong:
                failures += ["%s: %s" % (label, line) for line in wrong]
                pixels = "WRONG"
            else:
                pixels = "correct"
        elif os.path.exists(job["after"]):
            failures.append("%s: result %d but an image was written" % (label, code))
        table.append((label, str(code), pixels))
    for row in table:
        print("| %s | %s | %s |" % row)
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    return 1 if failures else 0


SUMMARY = re.compile(r"^\S+: (\S+) (\S+ result=.*) time=\S+ (.*)$")


def compare(work_a, stdout_a, work_b, stdout_b):
    """Two plug-in files ran the same jobs: each job's parameters went in the same,
    and it ended with the same summary (result, runs, strips, advanceState calls,
    handles; not the time), the same kept record and the same images. The plug-in
    file's name and folder are all that may differ."""
    runs = []
    for work, stdout_path in [(work_a, stdout_a), (work_b, stdout_b)]:
        with open(os.path.join(work, "jobs.json")) as f:
            jobs = json.load(f)
        ends = {}
        with open(stdout_path, errors="replace") as f:
            for line in f:
                m = SUMMARY.match(line)
                if m:
                    ends[m.group(1)] = m.group(2) + " " + m.group(3)
        runs.append((work, jobs, ends))
    (_, jobs_a, ends_a), (_, jobs_b, ends_b) = runs
    failures = []
    if list(jobs_a) != list(jobs_b):
        failures.append("the files were given different jobs")
    for label, job in jobs_a.items():
        other = jobs_b.get(label, {})
        if (job["expected"], job["params"], job["rect"]) != (other.get("expected"), other.get("params"),
                                                             other.get("rect")):
            failures.append("%s: planned differently for the two files" % label)
        if label not in ends_a or ends_a[label] != ends_b.get(label):
            failures.append("%s: ended as '%s' and '%s'" % (label, ends_a.get(label), ends_b.get(label)))
        for name in [label + ".state", label + ".before.ppm", label + ".after.ppm"]:
            paths = [os.path.join(work_a, name), os.path.join(work_b, name)]
            there = [os.path.exists(p) for p in paths]
            if there[0] != there[1]:
                failures.append("%s: only one file left %s" % (label, name))
            elif there[0] and name.endswith(".ppm"):
                a, b = tonecheck.read_image(paths[0]), tonecheck.read_image(paths[1])
                if a.shape != b.shape or (a != b).any():
                    failures.append("%s: %s differs" % (label, name))
            elif there[0]:
                with open(paths[0], "rb") as fa, open(paths[1], "rb") as fb:
                    if fa.read() != fb.read():
                        failures.append("%s: %s differs" % (label, name))
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    print("%d jobs compared between %s and %s: %s" % (len(jobs_a), work_a, work_b,
                                                      "different" if failures else "the same"))
    return 1 if failures else 0


if __name__ == "__main__":
    if sys.argv[1] == "plan":
        targets = [sys.argv[i:i + 3] for i in range(2, len(sys.argv), 3)]
        counts = [plan(*target) for target in targets]
        # The random records are drawn from generators seeded by name, so every file
        # must have been given the same bytes; a difference would make the comparison
        # of the files' results meaningless.
        works = [target[0] for target in targets]
        for name in sorted(f for f in os.listdir(works[0]) if f.endswith(".state")):
            contents = set()
            for work in works:
                with open(os.path.join(work, name), "rb") as f:
                    contents.add(f.read())
            if len(contents) != 1:
                sys.exit("%s: the plug-in files were given different records" % name)
        print(" ".join(map(str, counts)))
    elif sys.argv[1] == "compare":
        sys.exit(compare(*sys.argv[2:6]))
    else:
        sys.exit(check(*sys.argv[2:4]))
