#!/usr/bin/env python3
"""Generates a large program that both passes of the compiler accept without a dialogue.

The program uses one VAR group (the pre-check takes only one, so every variable is an INTEGER),
gives every IF an ELSE, writes only variables and has no string literal and no comment anywhere.
Statements mix assignments with nested expressions, IF/ELSE, WHILE, FOR, REPEAT, READ and WRITE,
with blocks nested at most a few levels deep. The same size and seed always give the same bytes.

With --pascal the same program is written with "div" for "/", which makes it a valid program for
an ordinary Pascal compiler in its Turbo Pascal mode (the reference figure of the benchmark); the
two texts differ in nothing else. Conditions put their relations in parentheses around AND and OR,
loop counters are never assigned inside their loops and constants stay within 0..32767, so that
the Pascal reading is accepted too.

Usage: gen.py SIZE [--seed N] [--pascal] [-o FILE]
SIZE is a byte count with an optional K or M suffix (1K, 10M); the text ends less than one top-level
statement (at most a few kilobytes) above it.
"""

import argparse
import random
import sys

GENERAL = [f"V{i}" for i in range(1, 41)]  # assigned, read, written
COUNTERS = [f"I{i}" for i in range(1, 5)]  # FOR counters, one per nesting level
MAX_DEPTH = 3  # statements nested in blocks; expression nesting is bounded separately


class Generator:
    def __init__(self, seed, pascal):
        self.rnd = random.Random(seed)
        self.div = " div " if pascal else " / "
        self.live_counters = []  # counters of the FOR loops around the current statement

    # Expressions -------------------------------------------------------------------------------

    def number(self, small=False):
        r = self.rnd.random()
        if small or r < 0.6:
            return str(self.rnd.randint(0, 99))
        if r < 0.9:
            return str(self.rnd.randint(100, 999))
        return str(self.rnd.randint(1000, 32767))

    def readable(self):
        # Counters of enclosing loops may be read; assigning them is what is avoided.
        pool = GENERAL if not self.live_counters or self.rnd.random() < 0.8 else self.live_counters
        return self.rnd.choice(pool)

    def factor(self, depth, allow_const=True):
        """Returns the text and whether it is a constant (no variable in it)."""
        r = self.rnd.random()
        if depth > 0 and r < 0.15:
            text, const = self.sum(depth - 1)
            if const and not allow_const:
                return self.readable(), False
            return "(" + text + ")", const
        if r < 0.65 or not allow_const:
            return self.readable(), False
        return self.number(small=True), True

    def divisor(self):
        # A divisor is a variable or a literal above 0, never a parenthesised constant that a
        # compiler could fold to 0; a variable may be 0 at run time, which is not our concern.
        if self.rnd.random() < 0.5:
            return str(self.rnd.randint(1, 99))
        return self.readable()

    def term(self, depth, first):
        # At most one constant factor per term, so that no product of constants can overflow
        # 16 bits when a compiler folds it.
        text, const = self.factor(depth)
        seen_const = const
        if first and self.rnd.random() < 0.08:
            text = "-" + text  # only the first factor of a sum may carry a sign
        for _ in range(self.rnd.choice((0, 0, 0, 1, 1, 2))):
            if self.rnd.random() < 0.6:
                more, more_const = self.factor(depth, allow_const=not seen_const)
                text += " * " + more
                const = const and more_const
                seen_const = seen_const or more_const
            else:
                more = self.divisor()
                text += self.div + more
                const = const and more[0].isdigit()
        return text, const

    def sum(self, depth):
        text, const = self.term(depth, True)
        for _ in range(self.rnd.choice((0, 1, 1, 2, 2, 3))):
            more, more_const = self.term(depth, False)
            text += self.rnd.choice((" + ", " - ")) + more
            const = const and more_const
        return text, const

    def expression(self):
        if self.rnd.random() < 0.2:
            return self.number()
        return self.sum(2)[0]

    def relation(self):
        op = self.rnd.choice(("=", "<", ">", "<=", ">=", "<>"))
        return self.sum(1)[0] + " " + op + " " + self.sum(1)[0]

    def condition(self):
        r = self.rnd.random()
        if r < 0.65:
            return self.relation()
        if r < 0.8:
            return "(" + self.relation() + ") AND (" + self.relation() + ")"
        if r < 0.92:
            return "(" + self.relation() + ") OR (" + self.relation() + ")"
        return "NOT (" + self.relation() + ")"

    # Statements -------------------------------------------------------------------------------

    def names(self, most):
        return ", ".join(self.rnd.choice(GENERAL) for _ in range(self.rnd.randint(1, most)))

    def body(self, depth, indent):
        """A branch or loop body: one simple statement or a BEGIN ... END block."""
        if depth >= MAX_DEPTH or self.rnd.random() < 0.4:
            return self.simple()
        pad = "  " * (indent + 1)
        lines = ["BEGIN"]
        for _ in range(self.rnd.randint(1, 4)):
            lines.append(pad + self.statement(depth + 1, indent + 1) + ";")
        lines.append("  " * indent + "END")
        return "\n".join(lines)

    def simple(self):
        r = self.rnd.random()
        if r < 0.7:
            return self.rnd.choice(GENERAL) + " := " + self.expression()
        if r < 0.85:
            return "WRITE(" + self.names(4) + ")"
        return "READ(" + self.names(3) + ")"

    def statement(self, depth, indent):
        r = self.rnd.random()
        if depth >= MAX_DEPTH or r < 0.55:
            return self.simple()
        if r < 0.72:
            pad = "  " * indent
            return ("IF " + self.condition() + " THEN " + self.body(depth, indent) + "\n" + pad
                    + "ELSE " + self.body(depth, indent))
        if r < 0.82:
            return "WHILE " + self.condition() + " DO " + self.body(depth, indent)
        if r < 0.92:
            counter = COUNTERS[len(self.live_counters)]
            head = "FOR " + counter + " := " + self.sum(1)[0] + " TO " + self.sum(1)[0] + " DO "
            self.live_counters.append(counter)
            text = head + self.body(depth, indent)
            self.live_counters.pop()
            return text
        pad = "  " * (indent + 1)
        lines = ["REPEAT"]
        for _ in range(self.rnd.randint(1, 3)):
            lines.append(pad + self.statement(depth + 1, indent + 1) + ";")
        lines.append("  " * indent + "UNTIL " + self.condition())
        return "\n".join(lines)


