"""The DOS runner: each service, each kind of failure, the budget. Run with /usr/bin/python3."""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
TOOLS = HERE.parent
sys.path.insert(0, str(TOOLS))

import dosrun  # noqa: E402
import masm2nasm  # noqa: E402


def image(code, data="", stack=0x100, no_stack=False):
    """An .EXE in the layout that masm2nasm makes: header, code from main on, DGROUP with data
    and stack; DS = ES = DGROUP before the code runs. A data label's offset is label-$dgroup.
    no_stack: SS:SP = 0000:0000, as a linker makes it for a program without a stack segment."""
    header = "\n".join(masm2nasm.exe_header("main", ["$reloc.0"], stack))
    src = (
        f"bits 16\ncpu 386\n{header}\nalign 16, db 0\n$_text:\nmain:\n"
        f"$reloc.0: mov ax, ($dgroup-$_text)/16\nmov ds, ax\nmov es, ax\n{code}\n"
        f"align 16, db 0\n$dgroup:\n{data}\n$image.end:\n"
    )
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "t.asm")
        with open(path, "w") as f:
            f.write(src)
        subprocess.run(["nasm", "-f", "bin", "-o", path + ".exe", path], check=True)
        with open(path + ".exe", "rb") as f:
            exe = bytearray(f.read())
    if no_stack:
        exe[0x0A:0x0C] = bytes(2)  # no paragraphs beyond the image
        exe[0x0E:0x12] = bytes(4)
    return bytes(exe)


EXIT = "mov ax, 4c00h\nint 21h"

# Reads lines with the count in CX until a read returns 0 bytes; prints each read between bars.
READ_LOOP = """
again:
 mov ah, 3fh
 mov bx, 0
 mov dx, buf-$dgroup
 mov cx, {count}
 int 21h
 jc bad
 or ax, ax
 jz done
 mov si, ax
 mov byte [buf-$dgroup+si], '$'
 mov ah, 9
 mov dx, buf-$dgroup
 int 21h
 mov ah, 2
 mov dl, '|'
 int 21h
 jmp again
bad:
 mov ax, 4c01h
 int 21h
done:
""" + EXIT


