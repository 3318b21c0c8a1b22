#!/usr/bin/env python3
"""Strict translator from the MASM subset that pas2asm writes into NASM source for a DOS .EXE.

Only the forms that the compiler's output uses are known; every other line is an error that names
the line, so that a slip in the compiler's templates cannot be papered over by a guess.

The NASM text describes the whole .EXE file, as a MASM assembler and linker would make it for the
small model (nasm -f bin writes it as it stands):

    the MZ header     its fields computed by NASM from the labels below, and one relocation for
                      every "mov reg, @Data"
    _TEXT             every line of .code, at the first paragraph of the image (CS = its start)
    DGROUP            every line of .data, from the next paragraph on, in source order; then, not
                      stored in the file, the stack of ".stack N" (SS = DGROUP, SP = its end)

Offsets are taken in the segment a name lies in: a variable's address is its distance from the
start of DGROUP, so code and data may each fill 64 KiB. "mov AX, @Data" loads DGROUP's paragraph
in the image, to which DOS (or dosrun.py) adds the segment where the image was loaded; it is
assembled as "mov ax, imm16" (B8+r iw), so the relocated word is the byte after the label that
NASM puts in front of it. assemble() refuses an image whose code or DGROUP passes 64 KiB.

MASM rules kept here:
  * names are case-insensitive (Result and result are one symbol); NASM sees them lower-cased with
    a "$" in front, so that no name can be mistaken for a NASM keyword;
  * a memory operand takes its size from "byte ptr"/"word ptr" or else from the declared type of
    its variable (DB byte, DW word); a register operand must agree with it; a memory operand whose
    size is unknown cannot take an immediate ("mov [di], 5" is refused, as MASM refuses it);
  * an immediate must fit its operand (byte -128..255, word -32768..65535);
  * DB strings use "" for a quote inside, an empty string is refused, and a line is at most 512
    characters long;
  * a label defined inside a PROC is local to it (MASM 6 scopes such labels), so a jump to it
    from elsewhere is refused;
  * ".386" after ".model small" keeps 16-bit segments (the other order would make 32-bit ones and
    is refused); lines after "end" are ignored;
  * ".stack N" gives the program its stack; a program without one would start with SS:SP =
    0000:0000 and is refused. N is taken in whole paragraphs (16 to 65536 bytes).
"""

import os
import re
import struct
import subprocess
import sys
import tempfile

MAX_LINE = 512
SEGMENT_LIMIT = 0x10000

REG8 = {"al", "ah", "bl", "bh", "cl", "ch", "dl", "dh"}
REG16 = {"ax", "bx", "cx", "dx", "si", "di", "bp", "sp"}
SREG = {"cs", "ds", "es", "ss"}
INDEX = {"si", "di", "bx", "bp"}

# Mnemonics by operand shape.  Conditional jumps are the ones the templates and the runtime use.
ALU2 = {"mov", "add", "sub", "and", "or", "xor", "cmp", "adc", "sbb"}
SHIFT = {"shl"}
UNARY = {"inc", "dec", "neg", "not", "mul", "imul", "div", "idiv"}
STACK = {"push", "pop"}
BRANCH = {"jmp", "call", "loop", "je", "jne", "jg", "jl", "jle", "jge", "jae", "jc", "jns"}
NOARG = {"ret", "cld", "clc", "stc", "cwd", "pusha", "popa", "pushf", "popf"}

RESERVED_SEGMENT_NAMES = {"_data", "_text", "dgroup"}


class TranslateError(Exception):
    def __init__(self, lineno, text, message):
        super().__init__(f"line {lineno}: {message}: {text.strip()}")
        self.lineno = lineno
        self.text = text
        self.message = message


class AssembleError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# Lexing


TOKEN_RE = re.compile(
    r"""\s*(?:
        (?P<string>"(?:[^"]|"")*"|'(?:[^']|'')*')
      | (?P<number>[0-9][0-9A-Za-z]*)
      | (?P<ident>[A-Za-z_@?$][A-Za-z0-9_@?$]*)
      | (?P<dot>\.[A-Za-z0-9]+)
      | (?P<punct>[,:\[\]+\-()])
    )""",
    re.VERBOSE,
)


