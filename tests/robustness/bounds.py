#!/usr/bin/env python3
"""Inputs at the size bounds compile, or are refused as they should be, through the real binary.

    bounds.py --compiler PATH

Sizes are moderate so that the sanitizer build also runs this in seconds; how time and memory
grow with the size is measured by measure_bounds.py beside this file, not here.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HEAD = b"PROGRAM P;\r\nVAR a : INTEGER;\r\nBEGIN\r\n"
TAIL = b"END.\r\n"

RETRY = "Синтаксический анализатор попытаеться разобрать это правило еще раз.".encode("cp866")
REFUSAL = "Данное правило не подлежит повторному разбору.".encode("cp866")
REPARSED = "Синтаксический аналитор удачно разобрал правило.".encode("cp866")
PARSE_ERROR = "\r\n\aError: Ошибка разбора  Expected.\r\n".encode("cp866")
UNCLOSED = "\r\n\aError: Коментарий не закрыт: } Expected.\r\n".encode("cp866")
# One successful re-parse in the syntax check: the error, the retry text, the wait, the success.
DIALOGUE = PARSE_ERROR + RETRY + b"\r\n\a" + REPARSED + b"\r\n"


def too_deep(line):
    return f"\r\n\aError: Ошибка в строке {line}: nesting too deep.\r\n".encode("cp866")


class Failure(Exception):
    pass


class Compiler:
    def __init__(self, path):
        self.path = path

    def run(self, source):
        """Compiles source with standard input at its end; returns (exit, stdout, stderr, out1)."""
        workdir = tempfile.mkdtemp(prefix="bounds-")
        try:
            with open(os.path.join(workdir, "source.pas"), "wb") as f:
                f.write(source)
            proc = subprocess.run([self.path, "source.pas"], cwd=workdir, stdin=subprocess.DEVNULL,
                                  capture_output=True, timeout=120)
            out1 = os.path.join(workdir, "out1.asm")
            made = open(out1, "rb").read() if os.path.exists(out1) else None
            return proc.returncode, proc.stdout, proc.stderr, made
        finally:
            shutil.rmtree(workdir, ignore_errors=True)

    def compiles(self, source, console=b""):
        code, out, err, out1 = self.run(source)
        if code != 0 or out != console or err != b"" or out1 is None:
            raise Failure(f"expected a silent successful run; exit {code}, "
                          f"console {shorten(out)}, stderr {shorten(err)}")
        return out1

    def refuses(self, source, console):
        code, out, err, out1 = self.run(source)
        if code != 1 or out != console or err != b"" or out1 is not None:
            raise Failure(f"expected exit 1 with console {shorten(console)}; exit {code}, "
                          f"console {shorten(out)}, stderr {shorten(err)}, "
                          f"out1.asm {'made' if out1 is not None else 'not made'}")


def shorten(data):
    return repr(data) if len(data) < 300 else repr(data[:150]) + f"...({len(data)} bytes)..." + \
        repr(data[-150:])


def program(body):
    return HEAD + body + TAIL


def long_identifier(cc):
    # Only the first 16 characters of a word count: a 1 MB name is the same variable as its start.
    name = b"Q" + b"w" * (1 << 20)
    body = b"  " + name + b" := 1;\r\n  WRITE(" + name + b");\r\n"
    source = b"PROGRAM P;\r\nVAR " + name + b" : INTEGER;\r\nBEGIN\r\n" + body + TAIL
    short = name[:16]
    expected = cc.compiles(source.replace(name, short))
    if cc.compiles(source) != expected:
        raise Failure("a 1 MB identifier does not translate like its first 16 characters")


def nested_comments(cc):
    depth = 100000
    comment = b"{" * depth + b" x " + b"}" * depth
    plain = program(b"  a := 1;\r\n")
    expected = cc.compiles(plain)
    # Between tokens, and inside a keyword, comments vanish at any depth of nesting.
    if cc.compiles(program(b"  a " + comment + b":= 1;\r\n")) != expected:
        raise Failure("a comment nested 100 000 deep between tokens changed the translation")
    if cc.compiles(program(b"  a :" + comment + b"= 1;\r\n")) != expected:
        raise Failure("a comment nested 100 000 deep inside := changed the translation")
    unclosed = b"{" * depth + b"}" * (depth - 1)
    cc.refuses(program(b"  a := 1;\r\n" + unclosed), UNCLOSED)


def statement_nesting(cc):
    # Each form opens one level per statement; 1000 levels are translated, the 1001st is refused.
    forms = {
        "WHILE": (b"WHILE a > 0 DO\r\n", b"", "Начало цикла WHILE"),
        "FOR": (b"FOR a := 1 TO 2 DO\r\n", b"", "Начало цикла FOR"),
        "REPEAT": (b"REPEAT a := 1;\r\n", b"UNTIL a > 0;\r\n", "Начало цикла REPEAT"),
        "IF-ELSE": (b"IF a > 0 THEN\r\n", b"ELSE a := 2\r\n", "Начало условного оператора IF"),
    }
    for name, (opener, closer, start_comment) in forms.items():
        inner = b"a := 1\r\n" if name == "IF-ELSE" else b"a := 1;\r\n"
        last = b";\r\n" if name == "IF-ELSE" else b""
        for depth in (1000, 1001):
            source = program(opener * depth + inner + closer * depth + last)
            try:
                if depth == 1000:
                    out1 = cc.compiles(source)
                    starts = out1.count(start_comment.encode("cp866"))
                    if starts != depth:
                        raise Failure(f"{starts} statements translated")
                else:
                    # The lines of HEAD are 1 to 3; the 1001st opener stands in line 1004, and so
                    # does the character after its keyword, where the line is counted.
                    cc.refuses(source, too_deep(1004))
            except Failure as e:
                raise Failure(f"{name} nested {depth} deep: {e}")


def write_many_variables(cc):
    count = 100000
    one = cc.compiles(program(b"  WRITE(a);\r\n"))
    # The code that prints one INTEGER variable.
    block = (b" push ax\r\n mov ax, _A\r\n mov di, offset result\r\n call ToOct\r\n"
             b" mov dx, offset result\r\n call Write\r\n pop ax\r\n")
    if one.count(block) != 1:
        raise Failure("WRITE(a) does not hold the code that prints an INTEGER exactly once")
    names = b", ".join([b"a"] * count)
    many = cc.compiles(program(b"  WRITE(" + names + b");\r\n"))
    if many != one.replace(block, block * count):
        raise Failure(f"WRITE with {count} variables does not print each of them in turn")


def write_many_texts(cc):
    count = 10000
    body = b"".join(b"  WRITE('t%d');\r\n" % i for i in range(count))
    out1 = cc.compiles(program(body), console=DIALOGUE * count)
    lines = out1.split(b"\r\n")
    pool = lines[4:4 + count]
    expected = [b'_msg%d  db  "t%d","$" ' % (i, i) for i in range(count)]
    if pool != expected:
        wrong = next(i for i in range(count) if i >= len(pool) or pool[i] != expected[i])
        raise Failure(f"text {wrong} of the pool: {pool[wrong] if wrong < len(pool) else None!r}")


def reparse_many_ifs(cc):
    # Every IF without ELSE is re-parsed after moving the source back; the line count must come
    # out right after all of them.
    count = 10000
    body = b"  IF a > 1 THEN a := 2;\r\n" * count
    out1 = cc.compiles(program(body), console=DIALOGUE * count)
    if out1.count(b"     cmp     AX, 1\r\n") != count:
        raise Failure(f"not {count} conditional jumps in out1.asm")
    last_line = 3 + count + 1
    error = f"\r\n\aError: Ошибка в строке {last_line}: ;  Expected.\r\n".encode("cp866")
    cc.refuses(program(body + b"  a := 1 a := 2;\r\n"),
               DIALOGUE * count + error + RETRY + b"\r\n" + REFUSAL + b"\r\n")


CASES = [long_identifier, nested_comments, statement_nesting, write_many_variables,
         write_many_texts, reparse_many_ifs]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--compiler", required=True)
    options = parser.parse_args()
    cc = Compiler(os.path.abspath(options.compiler))
    failed = 0
    for case in CASES:
        try:
            case(cc)
            print(f"ok   {case.__name__}")
        except Failure as e:
            failed += 1
            print(f"FAIL {case.__name__}: {e}")
    print(f"{len(CASES) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