class Services(unittest.TestCase):
    def run_image(self, img, stdin=b"", **kw):
        return dosrun.run(img, stdin, budget=kw.pop("budget", 100_000), **kw)

    def test_character_and_text_output(self):
        img = image(
            "mov dl, 'a'\nmov ah, 2\nint 21h\nmov bl, al\nmov dx, msg-$dgroup\nmov ah, 9\nint 21h\n"
            "mov bh, al\nmov dl, bl\nmov ah, 2\nint 21h\nmov dl, bh\nint 21h\n" + EXIT,
            'msg: db "b", 13, 10, "c$"',
        )
        # AL after 02h is the character written, after 09h it is "$".
        self.assertEqual(self.run_image(img), (0, b"ab\r\nca$", ""))

    def test_lines_become_crlf_one_per_read(self):
        img = image(READ_LOOP.format(count=254), "buf: times 300 db 0")
        code, out, _ = self.run_image(img, b"12\nx\r\n\nlast")
        self.assertEqual((code, out), (0, b"12\r\n|x\r\n|\r\n|last|"))
        self.assertEqual(self.run_image(img, b""), (0, b"", ""))

    def test_long_line_is_delivered_over_several_reads(self):
        img = image(READ_LOOP.format(count=3), "buf: times 300 db 0")
        code, out, _ = self.run_image(img, b"abcdefg\nh\n")
        self.assertEqual((code, out), (0, b"abc|def|g\r\n|h\r\n|"))

    def test_return_code(self):
        code, _, message = self.run_image(image("mov ax, 4c03h\nint 21h"))
        self.assertEqual(code, dosrun.EXIT_RETURN_CODE)
        self.assertIn("return code 3", message)

    def test_unsupported_interrupts_and_functions(self):
        for body, text in (
            ("mov ah, 0\nint 10h", "interrupt 10h"),
            ("mov ah, 40h\nint 21h", "int 21h/40h"),
            ("mov ah, 3fh\nmov bx, 1\nmov cx, 1\nint 21h", "handle 1"),
            ("mov ah, 9\nmov dx, 0fff0h\nmov byte [0ffffh], 0\nint 21h", 'no "$"'),
        ):
            code, _, message = self.run_image(image(body + "\n" + EXIT))
            self.assertEqual(code, dosrun.EXIT_SERVICE, body)
            self.assertIn(text, message)

    def test_divide_errors_keep_the_output_before_them(self):
        for body in ("mov ax, 1\nmov bl, 0\ndiv bl", "mov ax, 8000h\ncwd\nmov bx, -1\nidiv bx"):
            img = image("mov dl, 'o'\nmov ah, 2\nint 21h\n" + body + "\n" + EXIT)
            code, out, message = self.run_image(img)
            self.assertEqual((code, out), (dosrun.EXIT_FAULT, b"o"), body)
            self.assertIn("divide error", message)

    def test_invalid_instruction_and_stray_execution(self):
        code, _, message = self.run_image(image("db 0fh, 0ffh\n" + EXIT))
        self.assertEqual(code, dosrun.EXIT_FAULT)
        code, _, message = self.run_image(image("jmp near data\n" + EXIT, "data: db 90h, 90h"))
        self.assertEqual(code, dosrun.EXIT_FAULT)
        self.assertIn("outside the program's code", message)

    def test_write_into_code(self):
        code, _, message = self.run_image(image("mov byte [cs:main-$_text], 90h\n" + EXIT))
        self.assertEqual(code, dosrun.EXIT_IMAGE_WRITE)
        self.assertIn("into the program's code", message)
        code, _, _ = self.run_image(image("mov byte [var-$dgroup], 90h\n" + EXIT, "var: db 0"))
        self.assertEqual(code, 0)

    def test_stack_running_into_the_data_is_a_push_into_the_image(self):
        # Pops that were never pushed wrap SP round DGROUP; the next pushes land on the data.
        body = "mov cx, 40000\nl1: pop ax\nloop l1\nmov cx, 40000\nl2: push ax\nloop l2\n" + EXIT
        code, _, message = self.run_image(image(body, "var: times 64 db 0"), budget=1_000_000)
        self.assertEqual(code, dosrun.EXIT_IMAGE_WRITE)
        self.assertIn("push into the program's image", message)

    def test_no_stack_in_an_image_past_64_kib(self):
        # SS:SP = 0000:0000 puts the first push at 64 KiB - 2 above the image's start: inside
        # the data of this image, which a mov there may write and a push or call may not.
        # 40000 bytes of code and 30000 of data; the mov and the push aim at the same word.
        body = "mov si, 0FFFEh - ($dgroup-$_text)\nmov word [si], 1\n{}\n" + EXIT + "\ntimes 40000 db 0"
        data = "big: times 30000 db 0"
        for push in ("push ax\npop ax", "call sub\njmp done\nsub: ret\ndone:", "pusha\npopa"):
            exe = image(body.format(push), data, no_stack=True)
            code, _, message = self.run_image(exe)
            self.assertEqual(code, dosrun.EXIT_IMAGE_WRITE, push)
            self.assertIn("push into the program's image", message)
            self.assertIn("SS:SP = 1000:0000h", message)
            self.assertEqual(self.run_image(image(body.format(push), data)), (0, b"", ""))

    def test_no_stack_in_a_small_image_pushes_onto_the_code_when_sp_points_there(self):
        # Without a stack SS is the image's first segment, where the code is.
        exe = image("mov sp, 10\npush ax\n" + EXIT, no_stack=True)
        code, _, message = self.run_image(exe)
        self.assertEqual(code, dosrun.EXIT_IMAGE_WRITE)
        self.assertIn("into the program's code", message)
        self.assertEqual(self.run_image(image("push ax\npop ax\n" + EXIT, no_stack=True)), (0, b"", ""))

    def test_files_that_cannot_be_loaded(self):
        self.assertEqual(dosrun.run(b"#!/bin/sh\n" * 4)[0], dosrun.EXIT_USAGE)
        exe = bytearray(image(EXIT))
        exe[0x0A:0x0C] = b"\xff\xff"  # a megabyte beyond the image
        code, _, message = dosrun.run(bytes(exe))
        self.assertEqual(code, dosrun.EXIT_USAGE)
        self.assertIn("more than DOS has", message)

    def test_budget(self):
        code, _, message = self.run_image(image("l: jmp l"), budget=5000)
        self.assertEqual(code, dosrun.EXIT_BUDGET)
        self.assertIn("5000", message)

    def test_stack_check_at_exit(self):
        img = image("push ax\n" + EXIT)
        self.assertEqual(self.run_image(img)[0], 0)
        self.assertEqual(self.run_image(img, check_stack=True)[0], dosrun.EXIT_STACK)


class CommandLine(unittest.TestCase):
    def test_exit_code_output_and_message(self):
        img = image("mov dl, 'z'\nmov ah, 2\nint 21h\nmov ax, 1\nmov bl, 0\ndiv bl\n" + EXIT)
        with tempfile.TemporaryDirectory() as tmp:
            exe = os.path.join(tmp, "p.exe")
            with open(exe, "wb") as f:
                f.write(img)
            r = subprocess.run([sys.executable, str(TOOLS / "dosrun.py"), exe], input=b"", capture_output=True)
            self.assertEqual((r.returncode, r.stdout), (dosrun.EXIT_FAULT, b"z"))
            self.assertIn(b"divide error", r.stderr)
            r = subprocess.run([sys.executable, str(TOOLS / "dosrun.py"), os.path.join(tmp, "none.exe")],
                               capture_output=True)
            self.assertEqual(r.returncode, dosrun.EXIT_USAGE)


if __name__ == "__main__":
    unittest.main()