class Tok:
    __slots__ = ("kind", "text", "value")

    def __init__(self, kind, text, value=None):
        self.kind = kind
        self.text = text
        self.value = value

    def low(self):
        return self.text.lower()

    def __repr__(self):
        return f"Tok({self.kind},{self.text!r})"


def parse_number(text):
    """MASM numbers in the default radix 10: decimal digits, or hex digits ending in h/H."""
    if re.fullmatch(r"[0-9]+", text):
        return int(text, 10)
    if re.fullmatch(r"[0-9][0-9A-Fa-f]*[hH]", text):
        return int(text[:-1], 16)
    return None


def unquote(text):
    q = text[0]
    return text[1:-1].replace(q + q, q)


def tokenize(text):
    toks = []
    pos = 0
    text = text.rstrip()
    while pos < len(text):
        m = TOKEN_RE.match(text, pos)
        if not m or m.end() == pos:
            rest = text[pos:].lstrip()
            if not rest:
                break
            raise ValueError(f"unexpected character {rest[0]!r}")
        pos = m.end()
        kind = m.lastgroup
        tok_text = m.group(kind)
        if kind == "number":
            value = parse_number(tok_text)
            if value is None:
                raise ValueError(f"not a number this translator knows: {tok_text}")
            toks.append(Tok("number", tok_text, value))
        elif kind == "string":
            toks.append(Tok("string", tok_text, unquote(tok_text)))
        else:
            toks.append(Tok(kind, tok_text))
    return toks


def strip_comment(line):
    """Cuts a ";" comment that stands outside quotes."""
    quote = None
    for i, ch in enumerate(line):
        if quote:
            if ch == quote:
                quote = None
        elif ch in "\"'":
            quote = ch
        elif ch == ";":
            return line[:i]
    if quote:
        raise ValueError("unterminated string")
    return line


def split_commas(toks):
    parts = [[]]
    for t in toks:
        if t.kind == "punct" and t.text == ",":
            parts.append([])
        else:
            parts[-1].append(t)
    return parts


# ---------------------------------------------------------------------------------------------
# Operands


class Reg:
    def __init__(self, name):
        self.name = name
        self.size = 1 if name in REG8 else 2

    def nasm(self):
        return self.name


class SReg:
    def __init__(self, name):
        self.name = name
        self.size = 2

    def nasm(self):
        return self.name


class Mem:
    def __init__(self, sym=None, index=None, disp=0, ptr=None, seg=None):
        self.sym = sym
        self.index = index
        self.disp = disp
        self.ptr = ptr
        self.seg = seg
        self.size = None  # filled in by resolve()
        self.address = None  # the NASM expression of sym's offset, filled in by resolve()

    def nasm(self, with_size=True):
        parts = []
        if self.sym:
            parts.append(self.address)
        if self.index:
            parts.append(self.index)
        if self.disp or not parts:
            parts.append(str(self.disp))
        inner = "+".join(parts)
        if self.seg:
            inner = f"{self.seg}:{inner}"
        size = {1: "byte ", 2: "word "}.get(self.size, "") if with_size else ""
        return f"{size}[{inner}]"


class Imm:
    def __init__(self, value=None, sym=None):
        self.value = value  # int, or None for a symbolic value (an address or an equate)
        self.sym = sym
        self.size = None
        self.address = None  # filled in by resolve()

    def nasm(self):
        return str(self.value) if self.sym is None else self.address


class Label:
    def __init__(self, sym):
        self.sym = sym

    def nasm(self):
        return nasm_name(self.sym)


class AtData:
    size = 2


def nasm_name(sym):
    return "$" + sym


# Names of the NASM text's own labels. A MASM name has no dot, and _text and dgroup are refused
# as names (RESERVED_SEGMENT_NAMES), so none of these can meet a name of the program.
HEADER = "$mz.header"
CODE = "$_text"
DGROUP = "$dgroup"
IMAGE_END = "$image.end"


def address(sym, kind):
    """A name's offset in its own segment: NASM labels are offsets in the file."""
    return f"{nasm_name(sym)}-{DGROUP if kind[0] == 'data' else CODE}"


def nasm_bytes(text):
    """Printable runs as NASM strings (no escapes inside double quotes), other bytes as numbers."""
    pieces = []
    run = ""
    for ch in text:
        if 32 <= ord(ch) < 127 and ch != '"':
            run += ch
            continue
        if run:
            pieces.append(f'"{run}"')
            run = ""
        pieces.append(str(ord(ch)))
    if run:
        pieces.append(f'"{run}"')
    return ",".join(pieces)


