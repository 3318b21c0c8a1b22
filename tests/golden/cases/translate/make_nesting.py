#!/usr/bin/env python3
"""Writes the two deep-nesting cases of this folder (source.pas, exit, files/out1.asm).

The sources are too long to type and their expected text is a long repetition, so both are
produced here from the line texts of the generated program; run this script again after changing
it and commit what it writes. The deepest legal program has 1000 open levels, where a
parenthesised factor and an open WHILE count one each.

    nesting_parens_1000        X := (((...(1)...)));   1000 parentheses
    nesting_while_parens_1000  WHILE ((...(X)...)) DO X := 1;   WHILE plus 999 parentheses
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))

HEAD = "PROGRAM DEEP;\nVAR X : INTEGER;\nBEGIN\n"
TAIL = "END.\n"

# Every expression inside parentheses is followed by ")", so its relation level pushes the value
# and pops it straight back; the expression of the assignment does the same before ";".
PUSH_POP = ["      push    AX", "      pop     AX"]


def write_case(name, source, body_lines):
    folder = os.path.join(HERE, name)
    os.makedirs(os.path.join(folder, "files"), exist_ok=True)
    with open(os.path.join(folder, "source.pas"), "w", newline="\n") as f:
        f.write(source)
    with open(os.path.join(folder, "exit"), "w") as f:
        f.write("0\n")
    lines = ["@@HEADER@@", " _X DW ?", "@@CODESTART@@"] + body_lines + ["@@EXIT@@", "@@RUNTIME@@"]
    with open(os.path.join(folder, "files", "out1.asm"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def parens_1000():
    depth = 1000
    source = HEAD + "  X := " + "(" * depth + "1" + ")" * depth + ";\n" + TAIL
    body = ["      MOV     AX, 1"]
    body += PUSH_POP * depth  # one per parenthesised expression
    body += PUSH_POP  # the assignment's own expression, followed by ";"
    body += ["      mov     _X, AX"]
    write_case("nesting_parens_1000", source, body)


def while_parens_1000():
    depth = 999
    source = (HEAD + "  WHILE " + "(" * depth + "X" + ")" * depth + " DO X := 1;\n" + TAIL)
    body = ["  ;Начало цикла WHILE ", "L0:", "      MOV     AX, _X"]
    body += PUSH_POP * depth  # the condition itself ends at DO: no pair for it
    body += ["      cmp     AX, 1", "      jne     L1"]
    body += ["      MOV     AX, 1"] + PUSH_POP + ["      mov     _X, AX"]
    body += ["      jmp L0", "L1:", "  ;Конец цикла WHILE"]
    write_case("nesting_while_parens_1000", source, body)


if __name__ == "__main__":
    parens_1000()
    while_parens_1000()
