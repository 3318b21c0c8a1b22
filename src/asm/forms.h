// The instruction forms of the MASM subset that pas2asm writes: for each mnemonic, the operand
// shapes it takes and the bytes that encode it. The assembler picks a form from this table, and
// the machine's decoder indexes the same table by opcode, so that an encoding and what it means
// are written down once.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// What an instruction does, as the machine carries it out.
enum class Op : uint8_t {
  Invalid,
  Mov,
  Add,
  Or,
  Adc,
  Sbb,
  And,
  Sub,
  Xor,
  Cmp,
  Inc,
  Dec,
  Not,
  Neg,
  Mul,
  Imul,
  Div,
  Idiv,
  Shl,
  Push,
  Pop,
  Pusha,
  Popa,
  Pushf,
  Popf,
  Jmp,
  Jcc,
  Call,
  Ret,
  Loop,
  Int,
  Lea,
  MovSreg,
  RepMovsb,
  Cld,
  Clc,
  Stc,
  Cwd,
};

// The shape of one operand.
enum class Shape : uint8_t {
  None,
  R8,
  R16, // a register, in the ModRM reg field
  RM8,
  RM16, // a register or memory, in the ModRM rm field
  M,    // memory only, of any size (lea)
  PlusR8,
  PlusR16, // a register in the low three bits of the opcode
  AL,
  AX,
  CL,
  One, // that register, or the constant 1
  Moffs8,
  Moffs16, // memory at a direct address, no ModRM byte
  I8,
  I16,  // an immediate of the operand's size
  S8,   // an immediate of a word operation that fits a signed byte, stored as one
  SReg, // a segment register, in the ModRM reg field
  Rel8,
  Rel16, // a jump target, as a distance from the next instruction
};

struct Form {
  std::string_view mnemonic; // lower case; "rep movsb" for the one string instruction
  Op op;
  Shape dst, src;
  uint8_t size;      // operand size in bytes, 0 where it does not apply
  uint8_t opcode[2]; // the second is used when the first is 0Fh
  int8_t ext;        // the ModRM reg field for /0../7, -1 for /r or no ModRM
  uint8_t condition; // for Jcc: the low four bits of the opcode
};

// The whole table, in the order in which the assembler tries the forms of a mnemonic: the
// shortest encoding first, ties broken as the reference assembler breaks them.
std::span<const Form> InstructionForms();

// Whether a form takes a ModRM byte.
bool HasModRm(const Form &form);
