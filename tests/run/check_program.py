#!/usr/bin/env python3
"""One semantic test: compiles programs/NAME.pas through pas2asm-run and compares what it prints.

    check_program.py --runner PAS2ASM_RUN --compiler PAS2ASM BASE

Files of a test, beside NAME.pas:
  NAME.out      the exact bytes the program must print (required)
  NAME.in       the program's input (absent: empty input)
  NAME.exit     the runner's exit code (absent: 0, the program ended normally)
  NAME.console  the exact bytes the compiler must print (absent: nothing, so the pre-check passed
                without a message)

The stack must be balanced when the program ends (--check-stack).
"""

import argparse
import os
import subprocess
import sys
import tempfile
from pathlib import Path


def read(path, default=None):
    try:
        return path.read_bytes()
    except FileNotFoundError:
        return default


def show(data, limit=600):
    text = repr(data)
    return text if len(text) <= limit else text[:limit] + "..."


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--compiler", required=True)
    ap.add_argument("--runner", required=True, help="pas2asm-run (a command, maybe with words before it)")
    ap.add_argument("base", help="path of the test without extension")
    args = ap.parse_args()
    base = Path(args.base)
    expected_out = read(base.with_suffix(".out"))
    if expected_out is None:
        print(f"missing {base}.out")
        return 1
    expected_exit = int((read(base.with_suffix(".exit"), b"0")).decode().strip())
    expected_console = read(base.with_suffix(".console"), b"")
    program_input = base.with_suffix(".in")

    with tempfile.TemporaryDirectory(prefix="semantic-") as tmp:
        console_file = os.path.join(tmp, "console")
        cmd = args.runner.split() + [
            "--compiler",
            args.compiler,
            "--check-stack",
            "--budget",
            "5000000",
            "--console",
            console_file,
            "--input",
            str(program_input) if program_input.exists() else os.devnull,
            str(base.with_suffix(".pas")),
        ]
        r = subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
        console = read(Path(console_file), b"")
        failures = []
        if r.returncode != expected_exit:
            failures.append(f"exit code {r.returncode}, expected {expected_exit}")
        if r.stdout != expected_out:
            failures.append(f"output differs:\n  got      {show(r.stdout)}\n  expected {show(expected_out)}")
        if console != expected_console:
            failures.append(
                f"compiler console differs:\n  got      {show(console)}\n  expected {show(expected_console)}"
            )
        if failures:
            print(f"{base.name}: FAILED")
            for f in failures:
                print("  " + f)
            print("  stderr: " + r.stderr.decode("cp866", "replace").strip().replace("\n", "\n          "))
            return 1
    print(f"{base.name}: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
