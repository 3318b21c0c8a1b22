// The machine: memory, the loader, the decoder, the interpreter and the DOS services.
//
// One trick makes it fast: each instruction of the program's code is decoded once, the first time
// it runs, into a slot of a table indexed by its offset, and later runs take it from there. That
// is sound because the code cannot change: a write into it stops the program. Outside the
// protected code (a blank machine) every instruction is decoded where it stands.
#include "machine/machine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "asm/forms.h"

namespace {
constexpr uint32_t kMemorySize = 0x110000; // what a real-mode address can reach
constexpr uint16_t kPspSegment = kLoadSegment - 0x10;
constexpr uint16_t kMemoryTop = 0xA000; // the first paragraph after the memory DOS gives

// --- State ---------------------------------------------------------------------------------

// Registers AX..DI, and a ninth that is always 0: an address without a base or an index adds it.
uint16_t R[9];
uint16_t S[4];
uint16_t IP;
uint16_t Flags;
std::vector<uint8_t> Mem(kMemorySize + 2);

MachineIo Io;
bool CheckStack;
uint16_t StartSP;
Status Stopped = Status::Running;
std::string Message;
uint64_t Executed;
uint16_t Last;       // the offset of the last instruction executed
std::string Pending; // the rest of the input line a read did not take

// The protected program: code in [CodeStart, CodeStart + CodeSize), the image's data after it.
uint32_t CodeStart, CodeSize, DataStart, DataSize;
bool Protected;

// --- Decoded instructions -------------------------------------------------------------------

enum class Loc : uint8_t { None, Reg8, Reg16, Mem8, Mem16, Imm, SReg };

struct Operand {
  Loc loc = Loc::None;
  uint8_t reg = 8;   // Reg8, Reg16, SReg: the register; Mem: the base register (8: none)
  uint8_t index = 8; // Mem: the index register (8: none)
  uint8_t segment = kDS;
  uint16_t value = 0; // Mem: the displacement; Imm: the value; a jump: the target
};

struct Decoded {
  Op op = Op::Invalid;
  uint8_t length = 0; // 0: not decoded yet
  uint8_t size = 2;
  uint8_t condition = 0;
  Operand dst, src;
};

std::vector<Decoded> Cache; // by offset in the protected code

// The opcode index of the form table: one entry per first byte, a second page after 0Fh.
struct Entry {
  const Form *plain = nullptr; // a form with no ModRM extension
  const Form *byExt[8] = {};   // forms told apart by the ModRM reg field
};
std::array<Entry, 512> Index;
bool Indexed;

void BuildIndex() {
  for (const Form &form : InstructionForms()) {
    int code = form.opcode[0] == 0x0F ? 256 + form.opcode[1] : form.opcode[0];
    int count = form.dst == Shape::PlusR8 || form.dst == Shape::PlusR16 ? 8 : 1;
    for (int r = 0; r < count; r++) {
      Entry &e = Index[code + r];
      if (form.ext >= 0)
        e.byExt[form.ext] = &form;
      else
        e.plain = &form;
    }
  }
  Indexed = true;
}

uint8_t CodeByte(uint16_t offset) {
  return Mem[(static_cast<uint32_t>(S[kCS]) << 4) + offset];
}

// Decodes the instruction at CS:ip; an opcode outside the table decodes as Invalid.
void Decode(uint16_t ip, Decoded &d) {
  if (!Indexed) BuildIndex();
  d = Decoded{};
  uint16_t at = ip;
  int segment = -1;
  bool rep = false;
  for (int i = 0; i < 4; i++) {
    uint8_t b = CodeByte(at);
    if (b == 0x26 || b == 0x2E || b == 0x36 || b == 0x3E)
      segment = (b >> 3) & 3;
    else if (b == 0xF3)
      rep = true;
    else
      break;
    at++;
  }
  int code = CodeByte(at++);
  if (code == 0x0F) code = 256 + CodeByte(at++);
  const Entry &e = Index[code];
  const Form *form = e.plain;
  uint8_t modrm = 0;
  bool hasModRm = form ? HasModRm(*form) : true;
  if (hasModRm) modrm = CodeByte(at++);
  if (!form) form = e.byExt[(modrm >> 3) & 7];
  d.length = static_cast<uint8_t>(at - ip);
  if (!form || (form->op == Op::RepMovsb && !rep)) return;
  d.op = form->op;
  d.size = form->size ? form->size : 2;
  d.condition = form->condition;

  // The ModRM operand: a register, or memory at a base and index plus a displacement.
  Operand rm;
  if (hasModRm) {
    int mod = modrm >> 6, r = modrm & 7;
    if (mod == 3) {
      rm.loc = d.size == 1 ? Loc::Reg8 : Loc::Reg16;
      rm.reg = static_cast<uint8_t>(r);
    } else {
      static constexpr uint8_t kBase[8] = {kBX, kBX, kBP, kBP, 8, 8, kBP, kBX};
      static constexpr uint8_t kIdx[8] = {kSI, kDI, kSI, kDI, kSI, kDI, 8, 8};
      rm.loc = d.size == 1 ? Loc::Mem8 : Loc::Mem16;
      if (mod == 0 && r == 6) {
        rm.value = static_cast<uint16_t>(CodeByte(at) | CodeByte(at + 1) << 8);
        at += 2;
      } else {
        rm.reg = kBase[r];
        rm.index = kIdx[r];
        rm.segment = rm.reg == kBP ? kSS : kDS;
        if (mod == 1) rm.value = static_cast<uint16_t>(static_cast<int8_t>(CodeByte(at++)));
        if (mod == 2) {
          rm.value = static_cast<uint16_t>(CodeByte(at) | CodeByte(at + 1) << 8);
          at += 2;
        }
      }
      if (segment >= 0) rm.segment = static_cast<uint8_t>(segment);
    }
  }
  uint8_t regField = (modrm >> 3) & 7;
  auto operand = [&](Shape shape) {
    Operand op;
    using enum Shape;
    switch (shape) {
    case None:
      break;
    case R8:
      op = {Loc::Reg8, regField};
      break;
    case R16:
      op = {Loc::Reg16, regField};
      break;
    case RM8:
    case RM16:
    case M:
      op = rm;
      break;
    case PlusR8:
      op = {Loc::Reg8, static_cast<uint8_t>(code & 7)};
      break;
    case PlusR16:
      op = {Loc::Reg16, static_cast<uint8_t>(code & 7)};
      break;
    case AL:
      op = {Loc::Reg8, kAX};
      break;
    case AX:
      op = {Loc::Reg16, kAX};
      break;
    case CL:
      op = {Loc::Reg8, kCX};
      break;
    case One:
      op = {Loc::Imm, 8, 8, kDS, 1};
      break;
    case Moffs8:
    case Moffs16:
      op.loc = shape == Moffs8 ? Loc::Mem8 : Loc::Mem16;
      op.segment = static_cast<uint8_t>(segment >= 0 ? segment : kDS);
      op.value = static_cast<uint16_t>(CodeByte(at) | CodeByte(at + 1) << 8);
      at += 2;
      break;
    case I8:
      op = {Loc::Imm, 8, 8, kDS, CodeByte(at++)};
      break;
    case S8:
      op = {Loc::Imm, 8, 8, kDS, static_cast<uint16_t>(static_cast<int8_t>(CodeByte(at++)))};
      break;
    case I16:
      op = {Loc::Imm, 8, 8, kDS, static_cast<uint16_t>(CodeByte(at) | CodeByte(at + 1) << 8)};
      at += 2;
      break;
    case SReg:
      op = {Loc::SReg, regField};
      break;
    case Rel8:
      op = {Loc::Imm, 8, 8, kDS, static_cast<uint16_t>(static_cast<int8_t>(CodeByte(at++)))};
      break;
    case Rel16:
      op = {Loc::Imm, 8, 8, kDS, static_cast<uint16_t>(CodeByte(at) | CodeByte(at + 1) << 8)};
      at += 2;
      break;
    }
    return op;
  };
  d.dst = operand(form->dst);
  d.src = operand(form->src);
  d.length = static_cast<uint8_t>(static_cast<uint16_t>(at - ip));
  // A jump's target, from the end of the instruction.
  if (form->dst == Shape::Rel8 || form->dst == Shape::Rel16)
    d.dst.value = static_cast<uint16_t>(ip + d.length + d.dst.value);
  // mov to CS, or to a segment register code 4..7, and lea of a register are invalid.
  if (d.op == Op::MovSreg && (regField == kCS || regField > 3)) d.op = Op::Invalid;
  if (d.op == Op::Lea && d.src.loc != Loc::Mem16) d.op = Op::Invalid;
  if (d.op == Op::RepMovsb && segment >= 0) d.src.segment = static_cast<uint8_t>(segment);
}

// --- Stops ----------------------------------------------------------------------------------

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

void Stop(Status status, std::string message) {
  if (Stopped != Status::Running) return;
  Stopped = status;
  Message = std::move(message);
}

std::string Here() {
  return Hex(S[kCS], 4) + ":" + Hex(IP, 4) + "h";
}

// --- Memory ---------------------------------------------------------------------------------

uint32_t Linear(const Operand &op) {
  return (static_cast<uint32_t>(S[op.segment]) << 4) +
         static_cast<uint16_t>(op.value + R[op.reg] + R[op.index]);
}

uint32_t Read8(uint32_t a) {
  return Mem[a];
}
uint32_t Read16(uint32_t a) {
  return Mem[a] | Mem[a + 1] << 8;
}

// A write: refused inside the protected code.
void Write8(uint32_t a, uint32_t v) {
  if (a - CodeStart < CodeSize) {
    Stop(Status::ImageWrite, "write of 1 byte(s) into the program's code at " +
                                 Hex(a - CodeStart, 4) + "h (instruction at " + Here() + ")");
    return;
  }
  Mem[a] = static_cast<uint8_t>(v);
}
void Write16(uint32_t a, uint32_t v) {
  if (a - CodeStart < CodeSize || a + 1 - CodeStart < CodeSize) {
    Stop(Status::ImageWrite, "write of 2 byte(s) into the program's code at " +
                                 Hex(a - CodeStart, 4) + "h (instruction at " + Here() + ")");
    return;
  }
  Mem[a] = static_cast<uint8_t>(v);
  Mem[a + 1] = static_cast<uint8_t>(v >> 8);
}

uint32_t GetReg8(int r) {
  return r < 4 ? R[r] & 0xFF : R[r - 4] >> 8;
}
void SetReg8(int r, uint32_t v) {
  if (r < 4)
    R[r] = static_cast<uint16_t>((R[r] & 0xFF00) | (v & 0xFF));
  else
    R[r - 4] = static_cast<uint16_t>((R[r - 4] & 0x00FF) | (v & 0xFF) << 8);
}

uint32_t Get(const Operand &op) {
  switch (op.loc) {
  case Loc::Reg16:
    return R[op.reg];
  case Loc::Reg8:
    return GetReg8(op.reg);
  case Loc::Mem16:
    return Read16(Linear(op));
  case Loc::Mem8:
    return Read8(Linear(op));
  case Loc::Imm:
    return op.value;
  case Loc::SReg:
    return S[op.reg];
  default:
    return 0;
  }
}

void Put(const Operand &op, uint32_t v) {
  switch (op.loc) {
  case Loc::Reg16:
    R[op.reg] = static_cast<uint16_t>(v);
    break;
  case Loc::Reg8:
    SetReg8(op.reg, v);
    break;
  case Loc::Mem16:
    Write16(Linear(op), v);
    break;
  case Loc::Mem8:
    Write8(Linear(op), v);
    break;
  default:
    break;
  }
}

// A push: besides the code, a word may not land in the image's data, which happens when the
// stack lies inside the image.
void Push(uint32_t v) {
  uint16_t sp = static_cast<uint16_t>(R[kSP] - 2);
  uint32_t a = (static_cast<uint32_t>(S[kSS]) << 4) + sp;
  if (a - DataStart < DataSize || a + 1 - DataStart < DataSize) {
    Stop(Status::ImageWrite,
         "push into the program's image: 2 byte(s) at DGROUP:" + Hex(a - DataStart, 4) +
             "h, SS:SP = " + Hex(S[kSS], 4) + ":" + Hex(R[kSP], 4) + "h (instruction at " + Here() +
             "): the stack lies inside the image");
    return;
  }
  Write16(a, v);
  if (Stopped == Status::Running) R[kSP] = sp;
}

uint32_t Pop() {
  uint32_t v = Read16((static_cast<uint32_t>(S[kSS]) << 4) + R[kSP]);
  R[kSP] = static_cast<uint16_t>(R[kSP] + 2);
  return v;
}

// --- Flags ----------------------------------------------------------------------------------

constexpr std::array<bool, 256> kEvenParity = [] {
  std::array<bool, 256> table{};
  for (int i = 0; i < 256; i++) {
    int bits = 0;
    for (int b = i; b; b >>= 1) bits += b & 1;
    table[i] = bits % 2 == 0;
  }
  return table;
}();

constexpr uint16_t kArithmetic = kCF | kPF | kAF | kZF | kSF | kOF;

// SF, ZF and PF of a result of `size` bytes.
uint16_t ResultFlags(uint32_t r, int size) {
  uint32_t mask = size == 1 ? 0xFF : 0xFFFF;
  uint16_t f = 0;
  if ((r & mask) == 0) f |= kZF;
  if (r & (mask ^ (mask >> 1))) f |= kSF;
  if (kEvenParity[r & 0xFF]) f |= kPF;
  return f;
}

void SetArithmetic(uint16_t f) {
  Flags = static_cast<uint16_t>((Flags & ~kArithmetic) | f);
}

uint32_t SignBit(int size) {
  return size == 1 ? 0x80 : 0x8000;
}

// a + b + carry, with the flags of an addition.
uint32_t AddFlags(uint32_t a, uint32_t b, uint32_t carry, int size) {
  uint32_t r = a + b + carry;
  uint16_t f = ResultFlags(r, size);
  if (r >> (8 * size)) f |= kCF;
  if ((a ^ b ^ r) & 0x10) f |= kAF;
  if ((a ^ r) & (b ^ r) & SignBit(size)) f |= kOF;
  SetArithmetic(f);
  return r;
}

// a - b - borrow, with the flags of a subtraction.
uint32_t SubFlags(uint32_t a, uint32_t b, uint32_t borrow, int size) {
  uint32_t r = a - b - borrow;
  uint16_t f = ResultFlags(r, size);
  if (static_cast<uint64_t>(b) + borrow > a) f |= kCF;
  if ((a ^ b ^ r) & 0x10) f |= kAF;
  if ((a ^ b) & (a ^ r) & SignBit(size)) f |= kOF;
  SetArithmetic(f);
  return r;
}

uint32_t LogicFlags(uint32_t r, int size) {
  SetArithmetic(ResultFlags(r, size));
  return r;
}

bool Condition(uint8_t cc) {
  bool cf = Flags & kCF, zf = Flags & kZF, sf = Flags & kSF, of = Flags & kOF;
  bool holds;
  switch (cc >> 1) {
  case 0:
    holds = of;
    break;
  case 1:
    holds = cf;
    break;
  case 2:
    holds = zf;
    break;
  case 3:
    holds = cf || zf;
    break;
  case 4:
    holds = sf;
    break;
  case 5:
    holds = Flags & kPF;
    break;
  case 6:
    holds = sf != of;
    break;
  default:
    holds = zf || sf != of;
    break;
  }
  return (cc & 1) ? !holds : holds;
}

// --- DOS ------------------------------------------------------------------------------------

void Output(std::string_view bytes) {
  if (Io.write && !Io.write(Io.context, bytes))
    Stop(Status::CannotWrite, "cannot write the program's output");
}

void Dos(uint16_t at) {
  uint8_t ah = R[kAX] >> 8, al = R[kAX] & 0xFF;
  std::string where = " at " + Hex(at, 4) + "h";
  if (ah == 0x02) {
    char c = static_cast<char>(R[kDX] & 0xFF);
    Output(std::string_view(&c, 1));
    SetReg8(0, static_cast<uint8_t>(c));
  } else if (ah == 0x09) {
    uint32_t base = static_cast<uint32_t>(S[kDS]) << 4;
    uint32_t dx = R[kDX], end = dx;
    while (end < 0x10000 && Mem[base + end] != '$') end++;
    if (end == 0x10000) {
      Stop(Status::Service, "int 21h/09h" + where + ": no \"$\" after DS:DX=" + Hex(dx, 4) + "h");
      return;
    }
    Output(std::string_view(reinterpret_cast<const char *>(&Mem[base + dx]), end - dx));
    SetReg8(0, '$');
  } else if (ah == 0x3F) {
    if (R[kBX] != 0) {
      Stop(Status::Service, "int 21h/3Fh" + where + ": read from handle " + std::to_string(R[kBX]) +
                                ", only 0 is known");
      return;
    }
    uint32_t dx = R[kDX], cx = R[kCX];
    if (dx + cx > 0x10000) {
      Stop(Status::Service, "int 21h/3Fh" + where + ": buffer crosses the segment end");
      return;
    }
    // A line of the input, as a DOS console gives it: its text and CR LF.
    if (cx && Pending.empty() && Io.readLine && Io.readLine(Io.context, Pending) &&
        !Pending.empty() && Pending.back() == '\n') {
      Pending.pop_back();
      if (!Pending.empty() && Pending.back() == '\r') Pending.pop_back();
      Pending += "\r\n";
    }
    size_t n = std::min<size_t>(cx, Pending.size());
    uint32_t base = static_cast<uint32_t>(S[kDS]) << 4;
    for (size_t i = 0; i < n; i++) Mem[base + dx + i] = static_cast<uint8_t>(Pending[i]);
    // DOS writes where it is told, the code included: what was decoded there is decoded again.
    if (n && base + dx < CodeStart + CodeSize && base + dx + n > CodeStart)
      std::fill(Cache.begin(), Cache.end(), Decoded{});
    Pending.erase(0, n);
    R[kAX] = static_cast<uint16_t>(n);
    Flags &= ~kCF;
  } else if (ah == 0x4C) {
    if (CheckStack && R[kSP] != StartSP)
      Stop(Status::StackCheck, "stack not balanced at the exit: SP=" + Hex(R[kSP], 4) +
                                   "h, the program started with " + Hex(StartSP, 4) + "h");
    else if (al != 0)
      Stop(Status::ReturnCode, "program ended with return code " + std::to_string(al));
    else
      Stop(Status::Ended, "");
  } else {
    Stop(Status::Service, "unsupported function int 21h/" + Hex(ah, 2) + "h" + where);
  }
}

// --- The interpreter ------------------------------------------------------------------------

void DivideError() {
  Stop(Status::Fault, "CPU fault: divide error at " + Here());
}

// Executes one decoded instruction at IP. A fault leaves IP at the instruction.
void Execute(const Decoded &d) {
  uint16_t next = static_cast<uint16_t>(IP + d.length);
  int size = d.size;
  uint32_t mask = size == 1 ? 0xFF : 0xFFFF;
  switch (d.op) {
  case Op::Mov:
    Put(d.dst, Get(d.src));
    break;
  case Op::MovSreg:
    S[d.dst.reg] = static_cast<uint16_t>(Get(d.src));
    break;
  case Op::Add:
    Put(d.dst, AddFlags(Get(d.dst), Get(d.src) & mask, 0, size));
    break;
  case Op::Adc:
    Put(d.dst, AddFlags(Get(d.dst), Get(d.src) & mask, Flags & kCF, size));
    break;
  case Op::Sub:
    Put(d.dst, SubFlags(Get(d.dst), Get(d.src) & mask, 0, size));
    break;
  case Op::Sbb:
    Put(d.dst, SubFlags(Get(d.dst), Get(d.src) & mask, Flags & kCF, size));
    break;
  case Op::Cmp:
    SubFlags(Get(d.dst), Get(d.src) & mask, 0, size);
    break;
  case Op::And:
    Put(d.dst, LogicFlags(Get(d.dst) & Get(d.src), size));
    break;
  case Op::Or:
    Put(d.dst, LogicFlags((Get(d.dst) | Get(d.src)) & mask, size));
    break;
  case Op::Xor:
    Put(d.dst, LogicFlags((Get(d.dst) ^ Get(d.src)) & mask, size));
    break;
  case Op::Inc:
  case Op::Dec: {
    uint16_t carry = Flags & kCF;
    uint32_t v = Get(d.dst);
    uint32_t r = d.op == Op::Inc ? AddFlags(v, 1, 0, size) : SubFlags(v, 1, 0, size);
    Flags = static_cast<uint16_t>((Flags & ~kCF) | carry);
    Put(d.dst, r);
    break;
  }
  case Op::Not:
    Put(d.dst, ~Get(d.dst));
    break;
  case Op::Neg: {
    uint32_t v = Get(d.dst);
    Put(d.dst, SubFlags(0, v, 0, size));
    break;
  }
  case Op::Mul:
  case Op::Imul: {
    uint32_t v = Get(d.dst);
    bool wide;
    if (size == 1) {
      uint32_t al = R[kAX] & 0xFF;
      int32_t r = d.op == Op::Mul ? static_cast<int32_t>(al * v)
                                  : static_cast<int8_t>(al) * static_cast<int8_t>(v);
      R[kAX] = static_cast<uint16_t>(r);
      wide = d.op == Op::Mul ? (R[kAX] >> 8) != 0 : r != static_cast<int8_t>(r);
    } else {
      int64_t r = d.op == Op::Mul ? static_cast<int64_t>(R[kAX]) * v
                                  : static_cast<int64_t>(static_cast<int16_t>(R[kAX])) *
                                        static_cast<int16_t>(v);
      R[kAX] = static_cast<uint16_t>(r);
      R[kDX] = static_cast<uint16_t>(r >> 16);
      wide = d.op == Op::Mul ? R[kDX] != 0 : r != static_cast<int16_t>(r);
    }
    // The other flags are undefined; they are set from the low half of the product.
    uint16_t f = ResultFlags(size == 1 ? R[kAX] & 0xFF : R[kAX], size);
    if (wide) f |= kCF | kOF;
    SetArithmetic(f);
    break;
  }
  case Op::Div:
  case Op::Idiv: {
    uint32_t v = Get(d.dst);
    if (size == 1) {
      if ((v & 0xFF) == 0) return DivideError();
      if (d.op == Op::Div) {
        uint32_t q = R[kAX] / v, r = R[kAX] % v;
        if (q > 0xFF) return DivideError();
        R[kAX] = static_cast<uint16_t>(r << 8 | q);
      } else {
        int32_t a = static_cast<int16_t>(R[kAX]), b = static_cast<int8_t>(v);
        int32_t q = a / b, r = a % b;
        if (q < -128 || q > 127) return DivideError();
        R[kAX] = static_cast<uint16_t>((r & 0xFF) << 8 | (q & 0xFF));
      }
    } else {
      if (v == 0) return DivideError();
      if (d.op == Op::Div) {
        uint32_t a = static_cast<uint32_t>(R[kDX]) << 16 | R[kAX];
        uint32_t q = a / v, r = a % v;
        if (q > 0xFFFF) return DivideError();
        R[kAX] = static_cast<uint16_t>(q);
        R[kDX] = static_cast<uint16_t>(r);
      } else {
        int64_t a = static_cast<int32_t>(static_cast<uint32_t>(R[kDX]) << 16 | R[kAX]);
        int64_t b = static_cast<int16_t>(v);
        int64_t q = a / b, r = a % b;
        if (q < -32768 || q > 32767) return DivideError();
        R[kAX] = static_cast<uint16_t>(q);
        R[kDX] = static_cast<uint16_t>(r);
      }
    }
    break;
  }
  case Op::Shl: {
    uint32_t count = Get(d.src) & 0x1F;
    if (count == 0) break;
    uint32_t v = Get(d.dst);
    uint32_t shifted = v << (count - 1); // the last bit out is its top bit
    uint32_t r = (shifted << 1) & mask;
    uint16_t f = ResultFlags(r, size);
    if (shifted & SignBit(size)) f |= kCF;
    // OF is defined for a count of 1: the top bit changed.
    if (((shifted & SignBit(size)) != 0) != ((r & SignBit(size)) != 0)) f |= kOF;
    SetArithmetic(f);
    Put(d.dst, r);
    break;
  }
  case Op::Push:
    Push(Get(d.dst));
    break;
  case Op::Pop:
    Put(d.dst, Pop());
    break;
  case Op::Pusha: {
    uint16_t sp = R[kSP];
    for (int r = kAX; r <= kDI && Stopped == Status::Running; r++) Push(r == kSP ? sp : R[r]);
    break;
  }
  case Op::Popa:
    for (int r = kDI; r >= kAX; r--) {
      uint32_t v = Pop();
      if (r != kSP) R[r] = static_cast<uint16_t>(v);
    }
    break;
  case Op::Pushf:
    Push(Flags);
    break;
  case Op::Popf:
    Flags = static_cast<uint16_t>((Pop() & 0x7FD5) | 2);
    if (Flags & kTF) Stop(Status::Fault, "CPU fault: single-step trap after " + Here());
    break;
  case Op::Jmp:
    next = d.dst.value;
    break;
  case Op::Jcc:
    if (Condition(d.condition)) next = d.dst.value;
    break;
  case Op::Loop:
    R[kCX]--;
    if (R[kCX]) next = d.dst.value;
    break;
  case Op::Call:
    Push(next);
    next = d.dst.value;
    break;
  case Op::Ret:
    next = static_cast<uint16_t>(Pop());
    break;
  case Op::Int:
    if (d.dst.value != 0x21) {
      Stop(Status::Service, "unsupported interrupt " + Hex(d.dst.value, 2) + "h at " + Here());
      return;
    }
    IP = next; // the services report where they were called from by the offset given
    Dos(static_cast<uint16_t>(next - d.length));
    return;
  case Op::Lea:
    R[d.dst.reg] = static_cast<uint16_t>(d.src.value + R[d.src.reg] + R[d.src.index]);
    break;
  case Op::RepMovsb: {
    // One byte per step, IP staying on the instruction until CX is 0, as a CPU does it.
    if (R[kCX] == 0) break;
    uint32_t from = (static_cast<uint32_t>(S[d.src.segment]) << 4) + R[kSI];
    Write8((static_cast<uint32_t>(S[kES]) << 4) + R[kDI], Mem[from]);
    if (Stopped != Status::Running) return;
    int step = Flags & kDF ? -1 : 1;
    R[kSI] = static_cast<uint16_t>(R[kSI] + step);
    R[kDI] = static_cast<uint16_t>(R[kDI] + step);
    R[kCX]--;
    return;
  }
  case Op::Cld:
    Flags &= ~kDF;
    break;
  case Op::Clc:
    Flags &= ~kCF;
    break;
  case Op::Stc:
    Flags |= kCF;
    break;
  case Op::Cwd:
    R[kDX] = R[kAX] & 0x8000 ? 0xFFFF : 0;
    break;
  case Op::Invalid:
    Stop(Status::Fault, "CPU fault: invalid opcode at " + Here());
    return;
  }
  if (Stopped == Status::Running) IP = next;
}

Decoded Scratch;

template <bool kListen> Status Loop(uint64_t count, const MachineListener *listener) {
  uint64_t end = count > UINT64_MAX - Executed ? UINT64_MAX : Executed + count;
  uint16_t last = Last; // a local, kept in a register, stored once at the end
  while (Stopped == Status::Running && Executed < end) {
    uint32_t linear = (static_cast<uint32_t>(S[kCS]) << 4) + IP;
    const Decoded *d;
    if (linear - CodeStart < CodeSize) {
      Decoded &slot = Cache[linear - CodeStart];
      if (slot.length == 0) Decode(IP, slot);
      d = &slot;
    } else if (Protected) {
      Executed++;
      Stop(Status::Fault,
           "CPU fault: execution outside the program's code at linear " + Hex(linear, 5) + "h");
      break;
    } else {
      Decode(IP, Scratch);
      d = &Scratch;
    }
    if constexpr (kListen) {
      if (!listener->instruction(listener->context, IP)) break;
    }
    last = IP;
    Executed++;
    Execute(*d);
  }
  Last = last;
  return Stopped;
}

void Reset(MachineIo io) {
  std::fill(Mem.begin(), Mem.end(), 0);
  std::fill(std::begin(R), std::end(R), 0);
  std::fill(std::begin(S), std::end(S), 0);
  IP = 0;
  Flags = 2;
  Io = io;
  CheckStack = false;
  Stopped = Status::Running;
  Message.clear();
  Executed = 0;
  Last = 0;
  Pending.clear();
  CodeStart = CodeSize = DataStart = DataSize = 0;
  Protected = false;
  Cache.clear();
}
} // namespace

