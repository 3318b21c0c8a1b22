#!/usr/bin/python3
"""Runs a DOS .COM program on the unicorn CPU emulator with the few DOS services pas2asm needs.

Run it with /usr/bin/python3: Debian's python3-unicorn lives there, and another python3 first on
PATH may not see it.

The machine: the program's segment (PSP at offset 0, image at 0100h) is CS = DS = ES = SS, with
SP = FFFEh and a word 0 on the stack, as DOS starts a .COM. Interrupt 21h offers:

  AH=02h  write the character in DL to standard output (AL := DL, as DOS does)
  AH=09h  write the text at DS:DX up to its "$" to standard output (AL := "$")
  AH=3Fh  read from handle BX=0 into DS:DX at most CX bytes: one line of the input per read,
          with its line end as CR LF (an input line ending in LF or CR LF gives the line's bytes
          and CR LF; a last line without a line end gives its bytes alone). When the line holds
          more than CX bytes, the rest is what the next reads return, as from a DOS console.
          At the end of the input AX := 0. CF is cleared.
  AH=4Ch  end the program with the return code in AL

Lines are read from the input only when the program asks for one, so a person can type them at a
terminal (which echoes them); the runner itself echoes nothing, as DOS with input redirected from
a file. The output is written as the program prints it.

Failures, each with a message on standard error and its own exit code, after the output that the
program wrote before it:

  0   the program ended through 4Ch with return code 0
  64  usage error, or the program cannot be loaded
  65  the program ended through 4Ch with a return code other than 0 (the message names it)
  66  an interrupt other than 21h, a function of 21h not listed above, or a service misused
      (a read from another handle, a "$"-text without "$" before the end of the segment)
  67  a CPU fault: divide error, invalid instruction, unmapped memory, execution outside the
      program's code
  68  a write into the program's code
  69  the instruction budget is used up (a hang)
  70  only with --check-stack: at 4Ch the stack pointer is not where it started

The program's code: when the image starts with "jmp near" (E9 rel16), as the images made by
masm2nasm.py do, the code is that jump and everything from its target to the end of the image; the
bytes in between are data. --code START:END (hex offsets, END exclusive) sets it by hand; an image
without the jump and without --code has no protected code.
"""

import argparse
import io
import sys

try:
    from unicorn import Uc, UcError, UC_ARCH_X86, UC_MODE_16, UC_HOOK_INTR
    from unicorn import UC_HOOK_MEM_WRITE, UC_HOOK_CODE
    from unicorn.x86_const import (
        UC_X86_REG_AX,
        UC_X86_REG_BX,
        UC_X86_REG_CX,
        UC_X86_REG_DX,
        UC_X86_REG_SI,
        UC_X86_REG_DI,
        UC_X86_REG_BP,
        UC_X86_REG_SP,
        UC_X86_REG_IP,
        UC_X86_REG_CS,
        UC_X86_REG_DS,
        UC_X86_REG_ES,
        UC_X86_REG_SS,
        UC_X86_REG_EFLAGS,
    )
except ImportError:  # pragma: no cover - reported as a usage error below
    Uc = None

EXIT_OK = 0
EXIT_USAGE = 64
EXIT_RETURN_CODE = 65
EXIT_SERVICE = 66
EXIT_FAULT = 67
EXIT_CODE_WRITE = 68
EXIT_BUDGET = 69
EXIT_STACK = 70

SEGMENT = 0x1000  # where the PSP lies; any paragraph in conventional memory would do
BASE = SEGMENT * 16
START_SP = 0xFFFE
DEFAULT_BUDGET = 50_000_000

EXCEPTIONS = {
    0: "divide error",
    1: "single-step trap",
    3: "breakpoint",
    4: "overflow trap (INTO)",
    5: "BOUND range exceeded",
    6: "invalid opcode",
    7: "no coprocessor",
    8: "double fault",
    12: "stack fault",
    13: "general protection fault",
}


