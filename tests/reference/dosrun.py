#!/usr/bin/python3
"""Runs a DOS .EXE program on the unicorn CPU emulator with the few DOS services pas2asm needs.

Run it with /usr/bin/python3: Debian's python3-unicorn lives there, and another python3 first on
PATH may not see it.

The machine loads the .EXE as DOS does: the PSP at one segment, the image from the next paragraph
on, every relocation increased by that paragraph, CS:IP and SS:SP from the header (each segment
relative to the image), DS = ES = the PSP, and memory up to A000h free. Interrupt 21h offers:

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
  68  the program overwrites its own image: any write into its code, or a push (or call) whose
      word lands in its data, which happens when the stack lies inside the image
  69  the instruction budget is used up (a hang)
  70  only with --check-stack: at 4Ch the stack pointer is not where it started

The program's code is the part of the image in front of the segment that its relocations point
at: in the small model that masm2nasm.py builds, the one relocated word is the operand of
"mov AX, @Data", DGROUP's paragraph, and the code (_TEXT) lies before it. An image with no
relocation is code throughout.
"""

import argparse
import io
import struct
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
EXIT_IMAGE_WRITE = 68
EXIT_BUDGET = 69
EXIT_STACK = 70

# The image follows the 256 bytes of the PSP. Unicorn 2 reports IP wrongly inside memory hooks
# unless CS is a multiple of 1000h, so the image (and _TEXT with it) starts at such a segment.
LOAD_SEGMENT = 0x1000
PSP_SEGMENT = LOAD_SEGMENT - 0x10
MEMORY_TOP = 0xA000  # the first paragraph after the memory DOS gives the program
MEMORY_SIZE = 0x110000  # what a real-mode address can reach
DEFAULT_BUDGET = 50_000_000

# First bytes of the instructions that write to the stack: push of a segment register, pusha,
# push of a constant, call far, pushf, enter, call near (after any prefix bytes).
STACK_WRITES = {0x06, 0x0E, 0x16, 0x1E, 0x60, 0x68, 0x6A, 0x9A, 0x9C, 0xC8, 0xE8} | set(range(0x50, 0x58))
PREFIXES = (0x26, 0x2E, 0x36, 0x3E, 0x66, 0x67)


def opcode(code):
    """The opcode in an instruction's first five bytes, after at most three prefixes, and the reg
    field of the byte that follows it."""
    i = 0
    while i < 3 and code[i] in PREFIXES:
        i += 1
    return code[i], (code[i + 1] >> 3) & 7


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


class LoadError(Exception):
    pass


class Exe:
    """The parts of an .EXE file that loading it takes; load_exe() checks them."""

    def __init__(self, data):
        if len(data) < 28 or data[:2] not in (b"MZ", b"ZM"):
            raise LoadError("not an .EXE file (no MZ header)")
        (last, pages, count, header, self.beyond, _, self.ss, self.sp, _, self.ip, self.cs,
         table) = struct.unpack_from("<12H", data, 2)
        size = pages * 512 - (512 - last) % 512
        if not header * 16 < size <= len(data) or table + 4 * count > header * 16:
            raise LoadError("the header does not fit the file")
        self.image = data[header * 16 : size]
        # Each entry is offset, then segment; the list keeps them as (segment, offset).
        self.relocations = [struct.unpack_from("<2H", data, table + 4 * i)[::-1] for i in range(count)]
        for seg, off in self.relocations:
            if seg * 16 + off + 2 > len(self.image):
                raise LoadError(f"relocation {seg:04X}:{off:04X}h outside the image")
        self.paragraphs = (len(self.image) + 15) // 16 + self.beyond
        if LOAD_SEGMENT + self.paragraphs > MEMORY_TOP:
            raise LoadError(f"the program needs {self.paragraphs * 16} bytes of memory, more than DOS has")
        if self.relocations:
            seg, off = self.relocations[0]
            self.code_end = min(struct.unpack_from("<H", self.image, seg * 16 + off)[0] * 16, len(self.image))
        else:
            self.code_end = len(self.image)


