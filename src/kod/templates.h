// One template per operation of the generated program: each Emit routine writes its fixed group of
// assembly lines into "out.asm", with a name, a number or a label number put in. The generated code
// is a stack machine on AX: a two-operand template pops the earlier (left) value into BX and
// combines it with the later value in AX.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// A variable of a READ or WRITE list.
struct ListEntry {
  std::string name;     // the identifier as scanned, without the "_" of its assembly name
  std::string_view tag; // the variable's type tag, a constant text: "1" INTEGER, "2" STRING
};

// The number of the next labels of a concatenation, "m_" and a number.
extern int32_t ConcatCount;

// Reads each variable of the list from its own line of input.
void EmitRead(std::span<const ListEntry> list);
// Prints `text`, when there is one, from the string constant _msg<textIndex>, which the caller
// pools; then each variable of the list.
void EmitWrite(std::string_view text, size_t textIndex, std::span<const ListEntry> list);
void EmitNeg();
void EmitNot();
void EmitLoadConst(int32_t value);
void EmitLoadVar(std::string_view name);
void EmitPush();
void EmitAdd();
void EmitSub();
void EmitMul();
void EmitDiv();
void EmitAnd();
void EmitOr();
void EmitCompare();
void EmitSetJe();
void EmitSetJne();
void EmitSetJg();
void EmitSetJl();
void EmitSetJle();
void EmitSetJge();
void EmitStore(std::string_view name);
void EmitConcat(std::string_view operand);
void EmitStoreString(std::string_view name);
