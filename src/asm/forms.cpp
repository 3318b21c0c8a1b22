#include "asm/forms.h"

#include <iterator>

namespace {
using enum Shape;

// A mnemonic's forms in the order they are tried: the first that fits the operands is taken.
// "add ax, 5" takes 83 /0 ib before 05 iw (both three bytes); "add al, 5" takes 04 ib.
#define ALU(name, op, n)                                                                           \
  {name, Op::op, RM8, R8, 1, {8 * (n) + 0}, -1, 0},                                                \
      {name, Op::op, RM16, R16, 2, {8 * (n) + 1}, -1, 0},                                          \
      {name, Op::op, R8, RM8, 1, {8 * (n) + 2}, -1, 0},                                            \
      {name, Op::op, R16, RM16, 2, {8 * (n) + 3}, -1, 0},                                          \
      {name, Op::op, RM16, S8, 2, {0x83}, n, 0}, {name, Op::op, AL, I8, 1, {8 * (n) + 4}, -1, 0},  \
      {name, Op::op, AX, I16, 2, {8 * (n) + 5}, -1, 0}, {name, Op::op, RM8, I8, 1, {0x80}, n, 0},  \
  {                                                                                                \
    name, Op::op, RM16, I16, 2, {0x81}, n, 0                                                       \
  }
#define UNARY(name, op, n)                                                                         \
  {name, Op::op, RM8, None, 1, {0xF6}, n, 0}, {                                                    \
    name, Op::op, RM16, None, 2, {0xF7}, n, 0                                                      \
  }
#define JCC(name, cc)                                                                              \
  {name, Op::Jcc, Rel8, None, 0, {0x70 + (cc)}, -1, cc}, {                                         \
    name, Op::Jcc, Rel16, None, 0, {0x0F, 0x80 + (cc)}, -1, cc                                     \
  }

constexpr Form kForms[] = {
    {"mov", Op::Mov, AL, Moffs8, 1, {0xA0}, -1, 0},
    {"mov", Op::Mov, AX, Moffs16, 2, {0xA1}, -1, 0},
    {"mov", Op::Mov, Moffs8, AL, 1, {0xA2}, -1, 0},
    {"mov", Op::Mov, Moffs16, AX, 2, {0xA3}, -1, 0},
    {"mov", Op::Mov, PlusR8, I8, 1, {0xB0}, -1, 0},
    {"mov", Op::Mov, PlusR16, I16, 2, {0xB8}, -1, 0},
    {"mov", Op::Mov, RM8, R8, 1, {0x88}, -1, 0},
    {"mov", Op::Mov, RM16, R16, 2, {0x89}, -1, 0},
    {"mov", Op::Mov, R8, RM8, 1, {0x8A}, -1, 0},
    {"mov", Op::Mov, R16, RM16, 2, {0x8B}, -1, 0},
    {"mov", Op::Mov, RM8, I8, 1, {0xC6}, 0, 0},
    {"mov", Op::Mov, RM16, I16, 2, {0xC7}, 0, 0},
    {"mov", Op::MovSreg, SReg, RM16, 2, {0x8E}, -1, 0},
    ALU("add", Add, 0),
    ALU("or", Or, 1),
    ALU("adc", Adc, 2),
    ALU("sbb", Sbb, 3),
    ALU("and", And, 4),
    ALU("sub", Sub, 5),
    ALU("xor", Xor, 6),
    ALU("cmp", Cmp, 7),
    {"inc", Op::Inc, PlusR16, None, 2, {0x40}, -1, 0},
    {"inc", Op::Inc, RM8, None, 1, {0xFE}, 0, 0},
    {"inc", Op::Inc, RM16, None, 2, {0xFF}, 0, 0},
    {"dec", Op::Dec, PlusR16, None, 2, {0x48}, -1, 0},
    {"dec", Op::Dec, RM8, None, 1, {0xFE}, 1, 0},
    {"dec", Op::Dec, RM16, None, 2, {0xFF}, 1, 0},
    UNARY("not", Not, 2),
    UNARY("neg", Neg, 3),
    UNARY("mul", Mul, 4),
    UNARY("imul", Imul, 5),
    UNARY("div", Div, 6),
    UNARY("idiv", Idiv, 7),
    {"shl", Op::Shl, RM8, One, 1, {0xD0}, 4, 0},
    {"shl", Op::Shl, RM16, One, 2, {0xD1}, 4, 0},
    {"shl", Op::Shl, RM8, CL, 1, {0xD2}, 4, 0},
    {"shl", Op::Shl, RM16, CL, 2, {0xD3}, 4, 0},
    {"shl", Op::Shl, RM8, I8, 1, {0xC0}, 4, 0},
    {"shl", Op::Shl, RM16, I8, 2, {0xC1}, 4, 0},
    {"push", Op::Push, PlusR16, None, 2, {0x50}, -1, 0},
    {"push", Op::Push, S8, None, 2, {0x6A}, -1, 0},
    {"push", Op::Push, I16, None, 2, {0x68}, -1, 0},
    {"pop", Op::Pop, PlusR16, None, 2, {0x58}, -1, 0},
    {"pusha", Op::Pusha, None, None, 0, {0x60}, -1, 0},
    {"popa", Op::Popa, None, None, 0, {0x61}, -1, 0},
    {"pushf", Op::Pushf, None, None, 0, {0x9C}, -1, 0},
    {"popf", Op::Popf, None, None, 0, {0x9D}, -1, 0},
    {"lea", Op::Lea, R16, M, 2, {0x8D}, -1, 0},
    {"int", Op::Int, I8, None, 1, {0xCD}, -1, 0},
    {"jmp", Op::Jmp, Rel8, None, 0, {0xEB}, -1, 0},
    {"jmp", Op::Jmp, Rel16, None, 0, {0xE9}, -1, 0},
    JCC("jc", 0x2),
    JCC("jae", 0x3),
    JCC("je", 0x4),
    JCC("jne", 0x5),
    JCC("jns", 0x9),
    JCC("jl", 0xC),
    JCC("jge", 0xD),
    JCC("jle", 0xE),
    JCC("jg", 0xF),
    {"loop", Op::Loop, Rel8, None, 0, {0xE2}, -1, 0},
    {"call", Op::Call, Rel16, None, 0, {0xE8}, -1, 0},
    {"ret", Op::Ret, None, None, 0, {0xC3}, -1, 0},
    {"rep movsb", Op::RepMovsb, None, None, 1, {0xA4}, -1, 0},
    {"cld", Op::Cld, None, None, 0, {0xFC}, -1, 0},
    {"clc", Op::Clc, None, None, 0, {0xF8}, -1, 0},
    {"stc", Op::Stc, None, None, 0, {0xF9}, -1, 0},
    {"cwd", Op::Cwd, None, None, 0, {0x99}, -1, 0},
};
#undef ALU
#undef UNARY
#undef JCC

bool InModRm(Shape shape) {
  switch (shape) {
  case R8:
  case R16:
  case RM8:
  case RM16:
  case M:
  case SReg:
    return true;
  default:
    return false;
  }
}
} // namespace

std::span<const Form> InstructionForms() {
  return kForms;
}

bool HasModRm(const Form &form) {
  return form.ext >= 0 || InModRm(form.dst) || InModRm(form.src);
}