class Machine:
    def __init__(self, exe, stdin_data, budget, check_stack, sink=None):
        self.exe = exe
        self.input = ConsoleInput(stdin_data)
        self.budget = budget
        self.check_stack = check_stack
        self.output = bytearray()
        self.sink = sink  # a binary stream that gets the output as it is written, or None
        self.stop = None
        self.uc = uc = Uc(UC_ARCH_X86, UC_MODE_16)
        uc.mem_map(0, MEMORY_SIZE)
        psp = bytearray(0x100)
        psp[0:2] = b"\xcd\x20"  # int 20h, where a far return to PSP:0 would go
        psp[2:4] = MEMORY_TOP.to_bytes(2, "little")
        psp[0x80] = 0
        psp[0x81] = 0x0D
        uc.mem_write(PSP_SEGMENT * 16, bytes(psp))
        image = bytearray(exe.image)
        for seg, off in exe.relocations:
            at = seg * 16 + off
            word = (int.from_bytes(image[at : at + 2], "little") + LOAD_SEGMENT) & 0xFFFF
            image[at : at + 2] = word.to_bytes(2, "little")
        self.base = base = LOAD_SEGMENT * 16
        uc.mem_write(base, bytes(image))
        for reg, value in (
            (UC_X86_REG_CS, LOAD_SEGMENT + exe.cs),
            (UC_X86_REG_SS, LOAD_SEGMENT + exe.ss),
            (UC_X86_REG_SP, exe.sp),
            (UC_X86_REG_DS, PSP_SEGMENT),
            (UC_X86_REG_ES, PSP_SEGMENT),
        ):
            uc.reg_write(reg, value)
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
        self.error = None  # an exception raised inside a hook, re-raised after the run
        uc.hook_add(UC_HOOK_INTR, self.guarded(self.on_interrupt))
        code_end = base + exe.code_end
        image_end = base + len(image)
        if exe.code_end:
            uc.hook_add(UC_HOOK_MEM_WRITE, self.guarded(self.on_code_write), begin=base, end=code_end - 1)
            # Execution anywhere but in the code: hooks on the rest only, so that ordinary
            # execution pays nothing for the check.
            uc.hook_add(UC_HOOK_CODE, self.guarded(self.on_stray), begin=0, end=base - 1)
            uc.hook_add(UC_HOOK_CODE, self.guarded(self.on_stray), begin=code_end, end=MEMORY_SIZE - 1)
        if image_end > code_end:
            uc.hook_add(UC_HOOK_MEM_WRITE, self.guarded(self.on_data_write), begin=code_end, end=image_end - 1)

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

    def instruction(self):
        """(CS:IP, the first bytes of the instruction being executed)."""
        cs, ip = self.reg(UC_X86_REG_CS), self.ip()
        return cs, ip, bytes(self.uc.mem_read(cs * 16 + ip, 5))

    def on_code_write(self, uc, access, address, size, value, data):
        cs, ip, _ = self.instruction()
        self.halt(
            EXIT_IMAGE_WRITE,
            f"write of {size} byte(s) into the program's code at {address - self.base:04X}h "
            f"(instruction at {cs:04X}:{ip:04X}h)",
        )

    def on_data_write(self, uc, access, address, size, value, data):
        # Variables are written all the time; only a write by an instruction that pushes is a
        # stack that has run into (or was placed inside) the image. A push writes at most 16
        # bytes below SS:SP, which unicorn still shows as it was before the instruction.
        offset = address - self.reg(UC_X86_REG_SS) * 16
        if not 0 < (self.reg(UC_X86_REG_SP) - offset) % 0x10000 <= 16 or not 0 <= offset < 0x10000:
            return
        cs, ip, code = self.instruction()
        op, reg = opcode(code)
        if op in STACK_WRITES or (op == 0xFF and reg in (2, 3, 6)):
            offset = address - self.base - self.exe.code_end
            self.halt(
                EXIT_IMAGE_WRITE,
                f"push into the program's image: {size} byte(s) at DGROUP:{offset:04X}h, "
                f"SS:SP = {self.reg(UC_X86_REG_SS):04X}:{self.reg(UC_X86_REG_SP):04X}h "
                f"(instruction at {cs:04X}:{ip:04X}h): the stack lies inside the image",
            )

    def on_stray(self, uc, address, size, data):
        self.halt(EXIT_FAULT, f"CPU fault: execution outside the program's code at linear {address:05X}h")

    def on_interrupt(self, uc, intno, data):
        cs, ip = self.reg(UC_X86_REG_CS), self.ip()
        before = bytes(uc.mem_read(cs * 16 + ((ip - 2) & 0xFFFF), 2))
        software = before == bytes([0xCD, intno]) and not (intno == 0 and self.is_division(cs, ip))
        if intno == 3 and not software and uc.mem_read(cs * 16 + ((ip - 1) & 0xFFFF), 1) == b"\xcc":
            software = True
        if not software:
            name = EXCEPTIONS.get(intno, f"exception {intno}")
            self.halt(EXIT_FAULT, f"CPU fault: {name} at {cs:04X}:{ip:04X}h")
            return
        at = (ip - 2) & 0xFFFF
        if intno != 0x21:
            self.halt(EXIT_SERVICE, f"unsupported interrupt {intno:02X}h at {cs:04X}:{at:04X}h")
            return
        self.dos(at)

    def is_division(self, cs, ip):
        op, reg = opcode(bytes(self.uc.mem_read(cs * 16 + ip, 5)))
        return op in (0xF6, 0xF7) and reg in (6, 7)

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
            if self.check_stack and sp != self.exe.sp:
                self.halt(
                    EXIT_STACK,
                    f"stack not balanced at the exit: SP={sp:04X}h, the program started with {self.exe.sp:04X}h",
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
            # In 16-bit mode unicorn takes the start as a linear address.
            start = (LOAD_SEGMENT + self.exe.cs) * 16 + self.exe.ip
            self.uc.emu_start(start, 0xFFFFFFFF, count=self.budget)
        except UcError as e:
            if self.stop is None:
                cs, ip = self.reg(UC_X86_REG_CS), self.ip()
                self.stop = Stop(EXIT_FAULT, f"CPU fault: {e} at {cs:04X}:{ip:04X}h")
        if self.error is not None:
            raise self.error
        if self.stop is None:
            self.stop = Stop(
                EXIT_BUDGET,
                f"instruction budget of {self.budget} used up (at {self.ip():04X}h): the program hangs",
            )
        return self.stop


def run(exe_file, stdin_data=b"", budget=DEFAULT_BUDGET, check_stack=False, sink=None):
    """Runs the bytes of an .EXE file; returns (exit code, output bytes, message).

    stdin_data is the input as bytes or a binary stream read line by line; sink, when given, gets
    the output while the program runs."""
    try:
        exe = Exe(exe_file)
    except LoadError as e:
        return EXIT_USAGE, b"", f"cannot load the program: {e}"
    machine = Machine(exe, stdin_data, budget, check_stack, sink)
    stop = machine.run()
    if sink is not None:
        sink.flush()
    return stop.code, bytes(machine.output), stop.message


def main(argv):
    ap = argparse.ArgumentParser(
        description="Run a DOS .EXE program on an emulated CPU.",
        epilog="Exit codes: 0 ok, 64 usage/load, 65 return code not 0, 66 unsupported "
        "interrupt or service, 67 CPU fault, 68 write into the image, 69 budget, 70 stack.",
    )
    ap.add_argument("program", help="the .EXE file")
    ap.add_argument("--input", help="file read by int 21h/3Fh (default: standard input)")
    ap.add_argument("--budget", type=int, default=DEFAULT_BUDGET, help="instructions before it counts as a hang")
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
            exe_file = f.read()
        stdin_data = open(args.input, "rb") if args.input is not None else sys.stdin.buffer
    except OSError as e:
        print(f"dosrun: {e.filename}: {e.strerror}", file=sys.stderr)
        return EXIT_USAGE
    code, _, message = run(exe_file, stdin_data, args.budget, args.check_stack, sys.stdout.buffer)
    if message:
        print(f"dosrun: {message}", file=sys.stderr)
    return code


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
