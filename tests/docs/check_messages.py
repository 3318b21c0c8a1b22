#!/usr/bin/env python3
"""Every console text of the compiler has its entry in the guides' lists of messages.

    check_messages.py --src SRC_DIR GUIDE...
    check_messages.py --self-test

The texts are found in the sources wherever they stand, by what builds them:

  - the Russian texts, Cp866 kName(u8"..."): the comment lines of out1.asm (" ;...") must be in
    the guide; every other one is a console text;
  - the calls of the routines that print an error line or a refusal (FORMS below) whose first
    argument is a text: a literal, a named constant, LinePrefix(), or made of them; anything
    else in the arguments stands for a part that varies (the line number, a token, a file name);
  - the names of the I/O failures: what the failure names switch returns, and the texts handed
    to IoFailure.

A call of one of these routines inside the definition of another is how they are built, not a
text of its own. In a guide, an entry of the list is a heading that is all code: the text as a
UTF-8 terminal shows it, each varying part written <like this>. Checked, for each guide:

  1. every text found in the sources has an entry (a failure name: is named in the entries);
  2. every entry is a text the sources build;
  3. the examples of each entry show its text, unless the entry says, with the line
     <!-- not printed -->, that the syntax check reports the same mistake first.

Whether the examples show what the compiler prints is check_guides.py's business.
"""

import argparse
import os
import re
import sys
import tempfile

LINE_PREFIX = "Ошибка в строке <>"
# How each routine makes its console line from its arguments; "{0}" is the first argument.
FORMS = {
    "ExpectedInLine": "Error: " + LINE_PREFIX + "{0}{1} Expected.",
    "FatalInLine": "Error: " + LINE_PREFIX + "{0}{1}.",
    "Fail": "Error: " + LINE_PREFIX + "{0} Expected.",
    "LineError": "Error: " + LINE_PREFIX + "{0} Expected.",
    "ExpectedError": "Error: {0} Expected.",
    "CheckExpectedError": "Error: {0} Expected.",
    "FatalError": "Error: {0}.",
    "Refuse": "pas2asm: {0}: {1} ({2})",
    "RefuseCommandLine": "{0}",
    "Report": "{0}",
}
VARYING = "<>"  # a part that varies, in a text found in the sources
CP866 = re.compile(r'\bCp866\s+(k\w+)\s*\(\s*u8"((?:[^"\\]|\\.)*)"\s*\)')
CONSTANT = re.compile(r'\bconstexpr\s+(?:std::string_view|const\s+char\s*\*)\s*(k\w+)\s*=\s*'
                      r'((?:"(?:[^"\\]|\\.)*"\s*)+);')
FAILURE_NAME = re.compile(r'\bcase\s+E[A-Z0-9]+:\s*(?:case\s+E[A-Z0-9]+:\s*)*return\s+"([^"]+)";')
DEFINITION = re.compile(r"^[A-Za-z\[][^;{}()]*?\b(\w+)\s*\([^;{}]*\)\s*(?:const\s*)?\{\s*$", re.M)
ESCAPES = {"n": "\n", "r": "\r", "a": "\a", "t": "\t", "0": "\0", '"': '"', "\\": "\\", "'": "'"}
NOT_PRINTED = "<!-- not printed -->"


def unescape(literal):
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)), literal)


def visible(text):
    return re.sub(r"[\x00-\x1f]", "", text)


# The compiler's modules; the runner's (asm, machine, runner, and its part of os) speak for
# themselves in pas2asm-run's help.
COMPILER_MODULES = ("driver", "lex", "sin", "kod", "sinreset", "os")
RUNNER_FILES = ("process",)


def read_sources(src):
    texts = {}
    for root, _, names in os.walk(src):
        module = os.path.relpath(root, src).split(os.sep)[0]
        if module != "." and module not in COMPILER_MODULES:
            continue
        for name in sorted(names):
            if name.startswith(RUNNER_FILES):
                continue
            if name.endswith((".cpp", ".h")):
                path = os.path.join(root, name)
                with open(path, encoding="utf-8") as f:
                    texts[os.path.relpath(path, src)] = f.read()
    return texts


def without_builders(text):
    """The text with the definitions of the FORMS routines blanked: the calls in them pass
    their own arguments on."""
    out, at = [], 0
    for m in DEFINITION.finditer(text):
        if m.group(1) not in FORMS or m.start() < at:
            continue
        end = text.find("\n}\n", m.end())
        end = len(text) if end < 0 else end + 3
        out.append(text[at:m.start()])
        at = end
    out.append(text[at:])
    return "".join(out)


