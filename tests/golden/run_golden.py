#!/usr/bin/env python3
"""Runs one golden case folder through the real compiler in a fresh temporary directory.

    run_golden.py --compiler PATH CASE_DIR

Checks the exit code, the exact bytes of standard output and standard error, and the exact set
and bytes of the files left in the directory. The case format is described in README.md beside
this script. Exit status: 0 when the case passes, 1 when it fails or cannot be set up.
"""

import argparse
import difflib
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
FRAME_DIR = os.path.join(HERE, "frame")
MARKERS = ("@@HEADER@@", "@@CODESTART@@", "@@EXIT@@", "@@RUNTIME@@")
TIMEOUT_SECONDS = 120  # generous for sanitizer builds; a hang must still end as a failure

ESCAPES = {"r": b"\r", "n": b"\n", "a": b"\a", "t": b"\t", "0": b"\0", "\\": b"\\"}


class CaseError(Exception):
    """The case folder itself is malformed or its preconditions cannot be established."""


sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "reference"))
from masm2nasm import check_assembles  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
from emulator_runs import emulator_failed  # noqa: E402


def encode_char(ch, where):
    try:
        return ch.encode("cp866")
    except UnicodeEncodeError:
        raise CaseError(f"{where}: character {ch!r} has no CP866 byte")


def parse_escaped(text, where):
    """Console/stderr expectation: UTF-8 text, real newlines ignored, backslash escapes."""
    out = bytearray()
    i = 0
    while i < len(text):
        ch = text[i]
        if ch in "\r\n":
            i += 1
            continue
        if ch != "\\":
            out += encode_char(ch, where)
            i += 1
            continue
        if i + 1 >= len(text):
            raise CaseError(f"{where}: lone backslash at the end")
        esc = text[i + 1]
        if esc in ESCAPES:
            out += ESCAPES[esc]
            i += 2
        elif esc == "x":
            digits = text[i + 2:i + 4]
            if len(digits) != 2 or any(c not in "0123456789abcdefABCDEF" for c in digits):
                raise CaseError(f"{where}: \\x needs two hex digits")
            out.append(int(digits, 16))
            i += 4
        else:
            raise CaseError(f"{where}: unknown escape \\{esc}")
    return bytes(out)