def fits(value, size):
    if size == 1:
        return -128 <= value <= 255
    return -32768 <= value <= 65535


# ---------------------------------------------------------------------------------------------
# The translator


class Line:
    def __init__(self, lineno, text):
        self.lineno = lineno
        self.text = text


class Translator:
    def __init__(self, source_name):
        self.source_name = source_name
        # lower-cased name -> ("data", size, offset) | ("equ", value) | ("code", owner), where the
        # owner of a label inside a PROC is that procedure (MASM 6 scopes such labels to it) and
        # None for a procedure or a label outside any.
        self.symbols = {}
        self.data_out = []  # (lineno, nasm text)
        self.code_out = []
        self.pending = []  # code lines whose operands are resolved after all labels are known
        self.section = None
        self.model_seen = False
        self.cpu_seen = False
        self.open_proc = None
        self.entry = None
        self.last_data_label = None
        self.data_offset = 0  # bytes of data so far, for "$ - name"
        self.stack = None  # bytes of ".stack N"
        self.relocations = []  # NASM labels in front of the "mov reg, @Data" lines

    # -- helpers --

    def fail(self, line, message):
        raise TranslateError(line.lineno, line.text, message)

    def define(self, line, name, kind):
        low = name.lower()
        if low in RESERVED_SEGMENT_NAMES:
            self.fail(line, f"{name} is a segment name of the small model")
        if low in REG8 or low in REG16 or low in SREG:
            self.fail(line, f"{name} is a register name")
        if low in self.symbols:
            self.fail(line, f"symbol redefinition: {name}")
        self.symbols[low] = kind
        return low

    # -- pass 1: one source line --

    def line(self, lineno, raw):
        line = Line(lineno, raw)
        if len(raw) > MAX_LINE:
            self.fail(line, f"line longer than {MAX_LINE} characters")
        if any(ord(c) < 32 and c != "\t" for c in raw):
            self.fail(line, "control character in line")
        try:
            body = strip_comment(raw)
            toks = tokenize(body)
        except ValueError as e:
            self.fail(line, str(e))
        if not toks:
            return
        first = toks[0].low()

        if toks[0].kind == "dot":
            return self.directive(line, toks)
        if first == "end":
            if len(toks) != 2 or toks[1].kind != "ident":
                self.fail(line, "END must name the entry label")
            if self.open_proc:
                self.fail(line, f"procedure {self.open_proc} is not closed")
            self.entry = toks[1].low()
            return "end"
        if first in ("db", "dw"):
            return self.data(line, None, toks[0], toks[1:])
        if len(toks) >= 2 and toks[1].kind == "ident":
            second = toks[1].low()
            if toks[0].kind != "ident":
                self.fail(line, "unknown line")
            if second == "equ":
                return self.equ(line, toks[0].text, toks[2:])
            if second in ("db", "dw"):
                return self.data(line, toks[0].text, toks[1], toks[2:])
            if second == "proc":
                return self.proc(line, toks)
            if second == "endp":
                return self.endp(line, toks)
        if self.section != "code":
            self.fail(line, "instruction or label outside the code segment")
        return self.code(line, toks)

    def directive(self, line, toks):
        d = toks[0].low()
        if d == ".model":
            if self.model_seen or len(toks) != 2 or toks[1].low() != "small":
                self.fail(line, "only one .model small is known")
            self.model_seen = True
        elif d == ".386":
            if not self.model_seen:
                self.fail(line, ".386 before .model would make 32-bit segments")
            if len(toks) != 1 or self.cpu_seen:
                self.fail(line, "unknown line")
            self.cpu_seen = True
        elif d in (".data", ".code"):
            if not self.model_seen or len(toks) != 1:
                self.fail(line, f"{d} needs .model small before it")
            if self.open_proc:
                self.fail(line, f"procedure {self.open_proc} is not closed")
            self.section = d[1:]
        elif d == ".stack":
            if not self.model_seen or self.stack is not None or self.open_proc:
                self.fail(line, ".stack needs .model small before it, outside a procedure, once")
            if len(toks) != 2 or toks[1].kind != "number":
                self.fail(line, ".stack takes its size in bytes")
            size = toks[1].value
            if size % 16 or not 16 <= size <= SEGMENT_LIMIT:
                self.fail(line, "stack size must be whole paragraphs, 16 to 65536 bytes")
            self.stack = size
            # The directive opens the stack segment and closes it again: no line belongs to it.
            self.section = None
        else:
            self.fail(line, f"unknown directive {toks[0].text}")

    def equ(self, line, name, rest):
        if self.section != "data":
            self.fail(line, "equ outside the data segment")
        if len(rest) == 1 and rest[0].kind == "number":
            value = rest[0].value
            text = str(value)
        elif (
            len(rest) == 3
            and rest[0].text == "$"
            and rest[1].text == "-"
            and rest[2].kind == "ident"
        ):
            ref = self.symbols.get(rest[2].low(), ("",))
            if ref[0] != "data":
                self.fail(line, f"{rest[2].text} is not a variable defined before this line")
            value = self.data_offset - ref[2]
            text = str(value)
        else:
            self.fail(line, "equ value must be a number or $ - variable")
        low = self.define(line, name, ("equ", value))
        self.data_out.append((line.lineno, f"{nasm_name(low)} equ {text}"))

    def data(self, line, name, kind_tok, items):
        if self.section != "data":
            self.fail(line, "data definition outside the data segment")
        size = 1 if kind_tok.low() == "db" else 2
        if name is not None:
            self.last_data_label = self.define(line, name, ("data", size, self.data_offset))
        parts = split_commas(items)
        out = []
        for part in parts:
            if not part:
                self.fail(line, "empty data item")
            if len(part) == 1 and part[0].kind == "string":
                s = part[0].value
                if s == "":
                    self.fail(line, "empty string")
                if size == 2:
                    self.fail(line, "string in a DW")
                out.append(nasm_bytes(s))
                self.data_offset += len(s)
            elif len(part) == 1 and part[0].kind == "number":
                if not fits(part[0].value, size):
                    self.fail(line, f"value out of range: {part[0].text}")
                out.append(str(part[0].value))
                self.data_offset += size
            elif len(part) == 1 and part[0].text == "?":
                out.append("0")
                self.data_offset += size
            elif (
                len(part) == 5
                and part[0].kind == "number"
                and part[1].low() == "dup"
                and part[2].text == "("
                and part[4].text == ")"
                and (part[3].text == "?" or part[3].kind == "number")
            ):
                count = part[0].value
                fill = 0 if part[3].text == "?" else part[3].value
                if count < 1 or not fits(fill, size):
                    self.fail(line, "bad dup")
                out.append((count, fill))
                self.data_offset += count * size
            else:
                self.fail(line, "unknown data item")
        word = "db" if size == 1 else "dw"
        label = f"{nasm_name(self.last_data_label)}: " if name is not None else ""
        plain = [o for o in out if not isinstance(o, tuple)]
        dups = [o for o in out if isinstance(o, tuple)]
        if dups and (len(out) != 1):
            self.fail(line, "dup mixed with other items")
        if dups:
            count, fill = dups[0]
            self.data_out.append((line.lineno, f"{label}times {count} {word} {fill}"))
        else:
            self.data_out.append((line.lineno, f"{label}{word} {','.join(plain)}"))

    def proc(self, line, toks):
        if self.section != "code":
            self.fail(line, "proc outside the code segment")
        if len(toks) != 2:
            self.fail(line, "only a plain NAME proc is known")
        if self.open_proc:
            self.fail(line, f"procedure {self.open_proc} is not closed")
        low = self.define(line, toks[0].text, ("code", None))
        self.open_proc = low
        self.code_label(line, low)

    def endp(self, line, toks):
        if len(toks) != 2 or self.open_proc != toks[0].low():
            self.fail(line, "endp does not close the open procedure")
        self.open_proc = None

    def code_label(self, line, low):
        self.code_out.append((line.lineno, f"{nasm_name(low)}:"))

    def code(self, line, toks):
        # Labels: "name:" alone or in front of an instruction.
        if (
            len(toks) >= 2
            and toks[0].kind == "ident"
            and toks[1].kind == "punct"
            and toks[1].text == ":"
        ):
            if len(toks) >= 3 and toks[2].text == ":":
                self.fail(line, "unknown label form")
            low = self.define(line, toks[0].text, ("code", self.open_proc))
            self.code_label(line, low)
            toks = toks[2:]
            if not toks:
                return
        if toks[0].kind != "ident":
            self.fail(line, "unknown line")
        mnemonic = toks[0].low()
        rest = toks[1:]
        if mnemonic == "rep":
            if len(rest) != 1 or rest[0].low() != "movsb":
                self.fail(line, "only rep movsb is known")
            self.emit_code(line, "rep movsb")
            return
        known = ALU2 | SHIFT | UNARY | STACK | BRANCH | NOARG | {"lea", "int"}
        if mnemonic not in known:
            self.fail(line, f"unknown instruction {toks[0].text}")
        operands = split_commas(rest) if rest else []
        if any(not op for op in operands):
            self.fail(line, "empty operand")
        parsed = [self.parse_operand(line, op, mnemonic in BRANCH) for op in operands]
        slot = len(self.code_out)
        self.code_out.append((line.lineno, None))
        self.pending.append((slot, line, mnemonic, parsed, self.open_proc))

    def emit_code(self, line, text):
        self.code_out.append((line.lineno, text))

    def parse_operand(self, line, toks, branch):
        if branch:
            if len(toks) != 1 or toks[0].kind != "ident":
                self.fail(line, "a jump or call takes a label")
            return Label(toks[0].low())
        ptr = None
        if len(toks) >= 3 and toks[1].low() == "ptr":
            if toks[0].low() not in ("byte", "word"):
                self.fail(line, f"unknown size {toks[0].text}")
            ptr = 1 if toks[0].low() == "byte" else 2
            toks = toks[2:]
        texts = [t.low() for t in toks]
        kinds = [t.kind for t in toks]

        # register
        if len(toks) == 1 and texts[0] in REG8 | REG16 and ptr is None:
            return Reg(texts[0])
        if len(toks) == 1 and texts[0] in SREG and ptr is None:
            return SReg(texts[0])
        if len(toks) == 1 and texts[0] == "@data" and ptr is None:
            return AtData()
        # [index] and seg:[index]
        if len(toks) == 3 and texts[0] == "[" and texts[2] == "]" and texts[1] in INDEX:
            return Mem(index=texts[1], ptr=ptr)
        if (
            len(toks) == 5
            and texts[0] in SREG
            and texts[1] == ":"
            and texts[2] == "["
            and texts[3] in INDEX
            and texts[4] == "]"
        ):
            return Mem(index=texts[3], ptr=ptr, seg=texts[0])
        # offset name
        if len(toks) == 2 and texts[0] == "offset" and kinds[1] == "ident" and ptr is None:
            return Imm(sym=texts[1])
        # numbers and characters
        if ptr is None:
            if len(toks) == 1 and kinds[0] == "number":
                return Imm(value=toks[0].value)
            if len(toks) == 2 and texts[0] == "-" and kinds[1] == "number":
                return Imm(value=-toks[1].value)
            if len(toks) == 1 and kinds[0] == "string":
                if len(toks[0].value) != 1:
                    self.fail(line, "a character immediate must be one character")
                return Imm(value=ord(toks[0].value))
        # name, name[index], name[number]
        if kinds[0] == "ident" and texts[0] not in ("offset", "ptr", "dup"):
            sym = texts[0]
            if len(toks) == 1:
                return ("name", sym, ptr)
            if len(toks) == 4 and texts[1] == "[" and texts[3] == "]":
                if texts[2] in INDEX:
                    return Mem(sym=sym, index=texts[2], ptr=ptr)
                if kinds[2] == "number":
                    return Mem(sym=sym, disp=toks[2].value, ptr=ptr)
        self.fail(line, "unknown operand " + " ".join(t.text for t in toks))

    # -- pass 2: operands and sizes --

    def resolve(self, line, op, mnemonic, proc):
        if isinstance(op, tuple) and op[0] == "name":
            _, sym, ptr = op
            kind = self.symbols.get(sym)
            if kind is None:
                self.fail(line, f"undefined symbol {sym}")
            if kind[0] == "data":
                op = Mem(sym=sym, ptr=ptr)
            elif kind[0] == "equ" and ptr is None:
                op = Imm(value=kind[1])
            else:
                self.fail(line, f"{sym} cannot be an operand of {mnemonic}")
        if isinstance(op, Mem):
            if op.sym is not None:
                kind = self.symbols.get(op.sym)
                if kind is None:
                    self.fail(line, f"undefined symbol {op.sym}")
                if kind[0] != "data":
                    self.fail(line, f"{op.sym} is not a variable")
                op.address = address(op.sym, kind)
                # "byte ptr"/"word ptr" overrides the declared type, as in MASM.
                op.size = op.ptr if op.ptr is not None else kind[1]
            else:
                op.size = op.ptr
        if isinstance(op, Imm) and op.sym is not None and op.value is None:
            kind = self.symbols.get(op.sym)
            if kind is None:
                self.fail(line, f"undefined symbol {op.sym}")
            if kind[0] == "equ":
                self.fail(line, f"offset of the constant {op.sym}")
            op.address = address(op.sym, kind)
        if isinstance(op, Label):
            kind = self.symbols.get(op.sym)
            if kind is None:
                self.fail(line, f"undefined label {op.sym}")
            if kind[0] != "code":
                self.fail(line, f"{op.sym} is not a code label")
            if kind[1] is not None and kind[1] != proc:
                self.fail(line, f"{op.sym} is local to procedure {kind[1]}")
        return op

    def instruction(self, line, mnemonic, ops, proc):
        ops = [self.resolve(line, op, mnemonic, proc) for op in ops]
        n = len(ops)

        def want(count):
            if n != count:
                self.fail(line, f"{mnemonic} takes {count} operand(s)")

        def check_imm(imm, size):
            if imm.value is not None and not fits(imm.value, size):
                self.fail(line, f"constant value too large for a {8 * size}-bit operand")
            if imm.value is None and size != 2:
                self.fail(line, "an address needs a 16-bit operand")

        if mnemonic in NOARG:
            want(0)
            return mnemonic
        if mnemonic in BRANCH:
            want(1)
            target = ops[0].nasm()
            return f"{mnemonic} {target}"
        if mnemonic == "int":
            want(1)
            if not isinstance(ops[0], Imm) or ops[0].value is None or not 0 <= ops[0].value <= 255:
                self.fail(line, "int takes an interrupt number")
            return f"int {ops[0].value}"
        if mnemonic == "lea":
            want(2)
            if not (isinstance(ops[0], Reg) and ops[0].size == 2 and isinstance(ops[1], Mem)):
                self.fail(line, "lea takes a 16-bit register and a memory operand")
            return f"lea {ops[0].nasm()}, {ops[1].nasm(with_size=False)}"
        if mnemonic in STACK:
            want(1)
            op = ops[0]
            if isinstance(op, Reg) and op.size == 2:
                return f"{mnemonic} {op.nasm()}"
            if mnemonic == "push" and isinstance(op, Imm):
                check_imm(op, 2)
                return f"push word {op.nasm()}"
            self.fail(line, f"{mnemonic} takes a 16-bit register")
        if mnemonic in UNARY:
            want(1)
            op = ops[0]
            if isinstance(op, Reg):
                return f"{mnemonic} {op.nasm()}"
            if isinstance(op, Mem):
                if op.size is None:
                    self.fail(line, "operand must have size")
                return f"{mnemonic} {op.nasm()}"
            self.fail(line, f"{mnemonic} takes a register or a memory operand")
        if mnemonic in SHIFT:
            want(2)
            dst, src = ops
            if not isinstance(dst, (Reg, Mem)) or (isinstance(dst, Mem) and dst.size is None):
                self.fail(line, "shift of an operand without size")
            if isinstance(src, Imm) and src.value is not None and 1 <= src.value <= 31:
                return f"{mnemonic} {dst.nasm()}, {src.value}"
            if isinstance(src, Reg) and src.name == "cl":
                return f"{mnemonic} {dst.nasm()}, cl"
            self.fail(line, "shift count must be a constant 1..31 or CL")
        if mnemonic in ALU2:
            want(2)
            dst, src = ops
            if isinstance(src, AtData):
                if mnemonic == "mov" and isinstance(dst, Reg) and dst.size == 2:
                    label = f"$reloc.{len(self.relocations)}"
                    self.relocations.append(label)
                    return f"{label}: mov {dst.nasm()}, ({DGROUP}-{CODE})/16"
                self.fail(line, "@Data is only known as the source of a 16-bit register move")
            if isinstance(dst, SReg) or isinstance(src, SReg):
                if (
                    mnemonic == "mov"
                    and isinstance(dst, SReg)
                    and dst.name in ("ds", "es")
                    and isinstance(src, Reg)
                    and src.size == 2
                ):
                    return f"mov {dst.nasm()}, {src.nasm()}"
                self.fail(line, "unknown segment register move")
            if isinstance(dst, Imm):
                self.fail(line, "immediate operand not allowed as destination")
            if isinstance(dst, Mem) and isinstance(src, Mem):
                self.fail(line, "two memory operands")
            if isinstance(dst, Reg) and isinstance(src, Reg):
                if dst.size != src.size:
                    self.fail(line, "instruction operands must be the same size")
            elif isinstance(src, Imm):
                size = dst.size
                if size is None:
                    self.fail(line, "operand must have size")
                check_imm(src, size)
            else:
                reg, mem = (dst, src) if isinstance(dst, Reg) else (src, dst)
                if mem.size is not None and mem.size != reg.size:
                    self.fail(line, "instruction operands must be the same size")
                mem.size = reg.size
            return f"{mnemonic} {dst.nasm()}, {src.nasm()}"
        self.fail(line, f"unknown instruction {mnemonic}")

    # -- the whole file --

    def finish(self, last_lineno):
        if self.entry is None:
            raise TranslateError(last_lineno, "", "END directive required at end of file")
        if not self.cpu_seen:
            raise TranslateError(last_lineno, "", ".386 missing: the runtime uses 386 instructions")
        if self.symbols.get(self.entry, ("",))[0] != "code":
            raise TranslateError(last_lineno, "", f"entry {self.entry} is not a code label")
        if self.stack is None:
            raise TranslateError(
                last_lineno, "", "no .stack: the program would start with SS:SP = 0000:0000"
            )
        for slot, line, mnemonic, ops, proc in self.pending:
            self.code_out[slot] = (line.lineno, self.instruction(line, mnemonic, ops, proc))

        name = re.sub(r"\s", "_", os.path.basename(self.source_name)) or "source"
        out = [f"; NASM text translated from {name}", "bits 16", "cpu 386"]
        out += exe_header(nasm_name(self.entry), self.relocations, self.stack)
        out += ["align 16, db 0", f"{CODE}:"]
        for lineno, text in self.code_out:
            out += [f"%line {lineno}+0 {name}", text]
        out += ["align 16, db 0", f"{DGROUP}:"]
        for lineno, text in self.data_out:
            out += [f"%line {lineno}+0 {name}", text]
        out.append(f"{IMAGE_END}:")
        return "\n".join(out) + "\n"


