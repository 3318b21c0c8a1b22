#!/usr/bin/env python3
"""Holds the source maps of `pas2asm --map` to the truth, not only to their form.

    check_map.py --compiler PATH [--generated N] [--seed S] SOURCE_OR_DIR...

Each source (a .pas file, or a folder holding source.pas, or a folder of .pas files) and N
generated programs are compiled with --map in a fresh folder, standard input empty. A run that
fails must leave no map. A run that succeeds must leave a map in which:

- the ranges cover every line of out1.asm once, in order, with known kinds, and every source
  position lies inside the source;
- every construct lies inside its parent;
- each statement comment of READ, WRITE, IF, WHILE, FOR and REPEAT lies in a range whose position
  holds that statement's keyword;
- every line that names a program variable (its "_" symbol) lies in a construct, or a construct
  around it, whose source text names that variable;
- every variable's and every constant's line defines its symbol.
"""

import argparse
import io
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import types

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

FIXED = {"header", "variable", "constant", "code-start", "exit", "runtime"}
CONSTRUCTS = {"assignment", "if", "if-condition", "then", "else", "while", "while-condition",
              "while-body-end", "for", "for-start", "for-limit", "for-step", "repeat",
              "repeat-until", "read", "read-item", "write", "write-text", "write-item"}
# The statement comments, by the keyword of their statement.
COMMENTS = {"IF": "условного оператора IF", "WHILE": "цикла WHILE", "FOR": "цикла FOR",
            "REPEAT": "цикла REPEAT", "READ": "оператора READ", "WRITE": "оператора WRITE"}
WORD = re.compile(rb"[A-Za-z][A-Za-z0-9]*")


class Wrong(Exception):
    pass


def source_lines(data):
    """The start offset of each line, lines broken as the compiler's messages break them."""
    starts = [0]
    i = 0
    while i < len(data):
        if data[i:i + 2] == b"\r\n":
            i += 2
            starts.append(i)
            continue
        if data[i] in b"\r\n":
            starts.append(i + 1)
        i += 1
    return starts


def offset_of(starts, size, line, column):
    if not 1 <= line <= len(starts):
        raise Wrong(f"line {line} outside the source's {len(starts)}")
    at = starts[line - 1] + column - 1
    end = starts[line] if line < len(starts) else size
    if column < 1 or at > end:
        raise Wrong(f"column {column} outside line {line}")
    return at


def without_comments(data):
    out, depth = bytearray(), 0
    for c in data:
        if c == ord("{"):
            depth += 1
        elif c == ord("}") and depth:
            depth -= 1
        elif depth == 0:
            out.append(c)
    return bytes(out)


def names_in(text):
    return {m.group().upper()[:16].decode() for m in WORD.finditer(without_comments(text))}


