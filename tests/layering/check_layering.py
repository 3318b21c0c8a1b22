#!/usr/bin/env python3
"""Fails, naming the file and the include, when a module of src/ reaches a module it may not.

    check_layering.py SRC_DIR
    check_layering.py --self-test

The modules stand on each other: os at the bottom; lex and kod on os alone; sinreset on lex; sin on
lex and kod; driver on top, included by nothing. Beside the compiler, on the same os: asm (the
assembler of out1.asm), machine on asm, engine (statements, variables and stops on the map of
out1.asm) on both and on nothing else, views (the listing, the trace, the stepper) on the engine
and os, runner (pas2asm-run) on all of them, and play (the playground's machine) on all of them
with the runner's words; only play includes runner, nothing includes play; serve
(pas2asm-play) on os alone, included by nothing; the compiler's
modules include none of these. The module graph that the includes make must
also be free of cycles, so that no two files of different modules include each other.
"""

import os
import re
import sys
import tempfile

BELOW = {
    "os": set(),
    "lex": {"os"},
    "kod": {"os"},
    "sinreset": {"lex", "os"},
    "sin": {"lex", "kod", "os"},
    "driver": {"os", "lex", "kod", "sin", "sinreset"},
    "asm": {"os"},
    "machine": {"asm", "os"},
    "engine": {"machine", "asm"},
    "views": {"engine", "machine", "asm", "os"},
    "runner": {"views", "engine", "machine", "asm", "os"},
    "play": {"runner", "views", "engine", "machine", "asm", "os"},
    "serve": {"os"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]+"', re.M)


def check(src):
    problems = []
    uses = {}
    for module in sorted(os.listdir(src)):
        if not os.path.isdir(os.path.join(src, module)):
            continue
        if module not in BELOW:
            problems.append(f"src/{module}/: a module the layering does not know")
            continue
        for name in sorted(os.listdir(os.path.join(src, module))):
            with open(os.path.join(src, module, name), encoding="utf-8") as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                if target == module:
                    continue
                uses.setdefault(module, set()).add(target)
                if target not in BELOW[module]:
                    problems.append(f'src/{module}/{name}: #include "{target}/..." '
                                    f"({module} may include {', '.join(sorted(BELOW[module])) or 'no other module'})")
    # A cycle among the modules actually used, found by depth-first search.
    state = {}

    def visit(module, path):
        state[module] = "open"
        for target in sorted(uses.get(module, ())):
            if state.get(target) == "open":
                cycle = path[path.index(target):] + [target]
                problems.append("cycle: " + " -> ".join(cycle))
            elif target not in state:
                visit(target, path + [target])
        state[module] = "done"

    for module in sorted(uses):
        if module not in state:
            visit(module, [module])
    return problems


def self_test():
    """The checker must see a planted upward include and a planted cycle."""
    with tempfile.TemporaryDirectory() as src:
        for module, text in [("os", '#include "os/a.h"\n'), ("lex", '#include "sin/x.h"\n'),
                             ("sin", '#include "lex/y.h"\n'), ("driver", "")]:
            os.mkdir(os.path.join(src, module))
            with open(os.path.join(src, module, "a.cpp"), "w") as f:
                f.write(text)
        found = check(src)
    expected_rule = 'src/lex/a.cpp: #include "sin/..."'
    ok = any(p.startswith(expected_rule) for p in found) and any(p.startswith("cycle: lex -> sin -> lex")
                                                                  for p in found)
    print("self-test: " + ("ok" if ok else "FAILED, found: " + repr(found)))
    return 0 if ok else 1


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    problems = check(sys.argv[1])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
