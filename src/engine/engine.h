// The engine under the listing, the trace, the stepper and the playground. EngineLoad reads a
// program's source, its out1.asm as assembled and the source map of it; then the engine runs the
// program on the DOS machine an instruction or a statement at a time, to a breakpoint, to a line
// or to its end, and hands out what it knows as plain data: the statements and their lines of
// out1.asm, the registers and flags with what changed, the stack, the variables, where a fault
// happened and which loop a used-up budget was spent in. It does no I/O of its own: texts come
// in as strings, and the program's input and output go through the machine's callbacks.
//
// Everything here is plain functions on one engine (its state lives in engine.cpp, as the
// machine's lives in machine.cpp), plain structs and string views into the engine's own texts,
// valid until the next EngineLoad. A C or WebAssembly binding wraps each function one to one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "asm/assembler.h"
#include "machine/machine.h"

// --- The program, as its source map describes it -----------------------------------------------

// What a line of out1.asm belongs to: a fixed part of the frame or a construct of the program;
// the map's kinds, in the order of its tables.
enum class ConstructKind : uint8_t {
  Header,
  Variable,
  Constant,
  CodeStart,
  Exit,
  Runtime,
  Assignment,
  If,
  IfCondition,
  Then,
  Else,
  While,
  WhileCondition,
  WhileBodyEnd,
  For,
  ForStart,
  ForLimit,
  ForStep,
  Repeat,
  RepeatUntil,
  Read,
  ReadItem,
  Write,
  WriteText,
  WriteItem,
};
// The map's name of a kind: "if-condition", "runtime".
std::string_view ConstructKindName(ConstructKind kind);
// The kind in a learner's words, for messages: "IF condition", "FOR start", "assignment".
std::string_view ConstructKindWords(ConstructKind kind);

struct EngineConstruct {
  ConstructKind kind;
  uint32_t line, column;       // where it begins in the source, both from 1 (bytes)
  uint32_t endLine, endColumn; // where the token after it begins
  int32_t parent;              // the construct it lies in; -1 for a statement of the program body
  int32_t statement;           // the statement its instructions count to; -1 for none
  std::string_view text;       // its source text on one line, blanks and line ends made one blank
};

// A run of lines of out1.asm that one construct, or one fixed part, wrote.
struct EngineRange {
  uint32_t from, to; // out1.asm lines, from 1
  ConstructKind kind;
  int32_t construct; // -1 for a fixed part
  int32_t index;     // a Variable's or a Constant's index in its table; else -1
};

struct EngineVariableInfo {
  std::string_view name; // as the declaration spells it
  bool isString;         // STRING; otherwise INTEGER
  std::string_view symbol;
  uint32_t asmLine;      // the out1.asm line that declares it
  uint32_t line, column; // where the source declares it
  uint16_t offset;       // in DGROUP
};

// A statement is what "next statement" steps over and what the trace writes a line for: an
// assignment, a READ, a WRITE, the condition of an IF, a WHILE or an UNTIL, the start of a FOR,
// and the test of a FOR at each pass (its limit and its counting); besides, the program's start
// (the setting of the segment registers) and its exit, which have no source text. The jumps of
// THEN, ELSE and the loops, and the runtime routines, count to the statement that ran them.
struct EngineStatement {
  int32_t construct;       // -1 for the start and the exit
  uint32_t line;           // its construct's first line; 0 for the start and the exit
  std::string_view text;   // "IF A > 2", "A := A - 1", "UNTIL A < 0", "(program start)"
  uint32_t asmFrom, asmTo; // the first and last out1.asm line of its constructs' own ranges
};

// Reads the map (JSON, as `pas2asm --map` writes it) against the source and the image assembled
// from the map's out1.asm. False with `error` when the map is not one or does not fit them.
bool EngineLoad(std::string_view source, std::string_view mapJson, const ProgramImage &image,
                std::string &error);

size_t EngineConstructCount();
const EngineConstruct &EngineConstructAt(size_t index);
size_t EngineRangeCount();
const EngineRange &EngineRangeAt(size_t index); // in the order of their lines
size_t EngineVariableCount();
const EngineVariableInfo &EngineVariableAt(size_t index);
size_t EngineStatementCount();
const EngineStatement &EngineStatementAt(size_t index);

