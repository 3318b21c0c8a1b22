"""The DOSBox cross-check on a program that hangs: it fails within seconds, names that program,
and still checks the programs after it. PAS2ASM names the compiler, PAS2ASM_RUN the runner."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
CHECK = HERE / "dosbox_check.py"
PROGRAMS = HERE / "programs"


class HangingProgram(unittest.TestCase):
    def test_hang_fails_in_seconds_and_the_next_program_still_runs(self):
        with tempfile.TemporaryDirectory() as tmp:
            folder = Path(tmp)
            (folder / "a_hang.pas").write_bytes(
                b"PROGRAM H;\r\nVAR A : INTEGER;\r\nBEGIN\r\n  A := 1;\r\n  WHILE A > 0 DO A := 1;\r\nEND.\r\n"
            )
            (folder / "a_hang.out").write_bytes(b"")
            for suffix in (".pas", ".out"):
                shutil.copy(PROGRAMS / ("for_basic" + suffix), folder / ("b_for_basic" + suffix))
            start = time.monotonic()
            r = subprocess.run(
                [sys.executable, str(CHECK), "--compiler", os.environ["PAS2ASM"], "--runner",
                 os.environ["PAS2ASM_RUN"], "--per-program", "3", tmp],
                capture_output=True,
                timeout=120,
            )
            elapsed = time.monotonic() - start
        self.assertEqual(r.returncode, 1, r.stdout)
        self.assertIn(b"a_hang: still running in DOSBox after 3 s: it hangs", r.stdout)
        self.assertIn(b"1 passed, 1 failed", r.stdout)
        self.assertNotIn(b"b_for_basic:", r.stdout)
        self.assertLess(elapsed, 30)


if __name__ == "__main__":
    if not os.environ.get("PAS2ASM") or not os.environ.get("PAS2ASM_RUN"):
        raise SystemExit("set PAS2ASM and PAS2ASM_RUN to the compiler and the runner under test")
    unittest.main()