def split_top_level(text, separator):
    """text split at the separators outside brackets and string literals, up to the first bracket
    that closes one it did not open (a call's ")")."""
    pieces, depth, start, i = [], 0, 0, 0
    while i < len(text):
        c = text[i]
        if c == '"':
            i += 1
            while text[i] != '"':
                i += 2 if text[i] == "\\" else 1
        elif c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth < 0:
                break
        elif c == separator and depth == 0:
            pieces.append(text[start:i].strip())
            start = i + 1
        i += 1
    pieces.append(text[start:i].strip())
    return pieces


def arguments(text, open_paren):
    """The arguments of the call whose "(" is at open_paren."""
    args = split_top_level(text[open_paren + 1:], ",")
    return [] if args == [""] else args


def resolve(argument, constants):
    """An argument as text, VARYING for what is not known here; None when nothing of it is."""
    parts, known = [], False
    for term in split_top_level(argument, "+"):
        literals = re.findall(r'(?:u8)?"((?:[^"\\]|\\.)*)"', term)
        name = re.fullmatch(r"(k\w+)(?:\.(?:str|view)\(\))?", term)
        if literals:
            # Literals side by side are one; a macro between them varies.
            pieces = re.split(r'(?:u8)?"(?:[^"\\]|\\.)*"', term)
            for k, literal in enumerate(literals):
                if pieces[k].strip():
                    parts.append(VARYING)
                parts.append(unescape(literal))
            if pieces[-1].strip():
                parts.append(VARYING)
            known = True
        elif name and name.group(1) in constants:
            parts.append(constants[name.group(1)])
            known = True
        elif term == "LinePrefix()":
            parts.append(LINE_PREFIX)
        else:
            parts.append(VARYING)
    return "".join(parts) if known else None


def texts_of(sources):
    """What the sources print: (console lines, with VARYING for each part that varies; the
    Russian texts they are made of; failure names; out1.asm comment lines)."""
    constants = {}
    for text in sources.values():
        for name, value in CP866.findall(text):
            constants[name] = unescape(value)
        for name, value in CONSTANT.findall(text):
            constants[name] = unescape("".join(re.findall(r'"((?:[^"\\]|\\.)*)"', value)))
    console, russian, failures, comments = set(), set(), set(), set()
    for text in sources.values():
        for _, value in CP866.findall(text):
            (comments if value.startswith(" ;") else russian).add(unescape(value))
        failures.update(FAILURE_NAME.findall(text))
        text = without_builders(text)
        for m in re.finditer(r"\bIoFailure\s*\(", text):
            name = resolve(arguments(text, m.end() - 1)[0], constants)
            if name is not None:
                failures.add(name.split(VARYING)[0].strip())
        for routine, form in FORMS.items():
            for m in re.finditer(r"(?<![\w.>:])" + routine + r"\s*\(", text):
                args = [resolve(a, constants) for a in arguments(text, m.end() - 1)]
                if not args or args[0] is None:
                    continue  # passes on what it was given, or is another routine of that name
                filled = [VARYING if a is None else a for a in args] + ["", "", ""]
                console.add(normal(visible(form.format(*filled))))
    return console, russian, failures, comments


def normal(text):
    """Varying parts side by side are one."""
    while VARYING + VARYING in text:
        text = text.replace(VARYING + VARYING, VARYING)
    return text


def heading_text(title):
    return normal(re.sub(r"<[^<>]+>", VARYING, title))


def shown_pattern(title):
    """An entry's text as a regular expression for a line its examples show."""
    return "".join(".*?" if re.fullmatch(r"<[^<>]+>", p) else re.escape(p)
                   for p in re.split(r"(<[^<>]+>)", title))


def entries(guide):
    """The entries of a guide's lists: (heading text, body, line)."""
    with open(guide, encoding="utf-8") as f:
        lines = f.read().split("\n")
    found, current, in_code = [], None, False
    for number, line in enumerate(lines, 1):
        if line.startswith("```"):
            in_code = not in_code
        heading = None if in_code else re.match(r"^#{1,6}\s+(.*?)\s*$", line)
        if heading:
            if current:
                found.append(current)
            code = re.fullmatch(r"`([^`]+)`", heading.group(1))
            current = (code.group(1), [], number) if code else None
        elif current:
            current[1].append(line)
    if current:
        found.append(current)
    return [(title, "\n".join(body), line) for title, body, line in found]


