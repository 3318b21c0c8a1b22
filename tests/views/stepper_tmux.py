#!/usr/bin/env python3
"""The stepper at a real terminal: pas2asm-run --step in tmux, keys sent, the screen read back.

    stepper_tmux.py --runner PAS2ASM_RUN --compiler PAS2ASM

The session runs on a tmux server of its own (a socket named after this process), in a window of
100 x 32 on a UTF-8 locale; the server is ended at the end. Each step sends keys as a student
presses them (F8, F7, F9, letters, a line of input) and waits until the screen shows what the
step must bring, then checks the rest of it.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

PROGRAM = """PROGRAM BRANCH;
VAR A, B : INTEGER;
BEGIN
  READ(A);
  IF A > 2 THEN B := 1 ELSE B := 2;
  IF A > 5 THEN B := B + 10 ELSE B := B + 20;
  WRITE(B);
END.
"""
YELLOW = "\x1b[33m"


class Tmux:
    def __init__(self):
        self.socket = f"pas2asm-views-{os.getpid()}"

    def __call__(self, *args, check=True):
        return subprocess.run(["tmux", "-L", self.socket, "-f", os.devnull] + list(args),
                              capture_output=True, text=True, check=check)

    def screen(self, escapes=False):
        return self("capture-pane", "-p", "-t", "step", *(["-e"] if escapes else [])).stdout

    def wait_for(self, text, what):
        deadline = time.time() + 20
        while time.time() < deadline:
            shown = self.screen()
            if text in shown:
                return shown
            time.sleep(0.05)
        raise AssertionError(f"{what}: the screen never showed {text!r}; it shows:\n{self.screen()}")

    def keys(self, *keys):
        self("send-keys", "-t", "step", *keys)


def check(condition, what, shown):
    if not condition:
        raise AssertionError(f"{what}; the screen:\n{shown}")


def row_with(shown, text):
    return next((row for row in shown.splitlines() if text in row), "")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--runner", required=True)
    ap.add_argument("--compiler", required=True)
    args = ap.parse_args()
    if not shutil.which("tmux"):
        print("the stepper's test needs tmux (Debian package tmux; scripts/install-deps installs it)")
        return 1
    tmux = Tmux()
    with tempfile.TemporaryDirectory(prefix="views-tmux-") as work:
        with open(os.path.join(work, "branch.pas"), "w") as f:
            f.write(PROGRAM)
        done = os.path.join(work, "done")
        command = (f"cd '{work}' && '{args.runner}' --compiler '{args.compiler}' --step branch.pas;"
                   f" echo $? > '{done}'; sleep 60")
        tmux("new-session", "-d", "-s", "step", "-x", "100", "-y", "32",
             "env", "LANG=C.UTF-8", "LC_ALL=C.UTF-8", "TERM=tmux-256color", "sh", "-c", command)
        try:
            shown = tmux.wait_for("start: (program start)", "the first stop")
            check("=>   17        mov     AX, @Data" in shown, "the next instruction is marked",
                  shown)
            check("   4    READ(A);" in shown, "the source is shown", shown)
            check("vars      A = 0 B = 0" in shown, "the variables are shown", shown)

            tmux.keys("F8")
            shown = tmux.wait_for("statement: line 4: READ(A)", "F8: the next statement")
            check(" =>   4    READ(A);" in shown, "the current line is marked", shown)
            check(YELLOW + "DS=" in tmux.screen(escapes=True), "a changed register is marked",
                  shown)

            tmux.keys("n")
            shown = tmux.wait_for("the program reads a line", "n: on to the READ")
            tmux.keys("4")
            shown = tmux.wait_for("the program reads a line", "the input typed")
            output = shown.splitlines()[-3 - 3:-2]
            check(any(row.rstrip() == "4" for row in output), "the input shows in the output pane",
                  shown)
            tmux.keys("Enter")
            shown = tmux.wait_for("statement: line 5: IF A > 2", "Enter: the READ done")
            check("A = 4" in shown, "A holds the input", shown)

            tmux.keys("b", "7", "Enter")
            shown = tmux.wait_for("breakpoint at line 7", "b 7: a breakpoint")
            check("*     7    WRITE(B);" in shown, "the breakpoint is marked", shown)
            tmux.keys("F9")
            shown = tmux.wait_for("breakpoint: line 7: WRITE(B)", "F9: on to the breakpoint")
            check("B = 21" in shown, "B after both IFs", shown)

            tmux.keys("F7")
            shown = tmux.wait_for("instruction: line 7: WRITE(B)", "F7: one instruction")
            check("SP=221E" in shown, "the push of the WRITE", shown)
            check("stack     0015 <- top" in shown, "the word pushed", shown)

            tmux.keys("c")
            shown = tmux.wait_for("the program has ended - q leaves", "c: on to the end")
            check("21" in [row.strip() for row in shown.splitlines()], "the output", shown)
            tmux.keys("q")
            deadline = time.time() + 20
            while not os.path.exists(done) and time.time() < deadline:
                time.sleep(0.05)
            check(os.path.exists(done), "q ends pas2asm-run", tmux.screen())
            with open(done) as f:
                code = f.read().strip()
            check(code == "0", f"exit code 0, not {code}", tmux.screen())
            shown = tmux.screen()
            check("pas2asm-run --step" not in shown, "the screen is given back", shown)
        finally:
            tmux("kill-server", check=False)
    print("ok")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except AssertionError as e:
        print(e)
        sys.exit(1)
