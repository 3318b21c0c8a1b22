"""pas2asm-run as a user calls it: the compiler path comes from $PAS2ASM, input from stdin."""

import os
import subprocess
import tempfile
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parents[1]


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

    def test_program_whose_dgroup_passes_64_kib_is_refused_naming_it(self):
        # 210 STRING variables (53 760 bytes), 20 texts of 250 bytes and the 8 KiB stack.
        names = ", ".join(f"S{k}" for k in range(210))
        writes = "".join(f"WRITE('{chr(65 + k % 26) * 250}');" for k in range(20))
        r = pas2asm_run(f"PROGRAM P; VAR {names} : STRING; BEGIN {writes} END.".encode())
        self.assertEqual((r.returncode, r.stdout), (4, b""))
        self.assertRegex(r.stderr, rb"DGROUP \(data and stack\) takes \d+ bytes, more than 64 KiB")
        self.assertNotIn(b"the code takes", r.stderr)

    def test_keep_leaves_the_intermediate_files(self):
        with tempfile.TemporaryDirectory() as keep:
            r = pas2asm_run(b"PROGRAM P; BEGIN END.", b"", "--keep", keep)
            self.assertEqual(r.returncode, 0)
            self.assertEqual(sorted(os.listdir(keep)), ["out1.asm", "prog.exe", "prog.nasm"])


if __name__ == "__main__":
    if not os.environ.get("PAS2ASM"):
        raise SystemExit("set PAS2ASM to the compiler under test")
    unittest.main()