def shown_lines(body):
    """The lines that the console blocks of an entry show: no commands, no exit codes."""
    shown, in_console, exit_code_next = [], False, False
    for line in body.split("\n"):
        if line.startswith("```"):
            in_console = line.strip() == "```console"
        elif in_console:
            if exit_code_next or line.startswith("$ "):
                exit_code_next = line == "$ echo $?"
                continue
            shown.append(line)
    return shown


def check(sources, guide):
    console, russian, failure_names, comments = texts_of(sources)
    listed = entries(guide)
    with open(guide, encoding="utf-8") as f:
        whole = f.read()
    problems = []
    headings = {heading_text(title) for title, _, _ in listed}
    for text in sorted(console - headings):
        problems.append(f"no entry for the console text {text!r}")
    for text in sorted(russian):
        if not any(text in title for title, _, _ in listed):
            problems.append(f"the text {text!r} is in no entry")
    listing = "\n".join(body for _, body, _ in listed)
    for name in sorted(failure_names):
        if name not in listing:
            problems.append(f"the I/O failure {name!r} is named in no entry")
    for comment in sorted(comments):
        if comment not in whole:
            problems.append(f"the out1.asm comment line {comment!r} is not in the guide")
    for title, body, line in listed:
        if heading_text(title) not in console and title not in russian:
            problems.append(f"line {line}: {title!r} is no text of the compiler")
        if NOT_PRINTED in body:
            continue
        if not any(re.fullmatch(shown_pattern(title), s) for s in shown_lines(body)):
            problems.append(f"line {line}: the examples of {title!r} do not show it")
    found = len(console) + len(russian) + len(failure_names) + len(comments)
    return problems, found, len(listed)


SELF_TEST_SOURCE = r'''
namespace {
constexpr Cp866 kRetry(u8"Once more.");
constexpr Cp866 kStart(u8" ;Start of IF ");
}
[[noreturn]] void Fail(const char *suffix) {
  ExpectedInLine(suffix);
}
void F() {
  Fail(": THEN");
  ExpectedInLine(": Unknown ", TokenText);
  WriteConsole(kRetry.str() + "\r\n");
}
std::string FailureName(int err) {
  switch (err) {
  case ENOENT:
    return "File not found";
  }
}
'''
SELF_TEST_GUIDE = """# Messages
### `Error: Ошибка в строке <line>: THEN Expected.`
```console
$ pas2asm a.pas

Error: Ошибка в строке 3: THEN Expected.
$ echo $?
1
```
### `Error: Ошибка в строке <line>: Bogus Expected.`
### `Once more.`
<!-- not printed -->
### `pas2asm: I/O error: <failure>: <file>`
"""


def self_test():
    """A text without an entry, an entry that is no text, an entry whose example is missing and
    a failure name and a comment line never named must all be seen; a good entry must pass."""
    with tempfile.TemporaryDirectory() as tmp:
        guide = os.path.join(tmp, "guide.md")
        with open(guide, "w", encoding="utf-8") as f:
            f.write(SELF_TEST_GUIDE)
        problems, _, _ = check({"a.cpp": SELF_TEST_SOURCE}, guide)
    expected = {
        "no entry for the console text 'Error: Ошибка в строке <>: Unknown <> Expected.'",
        "the I/O failure 'File not found' is named in no entry",
        "the out1.asm comment line ' ;Start of IF ' is not in the guide",
        "line 10: 'Error: Ошибка в строке <line>: Bogus Expected.' is no text of the compiler",
        "line 10: the examples of 'Error: Ошибка в строке <line>: Bogus Expected.' do not show it",
        "line 13: 'pas2asm: I/O error: <failure>: <file>' is no text of the compiler",
        "line 13: the examples of 'pas2asm: I/O error: <failure>: <file>' do not show it",
    }
    ok = set(problems) == expected
    print("self-test: " + ("ok" if ok else "FAILED, found: " + repr(sorted(problems))))
    return 0 if ok else 1


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--src")
    ap.add_argument("--self-test", action="store_true")
    ap.add_argument("guides", nargs="*")
    args = ap.parse_args()
    if args.self_test:
        return self_test()
    sources = read_sources(args.src)
    failed = False
    for guide in args.guides:
        problems, texts, listed = check(sources, guide)
        for problem in problems:
            print(f"FAIL {guide}: {problem}")
        print(f"{guide}: {texts} texts of the compiler, {listed} entries; "
              f"{len(problems)} problems")
        failed |= bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
