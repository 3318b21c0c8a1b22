"""The MASM-to-NASM translator on the forms that the compiler writes, and on what it must refuse.

Run with /usr/bin/python3 (the programs are executed on the emulator).
"""

import os
import struct
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent))

import dosrun  # noqa: E402
import masm2nasm  # noqa: E402
from masm2nasm import TranslateError  # noqa: E402


def program(data, code):
    """A program in the compiler's dialect: header, data, code start, code, exit."""
    lines = [".model small", ".386", ".data"] + data
    lines += [" .stack 2000h", " .code", " main:", "      mov     AX, @Data", "      mov     DS, AX", "      mov     ES, AX"]
    lines += code + [" Quit:", "      mov AX, 4C00h", "      Int 21h", " end main"]
    return ("\r\n".join(lines) + "\r\n").encode("cp866")


def run_masm(source, stdin=b""):
    return dosrun.run(build(source), stdin, budget=100_000, check_stack=True)


def build(source):
    nasm_text = masm2nasm.translate(source)
    with tempfile.TemporaryDirectory() as tmp:
        exe = os.path.join(tmp, "p.exe")
        masm2nasm.assemble(nasm_text, exe)
        with open(exe, "rb") as f:
            return f.read()


PUTC_DL = ["      mov     AH, 02", "      int     21h"]


class Accepted(unittest.TestCase):
    def assertRuns(self, source, output, stdin=b""):
        code, out, message = run_masm(source, stdin)
        self.assertEqual((code, message), (0, ""))
        self.assertEqual(out, output)

    def test_names_are_case_insensitive(self):
        src = program(
            ['Result DB "ok$"', "kbHandle        dw 0"],
            [" mov dx, offset result", " call Write", " jmp QUIT", "Write proc", "     mov     AH, 09h",
             "     int     21h", "     ret", "Write endp"],
        )
        self.assertRuns(src, b"ok")

    def test_store_size_follows_the_declared_type(self):
        # A byte variable indexed by SI takes one byte; a word variable two.
        src = program(
            ['_B DB "xyz$"', " _W DW ?"],
            [" mov SI, 1", ' mov _B[SI],"Q"', "      MOV     AX, 0", "      mov     _W, AX", "    dec  _W",
             "      MOV     AX, _W", "      mov DL, AH", *PUTC_DL, " mov dx, offset  _B", "      mov AH, 09h",
             "      int     21h"],
        )
        self.assertRuns(src, b"\xffxQz")

    def test_fixed_index_and_sized_stores_through_di(self):
        src = program(
            ["_bufstr1        db   255  dup  (?)"],
            [' mov _bufstr1[254],"$"', " mov di, offset  _bufstr1", " add di, 253",
             '       mov     byte ptr [DI], "-"', "      mov     DL, ds:[di]", *PUTC_DL,
             " inc di", '      cmp     byte ptr ds:[di],"$"', "      jne     Quit", '      mov     DL, "="',
             *PUTC_DL],
        )
        self.assertRuns(src, b"-=")

    def test_equate_of_a_length_and_character_immediates(self):
        src = program(
            ["kbBuffer        db 18 dup (?)", "kbBufferLen     equ $ - kbBuffer", "CR equ 0Dh"],
            ["      mov     AX, kbBufferLen", '      add     AX, "0"', "      mov     DL, AL", *PUTC_DL,
             "      mov     DL, CR", *PUTC_DL],
        )
        self.assertRuns(src, b"B\r")  # "0" + 18

    def test_labels_on_instruction_lines_and_push_of_a_constant(self):
        src = program(
            [],
            ["       push    -1", "      pop     AX", "      cmp     AX, -1", "      jne     Quit",
             " mov SI,0", " m_0:  inc  SI", " cmp SI, 3", " je  m_1", " jmp  m_0",
             ' m_1:  mov DL, "0"', " add DL, 3", *PUTC_DL],
        )
        self.assertRuns(src, b"3")

    def test_constants_with_quotes_control_bytes_and_continuation(self):
        src = program(
            ['_msg0  db  "say ""hi""",13,10', '        db  "end","$" ', '_str0  db  "$" '],
            [" mov dx, offset  _msg0", "      mov AH, 09h", "      int     21h"],
        )
        self.assertRuns(src, b'say "hi"\r\nend')

    def test_long_jumps_and_russian_comment_lines(self):
        # A conditional jump over more than 127 bytes needs the 386 near form; MASM picks it too.
        filler = ["      push    AX", "      pop     AX"] * 80
        src = program(
            [],
            ["  ;\u041d\u0430\u0447\u0430\u043b\u043e \u0446\u0438\u043a\u043b\u0430 WHILE ",
             "      cmp     AX, 1", "      je     L1", *filler, "L1:", '      mov     DL, "y"', *PUTC_DL],
        )
        self.assertRuns(src, b"y")


