#include "play/play.h"

#include <string>
#include <string_view>

#include "asm/assembler.h"
#include "engine/engine.h"
#include "machine/machine.h"
#include "os/console.h"
#include "runner/execute.h"
#include "views/describe.h"

namespace {
std::string Buffer;
std::string Result;

ProgramImage Image;
bool Mapped = false;
uint64_t Budget = kDefaultBudget;
std::string Notes; // the runner's words on the load, said before those on the end
std::string Input;
size_t InputAt = 0;
std::string Output;

// The input, a line at a time, each with its line end as the input has it.
bool ReadLine(void *, std::string &line) {
  if (InputAt >= Input.size()) return false;
  size_t end = Input.find('\n', InputAt);
  end = end == std::string::npos ? Input.size() : end + 1;
  line.assign(Input, InputAt, end - InputAt);
  InputAt = end;
  return true;
}

bool Write(void *, std::string_view bytes) {
  Output.append(bytes);
  return true;
}

std::string Said(std::string_view words) {
  return "pas2asm-run: " + std::string(words) + "\n";
}

// --- The state as JSON ---------------------------------------------------------------------

// A CP866 text as a JSON string of its Unicode characters.
std::string Quoted(std::string_view cp866) {
  std::string text = "\"";
  for (char c : Cp866ToUtf8(cp866)) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (u < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      text += "\\u00";
      text += kHex[u >> 4];
      text += kHex[u & 15];
    } else {
      text += c;
    }
  }
  return text + "\"";
}

std::string Number(int64_t n) {
  return std::to_string(n);
}

// The names of the stop reasons, in the order of EngineStopReason.
constexpr std::string_view kReasonNames[] = {"start", "instruction", "statement", "breakpoint",
                                             "line",  "input",       "ended",     "budget"};

// The registers and flags in the order the stepper shows them.
constexpr struct {
  const char *name;
  int bit; // of EngineCpu::changedRegs
  bool segment;
  uint8_t index;
} kRegisters[] = {
    {"AX", kAX, false, kAX},    {"BX", kBX, false, kBX},    {"CX", kCX, false, kCX},
    {"DX", kDX, false, kDX},    {"SI", kSI, false, kSI},    {"DI", kDI, false, kDI},
    {"BP", kBP, false, kBP},    {"SP", kSP, false, kSP},    {"CS", 8 + kCS, true, kCS},
    {"DS", 8 + kDS, true, kDS}, {"ES", 8 + kES, true, kES}, {"SS", 8 + kSS, true, kSS}};
constexpr struct {
  const char *name;
  uint16_t bit;
} kFlags[] = {{"CF", kCF}, {"PF", kPF}, {"AF", kAF}, {"ZF", kZF},
              {"SF", kSF}, {"OF", kOF}, {"DF", kDF}};

std::string StateJson(const EngineStop &stop) {
  std::string j =
      "{\"reason\":\"" + std::string(kReasonNames[static_cast<int>(stop.reason)]) + "\"";
  bool over = stop.reason == EngineStopReason::Ended || stop.reason == EngineStopReason::Budget;
  j += ",\"ended\":" + std::string(over ? "true" : "false");
  if (over) {
    std::string words;
    Status status = stop.reason == EngineStopReason::Budget ? Status::Running : stop.status;
    int code = RunVerdict(status, Budget, true, Mapped, words);
    j += ",\"exitCode\":" + Number(code) +
         ",\"message\":" + Quoted(Notes + (words.empty() ? "" : Said(words)));
  }
  const EngineStatement *statement =
      stop.statement >= 0 ? &EngineStatementAt(static_cast<size_t>(stop.statement)) : nullptr;
  j += ",\"line\":" + Number(statement ? statement->line : 0);
  j += ",\"statement\":" + (statement ? Quoted(StatementText(stop.statement)) : "null");
  j += ",\"atStatement\":" + std::string(stop.atStatement ? "true" : "false");
  j += ",\"asmLine\":" + Number(stop.asmLine) + ",\"executedLine\":" + Number(stop.executedLine);
  j += ",\"ip\":" + Number(stop.ip) +
       ",\"instructions\":" + Number(static_cast<int64_t>(stop.instructions));

  EngineCpu cpu = EngineRegisters();
  j += ",\"registers\":[";
  for (const auto &r : kRegisters) {
    uint16_t value = r.segment ? cpu.cpu.sregs[r.index] : cpu.cpu.regs[r.index];
    bool changed = (cpu.changedRegs >> r.bit) & 1;
    j += std::string(&r == kRegisters ? "" : ",") + "{\"name\":\"" + r.name +
         "\",\"value\":" + Number(value) + ",\"changed\":" + (changed ? "true" : "false") + "}";
  }
  j += "],\"ipValue\":" + Number(cpu.cpu.ip) + ",\"flags\":[";
  for (const auto &f : kFlags) {
    j += std::string(&f == kFlags ? "" : ",") + "{\"name\":\"" + f.name +
         "\",\"set\":" + ((cpu.cpu.flags & f.bit) ? "true" : "false") +
         ",\"changed\":" + ((cpu.changedFlags & f.bit) ? "true" : "false") + "}";
  }
  j += "],\"stack\":[";
  for (size_t i = 0; i < EngineStackDepth(); ++i) j += (i ? "," : "") + Number(EngineStackWord(i));
  j += "],\"variables\":[";
  for (size_t i = 0; Mapped && i < EngineVariableCount(); ++i) {
    const EngineVariableInfo &v = EngineVariableAt(i);
    j += std::string(i ? "," : "") + "{\"name\":" + Quoted(v.name) + ",\"type\":\"" +
         (v.isString ? "STRING" : "INTEGER") + "\",\"value\":" + Quoted(ValueText(i)) +
         ",\"changed\":" + (EngineVariableValue(i).changed ? "true" : "false") + "}";
  }
  j += "],\"breakpoints\":[";
  bool first = true;
  for (uint32_t line = 1; Mapped && line <= EngineSourceLineCount(); ++line) {
    if (!EngineHasBreakpoint(line)) continue;
    j += (first ? "" : ",") + Number(line);
    first = false;
  }
  return j + "]}";
}
} // namespace