uint32_t EngineSourceLineCount();
std::string_view EngineSourceLine(uint32_t line); // from 1, without its line end
uint32_t EngineAsmLineCount();
std::string_view EngineAsmLine(uint32_t line); // from 1, CP866 as out1.asm has it
// The range an out1.asm line lies in (an index for EngineRangeAt), -1 past the end.
int32_t EngineRangeOfAsmLine(uint32_t line);
// Whether a statement begins on the source line: where a breakpoint or "run to" can stop.
bool EngineLineHasStatement(uint32_t line);

// --- The run --------------------------------------------------------------------------------

enum class EngineStopReason : uint8_t {
  Start,       // loaded, nothing run yet
  Instruction, // one instruction executed
  Statement,   // at the first instruction of a statement
  Breakpoint,  // at a statement of a line with a breakpoint
  Line,        // at a statement of the line asked for by EngineRunToLine
  Input,       // the next instruction reads a line and none is given: EngineGiveInput, go on
  Ended,       // the machine stopped: `status` says how (an end, a fault, ...)
  Budget,      // the instruction budget is used up
};

struct EngineStop {
  EngineStopReason reason;
  Status status;         // the machine's; Running while the program can go on
  uint16_t ip;           // the next instruction's offset in the code
  uint32_t asmLine;      // its out1.asm line; 0 when IP is not at an instruction of the code
  int32_t statement;     // the statement the next instruction belongs to; -1 for none
  bool atStatement;      // the next instruction is the first of that statement's run
  int32_t finished;      // the statement that ran up to this stop; -1 for none
  uint32_t executedLine; // the out1.asm line of the last instruction run to this stop; 0: none
  uint16_t executedIp;   // and its offset (a repeated move not done yet: the same as `ip`)
  uint64_t instructions; // executed since the start
};

// Loads the program into the machine and starts over: no instruction run, no input queued,
// breakpoints kept. With `io.readLine` null the program's input is what EngineGiveInput gives,
// and a read with nothing given stops with Input before it (EngineFinish gives it the end of the
// input instead). `budget` counts all instructions from the start.
EngineStop EngineStart(MachineIo io, bool checkStack, uint64_t budget);
EngineStop EngineLastStop();

EngineStop EngineStepInstruction();
// To the next statement's first instruction (or a breakpoint, the input, the end).
EngineStop EngineStepStatement();
// To a statement on a line with a breakpoint, or the end.
EngineStop EngineContinue();
// To a statement on `line` (or a breakpoint before it, or the end).
EngineStop EngineRunToLine(uint32_t line);
// To the end at the machine's full speed: no stops, nothing watched but the last part of the run,
// for EngineHangingLoop.
EngineStop EngineFinish();

// False when no statement begins on `line`.
bool EngineSetBreakpoint(uint32_t line, bool on);
bool EngineHasBreakpoint(uint32_t line);
void EngineClearBreakpoints();

// A line of input for the program, without its line end; after EngineEndInput, reads find the
// end of the input once the lines given are used up.
void EngineGiveInput(std::string_view line);
void EngineEndInput();

// --- What the machine holds at the last stop ---------------------------------------------------

struct EngineCpu {
  CpuState cpu;
  uint16_t changedRegs;  // since the stop before: bit r for cpu.regs[r], bit 8 + s for sregs[s]
  uint16_t changedFlags; // the Flag bits that changed
};
EngineCpu EngineRegisters();

// The words on the stack, from the top (SP) down to where the program's stack began; a program
// between its statements has none, its expression code pushes its operands there.
size_t EngineStackDepth();
uint16_t EngineStackWord(size_t fromTop);

struct EngineValue {
  int16_t number;        // an INTEGER's value
  std::string_view text; // a STRING's bytes up to its "$" (CP866), or all 256 without one
  bool terminated;       // a STRING has its "$"
  bool changed;          // since the stop before
};
EngineValue EngineVariableValue(size_t index);

// Where the program stopped: the construct of the instruction at IP; for an instruction of a
// runtime routine, `routine` names it and `construct` is the one whose call it is serving; for
// execution outside the code, the construct of the instruction that went there. -1 when unknown.
struct EngineSite {
  int32_t construct;
  int32_t statement;
  std::string_view routine; // "ToOct"; empty outside the runtime
};
EngineSite EngineStopSite();
// After a Budget stop: the innermost loop (a construct of kind While, For or Repeat) around all
// the statements of the last part of the run; -1 when they lie in none.
int32_t EngineHangingLoop();