def exe_header(entry, relocations, stack):
    """The MZ header as NASM lines. The image starts at _TEXT; the stack follows the data in
    DGROUP, from the paragraph after it, and is not stored in the file."""
    stack_top = f"(({IMAGE_END}-{DGROUP}+15) & ~15) + {stack}"
    fields = [
        (f"({IMAGE_END}-{HEADER}) % 512", "bytes in the last page"),
        (f"({IMAGE_END}-{HEADER}+511) / 512", "pages of 512 bytes in the file"),
        (f"{len(relocations)}", "relocations"),
        (f"({CODE}-{HEADER}) / 16", "paragraphs of the header"),
        (f"{stack // 16}", "paragraphs needed beyond the image: the stack"),
        ("0FFFFh", "paragraphs wanted at most"),
        (f"({DGROUP}-{CODE}) / 16", "SS: DGROUP"),
        (f"({stack_top}) & 0FFFFh", "SP: the end of DGROUP"),
        ("0", "checksum"),
        (f"{entry}-{CODE}", "IP"),
        ("0", "CS: _TEXT"),
        ("1Ch", "offset of the relocation table"),
        ("0", "overlay"),
    ]
    lines = [f"{HEADER}:", 'db "MZ"'] + [f"dw {value:<44} ; {what}" for value, what in fields]
    lines += [f"dw {label}+1-{CODE}, 0" for label in relocations]
    return lines