class RefusalTest(unittest.TestCase):
    def assertSourceRefused(self, source, lineno, fragment):
        with self.assertRaises(TranslateError) as ctx:
            masm2nasm.translate(source)
        self.assertEqual(ctx.exception.lineno, lineno, ctx.exception)
        self.assertIn(fragment, str(ctx.exception))


class Refused(RefusalTest):
    def assertRefused(self, data, code, lineno, fragment):
        self.assertSourceRefused(program(data, code), lineno, fragment)

    # The code lines of program() start at line 4 + len(data) + 6.
    def test_unknown_instruction_and_directive(self):
        self.assertRefused([], ["      movzx   AX, BL"], 10, "unknown instruction movzx")
        self.assertRefused([".const"], [], 4, "unknown directive .const")

    def test_unknown_operand_form(self):
        self.assertRefused([" _N DW ?"], ["      mov     AX, [_N]"], 11, "unknown operand")

    def test_store_through_di_without_size(self):
        self.assertRefused([], ['       mov     [DI], "-"'], 10, "operand must have size")

    def test_register_and_variable_of_different_size(self):
        self.assertRefused([" _S DB  256 dup (?)"], ["      mov     _S, AX"], 11, "same size")
        self.assertRefused([" _N DW ?"], [" mov BL,_N[SI]"], 11, "same size")

    def test_constant_too_large(self):
        self.assertRefused([], ["      MOV     AX, 65536"], 10, "too large")
        self.assertRefused(["_bufrw db 255 dup (?)"], [" mov _bufrw[SI],256"], 11, "too large")

    def test_symbol_defined_twice_in_any_case(self):
        self.assertRefused([" _N DW ?", " _n DB  256 dup (?)"], [], 5, "redefinition")
        self.assertRefused([" _M0 DW ?"], [" _M0:"], 11, "redefinition")

    def test_segment_name_as_variable(self):
        self.assertRefused([" _DATA DW ?"], [], 4, "segment name")

    def test_jump_to_a_variable_and_to_nothing(self):
        self.assertRefused([" _N DW ?"], ["      jmp _N"], 11, "not a code label")
        self.assertRefused([], ["      jne     L7"], 10, "undefined label")

    def test_jump_into_another_procedure(self):
        code = ["      jmp     Inner", "Write proc", "Inner:", "     ret", "Write endp"]
        self.assertRefused([], code, 10, "local to procedure write")

    def test_strings_that_masm_refuses(self):
        self.assertRefused(['_str0  db  "","$" '], [], 4, "empty string")
        self.assertRefused(['_msg0  db  "a\tb\x01","$" '], [], 4, "control character")
        self.assertRefused(['_msg0  db  "' + "a" * 600 + '","$" '], [], 4, "longer than 512")

    def test_code_in_the_data_segment(self):
        self.assertRefused(["      xor     AX, AX"], [], 4, "outside the code segment")

    def test_directive_order_and_end(self):
        with self.assertRaises(TranslateError) as ctx:
            masm2nasm.translate(b".386\r\n.model small\r\n")
        self.assertEqual(ctx.exception.lineno, 1)
        with self.assertRaises(TranslateError) as ctx:
            masm2nasm.translate(program([], [])[: -len(b" end main\r\n")])
        self.assertIn("END directive required", str(ctx.exception))


class Stack(RefusalTest):
    def test_program_without_a_stack_is_refused(self):
        # Linked without one, it would start with SS:SP = 0000:0000.
        self.assertSourceRefused(program([], []).replace(b" .stack 2000h\r\n", b""), 12, "no .stack")

    def test_stack_sizes_and_placement(self):
        self.assertSourceRefused(program([], []).replace(b"2000h", b"2001h"), 4, "whole paragraphs")
        self.assertSourceRefused(program([], []).replace(b"2000h", b"10010h"), 4, "whole paragraphs")
        self.assertSourceRefused(program([".stack 100h"], []), 5, "once")
        # The directive closes the data segment: a definition after it belongs to no segment.
        source = program([], []).replace(b" .stack 2000h\r\n", b" .stack 2000h\r\n _N DW ?\r\n")
        self.assertSourceRefused(source, 5, "outside the data segment")


