#!/usr/bin/env python3
"""The listing's colours: on a terminal each construct and its lines of out1.asm share a colour,
the colours taken in turn; with NO_COLOR set, or in a pipe, there are none.

    colours.py --runner PAS2ASM_RUN --compiler PAS2ASM
"""

import argparse
import os
import re
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "console"))
from terminal import on_terminal  # noqa: E402

PROGRAM = b"PROGRAM P;\r\nVAR A : INTEGER;\r\nBEGIN\r\n  A := 1;\r\n  IF A > 0 THEN A := 2;\r\n  A := A + 1;\r\n  WRITE(A);\r\nEND.\r\n"
# The cycle of colours, as SGR codes.
CYCLE = ["36", "33", "32", "35", "34", "31"]
PAINTED = re.compile(r"^\x1b\[(\d+)m(.*)\x1b\[0m$")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--runner", required=True)
    ap.add_argument("--compiler", required=True)
    args = ap.parse_args()
    problems = []
    with tempfile.TemporaryDirectory(prefix="views-colours-") as work:
        with open(os.path.join(work, "p.pas"), "wb") as f:
            f.write(PROGRAM)
        argv = [args.runner, "--compiler", args.compiler, "--listing", "p.pas"]
        env = {k: v for k, v in os.environ.items() if k != "NO_COLOR"}
        env.update(LANG="C.UTF-8", LC_ALL="C.UTF-8", TERM="xterm")
        code, shown = on_terminal(argv, work, env)
        rows = shown.decode("utf-8").replace("\r\n", "\n").split("\n")
        if code != 0:
            problems.append(f"exit code {code}")
        # Every row is plain or painted whole; a construct's heading and its lines alike.
        colour_of, order, current = {}, [], None
        for row in rows:
            m = PAINTED.match(row)
            if not m:
                if "\x1b" in row:
                    problems.append(f"a row painted in part: {row!r}")
                if re.match(r"^ {8} *\d+  ", row):
                    problems.append(f"a line of out1.asm unpainted: {row!r}")
                continue
            paint, text = m.groups()
            if re.match(r"^ {6}\S", text):  # a construct's heading
                current = text.split(": ", 1)[1]
                if current not in colour_of:
                    colour_of[current] = paint
                    order.append(paint)
                elif colour_of[current] != paint:
                    problems.append(f"{current} painted {paint}, before {colour_of[current]}")
            elif paint != colour_of.get(current):
                problems.append(f"a line of {current} in {paint}: {text!r}")
        expected = [CYCLE[i % len(CYCLE)] for i in range(len(order))]
        if order != expected or len(order) < 7:
            problems.append(f"the constructs' colours {order}, not the cycle {expected}")
        if not any("Начало оператора WRITE" in row for row in rows):
            problems.append("the Russian comments are not shown in UTF-8")
        code, shown = on_terminal(argv, work, dict(env, NO_COLOR="1"))
        if b"\x1b" in shown:
            problems.append("NO_COLOR set, and still colours")
    for p in problems:
        print(p)
    print("ok" if not problems else f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