def translate(data, source_name="out1.asm"):
    """Translates the bytes of a MASM file; returns NASM text or raises TranslateError."""
    if isinstance(data, bytes):
        text = data.decode("latin-1")
    else:
        text = data
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    tr = Translator(source_name)
    lineno = 0
    for lineno, raw in enumerate(lines, start=1):
        if raw.endswith("\r"):
            raw = raw[:-1]
        if tr.line(lineno, raw) == "end":
            break
    return tr.finish(lineno)


def run_nasm(nasm_text, exe_path, strict):
    """nasm's messages, or None when it made the file."""
    with tempfile.TemporaryDirectory(prefix="masm2nasm-") as tmp:
        src = os.path.join(tmp, "prog.nasm")
        with open(src, "w", encoding="latin-1") as f:
            f.write(nasm_text)
        warnings = ["-Werror"] if strict else ["-w-all"]
        try:
            r = subprocess.run(
                ["nasm", "-f", "bin", *warnings, "-o", exe_path, src], capture_output=True, timeout=120
            )
        except FileNotFoundError:
            raise AssembleError("nasm is not installed (Debian package nasm)")
    if r.returncode == 0:
        return None
    return (r.stderr + r.stdout).decode("latin-1").strip() or f"nasm failed with exit code {r.returncode}"


