#!/usr/bin/python3
"""The assembler and the machine held against NASM and unicorn, program by program.

    compare_programs.py --compiler PAS2ASM --driver MACHINE_DRIVER [--generated N] [--jobs J]

The programs: the source of every golden case, every program of tests/run (with its input), the
fuzzing seeds, and N generated ones (default 5000): programs of bench/gen.py, and mutants of the
tests/run programs, each with random input lines. Each is compiled once; for every out1.asm:

  * the .EXE that machine_driver builds must be byte for byte the one NASM builds from the
    translator's text (tests/reference/masm2nasm.py), or both must refuse the file;
  * the run on the machine and the run of that .EXE by tests/reference/dosrun.py on unicorn must
    give the same exit code and output, and the same instruction count: unicorn given exactly the
    machine's count ends the same way, and given one instruction less runs out of budget.

Run with /usr/bin/python3 (Debian's python3-unicorn). Prints one line per difference, the time
each stage took, and "N passed, N failed".
"""

import argparse
import json
import multiprocessing
import os
import random
import subprocess
import sys
import types
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(ROOT / "tests" / "reference"))

import dosrun  # noqa: E402
import masm2nasm  # noqa: E402

BUDGET = 5_000_000  # as the tests/run programs have it
GENERATED_BUDGET = 300_000  # a generated program that loops longer counts as hanging on both


def load(name, path):
    module = types.ModuleType(name)
    module.__file__ = str(path)
    sys.modules[name] = module
    with open(str(path), encoding="utf-8") as f:
        exec(compile(f.read(), str(path), "exec"), module.__dict__)
    return module


def numbers(rng, count):
    return "".join(f"{rng.randint(-40, 300)}\n" for _ in range(count)).encode()


def sources(generated, seed):
    """(name, source bytes, input bytes, budget) of every program to compare."""
    items = []
    for path in sorted((ROOT / "tests" / "golden" / "cases").glob("*/*/source.pas")):
        items.append((f"golden/{path.parent.parent.name}/{path.parent.name}", path.read_bytes(), b"", BUDGET))
    run_programs = sorted((ROOT / "tests" / "run" / "programs").glob("*.pas"))
    for path in run_programs:
        given = path.with_suffix(".in")
        items.append((f"run/{path.stem}", path.read_bytes(), given.read_bytes() if given.exists() else b"", BUDGET))
    for path in sorted((ROOT / "fuzz" / "seeds").iterdir()):
        items.append((f"seed/{path.name}", path.read_bytes(), b"", BUDGET))
    gen = load("gen", ROOT / "bench" / "gen.py")
    fuzz = load("compare", ROOT / "fuzz" / "compare")
    rng = random.Random(seed)
    originals = [p.read_bytes() for p in run_programs]
    import io

    for k in range(generated):
        if k % 2 == 0:
            out = io.StringIO()
            gen.generate(rng.choice((200, 400, 800, 1500)), rng.randrange(1 << 30), False, out)
            source = out.getvalue().encode("ascii")
        else:
            source = fuzz.mutated(rng, originals, rng.choice(originals))
        items.append((f"generated/{k}", source, numbers(rng, rng.randint(0, 40)), GENERATED_BUDGET))
    return items


def compile_all(compiler, items, work):
    """Compiles every program; returns (name, asm path, input path, budget) of those compiled."""
    compiled = []
    for n, (name, source, given, budget) in enumerate(items):
        folder = Path(work) / str(n)
        folder.mkdir()
        (folder / "source.pas").write_bytes(source)
        (folder / "input").write_bytes(given)
        try:
            subprocess.run([compiler, "source.pas"], cwd=folder, stdin=subprocess.DEVNULL, capture_output=True,
                           timeout=60)
        except subprocess.TimeoutExpired:
            continue
        if (folder / "out1.asm").exists():
            compiled.append((name, str(folder / "out1.asm"), str(folder / "input"), budget))
    return compiled


def reference(job):
    """NASM's .EXE and unicorn's runs for one program, checked against the machine's result."""
    name, asm, given, budget, ours = job
    data = Path(asm).read_bytes()
    try:
        nasm_text = masm2nasm.translate(data, "out1.asm")
        exe_path = asm + ".exe"
        masm2nasm.assemble(nasm_text, exe_path)
    except (masm2nasm.TranslateError, masm2nasm.AssembleError) as e:
        if "refused" in ours:
            return None
        return f"{name}: the reference refuses it ({e}), the assembler does not"
    if "refused" in ours:
        return f"{name}: refused at line {ours['refused']} ({ours['message']}), the reference takes it"
    exe = Path(exe_path).read_bytes()
    if exe.hex() != ours["exe"]:
        mine = bytes.fromhex(ours["exe"])
        at = next((i for i in range(min(len(exe), len(mine))) if exe[i] != mine[i]), min(len(exe), len(mine)))
        return f"{name}: .EXE differs from NASM's at byte {at} (sizes {len(mine)} and {len(exe)})"
    stdin = Path(given).read_bytes()
    code, out, message = dosrun.run(exe, stdin, budget=min(budget, ours["count"]), check_stack=True)
    mine = (ours["exit"], ours["output"])
    if ours["exit"] != 69 and code == 69:
        return f"{name}: unicorn needs more than the machine's {ours['count']} instructions"
    if (code, out.hex()) != mine:
        return (f"{name}: unicorn ends with {code} ({message}) and {out[:80]!r}, the machine with "
                f"{ours['exit']} ({ours['message']}) and {bytes.fromhex(ours['output'])[:80]!r}")
    if ours["exit"] != 69 and ours["count"] > 1:
        code, _, _ = dosrun.run(exe, stdin, budget=ours["count"] - 1, check_stack=True)
        if code != 69:
            return f"{name}: unicorn ends within {ours['count'] - 1} instructions, the machine takes {ours['count']}"
    return None


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--compiler", required=True)
    ap.add_argument("--driver", required=True)
    ap.add_argument("--generated", type=int, default=5000)
    ap.add_argument("--seed", type=int, default=21)
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = ap.parse_args()
    started = time.monotonic()

    def stage(text):
        nonlocal started
        print(f"== {text}: {time.monotonic() - started:.1f} s", flush=True)
        started = time.monotonic()

    items = sources(args.generated, args.seed)
    with tempfile.TemporaryDirectory(prefix="compare-programs-") as work:
        compiled = compile_all(os.path.abspath(args.compiler), items, work)
        stage(f"{len(items)} programs compiled, {len(compiled)} made out1.asm")
        lines = "".join(f"{asm}\t{given}\t{budget}\n" for _, asm, given, budget in compiled)
        r = subprocess.run([args.driver, "programs"], input=lines.encode(), capture_output=True, check=True)
        results = [json.loads(line) for line in r.stdout.decode().splitlines()]
        if len(results) != len(compiled):
            print(f"machine_driver gave {len(results)} results for {len(compiled)} programs")
            return 1
        stage("assembled and run on the machine")
        jobs = [c + (ours,) for c, ours in zip(compiled, results)]
        with multiprocessing.Pool(args.jobs) as pool:
            failures = [f for f in pool.imap(reference, jobs, chunksize=8) if f]
        stage("held against NASM and unicorn")
    for failure in failures:
        print(failure)
    exits = {}
    for ours in results:
        exits[ours.get("exit", "refused")] = exits.get(ours.get("exit", "refused"), 0) + 1
    print("exit codes of the runs: " + ", ".join(f"{k}: {v}" for k, v in sorted(exits.items(), key=str)))
    print(f"{len(compiled) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
