#!/usr/bin/env python3
"""Runs scripts/cost-per-pixel --quick on a small image and checks that it prints
every figure: instructions per pixel for 3 and 4 planes, the benchmark's median
and fastest rows of each kernel, the paired rounds' ratios to memcpy and the
driver's ratios; every count and ratio a positive number.

Usage: check_cost_output.py REPO"""
import re
import subprocess
import sys

NUMBER = r"(\d+(?:\.\d+)?)"
# (pattern, the group that must be above zero, or None when the figure only has
# to be there). The benchmark's rows print milliseconds to three places, and on a
# small image a fast machine rounds any of them to 0.000; the driver's line is
# judged by its ratio for the same reason.
WANTED = [(r"^%d planes: %s instructions/pixel in the plug-in \(abortProc %s/pixel" % (p, NUMBER, NUMBER), 1)
          for p in (3, 4)]
WANTED += [
    (r"^%s/%d/repeats:\d+_%s +%s ms" % (kernel, p, stat, NUMBER), None)
    for kernel in ("Memcpy", "KernelNoQuestions", "Kernel", "KernelReference")
    for p in (3, 4)
    for stat in ("median", "min")
]
WANTED += [(r"kernel without host questions / memcpy: %s \(3 planes\), %s \(4 planes\)$" % (NUMBER, NUMBER), 1)]
WANTED += [(r"^planes=%d kernel=%sms memcpy=%sms ratio=%s \(kernel time / memcpy time, 40x24\)$"
            % (p, NUMBER, NUMBER, NUMBER), 3) for p in (3, 4)]


def main():
    run = subprocess.run([sys.argv[1] + "/scripts/cost-per-pixel", "--quick", "40", "24"],
                         capture_output=True, text=True, timeout=600)
    lines = run.stdout.splitlines()
    missing = []
    for pattern, positive in WANTED:
        match = next((m for m in (re.search(pattern, line) for line in lines) if m), None)
        if match is None or (positive is not None and float(match.group(positive)) <= 0):
            missing.append(pattern)
    if run.returncode != 0 or missing:
        print("cost-per-pixel exited %d; missing or zero:\n  %s\n--- output:\n%s%s"
              % (run.returncode, "\n  ".join(missing), run.stdout, run.stderr))
        return 1
    print(run.stdout, end="")
    return 0


if __name__ == "__main__":
    sys.exit(main())
