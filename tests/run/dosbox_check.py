#!/usr/bin/python3
"""Cross-check of the runner against DOSBox.

Every semantic program that reads no input and ends normally (no NAME.in, no NAME.exit) is
compiled, translated and assembled once; the same .COM files then run in one headless DOSBox
session, each with its output redirected to a file by a batch file, and in dosrun.py. Both must
give the same bytes, and those must be the expected NAME.out. DOSBox's console input and its
divide-error handling differ from MS-DOS, which is why programs with input or faults stay out.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

TOOLS = Path(__file__).resolve().parents[2] / "tools"
sys.path.insert(0, str(TOOLS))

import dosrun  # noqa: E402
import masm2nasm  # noqa: E402

CONFIG = """[sdl]
output=surface
[render]
frameskip=0
[cpu]
core=auto
cycles=max
[mixer]
nosound=true
[speaker]
pcspeaker=false
tandy=off
disney=false
[sblaster]
sbtype=none
[gus]
gus=false
[midi]
mpu401=none
[dos]
xms=false
ems=false
umb=false
[autoexec]
mount c "{folder}"
c:
call RUN.BAT
exit
"""


def build(compiler, source, work):
    r = subprocess.run([compiler, str(source)], cwd=work, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    asm = Path(work) / "out1.asm"
    if r.returncode != 0 or not asm.exists():
        raise RuntimeError(f"compiler exit code {r.returncode}: {r.stdout[-300:]!r}")
    nasm_text = masm2nasm.translate(asm.read_bytes(), "out1.asm")
    com = Path(work) / "prog.com"
    masm2nasm.assemble(nasm_text, str(com))
    return com.read_bytes()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--compiler", required=True)
    ap.add_argument("programs", help="folder of the semantic programs")
    ap.add_argument("--timeout", type=int, default=180)
    args = ap.parse_args()
    dosbox = shutil.which("dosbox")
    if not dosbox:
        print("dosbox is not installed (Debian package dosbox)")
        return 1

    programs = sorted(
        p for p in Path(args.programs).glob("*.pas")
        if not p.with_suffix(".in").exists() and not p.with_suffix(".exit").exists()
    )
    if not programs:
        print("no program to cross-check")
        return 1

    failures = []  # one line per failed program
    with tempfile.TemporaryDirectory(prefix="dosbox-check-") as tmp:
        folder = Path(tmp) / "c"
        folder.mkdir()
        runs = []
        for i, source in enumerate(programs):
            dos_name = f"T{i:03d}"
            work = Path(tmp) / dos_name
            work.mkdir()
            try:
                image = build(args.compiler, source.resolve(), work)
            except (RuntimeError, masm2nasm.TranslateError, masm2nasm.AssembleError) as e:
                failures.append((source.stem, f"cannot build: {e}"))
                continue
            (folder / f"{dos_name}.COM").write_bytes(image)
            code, output, message = dosrun.run(image, b"")
            if code != 0:
                failures.append((source.stem, f"runner: {message}"))
            runs.append((source, dos_name, output))
        batch = "".join(f"{name} > {name}.OUT\r\n" for _, name, _ in runs)
        (folder / "RUN.BAT").write_bytes(batch.encode("ascii"))
        config = Path(tmp) / "dosbox.conf"
        config.write_text(CONFIG.format(folder=folder))
        env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy", HOME=tmp)
        try:
            r = subprocess.run(
                [dosbox, "-conf", str(config), "-noconsole"],
                env=env,
                stdin=subprocess.DEVNULL,
                capture_output=True,
                timeout=args.timeout,
            )
        except subprocess.TimeoutExpired:
            print(f"DOSBox did not finish within {args.timeout} s")
            return 1
        if r.returncode != 0:
            print(f"DOSBox exit code {r.returncode}: {r.stderr[-500:]!r}")
            return 1
        for source, name, runner_output in runs:
            out = folder / f"{name}.OUT"
            if not out.exists():
                failures.append((source.stem, f"DOSBox wrote no {name}.OUT"))
                continue
            dos_output = out.read_bytes()
            expected = source.with_suffix(".out").read_bytes()
            if dos_output != runner_output:
                failures.append((source.stem, f"DOSBox {dos_output[:200]!r} but runner {runner_output[:200]!r}"))
            elif dos_output != expected:
                failures.append((source.stem, f"both give {dos_output[:200]!r}, expected {expected[:200]!r}"))

    for name, text in failures:
        print(f"{name}: {text}")
    failed = len({name for name, _ in failures})
    print(f"{len(programs) - failed} passed, {failed} failed (programs cross-checked in DOSBox)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