def read_text(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as e:
        raise CaseError(f"{path}: not UTF-8 ({e})")


def frame_lines(marker):
    path = os.path.join(FRAME_DIR, marker.strip("@").lower() + ".asm")
    return split_lf(read_text(path))


def split_lf(text):
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def expected_asm(path):
    """Expected assembly: UTF-8 lines with LF, markers expanded, each line CP866 + CR LF."""
    out = bytearray()
    for number, line in enumerate(split_lf(read_text(path)), 1):
        if "\r" in line:
            raise CaseError(f"{path}:{number}: carriage return in an expected .asm file")
        expanded = frame_lines(line) if line in MARKERS else [line]
        for piece in expanded:
            for ch in piece:
                out += encode_char(ch, f"{path}:{number}")
            out += b"\r\n"
    return bytes(out)


def expected_file(path):
    if path.endswith(".asm"):
        return expected_asm(path)
    with open(path, "rb") as f:
        return f.read()


def show_bytes(data):
    """One readable line per output line: printable ASCII as is, bytes 128..255 as CP866
    letters, everything else escaped, so that two different byte strings never look alike."""
    shown = []
    for b in data:
        if b == 0x5C:
            shown.append("\\\\")
        elif 0x20 <= b < 0x7F:
            shown.append(chr(b))
        elif b >= 0x80:
            shown.append(bytes([b]).decode("cp866"))
        else:
            shown.append({9: "\\t", 10: "\\n", 13: "\\r", 7: "\\a", 0: "\\0"}.get(b, f"\\x{b:02x}"))
    return "".join(shown)


def byte_lines(data):
    lines = data.split(b"\n")
    result = [line + b"\n" for line in lines[:-1]]
    if lines[-1]:
        result.append(lines[-1])
    return [show_bytes(line) for line in result]


def diff(name, expected, actual):
    text = [f"--- {name}: expected {len(expected)} bytes, actual {len(actual)} bytes\n"]
    body = difflib.unified_diff(byte_lines(expected), byte_lines(actual),
                                fromfile="expected", tofile="actual", lineterm="", n=2)
    shown = 0
    for line in body:
        text.append("    " + line + "\n")
        shown += 1
        if shown >= 200:
            text.append("    ... (diff cut)\n")
            break
    return "".join(text)


def list_files(root):
    found = {}
    for dirpath, _dirs, files in os.walk(root):
        for name in files:
            full = os.path.join(dirpath, name)
            rel = os.path.relpath(full, root).replace(os.sep, "/")
            found[rel] = full
    return found


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def make_immutable(workdir, names, done):
    """The only way, as root, to have a file that an open for writing refuses. Every file made
    immutable is added to done at once, so that it is released even when a later step fails."""
    for name in names:
        path = os.path.join(workdir, name)
        if not os.path.exists(path):
            raise CaseError(f"immutable: {name} does not exist in the run directory")
        result = subprocess.run(["chattr", "+i", path], capture_output=True, text=True)
        if result.returncode != 0:
            raise CaseError(f"immutable: 'chattr +i {name}' failed ({result.stderr.strip()}); "
                            "this case needs a filesystem and privileges that support it")
        done.append(path)
        try:
            fd = os.open(path, os.O_WRONLY | os.O_APPEND)
        except OSError:
            continue
        os.close(fd)
        raise CaseError(f"immutable: {name} still opens for writing after chattr +i")


def release_immutable(paths):
    for path in paths:
        subprocess.run(["chattr", "-i", path], capture_output=True)


def run_case(compiler, case_dir, keep):
    case_dir = os.path.abspath(case_dir)
    if not os.path.isdir(case_dir):
        raise CaseError(f"{case_dir}: no such case folder")
    exit_path = os.path.join(case_dir, "exit")
    if not os.path.exists(exit_path):
        raise CaseError("the case has no 'exit' file")
    try:
        expected_exit = int(read_text(exit_path).strip())
    except ValueError:
        raise CaseError("'exit' does not hold a number")

    def optional_escaped(name):
        path = os.path.join(case_dir, name)
        return parse_escaped(read_text(path), path) if os.path.exists(path) else b""

    expected_stdout = optional_escaped("console")
    expected_stderr = optional_escaped("stderr")

    args_path = os.path.join(case_dir, "args")
    args = split_lf(read_text(args_path)) if os.path.exists(args_path) else ["source.pas"]
    stdin_path = os.path.join(case_dir, "stdin")
    stdin_bytes = read_bytes(stdin_path) if os.path.exists(stdin_path) else b""

    expected_files = {}
    files_dir = os.path.join(case_dir, "files")
    if os.path.isdir(files_dir):
        for rel, full in list_files(files_dir).items():
            expected_files[rel] = expected_file(full)

    absent_path = os.path.join(case_dir, "absent")
    absent = split_lf(read_text(absent_path)) if os.path.exists(absent_path) else []

    workdir = tempfile.mkdtemp(prefix="golden-")
    locked = []
    try:
        # What was put in before the run; anything here that the run leaves unchanged may stay.
        given = {}
        source = os.path.join(case_dir, "source.pas")
        if os.path.exists(source):
            shutil.copyfile(source, os.path.join(workdir, "source.pas"))
            given["source.pas"] = read_bytes(source)
        setup_dir = os.path.join(case_dir, "setup")
        if os.path.isdir(setup_dir):
            shutil.copytree(setup_dir, workdir, dirs_exist_ok=True)
            for rel, full in list_files(setup_dir).items():
                given[rel] = read_bytes(full)
        immutable_path = os.path.join(case_dir, "immutable")
        if os.path.exists(immutable_path):
            make_immutable(workdir, split_lf(read_text(immutable_path)), locked)

        def run_compiler():
            try:
                return subprocess.run([compiler] + args, cwd=workdir, input=stdin_bytes,
                                      capture_output=True, timeout=TIMEOUT_SECONDS)
            except OSError as e:
                raise CaseError(f"cannot start the compiler {compiler}: {e}")

        try:
            proc = run_compiler()
            # A run that the emulator of a Windows build, not the compiler, ended is repeated
            # once, and said.
            if proc.returncode != 0:
                touched = {rel: read_bytes(full)
                           for rel, full in list_files(workdir).items()} != given
                if emulator_failed(proc.returncode, proc.stdout, proc.stderr, touched):
                    print(f"again: the emulator ended the run (exit {proc.returncode})")
                    proc = run_compiler()
        except subprocess.TimeoutExpired:
            return [f"the compiler did not end within {TIMEOUT_SECONDS} s\n"]

        failures = []
        if proc.returncode != expected_exit:
            failures.append(f"exit code: expected {expected_exit}, actual {proc.returncode}\n")
        if proc.stdout != expected_stdout:
            failures.append(diff("console (standard output)", expected_stdout, proc.stdout))
        if proc.stderr != expected_stderr:
            failures.append(diff("standard error", expected_stderr, proc.stderr))

        actual_files = list_files(workdir)
        for rel in sorted(set(expected_files) | set(actual_files)):
            if rel in expected_files:
                if rel not in actual_files:
                    failures.append(f"file {rel}: expected, but the run did not leave it\n")
                    continue
                actual = read_bytes(actual_files[rel])
                if actual != expected_files[rel]:
                    failures.append(diff(f"file {rel}", expected_files[rel], actual))
            elif rel in given:
                if read_bytes(actual_files[rel]) != given[rel]:
                    failures.append(diff(f"file {rel} (changed by the run)", given[rel],
                                         read_bytes(actual_files[rel])))
            else:
                failures.append(f"file {rel}: left by the run, but not expected\n")
        # A program the compiler accepted must also assemble: a template typo fails here even
        # where the expected text carries the same typo.
        if proc.returncode == 0 and "out1.asm" in actual_files:
            assembles, why = check_assembles(actual_files["out1.asm"])
            if not assembles:
                failures.append(f"file out1.asm does not assemble: {why}\n")
        if "source.pas" in given and "source.pas" not in actual_files:
            failures.append("file source.pas: removed by the run\n")
        for rel in absent:
            if rel in actual_files:
                failures.append(f"file {rel}: should be gone after the run, but is there\n")
        return failures
    finally:
        release_immutable(locked)
        if keep:
            print(f"run directory kept: {workdir}")
        else:
            shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description="Run one golden case.")
    parser.add_argument("--compiler", required=True, help="path of the pas2asm binary")
    parser.add_argument("--keep", action="store_true", help="keep the run directory")
    parser.add_argument("case_dir")
    options = parser.parse_args()
    compiler = os.path.abspath(options.compiler)
    name = os.path.basename(os.path.normpath(options.case_dir))
    try:
        failures = run_case(compiler, options.case_dir, options.keep)
    except CaseError as e:
        print(f"FAIL {name}: case error: {e}")
        return 1
    if failures:
        print(f"FAIL {name}")
        for failure in failures:
            sys.stdout.write(failure)
        return 1
    print(f"ok {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
