#!/usr/bin/env python3
"""Measures how time and memory grow with the size of inputs at the bounds.

    measure_bounds.py --compiler PATH [--only NAME]

Each input is compiled at two sizes, the second twice the first, with standard input at its end
and the console thrown away; the figures are the wall time and the peak resident memory of the
compiler process. With growth at most linear, doubling the size at most doubles the time (plus
noise and the fixed start-up cost) and leaves the memory flat or doubles it. Not a test: the
figures depend on the machine. Use a plain (not sanitizer) build.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HEAD = b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n"
TAIL = b"END.\r\n"
TIME = "/usr/bin/time"  # GNU time, Debian package "time"


def program(body):
    return HEAD + body + TAIL


def nested(opener, inner, closer, depth):
    return program(opener * depth + inner + closer * depth)


# name: (unit, first size, how the source of a size is made, the exit code it must end with)
INPUTS = {
    "identifier": ("MB", 50, lambda n: b"PROGRAM " + b"A" * (n << 20) + b";\r\nBEGIN\r\nEND.\r\n", 0),
    "nested comments": ("levels", 100000,
                        lambda n: program(b"{" * n + b"}" * n + b"\r\n"), 0),
    "nested statements": ("levels", 500,
                          lambda n: nested(b"WHILE a > 0 DO\r\n", b"a := 1;\r\n", b"", n), 0),
    "nested parentheses": ("levels", 500,
                           lambda n: program(b"a := " + b"(" * n + b"a" + b")" * n + b";\r\n"), 0),
    "WRITE variables": ("variables", 50000,
                        lambda n: program(b"WRITE(" + b", ".join([b"a"] * n) + b");\r\n"), 0),
    "WRITE texts": ("statements", 50000,
                    lambda n: program(b"WRITE('text');\r\n" * n), 0),
    "re-parsed IFs": ("statements", 50000,
                      lambda n: program(b"IF a > 1 THEN a := 2;\r\n" * n), 0),
    "re-parsed long THEN": ("statements", 100000,
                            lambda n: program(b"IF a > 1 THEN BEGIN\r\n" + b"a := 1;\r\n" * n +
                                              b"END;\r\n"), 0),
    "re-parsed IFs in a loop": ("statements", 50000,
                                lambda n: program(b"WHILE a > 0 DO BEGIN\r\n" +
                                                  b"IF a > 1 THEN a := 2;\r\n" * n + b"END;\r\n"), 0),
}


def measure(compiler, source):
    # GNU time reports the peak memory of the compiler alone; the rusage of a child forked from
    # this script would start from the script's own memory, which holds the source.
    workdir = tempfile.mkdtemp(prefix="measure-")
    try:
        with open(os.path.join(workdir, "source.pas"), "wb") as f:
            f.write(source)
        report = os.path.join(workdir, "usage")
        start = time.monotonic()
        proc = subprocess.run([TIME, "-o", report, "-f", "%x %M", compiler, "source.pas"],
                              cwd=workdir, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        seconds = time.monotonic() - start
        with open(report) as f:
            fields = f.read().split()
        exit_code, peak_kb = int(fields[-2]), int(fields[-1])
        out1 = os.path.join(workdir, "out1.asm")
        size = os.path.getsize(out1) if os.path.exists(out1) else 0
        return exit_code, seconds, peak_kb / 1024, size
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--compiler", required=True)
    parser.add_argument("--only", help="measure one input only")
    options = parser.parse_args()
    compiler = os.path.abspath(options.compiler)
    if not os.access(TIME, os.X_OK):
        sys.exit(f"{TIME} (Debian package 'time') is needed to read the peak memory")
    print(f"{'input':24} {'size':>16} {'source MB':>9} {'seconds':>8} {'peak MB':>8} "
          f"{'out1 MB':>8} {'time x':>6} {'mem x':>6}")
    bad = 0
    for name, (unit, first, make, code) in INPUTS.items():
        if options.only and options.only != name:
            continue
        previous = None
        for n in (first, 2 * first):
            source = make(n)
            runs = [measure(compiler, source) for _ in range(3)]
            exit_code = runs[0][0]
            seconds = min(r[1] for r in runs)
            peak = max(r[2] for r in runs)
            out1 = runs[0][3] / 1e6
            ratio = ""
            if previous:
                ratio = f"{seconds / previous[0]:6.2f} {peak / previous[1]:6.2f}"
            print(f"{name:24} {n:>9} {unit:<6} {len(source) / 1e6:9.2f} {seconds:8.3f} "
                  f"{peak:8.1f} {out1:8.2f} {ratio}")
            if exit_code != code:
                print(f"  exit code {exit_code}, expected {code}")
                bad += 1
            previous = (seconds, peak)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
