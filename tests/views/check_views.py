#!/usr/bin/env python3
"""The listing, the traces and the stepper held to transcripts written out by hand.

    check_views.py --runner PAS2ASM_RUN --compiler PAS2ASM TRANSCRIPT...

A transcript (programs/NAME.MODE.txt) is a session of pas2asm-run on programs/NAME.pas:

    $ --trace branch.pas < branch.in
    -- stdout
    ...
    -- stderr
    ...
    -- trace.txt
    ...
    -- exit 0

The first line gives the runner's arguments and the file that is its standard input (a file
beside the program; none: empty input). Then what it wrote: standard output, standard error and
any file named after "--trace-file", each as UTF-8 text (the runner writes CP866: it is decoded
with Python's codec, which the runner's table does not share), CR LF as a line end; a section
that does not end its last line shows "(no line end)" after it. Last, the exit code.
"""

import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path


def text_of(data):
    text = data.decode("cp866").replace("\r\n", "\n")
    if text and not text.endswith("\n"):
        text += "\n(no line end)\n"
    return text


def session(runner, compiler, transcript, work):
    """Runs the session the transcript's first line asks for; returns its text."""
    programs = transcript.parent
    first = transcript.read_text(encoding="utf-8").split("\n", 1)[0]
    if not first.startswith("$ "):
        raise SystemExit(f"{transcript}: the first line is not '$ ARGUMENTS'")
    words = shlex.split(first[2:])
    stdin = None
    if "<" in words:
        at = words.index("<")
        stdin = words[at + 1]
        words = words[:at] + words[at + 2:]
    for name in os.listdir(programs):
        if name.endswith((".pas", ".in", ".script")):
            shutil.copy(programs / name, work / name)
    files = [words[i + 1] for i, w in enumerate(words) if w == "--trace-file"]
    with open(work / stdin, "rb") if stdin else open(os.devnull, "rb") as given:
        done = subprocess.run(runner + ["--compiler", compiler] + words, cwd=work, stdin=given,
                              capture_output=True, timeout=120,
                              env=dict(os.environ, LC_ALL="C", NO_COLOR=""))
    out = [first, "-- stdout", text_of(done.stdout).rstrip("\n"), "-- stderr",
           text_of(done.stderr).rstrip("\n")]
    for name in files:
        out += [f"-- {name}", text_of((work / name).read_bytes()).rstrip("\n")]
    out.append(f"-- exit {done.returncode}")
    # An empty section stands as its heading alone.
    return "\n".join(line for line in out if line != "") + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--runner", required=True, help="pas2asm-run (a command, maybe with words before it)")
    ap.add_argument("--compiler", required=True)
    ap.add_argument("--show", action="store_true", help="print each session instead of comparing")
    ap.add_argument("transcripts", nargs="+", type=Path)
    args = ap.parse_args()
    failed = 0
    for transcript in args.transcripts:
        with tempfile.TemporaryDirectory(prefix="views-") as work:
            got = session(args.runner.split(), args.compiler, transcript, Path(work))
        if args.show:
            sys.stdout.write(got)
            continue
        expected = transcript.read_text(encoding="utf-8")
        if got != expected:
            failed += 1
            import difflib
            sys.stdout.writelines(difflib.unified_diff(
                expected.splitlines(True), got.splitlines(True), f"{transcript} (expected)", "run"))
    if failed:
        print(f"{failed} of {len(args.transcripts)} transcripts differ")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