def check(source, asm, m):
    if m.get("version") != 1:
        raise Wrong("no version 1")
    lines = asm.split(b"\r\n")
    if lines[-1] != b"":
        raise Wrong("out1.asm does not end with CR LF")
    lines = [l.decode("cp866") for l in lines[:-1]]
    if m["lines"] != len(lines):
        raise Wrong(f"lines {m['lines']} against {len(lines)}")
    starts = source_lines(source)
    constructs = m["constructs"]

    def span(c):
        return (offset_of(starts, len(source), c["line"], c["column"]),
                offset_of(starts, len(source), *c["end"]))

    spans = [span(c) for c in constructs]
    for i, c in enumerate(constructs):
        if c["id"] != i or c["kind"] not in CONSTRUCTS:
            raise Wrong(f"construct {i}: {c}")
        if spans[i][0] > spans[i][1]:
            raise Wrong(f"construct {i} ends before it begins")
        p = c["parent"]
        if p is not None and not (p < i and spans[p][0] <= spans[i][0] and spans[i][1] <= spans[p][1]):
            raise Wrong(f"construct {i} lies outside its parent {p}")

    owner = [None] * len(lines)
    expect = 1
    for r in m["ranges"]:
        a, b = r["asm"]
        if a != expect or b < a:
            raise Wrong(f"range {r} where line {expect} was due")
        expect = b + 1
        if r["kind"] in FIXED:
            if "construct" in r:
                raise Wrong(f"fixed range with a construct: {r}")
        else:
            c = constructs[r["construct"]]
            if (r["kind"], r["line"], r["column"]) != (c["kind"], c["line"], c["column"]):
                raise Wrong(f"range {r} against its construct {c}")
        for n in range(a, b + 1):
            owner[n - 1] = r
    if expect != len(lines) + 1:
        raise Wrong(f"the ranges end at line {expect - 1} of {len(lines)}")

    symbols = {}
    for v in m["variables"]:
        line = lines[v["line"] - 1]
        if not line.startswith(" " + v["symbol"] + " D") or owner[v["line"] - 1]["kind"] != "variable":
            raise Wrong(f"variable {v}: line {line!r}")
        at = offset_of(starts, len(source), v["source"]["line"], v["source"]["column"])
        if without_comments(source[at:at + 4096]).upper()[:len(v["name"])] != v["name"].upper().encode():
            raise Wrong(f"variable {v}: not spelt so in the source")
        if "_" + v["name"].upper()[:16] != v["symbol"]:
            raise Wrong(f"variable {v}: symbol and name differ")
        symbols[v["symbol"]] = v["symbol"][1:]
    for k in m["constants"]:
        for n in range(k["line"], k["line"] + k["lines"]):
            if owner[n - 1]["kind"] != "constant":
                raise Wrong(f"constant {k}: line {n} is {owner[n - 1]['kind']}")
        if not lines[k["line"] - 1].startswith(k["symbol"] + "  db  "):
            raise Wrong(f"constant {k}: line {lines[k['line'] - 1]!r}")
        offset_of(starts, len(source), k["source"]["line"], k["source"]["column"])

    symbol = re.compile(r"_[A-Z0-9]+")
    for n, line in enumerate(lines):
        r = owner[n]
        for keyword, words in COMMENTS.items():
            if line.lstrip().startswith(";") and words in line:
                if r["kind"] in FIXED:
                    raise Wrong(f"line {n + 1} {line!r} in a fixed part")
                at = spans[r["construct"]][0]
                text = without_comments(source[at:at + 64]).upper()
                if not re.match(keyword.encode() + rb"(?![A-Z0-9])", text):
                    raise Wrong(f"line {n + 1} {line!r} in a range at {text[:20]!r}")
        if r["kind"] in FIXED:
            if r["kind"] not in ("variable",) and any(s in symbols for s in symbol.findall(line)):
                raise Wrong(f"line {n + 1} {line!r} names a variable in {r['kind']}")
            continue
        for s in symbol.findall(line):
            if s not in symbols:
                continue
            c = r["construct"]
            while c is not None and symbols[s] not in names_in(source[spans[c][0]:spans[c][1]]):
                c = constructs[c]["parent"]
            if c is None:
                raise Wrong(f"line {n + 1} {line!r} names {s} outside any construct naming it")


