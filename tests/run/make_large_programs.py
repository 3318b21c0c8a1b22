#!/usr/bin/env python3
"""Writes the two large programs of programs/ and what they must print, derived from how they are
built, not from a run. Each has an image (code and data) larger than 64 KiB, so a stack placed
where DOS puts it without a stack segment (64 KiB above the image's start) lies inside the
image, and the pushed words show up in the middle of a printed text.

  large_image_strings  210 STRING variables (all the compiler allows), each read from a line of
                       its own, doubled by a concatenation and printed;
  large_image_texts    reads nothing (so DOSBox runs it too): a sum of 2000 ones for code, then
                       200 WRITE texts of 250 characters each for data, each printed.

    make_large_programs.py [FOLDER]     (default: programs/ beside this file)
"""

import sys
from pathlib import Path

RAMP = "ABCDEFGHIJKLMNOPQRSTUVWXYZ-abcdefghijklmnopqrstuvwxyz-012345"  # 60 characters, no quote or $
CRLF = "\r\n"


def text(tag, length):
    return (tag + RAMP * 5)[:length]


def groups(names, size=10):
    return [", ".join(names[i : i + size]) for i in range(0, len(names), size)]


def strings_program():
    names = [f"S{k:03d}" for k in range(1, 211)]
    lines = ["PROGRAM BIGSTR;", "VAR"]
    lines += [f"  {g}," for g in groups(names)[:-1]] + [f"  {groups(names)[-1]} : STRING;", "BEGIN"]
    lines += [f"  READ({g});" for g in groups(names)]
    lines += [f"  {n} := {n} + {n};" for n in names]
    lines += [f"  WRITE({g});" for g in groups(names)]
    lines.append("END.")
    # Each READ item takes one line; a STRING keeps the line's CR LF, so the doubled variable
    # holds line, CR LF, line, CR LF: 2 * 122 bytes, below the 254 that a result is cut at.
    given = [text(f"{n}:", 120) for n in names]
    output = "".join((line + CRLF) * 2 for line in given)
    return lines, "".join(line + "\n" for line in given), output


def texts_program(dialogue):
    lines = ["PROGRAM BIGTXT;", "VAR A : INTEGER;", "BEGIN", "  A := 1" + " + 1" * 1999 + ";", "  WRITE(A);"]
    texts = [text(f"T{k:03d}:", 250) for k in range(1, 201)]
    lines += [f"  WRITE('{t}');" for t in texts]
    lines += ["  WRITE(A);", "END."]
    # Every INTEGER printed starts a new line; a text is printed where the cursor stands. Each
    # WRITE with a text costs the syntax check one re-parse, with its dialogue on the console.
    output = CRLF + "2000" + "".join(texts) + CRLF + "2000"
    return lines, output, dialogue * len(texts)


def main(argv):
    folder = Path(argv[0]) if argv else Path(__file__).resolve().parent / "programs"
    lines, given, output = strings_program()
    (folder / "large_image_strings.pas").write_bytes((CRLF.join(lines) + CRLF).encode("ascii"))
    (folder / "large_image_strings.in").write_bytes(given.encode("ascii"))
    (folder / "large_image_strings.out").write_bytes(output.encode("ascii"))
    # The dialogue of one re-parsed WRITE, as reviewed in write_literal_dialogue.console.
    dialogue = (folder / "write_literal_dialogue.console").read_bytes()
    lines, output, console = texts_program(dialogue)
    (folder / "large_image_texts.pas").write_bytes((CRLF.join(lines) + CRLF).encode("ascii"))
    (folder / "large_image_texts.out").write_bytes(output.encode("ascii"))
    (folder / "large_image_texts.console").write_bytes(console)


if __name__ == "__main__":
    main(sys.argv[1:])
