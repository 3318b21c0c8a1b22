#!/usr/bin/env python3
"""The guides tested like code: every example run as it is shown, and the two guides alike.

    check_guides.py examples --compiler PATH --runner PATH FILE...
    check_guides.py same GUIDE OTHER_GUIDE

The examples of a Markdown file are its fenced blocks, taken one section (the text between two
headings) at a time, in a fresh directory of their own:

  ```pascal   a program. The last line of text before the fence names its file, in backquotes, at
              its end ("The program `sum.pas`:"); the block is written there, as UTF-8.
  ```console  a terminal session. A line "$ COMMAND" is run by bash in the section's directory;
              the lines after it, up to the next "$ ", are what it shows. Every command is
              followed by "$ echo $?" and a line with its exit code.
  ```asm      lines of the out1.asm that the commands above left in the directory: the block must
              stand there as consecutive lines, below the block before it. A section of asm
              blocks only reads the out1.asm of the section before it.

A command runs with its standard output and error on a terminal whose locale is UTF-8, and with
standard input at its end, so that the compiler's waits for Enter return at once; pas2asm and
pas2asm-run are the ones given, first on PATH. What it shows is compared after what a terminal
does not show is taken out: BEL, zero bytes and the sequences that set colours; CR LF is a line
end. A last line without its line end is shown ending, as the prompt after it would stand on a
line of its own anyway.

"same": the two guides have the same headings at the same levels (the titles differ by language,
so only the headings that are code, the message texts, are compared), and the same programs,
sessions, grammar and out1.asm lines in the same order, word for word.
"""

import argparse
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "console"))
from terminal import on_terminal  # noqa: E402

FENCE = re.compile(r"^```(\w*)\s*$")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*$")
FILE_NAME = re.compile(r"`([^`/]+\.pas)`\W*$")
PROMPT = "$ "
# The blocks that both guides must have alike; others (a table of commands, a shell line with
# a comment) are written in the guide's language.
EXAMPLE_KINDS = ("pascal", "console", "asm", "ebnf")
EXIT_CHECK = "$ echo $?"
COLOURS = re.compile("\x1b\\[[0-9;]*m")


class Block:
    def __init__(self, kind, text, line, before):
        self.kind, self.text, self.line, self.before = kind, text, line, before


def parse(path):
    """The file as (headings, sections): headings as (level, title, line); each section a list of
    its blocks."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    headings, sections, blocks = [], [], []
    i = 0
    while i < len(lines):
        fence = FENCE.match(lines[i])
        if fence:
            start = i
            i += 1
            body = []
            while i < len(lines) and lines[i] != "```":
                body.append(lines[i])
                i += 1
            if i == len(lines):
                raise SystemExit(f"{path}:{start + 1}: a code block that is not closed")
            before = next((l for l in reversed(lines[:start]) if l.strip()), "")
            blocks.append(Block(fence.group(1), "\n".join(body) + "\n", start + 1, before))
        else:
            heading = HEADING.match(lines[i])
            if heading:
                sections.append(blocks)
                blocks = []
                headings.append((len(heading.group(1)), heading.group(2), i + 1))
        i += 1
    sections.append(blocks)
    return headings, sections


def transcript(block, where):
    """A console block as (command, shown text, exit code) triples."""
    lines = block.text.split("\n")[:-1]
    steps = []
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.startswith(PROMPT) or line == EXIT_CHECK:
            raise SystemExit(f"{where}:{block.line + i + 1}: a command was expected, not {line!r}")
        command = line[len(PROMPT):]
        i += 1
        shown = []
        while i < len(lines) and not lines[i].startswith(PROMPT):
            shown.append(lines[i])
            i += 1
        if i + 1 >= len(lines) or lines[i] != EXIT_CHECK or not lines[i + 1].isdigit():
            raise SystemExit(f"{where}:{block.line + i + 1}: {command!r} is not followed by "
                             f"'{EXIT_CHECK}' and its exit code")
        steps.append((command, "".join(s + "\n" for s in shown), int(lines[i + 1])))
        i += 2
    return steps


def as_shown(raw):
    text = raw.decode("utf-8", errors="backslashreplace")
    text = text.replace("\a", "").replace("\0", "").replace("\r\n", "\n")
    text = COLOURS.sub("", text)
    if text and not text.endswith("\n"):
        text += "\n"
    return text


def out1_lines(directory):
    path = os.path.join(directory, "out1.asm")
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read().decode("cp866").replace("\r\n", "\n").split("\n")


class Runner:
    def __init__(self, compiler, runner):
        self.bin = tempfile.mkdtemp(prefix="guide-bin-")
        os.symlink(os.path.abspath(compiler), os.path.join(self.bin, "pas2asm"))
        os.symlink(os.path.abspath(runner), os.path.join(self.bin, "pas2asm-run"))
        self.env = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_CTYPE")}
        self.env.update(LANG="C.UTF-8", PATH=self.bin + ":/usr/bin:/bin", COLUMNS="80",
                        PAS2ASM=os.path.abspath(compiler))
        self.done = {}  # the failures of a section already run, by its blocks

    def section(self, blocks, where):
        """Runs one section's examples; returns its failures."""
        key = tuple((b.kind, FILE_NAME.search(b.before).group(1) if b.kind == "pascal" else "",
                     b.text) for b in blocks)
        if key not in self.done:
            self.done[key] = self.run(blocks, where)
        return [f"{where}: {failure}" for failure in self.done[key]]

    def run(self, blocks, where):
        failures = []
        work = tempfile.mkdtemp(prefix="guide-")
        try:
            asm_from = 0
            for block in blocks:
                if block.kind == "pascal":
                    with open(os.path.join(work, FILE_NAME.search(block.before).group(1)), "wb") as f:
                        f.write(block.text.encode("utf-8"))
                elif block.kind == "console":
                    for command, shown, code in transcript(block, where):
                        got_code, raw = on_terminal(["bash", "-c", command], work, self.env)
                        got = as_shown(raw)
                        if (got_code, got) != (code, shown):
                            diff = "".join(difflib.unified_diff(
                                shown.splitlines(True), got.splitlines(True), "guide", "run"))
                            failures.append(f"line {block.line}: $ {command}\n"
                                            f"  exit code: guide {code}, run {got_code}\n{diff}")
                elif block.kind == "asm":
                    lines = out1_lines(work)
                    want = block.text.split("\n")[:-1]
                    found = -1 if lines is None else find_run(lines, want, asm_from)
                    if found < 0:
                        failures.append(f"line {block.line}: these lines are not "
                                        f"{'in' if lines else 'there: no'} out1.asm"
                                        f"{' below the block before' if lines else ''}:\n"
                                        + "".join(f"  {w}\n" for w in want))
                    else:
                        asm_from = found + len(want)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        return failures