def compile_with_map(compiler, data):
    work = tempfile.mkdtemp(prefix="pas2asm-map-")
    try:
        with open(os.path.join(work, "source.pas"), "wb") as f:
            f.write(data)
        r = subprocess.run([compiler, "--map", "map.json", "source.pas"], cwd=work,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        files = set(os.listdir(work))
        if r.returncode != 0:
            if "map.json" in files:
                raise Wrong(f"exit {r.returncode} left a map")
            return False
        with open(os.path.join(work, "out1.asm"), "rb") as f:
            asm = f.read()
        with open(os.path.join(work, "map.json"), "rb") as f:
            m = json.loads(f.read().decode("utf-8"))
        if m["source"] != "source.pas":
            raise Wrong(f"source named {m['source']!r}")
        check(data, asm, m)
        return True
    finally:
        shutil.rmtree(work, ignore_errors=True)


def sources(paths):
    for path in paths:
        if os.path.isfile(path):
            yield path
        elif os.path.isfile(os.path.join(path, "source.pas")):
            yield os.path.join(path, "source.pas")
        elif os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                yield from sources([os.path.join(path, name)]) if os.path.isdir(
                    os.path.join(path, name)) else ([os.path.join(path, name)]
                                                    if name.endswith(".pas") else [])


def load(name, path):
    module = types.ModuleType(name)
    module.__file__ = path
    sys.modules[name] = module
    with open(path, encoding="utf-8") as f:
        exec(compile(f.read(), path, "exec"), module.__dict__)
    return module


def string_program(rng):
    """The other type: STRING variables joined, read and written, with texts and comments."""
    names = ["S%d" % i for i in range(1, rng.randint(2, 6))] + ["Words", "wOrds2"]
    body = []
    for _ in range(rng.randint(1, 12)):
        a, b, c = (rng.choice(names) for _ in range(3))
        body.append(rng.choice([f"READ({a})", f"{a} := {b}", f"{a} := {b} + {c}",
                                f"WRITE({a}, {b})", f"WRITE('t{{c}}x', {a})",
                                f"WRITE({{note}} {a})", f"{a}{{x}} := {b}",
                                f"IF 1 = 1 THEN {a} := {b}"]))
    return ("PROGRAM Strs;\r\nVAR " + ", ".join(names) + " : STRING;\r\nBEGIN\r\n  " +
            ";\r\n  ".join(body) + ";\r\nEND.\r\n").encode()


# Statements the pre-check parses a second time (an IF without ELSE, a WRITE of texts), put
# between those of a generated program, whose variables are V1 to V40.
REPARSED = ["IF V1 = 1 THEN V2 := 3", "IF (V1 > 2) AND (V3 < 4) THEN BEGIN V1 := 1; END",
            "IF {c} V1 THEN V3 := V1", "WRITE('A')", "WRITE('a b', V1)",
            "WRITE( 'x{c}y', V2)", "WRITE('line\r\nbreak')",
            "FOR I1 := 1 TO V2 DO WRITE('n', I1)"]


def generated(count, seed):
    """Programs of bench/gen.py, with line breaks of every kind or with statements that the
    pre-check parses again put in, and programs of STRING variables."""
    gen = load("gen", os.path.join(ROOT, "bench", "gen.py"))
    rng = random.Random(seed)
    for _ in range(count):
        choice = rng.random()
        if choice < 0.2:
            yield string_program(rng)
            continue
        out = io.StringIO()
        gen.generate(rng.choice((300, 800, 2000, 5000)), rng.randrange(1 << 30), False, out)
        text = out.getvalue()
        if choice < 0.6:
            lines = text.split(";\n")
            for _ in range(rng.randint(1, 4)):
                lines.insert(rng.randint(3, max(3, len(lines) - 1)), "  " + rng.choice(REPARSED))
            text = ";\n".join(lines)
        elif choice < 0.8:
            text = rng.choice(("\r\n", "\r")).join(text.split("\n"))
        yield text.encode("ascii")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--compiler", required=True)
    ap.add_argument("--generated", type=int, default=0)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("paths", nargs="*")
    args = ap.parse_args()
    compiler = os.path.abspath(args.compiler)
    checked = failed = wrong = 0
    items = [(p, open(p, "rb").read()) for p in sources(args.paths)]
    items_gen = ((f"generated #{i}", d) for i, d in enumerate(generated(args.generated, args.seed)))
    for name, data in list(items) + list(items_gen):
        try:
            if compile_with_map(compiler, data):
                checked += 1
            else:
                failed += 1
        except (Wrong, KeyError, TypeError, ValueError, IndexError) as e:
            wrong += 1
            print(f"WRONG {name}: {type(e).__name__}: {e}")
            if wrong == 1 and name.startswith("generated"):
                with open("map-wrong.pas", "wb") as f:
                    f.write(data)
                print("  kept as map-wrong.pas")
    print(f"{checked} maps checked, {failed} runs failed without a map, {wrong} wrong")
    return 1 if wrong or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