def image_sizes(exe):
    """(code, DGROUP) in bytes, each up to its last paragraph, of an .EXE that exe_header()
    describes: the code ends where SS begins, and DGROUP ends with the stack."""
    last, pages, _, header, beyond, _, ss = struct.unpack_from("<7H", exe, 2)
    image = pages * 512 - (512 - last) % 512 - header * 16
    code = ss * 16
    return code, (image + 15) // 16 * 16 - code + beyond * 16


def assemble(nasm_text, exe_path):
    """Runs nasm on the translated text; raises AssembleError with nasm's messages, or saying
    which of code and DGROUP passes 64 KiB."""
    # Past 64 KiB an offset no longer fits a word and nasm's warning would hide which segment is
    # too large: the sizes are taken from an image assembled without the warnings.
    message = run_nasm(nasm_text, exe_path, strict=True)
    if message is not None and run_nasm(nasm_text, exe_path, strict=False) is not None:
        raise AssembleError(message)
    with open(exe_path, "rb") as f:
        code, dgroup = image_sizes(f.read(32))
    too_large = [
        f"{what} takes {size} bytes, more than 64 KiB"
        for what, size in (("the code", code), ("DGROUP (data and stack)", dgroup))
        if size > SEGMENT_LIMIT
    ]
    if too_large:
        raise AssembleError("; ".join(too_large))
    if message is not None:
        raise AssembleError(message)


