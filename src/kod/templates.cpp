#include "kod/templates.h"

#include "kod/output.h"
#include "os/text.h"

int32_t ConcatCount = 0;

namespace {
int32_t compareCount = 0;   // the number of the next comparison's labels, "_M" and "Skip"
bool concatStarted = false; // a string expression has put its first operand in _bufstr1

// The comparison family: `jump` is taken on the flags of EmitCompare; `taken` is what AX holds
// then.
void EmitSetFlag(std::string_view jump, bool taken) {
  std::string c = IntText(compareCount);
  EmitLine("     ", jump, " _M", c);
  EmitLine(taken ? "     mov     AX, 0" : "     mov     AX, 1");
  EmitLine("     jmp     Skip", c);
  EmitLine("_M", c, ":");
  EmitLine(taken ? "     mov     AX, 1" : "     mov     AX, 0");
  EmitLine("Skip", c, ":");
  ++compareCount;
}

// Moves 255 bytes from SI to DI (the caller loads both).
void EmitMove255() {
  static constexpr auto kMove = Lines("cld", "mov CX, 255", "rep movsb");
  EmitLines(kMove);
}

// DOS reads one line of at most `limit` bytes into _bufrw; `end` is put right behind what it read.
void EmitReadLine(std::string_view limit, std::string_view end) {
  static constexpr auto kStart = Lines("mov ah, 3fh", "mov bx, 0", "lea dx, _bufrw");
  static constexpr auto kCall = Lines("int 21h", "mov SI,AX");
  EmitLines(kStart);
  EmitLine("mov cx,", limit);
  EmitLines(kCall);
  EmitLine("mov _bufrw[SI],", end);
}

// Every string operation leaves a "$" at the last byte of the work buffer, so a result that grew
// past 254 characters is cut there and stays terminated, and the search for its end stays inside.
void EmitTerminateWorkBuffer() {
  static constexpr auto kTerminate = Lines("mov _bufstr1[254],\"$\"");
  EmitLines(kTerminate);
}
} // namespace

void EmitNeg() {
  static constexpr auto kNeg = Lines("     neg AX");
  EmitLines(kNeg);
}

// NOT of a truth value: 1 when AX was 0, else 0.
void EmitNot() {
  static constexpr auto kNot = Lines("     neg     AX", "     sbb     AX, AX", "     inc     AX");
  EmitLines(kNot);
}

void EmitLoadConst(int32_t value) {
  EmitLine("     MOV     AX, ", IntText(value));
}

void EmitLoadVar(std::string_view name) {
  EmitLine("     MOV     AX, _", name);
}

void EmitPush() {
  static constexpr auto kPush = Lines("     push    AX");
  EmitLines(kPush);
}

void EmitAdd() {
  static constexpr auto kAdd = Lines("     pop     BX", "     add     AX, BX");
  EmitLines(kAdd);
}

// Leaves later - earlier; the translator negates it.
void EmitSub() {
  static constexpr auto kSub = Lines("      pop     BX", "      sub     AX, BX");
  EmitLines(kSub);
}

void EmitMul() {
  static constexpr auto kMul = Lines("     pop     BX", "     imul     BX");
  EmitLines(kMul);
}

// cwd extends the sign of the dividend into DX, so a negative dividend divides correctly.
void EmitDiv() {
  static constexpr auto kDiv =
      Lines("     mov     BX,AX", "     pop     AX", "     cwd", "     idiv     BX");
  EmitLines(kDiv);
}

void EmitAnd() {
  static constexpr auto kAnd = Lines("      pop     BX", "      and     AX, BX");
  EmitLines(kAnd);
}

void EmitOr() {
  static constexpr auto kOr = Lines("      pop     BX", "      or      AX, BX");
  EmitLines(kOr);
}

void EmitCompare() {
  static constexpr auto kCompare = Lines("     pop     BX", "     cmp     AX, BX");
  EmitLines(kCompare);
}

void EmitSetJe() {
  EmitSetFlag("je", true);
}
void EmitSetJne() {
  EmitSetFlag("jne", true);
}
void EmitSetJg() {
  EmitSetFlag("jg", false);
}
void EmitSetJl() {
  EmitSetFlag("jl", false);
}
void EmitSetJle() {
  EmitSetFlag("jle", false);
}
void EmitSetJge() {
  EmitSetFlag("jge", false);
}

void EmitStore(std::string_view name) {
  EmitLine("     mov     _", name, ", AX");
}

// A read ends its text where DOS stopped: an integer at a CR, a string at a "$", so nothing of an
// earlier, longer line is taken along.
void EmitRead(std::span<const ListEntry> list) {
  for (const ListEntry &entry : list) {
    if (entry.tag == "1") {
      static constexpr auto kToNumber = Lines("mov  di,offset  _bufrw", "call sl_atoi");
      EmitReadLine("10", "13");
      EmitLines(kToNumber);
      EmitLine("mov  _", entry.name, ",ax");
    } else if (entry.tag == "2") {
      EmitReadLine("254", "\"$\"");
      EmitLine("lea SI,_bufrw");
      EmitLine("lea DI, _", entry.name);
      EmitMove255();
      EmitLine("mov SI, 255");
      EmitLine("mov _", entry.name, "[SI],\"$\"");
    }
  }
}

void EmitWrite(std::string_view text, size_t textIndex, std::span<const ListEntry> list) {
  if (!text.empty()) {
    EmitLine("push ax");
    EmitLine("mov dx, offset  _msg", IntText(static_cast<int64_t>(textIndex)));
    EmitLine("call Write");
    EmitLine("pop ax");
  }
  static constexpr auto kPush = Lines("push ax");
  static constexpr auto kToText =
      Lines("mov di, offset result", "call ToOct", "mov dx, offset result");
  static constexpr auto kWriteAndPop = Lines("call Write", "pop ax");
  for (const ListEntry &entry : list) {
    EmitLines(kPush);
    if (entry.tag == "2") {
      EmitLine("mov dx, offset  _", entry.name);
    } else {
      EmitLine("mov ax, _", entry.name);
      EmitLines(kToText);
    }
    EmitLines(kWriteAndPop);
  }
}

void EmitConcat(std::string_view operand) {
  if (!concatStarted) {
    concatStarted = true;
    EmitLine("lea SI,", operand);
    EmitLine("lea DI,_bufstr1");
    EmitMove255();
    EmitTerminateWorkBuffer();
    return;
  }
  std::string c0 = IntText(ConcatCount);
  std::string c1 = IntText(int64_t{ConcatCount} + 1);
  std::string c2 = IntText(int64_t{ConcatCount} + 2);
  EmitLine("mov SI,0");
  EmitLine("m_", c0, ":  cmp _bufstr1[si],\"$\"");
  EmitLine("je  m_", c1);
  EmitLine("inc  SI");
  EmitLine("jmp  m_", c0);
  EmitLine("m_", c1, ":  mov AX,255");
  EmitLine("sub  AX,SI");
  EmitLine("mov CX, AX");
  EmitLine("mov DI,SI");
  EmitLine("mov SI,0");
  EmitLine("m_", c2, ":  mov BL,", operand, "[SI]");
  EmitLine("mov _bufstr1[DI],BL");
  EmitLine("inc DI");
  EmitLine("inc SI");
  EmitLine("loop m_", c2);
  EmitTerminateWorkBuffer();
  ConcatCount += 3;
}

void EmitStoreString(std::string_view name) {
  EmitLine("lea SI,_bufstr1");
  EmitLine("lea DI,_", name);
  EmitMove255();
  concatStarted = false;
}