def find_run(lines, want, start):
    for at in range(start, len(lines) - len(want) + 1):
        if lines[at:at + len(want)] == want:
            return at
    return -1


def units(sections):
    """The sections' examples; a section of asm blocks only goes on with the one before it,
    whose out1.asm it reads."""
    found = []
    for blocks in sections:
        blocks = [b for b in blocks if b.kind in ("pascal", "console", "asm")]
        if blocks and found and all(b.kind == "asm" for b in blocks):
            found[-1] = found[-1] + blocks
        elif blocks:
            found.append(blocks)
    return found


def check_examples(args):
    runner = Runner(args.compiler, args.runner)
    failures, sections_run, commands = [], 0, 0
    try:
        for path in args.files:
            _, sections = parse(path)
            if not any(b.kind == "console" for blocks in sections for b in blocks):
                failures.append(f"{path}: no example to run")
            for blocks in units(sections):
                if not any(b.kind == "console" for b in blocks):
                    if blocks:
                        failures.append(f"{path}:{blocks[0].line}: a {blocks[0].kind} block with "
                                        "no console block in its section to run it")
                    continue
                for b in blocks:
                    if b.kind == "pascal" and not FILE_NAME.search(b.before):
                        raise SystemExit(f"{path}:{b.line}: the line before the program does not "
                                         "end with its file name in backquotes")
                sections_run += 1
                commands += sum(len(transcript(b, path)) for b in blocks if b.kind == "console")
                failures += runner.section(blocks, path)
    finally:
        shutil.rmtree(runner.bin, ignore_errors=True)
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{sections_run} sections, {commands} commands, {len(runner.done)} run; "
          f"{len(failures)} failed")
    return 1 if failures else 0


def check_same(args):
    (h1, s1), (h2, s2) = parse(args.guide), parse(args.other)
    failures = []
    levels1, levels2 = [h[0] for h in h1], [h[0] for h in h2]
    if levels1 != levels2:
        failures.append(f"the headings differ in number or level: {levels1} and {levels2}")
    for (level, a, line), (_, b, _) in zip(h1, h2):
        if (a.startswith("`") or b.startswith("`")) and a != b:
            failures.append(f"{args.guide}:{line}: heading {a!r}, in {args.other} {b!r}")
    b1 = [b for s in s1 for b in s if b.kind in EXAMPLE_KINDS]
    b2 = [b for s in s2 for b in s if b.kind in EXAMPLE_KINDS]
    for x, y in zip(b1, b2):
        names = [FILE_NAME.search(b.before).group(1) if b.kind == "pascal" else "" for b in (x, y)]
        if (x.kind, x.text, names[0]) != (y.kind, y.text, names[1]):
            failures.append(f"{args.guide}:{x.line} and {args.other}:{y.line}: the blocks differ")
            break
    if not b1:
        failures.append(f"no examples in {args.guide}")
    if len(b1) != len(b2):
        failures.append(f"{len(b1)} blocks in {args.guide}, {len(b2)} in {args.other}")
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{len(h1)} headings, {len(b1)} blocks compared; {len(failures)} differences")
    return 1 if failures else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = ap.add_subparsers(dest="what", required=True)
    ex = sub.add_parser("examples")
    ex.add_argument("--compiler", required=True)
    ex.add_argument("--runner", required=True)
    ex.add_argument("files", nargs="+")
    same = sub.add_parser("same")
    same.add_argument("guide")
    same.add_argument("other")
    args = ap.parse_args()
    return check_examples(args) if args.what == "examples" else check_same(args)


if __name__ == "__main__":
    sys.exit(main())
