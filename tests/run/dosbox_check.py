#!/usr/bin/env python3
"""Cross-check of the runner against DOSBox.

    dosbox_check.py --compiler PAS2ASM --runner PAS2ASM_RUN PROGRAMS_FOLDER

Every semantic program that reads no input and ends normally (no NAME.in, no NAME.exit) is run
once by pas2asm-run, which also writes the .EXE it built (--exe); the same .EXE files then run in
a headless DOSBox, each with its output redirected to a file by a batch file. Both must give the
same bytes, and those must be the expected NAME.out. DOSBox's console input and its divide-error
handling differ from MS-DOS, which is why programs with input or faults stay out.

The batch file leaves a mark behind every program. A program whose mark does not come within
--per-program seconds hangs: DOSBox is stopped, the program fails, and a new session runs the
programs after it.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

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
RUNNER_BUDGET = 5_000_000  # instructions, as for the semantic tests: a hang there fails in seconds too
STARTUP = 20  # seconds DOSBox may take to start and to end


def build(runner, compiler, source, exe):
    """Runs the program with the runner, which writes its .EXE; returns (exit code, output,
    messages)."""
    r = subprocess.run([runner, "--compiler", compiler, "--budget", str(RUNNER_BUDGET), "--exe", str(exe),
                        str(source)], stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    return r.returncode, r.stdout, r.stderr


def run_dosbox(dosbox, tmp, folder, names, per_program):
    """Runs the programs in one DOSBox session, in order, until one of them hangs.

    Returns (the one that hung or None, an error text or None)."""
    # A mark when the batch starts, so that DOSBox's own start does not count against a program.
    batch = "echo start > BATCH.END\r\n"
    batch += "".join(f"{name} > {name}.OUT\r\necho end > {name}.END\r\n" for name in names)
    (folder / "RUN.BAT").write_bytes(batch.encode("ascii"))
    config = Path(tmp) / "dosbox.conf"
    config.write_text(CONFIG.format(folder=folder))
    env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy", HOME=tmp)
    (folder / "BATCH.END").unlink(missing_ok=True)
    with open(Path(tmp) / "dosbox.log", "wb") as log:
        proc = subprocess.Popen(
            [dosbox, "-conf", str(config), "-noconsole"], env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log
        )
        marks = ["BATCH"] + names
        ended = 0  # marks seen
        deadline = time.monotonic() + STARTUP
        try:
            while ended < len(marks):
                if (folder / f"{marks[ended]}.END").exists():
                    ended += 1
                    deadline = time.monotonic() + per_program
                elif proc.poll() is not None:
                    break
                elif time.monotonic() > deadline:
                    if ended == 0:
                        return None, f"DOSBox did not start the batch file within {STARTUP} s"
                    return names[ended - 1], None
                else:
                    time.sleep(0.05)
            try:
                code = proc.wait(timeout=STARTUP)
            except subprocess.TimeoutExpired:
                return None, f"DOSBox did not end within {STARTUP} s of the last program"
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
    if code != 0:
        return None, f"DOSBox exit code {code}: {(Path(tmp) / 'dosbox.log').read_bytes()[-500:]!r}"
    return None, None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--compiler", required=True)
    ap.add_argument("--runner", required=True)
    ap.add_argument("programs", help="folder of the semantic programs")
    ap.add_argument("--per-program", type=float, default=10, help="seconds before a program counts as hanging")
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
            exe = folder / f"{dos_name}.EXE"
            code, output, message = build(args.runner, args.compiler, source.resolve(), exe)
            if not exe.exists():
                failures.append((source.stem, f"cannot build: exit code {code}, {message[-300:]!r}"))
                continue
            if code != 0:
                failures.append((source.stem, f"runner: exit code {code}, {message[-300:]!r}"))
            runs.append((source, dos_name, output))
        names = [name for _, name, _ in runs]
        hanging = set()
        while names:
            hung, error = run_dosbox(dosbox, tmp, folder, names, args.per_program)
            if error:
                print(error)
                return 1
            if hung is None:
                break
            source = next(source for source, name, _ in runs if name == hung)
            failures.append((source.stem, f"still running in DOSBox after {args.per_program:g} s: it hangs"))
            hanging.add(hung)
            names = names[names.index(hung) + 1 :]
        for source, name, runner_output in runs:
            if name in hanging:
                continue
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
