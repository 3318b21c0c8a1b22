#!/usr/bin/python3
"""Every instruction form of the machine run from random states, held against unicorn.

    compare_states.py --driver MACHINE_DRIVER [--states N] [--seed S]

For each form of the instruction table (machine_driver forms), N random states (default 1000):
the instruction's bytes made here from the form (random registers in the ModRM byte, random
addressing modes, displacements, immediates and prefixes), random registers and flags, and
random bytes at every address the instruction can read or write. Each state runs on the machine
(machine_driver states) and on unicorn for the same number of instructions (one; for a repeated
move, up to CX + 1). Compared: the exit status (a divide error must fault on both), every
register, IP, the flags the instruction defines, and the bytes at the state's addresses.

Unicorn is started at the linear address CS:IP with a count; it then keeps EIP linear, which
reads right as IP because CS is F000h here (its base has zero low 16 bits). Unicorn keeps the code
it has translated, and runs it again at that address even when the bytes there have changed; and a
write into a page that holds translated code makes it start the instruction anew, which the count
takes for the one instruction. So every state's code has a place of its own in segment F000h (the
translations are dropped when the places are used up and begin again), and every other address
of a state, of its data and its stack, lies below F0000h; no memory operand takes CS. A jump
makes unicorn translate the code at its target, anywhere: the states of the instructions that
change IP (and of popf, and of mov to a segment register) run on a unicorn of their own.
int is left out: its services are the runner's, compared program by program.
"""

import argparse
import json
import multiprocessing
import os
import random
import subprocess
import sys
import time

from unicorn import Uc, UcError, UC_ARCH_X86, UC_MODE_16, UC_HOOK_INTR
from unicorn import x86_const as X

REGS = ["ax", "cx", "dx", "bx", "sp", "bp", "si", "di"]
SREGS = ["es", "cs", "ss", "ds"]
UC_REGS = {n: getattr(X, f"UC_X86_REG_{n.upper()}") for n in REGS + SREGS + ["ip"]}
CF, PF, AF, ZF, SF, TF, IF, DF, OF = 1, 4, 0x10, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800
ARITH = CF | PF | AF | ZF | SF | OF
MEMORY = 0x110000
# Instructions after which unicorn translates code at the next IP before the count stops it, where
# a later state's code may stand: each of their states runs on a unicorn of its own.
ALONE = {"jmp", "jc", "jae", "je", "jne", "jns", "jl", "jge", "jle", "jg", "loop", "call", "ret",
         "popf", "rep movsb"}


def word(v):
    return [v & 0xFF, (v >> 8) & 0xFF]