class Stop(Exception):
    def __init__(self, code, message):
        super().__init__(message)
        self.code = code
        self.message = message


class ConsoleInput:
    """The input as a DOS console delivers it to reads of handle 0.

    Lines are taken from the source only when a read needs one, so a person can type them while
    the program runs."""

    def __init__(self, source):
        self.stream = io.BytesIO(source) if isinstance(source, (bytes, bytearray)) else source
        self.pending = b""

    def next_line(self):
        line = self.stream.readline()
        if line.endswith(b"\n"):
            line = line[:-1]
            if line.endswith(b"\r"):
                line = line[:-1]
            line += b"\r\n"
        return line

    def read(self, count):
        if count == 0:
            return b""
        if not self.pending:
            self.pending = self.next_line()
        chunk, self.pending = self.pending[:count], self.pending[count:]
        return chunk


class Machine:
    def __init__(self, image, stdin_data, budget, code_range, check_stack, sink=None):
        self.image = image
        self.input = ConsoleInput(stdin_data)
        self.budget = budget
        self.check_stack = check_stack
        self.output = bytearray()
        self.sink = sink  # a binary stream that gets the output as it is written, or None
        self.stop = None
        self.uc = uc = Uc(UC_ARCH_X86, UC_MODE_16)
        uc.mem_map(0, 0x110000)
        psp = bytearray(0x100)
        psp[0:2] = b"\xcd\x20"  # int 20h, where a RET from the entry would go
        psp[2:4] = (0xA000).to_bytes(2, "little")  # first segment after the program's memory
        psp[0x80] = 0
        psp[0x81] = 0x0D
        uc.mem_write(BASE, bytes(psp))
        uc.mem_write(BASE + 0x100, image)
        uc.mem_write(BASE + START_SP, b"\x00\x00")
        for reg in (UC_X86_REG_CS, UC_X86_REG_DS, UC_X86_REG_ES, UC_X86_REG_SS):
            uc.reg_write(reg, SEGMENT)
        for reg in (
            UC_X86_REG_AX,
            UC_X86_REG_BX,
            UC_X86_REG_CX,
            UC_X86_REG_DX,
            UC_X86_REG_SI,
            UC_X86_REG_DI,
            UC_X86_REG_BP,
        ):
            uc.reg_write(reg, 0)
        uc.reg_write(UC_X86_REG_SP, START_SP)
        self.error = None  # an exception raised inside a hook, re-raised after the run
        uc.hook_add(UC_HOOK_INTR, self.guarded(self.on_interrupt))
        self.code_range = code_range
        for start, end in code_range:
            uc.hook_add(
                UC_HOOK_MEM_WRITE, self.guarded(self.on_code_write), begin=BASE + start, end=BASE + end - 1
            )
        if code_range:
            # Execution anywhere but in the code: hooks on the gaps only, so that ordinary
            # execution pays nothing for the check.
            inside = sorted(code_range)
            gaps = []
            prev = 0
            for start, end in inside:
                if start > prev:
                    gaps.append((prev, start))
                prev = max(prev, end)
            gaps.append((prev, 0x10000))
            for start, end in gaps:
                uc.hook_add(UC_HOOK_CODE, self.guarded(self.on_stray), begin=BASE + start, end=BASE + end - 1)

    # -- helpers --

    def guarded(self, hook):
        def call(*args):
            try:
                hook(*args)
            except BaseException as e:  # unicorn would swallow it
                self.error = e
                self.uc.emu_stop()

        return call

    def reg(self, r):
        return self.uc.reg_read(r)

    def ip(self):
        return self.reg(UC_X86_REG_IP)

    def halt(self, code, message):
        if self.stop is None:
            self.stop = Stop(code, message)
        self.uc.emu_stop()

    def write(self, data):
        self.output += data
        if self.sink is not None:
            try:
                self.sink.write(data)
            except OSError as e:
                self.sink = None
                self.halt(EXIT_USAGE, f"cannot write the program's output: {e.strerror}")

    def set_carry(self, on):
        flags = self.reg(UC_X86_REG_EFLAGS)
        flags = flags | 1 if on else flags & ~1
        self.uc.reg_write(UC_X86_REG_EFLAGS, flags)

    # -- hooks --

    def on_code_write(self, uc, access, address, size, value, data):
        off = address - BASE
        self.halt(
            EXIT_CODE_WRITE,
            f"write of {size} byte(s) into the program's code at {off:04X}h "
            f"(instruction at {self.ip():04X}h)",
        )

    def on_stray(self, uc, address, size, data):
        self.halt(EXIT_FAULT, f"CPU fault: execution outside the program's code at {address - BASE:04X}h")

    def on_interrupt(self, uc, intno, data):
        ip = self.ip()
        before = bytes(uc.mem_read(BASE + ((ip - 2) & 0xFFFF), 2))
        software = before == bytes([0xCD, intno]) and not (intno == 0 and self.is_division(ip))
        if intno == 3 and not software and uc.mem_read(BASE + ((ip - 1) & 0xFFFF), 1) == b"\xcc":
            software = True
        if not software:
            name = EXCEPTIONS.get(intno, f"exception {intno}")
            self.halt(EXIT_FAULT, f"CPU fault: {name} at {ip:04X}h")
            return
        at = (ip - 2) & 0xFFFF
        if intno != 0x21:
            self.halt(EXIT_SERVICE, f"unsupported interrupt {intno:02X}h at {at:04X}h")
            return
        self.dos(at)

    def is_division(self, ip):
        code = bytes(self.uc.mem_read(BASE + ip, 4))
        i = 0
        while i < 3 and code[i] in (0x26, 0x2E, 0x36, 0x3E, 0x66, 0x67):
            i += 1
        return code[i] in (0xF6, 0xF7) and (code[i + 1] >> 3) & 7 in (6, 7)

    def dos(self, at):
        uc = self.uc
        ax = self.reg(UC_X86_REG_AX)
        ah, al = ax >> 8, ax & 0xFF
        if ah == 0x02:
            dl = self.reg(UC_X86_REG_DX) & 0xFF
            self.write(bytes([dl]))
            uc.reg_write(UC_X86_REG_AX, (ax & 0xFF00) | dl)
        elif ah == 0x09:
            ds = self.reg(UC_X86_REG_DS)
            dx = self.reg(UC_X86_REG_DX)
            rest = bytes(uc.mem_read(ds * 16 + dx, 0x10000 - dx))
            end = rest.find(b"$")
            if end < 0:
                self.halt(EXIT_SERVICE, f"int 21h/09h at {at:04X}h: no \"$\" after DS:DX={dx:04X}h")
                return
            self.write(rest[:end])
            uc.reg_write(UC_X86_REG_AX, (ax & 0xFF00) | 0x24)
        elif ah == 0x3F:
            bx = self.reg(UC_X86_REG_BX)
            if bx != 0:
                self.halt(EXIT_SERVICE, f"int 21h/3Fh at {at:04X}h: read from handle {bx}, only 0 is known")
                return
            ds = self.reg(UC_X86_REG_DS)
            dx = self.reg(UC_X86_REG_DX)
            cx = self.reg(UC_X86_REG_CX)
            if dx + cx > 0x10000:
                self.halt(EXIT_SERVICE, f"int 21h/3Fh at {at:04X}h: buffer crosses the segment end")
                return
            if self.sink is not None:
                self.sink.flush()  # the prompt is on the screen before the program waits
            chunk = self.input.read(cx)
            uc.mem_write(ds * 16 + dx, chunk)
            uc.reg_write(UC_X86_REG_AX, len(chunk))
            self.set_carry(False)
        elif ah == 0x4C:
            sp = self.reg(UC_X86_REG_SP)
            if self.check_stack and sp != START_SP:
                self.halt(
                    EXIT_STACK,
                    f"stack not balanced at the exit: SP={sp:04X}h, the program started with {START_SP:04X}h",
                )
            elif al != 0:
                self.halt(EXIT_RETURN_CODE, f"program ended with return code {al}")
            else:
                self.halt(EXIT_OK, "")
        else:
            self.halt(EXIT_SERVICE, f"unsupported function int 21h/{ah:02X}h at {at:04X}h")

    # -- run --

    def run(self):
        try:
            self.uc.emu_start(0x100, 0xFFFFFFFF, count=self.budget)
        except UcError as e:
            if self.stop is None:
                self.stop = Stop(EXIT_FAULT, f"CPU fault: {e} at {self.ip():04X}h")
        if self.error is not None:
            raise self.error
        if self.stop is None:
            self.stop = Stop(
                EXIT_BUDGET,
                f"instruction budget of {self.budget} used up (at {self.ip():04X}h): the program hangs",
            )
        return self.stop