class ExeImage(unittest.TestCase):
    def test_header_of_a_small_program(self):
        # Code: mov ax,@Data (3 bytes) mov ds,ax (2) mov es,ax (2) mov ax,4C00h (3) int 21h (2),
        # one paragraph. Data: 20 bytes, DGROUP's stack starts at 32 and ends 2000h above.
        exe = build(program([" _B DB 20 dup (?)"], []))
        fields = struct.unpack_from("<2s13H", exe)
        self.assertEqual(fields[0], b"MZ")
        self.assertEqual(
            fields[1:],
            (32 + 16 + 20, 1, 1, 2, 0x200, 0xFFFF, 1, 32 + 0x2000, 0, 0, 0, 0x1C, 0),
        )
        self.assertEqual(struct.unpack_from("<2H", exe, 0x1C), (1, 0))  # the operand of the mov
        self.assertEqual(exe[32:35], b"\xb8\x01\x00")  # DGROUP's paragraph, before relocation
        self.assertEqual(len(exe), 68)

    def test_data_offsets_are_taken_in_dgroup(self):
        # Behind 40000 bytes of code, a variable at DGROUP offset 0 is still read and written.
        filler = ["      mov     _W, 1234"] * 6667
        src = program(
            [' _B DB "xyz$"', " _W DW ?"],
            [*filler, ' mov _B[1], "Q"', " mov dx, offset  _B", "      mov AH, 09h", "      int     21h"],
        )
        self.assertEqual(run_masm(src), (0, b"xQz", ""))

    def test_dgroup_of_exactly_64_kib_runs(self):
        # 57344 bytes of data and the 8 KiB stack fill DGROUP: SP starts at 0, the first push
        # goes to FFFEh, above the last byte of data.
        src = program(
             [" _S DB  57339 dup (?)", ' _E DB "ok$"', " _P DB ?", " _Q DB ?"],
            ["      push    AX", "      pop     AX", " mov dx, offset  _E", "      mov AH, 09h", "      int     21h"],
        )
        exe = build(src)
        self.assertEqual(masm2nasm.image_sizes(exe)[1], 0x10000)
        self.assertEqual(dosrun.run(exe, b"", budget=1000, check_stack=True), (0, b"ok", ""))

    def test_code_or_dgroup_past_64_kib_is_refused_naming_it(self):
        code = ["      mov     _W, 1234"] * 11000  # 6 bytes each
        with self.assertRaisesRegex(masm2nasm.AssembleError, r"^the code takes 66\d\d\d bytes, more than 64 KiB$"):
            build(program([" _W DW ?"], code))
        # Past 64 KiB with the stack only, and with the data alone (where the offset of _W no
        # longer fits a word).
        for size in (57345, 70000):
            with self.assertRaisesRegex(masm2nasm.AssembleError, r"^DGROUP \(data and stack\) takes \d+ bytes"):
                build(program([f" _S DB  {size} dup (?)", " _W DW ?"], ["      mov     _W, 1"]))


class HandWrittenPrograms(unittest.TestCase):
    """Whole programs written by hand in the exact dialect, runtime included."""

    def run_file(self, name, stdin):
        # The runtime routines, the same in every program, are kept once, with the golden tests.
        with open(HERE / name, "rb") as f:
            text = f.read()
        with open(HERE.parent.parent / "golden" / "frame" / "runtime.asm", "rb") as f:
            runtime = f.read().replace(b"\n", b"\r\n")
        return run_masm(text.replace(b"@@RUNTIME@@\r\n", runtime), stdin)

    def test_read_add_write(self):
        self.assertEqual(self.run_file("demo.asm", b"41\n"), (0, b"\r\n42", ""))
        self.assertEqual(self.run_file("demo.asm", b"-12\n"), (0, b"\r\n-11", ""))
        self.assertEqual(self.run_file("demo.asm", b"256\n"), (0, b"\r\n257", ""))
        self.assertEqual(self.run_file("demo.asm", b"-32767\n"), (0, b"\r\n-32766", ""))

    def test_strings_constants_loop_and_condition(self):
        expected = b'A"b\r\nxab\r\ncd\r\n' + b"\r\n-7\r\n2\r\n-7" + b"0123456789" * 10 + b"ABCD"
        self.assertEqual(self.run_file("strings.asm", b"ab\ncd\n"), (0, expected, ""))


if __name__ == "__main__":
    unittest.main()