class State:
    def __init__(self, rng, form):
        self.rng = rng
        self.form = form
        self.regs = {n: rng.randrange(0x10000) for n in REGS}
        for n in ("cx",):
            if form["mnemonic"] == "rep movsb":
                self.regs[n] = rng.randrange(0, 9)
        # Data below F0000h, the code above (see CodePlaces).
        self.sregs = {n: rng.randrange(0xE001) for n in SREGS}
        self.sregs["cs"] = 0xF000
        self.ip = 0
        self.flags = (rng.randrange(0x10000) & (ARITH | DF)) | 2
        self.memory = {}
        self.code = []
        self.count = 1

    def put(self, linear, count):
        for k in range(count):
            self.memory.setdefault((linear + k) % MEMORY, self.rng.randrange(256))

    def stack(self):
        ss, sp = self.sregs["ss"], self.regs["sp"]
        for d in range(-18, 18):
            self.memory.setdefault(ss * 16 + ((sp + d) & 0xFFFF), self.rng.randrange(256))

    def modrm(self, reg_field, allow_register):
        """A random ModRM byte and displacement; puts bytes at the memory operand's address."""
        mod = self.rng.choice([0, 1, 2] + ([3, 3] if allow_register else []))
        rm = self.rng.randrange(8)
        out = [(mod << 6) | (reg_field << 3) | rm]
        if mod == 3:
            return out, None
        if mod == 0 and rm == 6:
            disp = self.rng.randrange(0x10000)
            out += word(disp)
            offset, segment = disp, "ds"
        else:
            bases = [("bx", "si"), ("bx", "di"), ("bp", "si"), ("bp", "di"), ("si",), ("di",), ("bp",), ("bx",)]
            disp = 0
            if mod == 1:
                b = self.rng.randrange(256)
                out.append(b)
                disp = b - 256 if b > 127 else b
            elif mod == 2:
                disp = self.rng.randrange(0x10000)
                out += word(disp)
            offset = (disp + sum(self.regs[r] for r in bases[rm])) & 0xFFFF
            segment = "ss" if "bp" in bases[rm] else "ds"
        return out, (segment, offset)

    def build(self):
        f, rng = self.form, self.rng
        shapes = (f["dst"], f["src"])
        prefix = []
        if rng.random() < 0.2:
            prefix.append(rng.choice([0x26, 0x36, 0x3E]))
        override = {0x26: "es", 0x2E: "cs", 0x36: "ss", 0x3E: "ds"}.get(prefix[0]) if prefix else None
        if f["mnemonic"] == "rep movsb":
            prefix.append(0xF3)
        opcode = list(f["opcode"])
        if "PlusR8" in shapes or "PlusR16" in shapes:
            opcode[0] += rng.randrange(8)
        body = []
        operand_at = None
        if f["modrm"]:
            if f["ext"] >= 0:
                reg_field = f["ext"]
            elif "SReg" in shapes:
                reg_field = rng.choice([0, 2, 3])
            else:
                reg_field = rng.randrange(8)
            allow_register = "M" not in shapes
            body, operand_at = self.modrm(reg_field, allow_register)
        for shape in shapes:
            if shape in ("Moffs8", "Moffs16"):
                disp = rng.randrange(0x10000)
                body += word(disp)
                operand_at = ("ds", disp)
            elif shape in ("I8", "S8", "Rel8"):
                body.append(rng.randrange(256))
            elif shape in ("I16", "Rel16"):
                body += word(rng.randrange(0x10000))
        if operand_at:
            segment, offset = operand_at
            segment = override or segment
            base = self.sregs[segment] * 16
            for k in range(3):
                self.put(base + ((offset + k) & 0xFFFF), 1)
        self.code = prefix + opcode + body
        cs = self.sregs["cs"] * 16
        for k, b in enumerate(self.code):
            self.memory[cs + self.ip + k] = b
        self.stack()
        if f["mnemonic"] == "rep movsb":
            cx = self.regs["cx"]
            src = self.sregs[override or "ds"] * 16
            dst = self.sregs["es"] * 16
            for k in range(-9, 10):
                self.put(src + ((self.regs["si"] + k) & 0xFFFF), 1)
                self.put(dst + ((self.regs["di"] + k) & 0xFFFF), 1)
            self.count = rng.randrange(1, cx + 2)
        if f["mnemonic"] == "popf":
            # A trap flag popped would stop the next instruction: not set here.
            ss, sp = self.sregs["ss"], self.regs["sp"]
            self.memory[ss * 16 + ((sp + 1) & 0xFFFF)] &= ~(TF >> 8) & 0xFF
        # Code bytes win over data put at the same place.
        for k, b in enumerate(self.code):
            self.memory[cs + self.ip + k] = b

    def json(self):
        regs = dict(self.regs, **self.sregs, ip=self.ip, flags=self.flags)
        blocks = [[a, [v]] for a, v in sorted(self.memory.items())]
        return json.dumps({"regs": regs, "memory": blocks, "count": self.count})


def defined_flags(form, state):
    m = form["mnemonic"]
    if m in ("and", "or", "xor"):
        return ARITH & ~AF
    if m in ("mul", "imul"):
        return CF | OF
    if m in ("div", "idiv"):
        return 0
    if m == "shl":
        return None  # decided from the count, after the run
    return 0xFFFF & ~(IF | TF) | DF


def shl_flags(form, state, before):
    size = 8 * form["size"]
    if form["src"] == "One":
        count = 1
    elif form["src"] == "CL":
        count = before["cx"] & 0x1F
    else:
        count = state.code[-1] & 0x1F
    if count == 0:
        return 0xFFFF & ~(IF | TF)
    flags = CF | PF | ZF | SF
    if count == 1:
        flags |= OF
    if count >= size:
        flags &= ~CF
    return flags


class Unicorn:
    def __init__(self):
        self.uc = None
        self.dirty = False
        self.start()

    def start(self):
        if self.uc is not None:
            self.uc.hook_del(self.hook)
            self.uc.mem_unmap(0, MEMORY)
        self.uc = Uc(UC_ARCH_X86, UC_MODE_16)
        self.uc.mem_map(0, MEMORY)
        self.interrupt = None
        self.hook = self.uc.hook_add(UC_HOOK_INTR, self.on_interrupt)

    def on_interrupt(self, uc, intno, data):
        self.interrupt = intno
        uc.emu_stop()

    def run(self, state):
        # The one after such a state gets a new unicorn too.
        if state.alone or self.dirty:
            self.start()
        self.dirty = state.alone
        uc = self.uc
        for a, v in state.memory.items():
            uc.mem_write(a, bytes([v]))
        if state.flush:
            uc.ctl_flush_tb()
        for n in REGS + SREGS:
            uc.reg_write(UC_REGS[n], (state.regs | state.sregs)[n])
        uc.reg_write(UC_REGS["ip"], state.ip)
        uc.reg_write(X.UC_X86_REG_EFLAGS, state.flags)
        self.interrupt = None
        status = "ok"
        try:
            uc.emu_start(state.sregs["cs"] * 16 + state.ip, 0xFFFFFFFF, count=state.count)
        except UcError as e:
            status = f"error {e}"
        if self.interrupt is not None:
            status = f"interrupt {self.interrupt}"
        regs = {n: uc.reg_read(UC_REGS[n]) for n in REGS + SREGS + ["ip"]}
        regs["flags"] = uc.reg_read(X.UC_X86_REG_EFLAGS) & 0xFFFF
        memory = {a: uc.mem_read(a, 1)[0] for a in state.memory}
        for a in state.memory:
            uc.mem_write(a, b"\0")
        if self.interrupt is not None:
            # Stopped in an exception, unicorn 2.0 runs the next start wrongly: a new one is taken.
            self.start()
        return status, regs, memory