def check_assembles(path):
    """For other test runners: (True, "") when the MASM file translates and assembles."""
    try:
        with open(path, "rb") as f:
            data = f.read()
        nasm_text = translate(data, os.path.basename(path))
        with tempfile.TemporaryDirectory(prefix="asmcheck-") as tmp:
            assemble(nasm_text, os.path.join(tmp, "prog.exe"))
    except TranslateError as e:
        return False, f"{path}:{e.lineno}: {e.message}: {e.text.strip()}"
    except (AssembleError, OSError) as e:
        return False, f"{path}: {e}"
    return True, ""


def main(argv):
    import argparse

    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("source", help="MASM text written by pas2asm (out1.asm)")
    ap.add_argument("-o", "--output", help="write the NASM text here (default: standard output)")
    ap.add_argument("--exe", help="also assemble the .EXE program into this file")
    args = ap.parse_args(argv)
    try:
        with open(args.source, "rb") as f:
            data = f.read()
    except OSError as e:
        print(f"masm2nasm: {args.source}: {e.strerror}", file=sys.stderr)
        return 2
    try:
        nasm_text = translate(data, os.path.basename(args.source))
    except TranslateError as e:
        print(f"{args.source}:{e.lineno}: {e.message}: {e.text.strip()}", file=sys.stderr)
        return 1
    if args.output:
        with open(args.output, "w", encoding="latin-1") as f:
            f.write(nasm_text)
    elif not args.exe:
        sys.stdout.write(nasm_text)
    if args.exe:
        try:
            assemble(nasm_text, args.exe)
        except AssembleError as e:
            print(f"{args.source}: {e}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
