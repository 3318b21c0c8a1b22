#!/usr/bin/env python3
"""The console on a terminal: the compiler run with its standard output on a pseudo-terminal.

    terminal.py --compiler PATH [--runner PAS2ASM_RUN]

On a terminal whose locale (LC_ALL, then LC_CTYPE, then LANG) names UTF-8, the CP866 texts must
arrive as UTF-8, BEL, CR and LF as they are; with any other locale, or with the output in a pipe,
the bytes are the CP866 bytes of today. The expected texts are written out here as UTF-8 and
turned into CP866 with Python's own codec, which the compiler's table does not share.
"""

import argparse
import os
import pty
import select
import subprocess
import sys
import termios
import tempfile

# An unknown name in line 5: the error line, then the wait for Enter meets the end of the input.
SOURCE = b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  a := 1;\r\n  b := 2;\r\nEND.\r\n"
ERROR_LINE = "\r\n\aError: Ошибка в строке 5: Unknown identifier B Expected.\r\n"
# A byte of every row of the code page's upper half, echoed by the unknown-character message.
UPPER = bytes([0x80, 0x9F, 0xA0, 0xB3, 0xC4, 0xDB, 0xE0, 0xF0, 0xFF])


def on_terminal(argv, cwd, env):
    """Runs argv with standard output and error on a pseudo-terminal whose line discipline
    passes bytes as they are; standard input at its end. Returns (exit code, bytes shown)."""
    master, slave = pty.openpty()
    attrs = termios.tcgetattr(slave)
    attrs[1] &= ~termios.OPOST  # no LF -> CR LF on the way out
    termios.tcsetattr(slave, termios.TCSANOW, attrs)
    proc = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=slave,
                            stderr=slave, close_fds=True)
    os.close(slave)
    shown = bytearray()
    while True:
        ready, _, _ = select.select([master], [], [], 30)
        if not ready:
            proc.kill()
            raise SystemExit("the compiler did not end within 30 s")
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the other side is gone
            break
        if not chunk:
            break
        shown += chunk
    os.close(master)
    return proc.wait(), bytes(shown)


def environment(**locale):
    env = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_CTYPE", "LANG")}
    env.update(locale)
    return env


UTF8_LOCALES = [dict(LANG="ru_RU.UTF-8"), dict(LC_CTYPE="C.utf8", LANG="C"),
                dict(LC_ALL="en_US.UTF-8", LC_CTYPE="C")]
OTHER_LOCALES = [dict(), dict(LANG="C"), dict(LC_ALL="C", LANG="ru_RU.UTF-8"),
                 dict(LC_CTYPE="ru_RU.CP866", LANG="ru_RU.UTF-8")]


def check_compiler(compiler, work, failures):
    cases = [(SOURCE, ERROR_LINE)]
    for byte in UPPER:
        text = bytes([byte]).decode("cp866")
        cases.append((bytes([byte]), f"\r\n\aError: Неизвестный символ:{text} Expected.\r\n"))
    for source, expected in cases:
        with open(os.path.join(work, "source.pas"), "wb") as f:
            f.write(source)
        for locales, encoding in ((UTF8_LOCALES, "utf-8"), (OTHER_LOCALES, "cp866")):
            for locale in locales:
                code, shown = on_terminal([compiler, "source.pas"], work, environment(**locale))
                if (code, shown) != (1, expected.encode(encoding)):
                    failures.append(f"{locale} {source[:3]!r}: exit {code}, shown {shown!r}")
        # A pipe gets the CP866 bytes whatever the locale.
        piped = subprocess.run([compiler, "source.pas"], cwd=work, stdin=subprocess.DEVNULL,
                               capture_output=True, env=environment(LANG="ru_RU.UTF-8"))
        if piped.stdout != expected.encode("cp866"):
            failures.append(f"pipe {source[:3]!r}: {piped.stdout!r}")


# The re-parse dialogue of the WRITE text, then the program prints the text and the number.
RUN_SOURCE = ("PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n  a := 7;\r\n  WRITE('Итог ', a);\r\n"
              "END.\r\n").encode("cp866")


def check_runner(runner, compiler, work, failures):
    source = os.path.join(work, "run.pas")
    with open(source, "wb") as f:
        f.write(RUN_SOURCE)
    argv = [runner, "--compiler", compiler, source]
    piped = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True)
    if piped.returncode != 0 or "Итог ".encode("cp866") not in piped.stdout:
        failures.append(f"pas2asm-run in a pipe: exit {piped.returncode}, {piped.stdout!r}")
        return
    both = piped.stderr + piped.stdout
    for locale, expected in ((dict(LANG="ru_RU.UTF-8"), both.decode("cp866").encode("utf-8")),
                             (dict(LANG="C"), both)):
        code, shown = on_terminal(argv, work, environment(**locale))
        if (code, shown) != (0, expected):
            failures.append(f"pas2asm-run {locale}: exit {code}, shown {shown!r}, "
                            f"expected {expected!r}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--compiler", required=True)
    parser.add_argument("--runner", help="pas2asm-run, tried the same way")
    options = parser.parse_args()
    compiler = os.path.abspath(options.compiler)
    failures = []
    with tempfile.TemporaryDirectory(prefix="terminal-") as work:
        check_compiler(compiler, work, failures)
        if options.runner:
            check_runner(os.path.abspath(options.runner), compiler, work, failures)
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
