"""pas2asm-run as a user calls it: the compiler path comes from $PAS2ASM, input from stdin."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parents[3] / "tools"


def pas2asm_run(source_text, stdin=b"", *args):
    with tempfile.TemporaryDirectory() as tmp:
        source = Path(tmp) / "prog.pas"
        source.write_bytes(source_text)
        return subprocess.run(
            ["/usr/bin/python3", str(TOOLS / "pas2asm-run"), *args, str(source)],
            input=stdin,
            capture_output=True,
            cwd=tmp,
            timeout=120,
        )


class Command(unittest.TestCase):
    def test_program_reads_standard_input_and_the_folder_stays_clean(self):
        with tempfile.TemporaryDirectory() as tmp:
            source = Path(tmp) / "p.pas"
            source.write_bytes(b"PROGRAM P; VAR A : INTEGER; BEGIN READ(A); A := A * A; WRITE(A); END.")
            r = subprocess.run(
                ["/usr/bin/python3", str(TOOLS / "pas2asm-run"), "p.pas"],
                input=b"12\n",
                capture_output=True,
                cwd=tmp,
                timeout=120,
            )
            self.assertEqual((r.returncode, r.stdout, r.stderr), (0, b"\r\n144", b""))
            self.assertEqual(os.listdir(tmp), ["p.pas"])

    def test_compile_error_shows_the_compiler_console(self):
        r = pas2asm_run(b"PROGRAM P; VAR A : INTEGER; BEGIN A := B; END.")
        self.assertEqual(r.returncode, 2)
        self.assertEqual(r.stdout, b"")
        self.assertIn("Unknown identifier B".encode("cp866"), r.stderr)
        self.assertIn(b"compilation failed", r.stderr)

    def test_console_texts_for_a_utf8_terminal(self):
        r = pas2asm_run(b"PROGRAM P; VAR A : INTEGER; BEGIN A := B; END.", b"", "--utf8")
        self.assertIn("Ошибка в строке 1: Unknown identifier B".encode("utf-8"), r.stderr)

    def test_runtime_fault_is_reported_after_the_output(self):
        r = pas2asm_run(b"PROGRAM P; VAR A, Z : INTEGER; BEGIN A := 1; WRITE(A); Z := 0; A := A / Z; END.")
        self.assertEqual((r.returncode, r.stdout), (67, b"\r\n1"))
        self.assertIn(b"divide error", r.stderr)

    def test_keep_leaves_the_intermediate_files(self):
        with tempfile.TemporaryDirectory() as keep:
            r = pas2asm_run(b"PROGRAM P; BEGIN END.", b"", "--keep", keep)
            self.assertEqual(r.returncode, 0)
            self.assertEqual(sorted(os.listdir(keep)), ["out1.asm", "prog.com", "prog.nasm"])


if __name__ == "__main__":
    if not os.environ.get("PAS2ASM"):
        raise SystemExit("set PAS2ASM to the compiler under test")
    unittest.main()