def code_range_of(image):
    if len(image) >= 3 and image[0] == 0xE9:
        target = (0x103 + int.from_bytes(image[1:3], "little")) & 0xFFFF
        end = 0x100 + len(image)
        if 0x103 <= target < end:
            return [(0x100, 0x103), (target, end)]
    return []


def parse_range(text):
    try:
        start, end = (int(x, 16) for x in text.split(":"))
    except ValueError:
        raise argparse.ArgumentTypeError("expected START:END in hex")
    if not 0 <= start < end <= 0x10000:
        raise argparse.ArgumentTypeError("expected 0 <= START < END <= 10000")
    return (start, end)


def run(image, stdin_data=b"", budget=DEFAULT_BUDGET, code_range=None, check_stack=False, sink=None):
    """Runs the image; returns (exit code, output bytes, message).

    stdin_data is the input as bytes or a binary stream read line by line; sink, when given, gets
    the output while the program runs."""
    if code_range is None:
        code_range = code_range_of(image)
    machine = Machine(image, stdin_data, budget, code_range, check_stack, sink)
    stop = machine.run()
    if sink is not None:
        sink.flush()
    return stop.code, bytes(machine.output), stop.message


def main(argv):
    ap = argparse.ArgumentParser(
        description="Run a DOS .COM program on an emulated CPU.",
        epilog="Exit codes: 0 ok, 64 usage/load, 65 return code not 0, 66 unsupported "
        "interrupt or service, 67 CPU fault, 68 write into code, 69 budget, 70 stack.",
    )
    ap.add_argument("program", help="the .COM file")
    ap.add_argument("--input", help="file read by int 21h/3Fh (default: standard input)")
    ap.add_argument("--budget", type=int, default=DEFAULT_BUDGET, help="instructions before it counts as a hang")
    ap.add_argument("--code", type=parse_range, action="append", help="protected code range START:END (hex)")
    ap.add_argument("--check-stack", action="store_true", help="fail when SP at the exit differs from the start")
    try:
        args = ap.parse_args(argv)
    except SystemExit as e:
        return EXIT_USAGE if e.code else 0
    if Uc is None:
        print("dosrun: the unicorn module is missing (Debian package python3-unicorn; run with /usr/bin/python3)", file=sys.stderr)
        return EXIT_USAGE
    try:
        with open(args.program, "rb") as f:
            image = f.read()
        stdin_data = open(args.input, "rb") if args.input is not None else sys.stdin.buffer
    except OSError as e:
        print(f"dosrun: {e.filename}: {e.strerror}", file=sys.stderr)
        return EXIT_USAGE
    if not image or len(image) > 0xFF00 - 0x100:
        print(f"dosrun: {args.program}: not a .COM image of 1 to {0xFE00} bytes", file=sys.stderr)
        return EXIT_USAGE
    code, _, message = run(image, stdin_data, args.budget, args.code, args.check_stack, sys.stdout.buffer)
    if message:
        print(f"dosrun: {message}", file=sys.stderr)
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