void LoadBlank(MachineIo io) {
  Reset(io);
}

void LoadProgram(const ProgramImage &image, MachineIo io, bool checkStack) {
  Reset(io);
  CheckStack = checkStack;
  uint32_t psp = static_cast<uint32_t>(kPspSegment) << 4;
  Mem[psp] = 0xCD; // int 20h, where a far return to PSP:0 would go
  Mem[psp + 1] = 0x20;
  Mem[psp + 2] = kMemoryTop & 0xFF;
  Mem[psp + 3] = kMemoryTop >> 8;
  Mem[psp + 0x81] = 0x0D; // an empty command line
  uint32_t base = static_cast<uint32_t>(kLoadSegment) << 4;
  uint32_t paragraph = image.DgroupParagraph();
  std::copy(image.code.begin(), image.code.end(), Mem.begin() + base);
  std::copy(image.data.begin(), image.data.end(), Mem.begin() + base + paragraph * 16);
  for (uint16_t at : image.relocations) {
    uint32_t word = (Mem[base + at] | Mem[base + at + 1] << 8) + kLoadSegment;
    Mem[base + at] = static_cast<uint8_t>(word);
    Mem[base + at + 1] = static_cast<uint8_t>(word >> 8);
  }
  // The code is the image in front of the segment the relocations point at: all of it when
  // nothing is relocated.
  uint32_t imageSize = paragraph * 16 + static_cast<uint32_t>(image.data.size());
  CodeStart = base;
  CodeSize = image.relocations.empty() ? imageSize : paragraph * 16;
  DataStart = base + CodeSize;
  DataSize = imageSize - CodeSize;
  Protected = true;
  Cache.assign(CodeSize, Decoded{});
  S[kCS] = kLoadSegment;
  IP = Last = image.entry;
  S[kSS] = static_cast<uint16_t>(kLoadSegment + paragraph);
  R[kSP] = StartSP = image.StackPointer();
  S[kDS] = S[kES] = kPspSegment;
}

Status Run(uint64_t count, const MachineListener *listener) {
  if (listener && listener->instruction) return Loop<true>(count, listener);
  return Loop<false>(count, nullptr);
}

const std::string &StopMessage() {
  return Message;
}

uint64_t InstructionCount() {
  return Executed;
}

uint16_t LastInstruction() {
  return Last;
}

bool InputPending() {
  return !Pending.empty();
}

CpuState ReadCpu() {
  CpuState c;
  std::copy(R, R + 8, c.regs);
  std::copy(S, S + 4, c.sregs);
  c.ip = IP;
  c.flags = Flags;
  return c;
}

void SetCpu(const CpuState &c) {
  std::copy(c.regs, c.regs + 8, R);
  std::copy(c.sregs, c.sregs + 4, S);
  IP = c.ip;
  Flags = static_cast<uint16_t>((c.flags & 0x7FD5) | 2);
}

uint8_t &Memory(uint32_t linear) {
  return Mem[linear % kMemorySize];
}