STATES, OURS = [], []


def compare_range(bounds):
    """Runs STATES[start:end] on a unicorn of this process; returns the differences by form."""
    start, end = bounds
    unicorn = Unicorn()
    failures = {}
    for state, mine in zip(STATES[start:end], OURS[start:end]):
        form = state.form
        key = f"{form['mnemonic']} {form['dst']},{form['src']} {bytes(form['opcode']).hex()}/{form['ext']}"
        status, regs, memory = unicorn.run(state)
        before = dict(state.regs)
        problems = []
        # A CPU exception comes as an interrupt (a divide error in real mode as 0 or, through the
        # empty vector table, 8); the machine stops with a fault.
        faulted = status.startswith("interrupt")
        if faulted != (mine["status"] == 67):
            problems.append(f"status: unicorn {status}, machine {mine['status']} {mine['message']}")
        elif not faulted:
            if status != "ok" or mine["status"] != -1:
                problems.append(f"status: unicorn {status}, machine {mine['status']} {mine['message']}")
            mask = defined_flags(form, state)
            if mask is None:
                mask = shl_flags(form, state, before)
            for n in REGS + SREGS + ["ip"]:
                if regs[n] != mine["regs"][n]:
                    problems.append(f"{n}: unicorn {regs[n]:04x}, machine {mine['regs'][n]:04x}")
            if (regs["flags"] ^ mine["regs"]["flags"]) & mask:
                problems.append(f"flags: unicorn {regs['flags']:04x}, machine {mine['regs']['flags']:04x}")
            for a, v in mine["memory"]:
                if memory[a] != v:
                    problems.append(f"memory {a:05x}: unicorn {memory[a]:02x}, machine {v:02x}")
                    break
        if problems:
            failures.setdefault(key, []).append(f"code {bytes(state.code).hex()} from {state.json()[:300]}: "
                                                + "; ".join(problems))

    return failures


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--driver", required=True)
    ap.add_argument("--states", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=21)
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = ap.parse_args()
    started = time.monotonic()
    forms = [json.loads(l) for l in subprocess.run([args.driver, "forms"], capture_output=True, check=True,
                                                   text=True).stdout.splitlines()]
    forms = [f for f in forms if f["mnemonic"] != "int"]
    rng = random.Random(args.seed)
    states = []
    place = 0
    for form in forms:
        for _ in range(args.states):
            s = State(rng, form)
            s.flush = place == 0
            s.alone = form["mnemonic"] in ALONE or form["dst"] == "SReg"
            s.ip = place
            s.build()
            place += len(s.code)
            if place > 0xFFE0:
                place = 0
            states.append(s)
    text = "".join(s.json() + "\n" for s in states)
    r = subprocess.run([args.driver, "states"], input=text, capture_output=True, text=True, check=True)
    ours = [json.loads(l) for l in r.stdout.splitlines()]
    print(f"== {len(states)} states of {len(forms)} forms run on the machine: "
          f"{time.monotonic() - started:.1f} s", flush=True)
    started = time.monotonic()
    global STATES, OURS
    STATES, OURS = states, ours
    jobs = max(1, args.jobs)
    step = (len(states) + jobs - 1) // jobs
    with multiprocessing.Pool(jobs) as pool:
        parts = pool.map(compare_range, [(k, min(k + step, len(states))) for k in range(0, len(states), step)])
    failures = {}
    for part in parts:
        for key, items in part.items():
            failures.setdefault(key, []).extend(items)
    print(f"== held against unicorn: {time.monotonic() - started:.1f} s")
    for key, items in failures.items():
        print(f"{key}: {len(items)} states differ, the first: {items[0]}")
    print(f"{len(forms) - len(failures)} passed, {len(failures)} failed (forms, {args.states} states each)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