char *PlayBuffer(uint32_t size) {
  Buffer.resize(size);
  return Buffer.data();
}

const char *PlayResult() {
  return Result.data();
}

uint32_t PlayResultSize() {
  return static_cast<uint32_t>(Result.size());
}

int PlayLoad(uint32_t asmSize, uint32_t sourceSize, uint32_t mapSize, uint32_t inputSize,
             int checkStack, double budget) {
  std::string_view given(Buffer);
  std::string text(given.substr(0, asmSize));
  std::string source(given.substr(asmSize, sourceSize));
  std::string map(given.substr(asmSize + sourceSize, mapSize));
  Input.assign(given.substr(asmSize + sourceSize + mapSize, inputSize));
  InputAt = 0;
  Output.clear();
  Result.clear();
  Notes.clear();
  Budget = budget > 0 ? static_cast<uint64_t>(budget) : kDefaultBudget;
  Image = ProgramImage();
  Mapped = false;
  int exitCode = 0;
  if (!AssembleForRun(text, "out1.asm", true, Image, exitCode, Result)) {
    Result = Said(Result);
    return exitCode;
  }
  std::string error = "the compiler wrote none";
  if (!map.empty()) Mapped = EngineLoad(source, map, Image, error);
  if (!Mapped) Notes = Said("the source map of out1.asm cannot be used: " + error);
  MachineIo io{nullptr, ReadLine, Write};
  if (Mapped)
    EngineStart(io, checkStack != 0, Budget);
  else
    LoadProgram(Image, io, checkStack != 0);
  return 0;
}

int PlayFinish() {
  Status status = Mapped ? EngineFinish().status : Run(Budget);
  if (Mapped && EngineLastStop().reason == EngineStopReason::Budget) status = Status::Running;
  std::string words;
  int code = RunVerdict(status, Budget, true, Mapped, words);
  Result = Notes + (words.empty() ? "" : Said(words));
  return code;
}

void PlayStep(int how, uint32_t line) {
  if (!Mapped) {
    Result = "{\"reason\":\"unmapped\"}";
    return;
  }
  EngineStop stop = how == 0   ? EngineStepInstruction()
                    : how == 1 ? EngineStepStatement()
                    : how == 2 ? EngineContinue()
                               : EngineRunToLine(line);
  Result = StateJson(stop);
}

void PlayState() {
  Result = Mapped ? StateJson(EngineLastStop()) : "{\"reason\":\"unmapped\"}";
}

int PlayBreakpoint(uint32_t line, int on) {
  return Mapped && EngineSetBreakpoint(line, on != 0);
}

void PlayOutput() {
  Result = Output;
}

void PlayExe() {
  Result = ExeFile(Image);
}

void PlayCompileFailed(int exitCode) {
  Result = Said(CompileFailedMessage(exitCode));
}
