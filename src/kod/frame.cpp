#include "kod/frame.h"

#include <iterator>
#include <string_view>

#include "kod/output.h"

namespace {
// Result holds seven bytes: a minus sign, five digits and the "$" of the longest number ToOct
// makes. The first four lines are counted on when the string constants are put in behind them.
constexpr std::string_view kDataHeader[] = {
    ".model small",
    ".386",
    ".data",
    "Result DB \"000000$\"",
    "CR equ 0Dh",
    "LF equ 0Ah",
    "_bufrw          db   255  dup  (?)",
    "_bufstr1        db   255  dup  (?)",
    "kbBuffer        db 18 dup (?)",
    "kbBufferLen     equ $ - kbBuffer",
    "kbHandle        dw 0",
};

// The program brings its own stack: without one the .EXE starts with SS:SP = 0000:0000, and the
// first push lands 64 KiB above the start of the image, inside any program larger than that.
// 8 KiB cover the deepest expression the nesting limit lets through (about 3 000 words pushed).
constexpr std::string_view kCodeStart[] = {
    ".stack 2000h",
    ".code",
    "main:",
    "     mov     AX, @Data",
    "     mov     DS, AX",
    "     mov     ES, AX",
    "     xor     AX, AX",
};

constexpr std::string_view kProgramExit[] = {
    "Quit:",
    "     mov AX, 4C00h",
    "     Int 21h",
};

// Write prints a "$"-terminated text; ToOct turns AX into decimal text at DI and starts a new
// console line; sl_atoi/sl_atou with NAtoI read a number from text at DS:DI (carry set on error).
// A store of a constant through [DI] names its size: the assembler cannot tell it otherwise.
constexpr std::string_view kRuntimeLibrary[] = {
    "Write proc",
    "     pusha",
    "     mov     AH, 09h",
    "     int     21h",
    "     popa",
    "     ret",
    "Write endp",
    "ToOct   Proc",
    "       pusha",
    "       mov     BX, 10",
    "       push    -1",
    "       cmp     AX, 0",
    "       jge     ToOctLoop1",
    "       neg     AX",
    "       mov     byte ptr [DI], \"-\"",
    "       inc     DI",
    "ToOctLoop1:",
    "      mov     DX, 0",
    "      div     BX",
    "      push    DX",
    "      or      AX, AX",
    "      jne     ToOctLoop1",
    "ToOctLoop2:",
    "      pop     DX",
    "      cmp     DX, -1",
    "      je      ToOctDone",
    "      add     DX, \"0\"",
    "      mov     [DI], DL",
    "      inc     DI",
    "      jmp     ToOctLoop2",
    "ToOctDone:",
    "     mov\tbyte ptr [DI], \"$\"",
    "     mov\tAH, 02",
    "     mov\tDL, 13",
    "     int     21H",
    "     mov\tDL, 10",
    "     int     21H",
    "     popa",
    "     ret",
    "ToOct   Endp",
    "sl_atoi         proc",
    "push    di",
    "call    sl_atoi2",
    "pop     di",
    "ret",
    "sl_atoi         endp",
    "sl_atoi2        proc",
    "push    cx",
    "push    dx",
    "xor     cx, cx",
    "mov     ah, ch",
    "cmp     byte ptr ds:[di],\"-\"",
    "jne     DoAtoI",
    "inc     di",
    "mov     ah, 1",
    "DoAtoI:         call    NAtoI",
    "jc      WasError",
    "cmp     ah, 0",
    "je      IsPositive",
    "neg     cx",
    "clc",
    "jmp     WasError",
    "IsPositive:     or      cx, cx",
    "clc",
    "jns     WasError",
    "stc",
    "WasError:       mov     ax, cx",
    "pop     dx",
    "pop     cx",
    "ret",
    "sl_atoi2        endp",
    "sl_atou         proc",
    "push    di",
    "call    sl_atou2",
    "pop     di",
    "ret",
    "sl_atou         endp",
    "sl_atou2        proc",
    "push    cx",
    "push    dx",
    "xor     cx, cx",
    "call    NAtoI",
    "mov     ax, cx",
    "pop     dx",
    "pop     cx",
    "ret",
    "sl_atou2        endp",
    "NAtoI           proc",
    "pushf",
    "cld",
    "lp:             mov     al, ds:[di]",
    "inc     di",
    "xor     al, \"0\"",
    "cmp     al, 10",
    "jae     NotDigit",
    "shl     cx, 1",
    "jc      Error",
    "mov     dx, cx",
    "shl     cx, 1",
    "jc      Error",
    "shl     cx, 1",
    "jc      Error",
    "add     cx, dx",
    "jc      Error",
    // The digit is added to the whole of CX: a carry out of CL alone is no overflow ("256").
    "add     cl, al",
    "adc     ch, 0",
    "jc      Error",
    "jmp     lp",
    "NotDigit:       popf",
    "clc",
    "ret",
    "Error:          popf",
    "stc",
    "ret",
    "NAtoI           endp",
    "end main",
};

static_assert(std::size(kDataHeader) == 11);
static_assert(std::size(kCodeStart) == 7);
static_assert(std::size(kRuntimeLibrary) == 116);
} // namespace

void EmitDataHeader() {
  for (auto line : kDataHeader) EmitHeaderLine(line);
}

void EmitCodeStart() {
  for (auto line : kCodeStart) EmitLine(line);
}

void EmitProgramExit() {
  for (auto line : kProgramExit) EmitLine(line);
}

void EmitRuntimeLibrary() {
  for (auto line : kRuntimeLibrary) EmitLine(line);
}