def parse_size(text):
    scale = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    suffix = text[-1:].upper()
    if suffix in scale:
        return int(float(text[:-1]) * scale[suffix])
    return int(text)


def generate(size, seed, pascal, out):
    gen = Generator(seed, pascal)
    if pascal:
        generate_pascal(gen, size, out)
        return
    head = "PROGRAM BENCH;\nVAR " + ", ".join(GENERAL + COUNTERS) + " : INTEGER;\nBEGIN\n"
    tail = "END.\n"
    out.write(head)
    written = len(head) + len(tail)
    chunk = []
    chunk_len = 0
    while written < size:
        line = "  " + gen.statement(0, 1) + ";\n"
        chunk.append(line)
        chunk_len += len(line)
        written += len(line)
        if chunk_len > (1 << 20):
            out.write("".join(chunk))
            chunk, chunk_len = [], 0
    out.write("".join(chunk))
    out.write(tail)


def generate_pascal(gen, size, out):
    """The same statements, drawn from the same sequence, cut into procedures that the main block
    calls in order: a Pascal compiler that builds a tree of a whole block refuses one block of
    many megabytes. The counters are local to each procedure, as for-loops there require."""
    head = "PROGRAM BENCH;\nVAR " + ", ".join(GENERAL) + " : INTEGER;\n"
    proc_head = "VAR " + ", ".join(COUNTERS) + " : INTEGER;\nBEGIN\n"
    out.write(head)
    written = len(head) + 5  # as in the other reading: the text of the statements decides
    calls = []
    body_len = 0
    while written < size:
        if body_len == 0:
            calls.append("  P%d;\n" % len(calls))
            out.write("PROCEDURE P%d;\n" % (len(calls) - 1) + proc_head)
        line = "  " + gen.statement(0, 1) + ";\n"
        out.write(line)
        written += len(line)
        body_len += len(line)
        if body_len > 8192 or written >= size:
            out.write("END;\n")
            body_len = 0
    out.write("BEGIN\n" + "".join(calls) + "END.\n")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("size")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--pascal", action="store_true", help="write / as div (Pascal reading)")
    ap.add_argument("-o", "--output", help="file to write (default: standard output)")
    args = ap.parse_args()
    size = parse_size(args.size)
    if args.output:
        with open(args.output, "w", encoding="ascii", newline="\n") as f:
            generate(size, args.seed, args.pascal, f)
    else:
        generate(size, args.seed, args.pascal, sys.stdout)


if __name__ == "__main__":
    main()
