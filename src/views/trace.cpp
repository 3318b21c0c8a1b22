#include "views/trace.h"

#include <string>

#include "views/describe.h"

namespace {
// Where the parts of a line begin, at the least: a statement's text, what it changed, and in an
// instruction's line the stack.
constexpr size_t kTextColumn = 6;
constexpr size_t kChangesColumn = 36;
constexpr size_t kStackColumn = 64;

// The registers as an assembly programmer names them in order, with their codes.
constexpr struct {
  const char *name;
  int bit; // in EngineCpu::changedRegs
} kRegisters[] = {{"AX", kAX},     {"BX", kBX},     {"CX", kCX},     {"DX", kDX},
                  {"SI", kSI},     {"DI", kDI},     {"BP", kBP},     {"SP", kSP},
                  {"DS", 8 + kDS}, {"ES", 8 + kES}, {"SS", 8 + kSS}, {"CS", 8 + kCS}};
constexpr struct {
  const char *name;
  uint16_t bit;
} kFlags[] = {{"CF", kCF}, {"PF", kPF}, {"AF", kAF}, {"ZF", kZF}, {"SF", kSF},
              {"OF", kOF}, {"DF", kDF}, {"IF", kIF}, {"TF", kTF}};

// An out1.asm line without its blanks around it.
std::string_view Trimmed(std::string_view line) {
  size_t from = line.find_first_not_of(" \t");
  if (from == std::string_view::npos) return {};
  size_t to = line.find_last_not_of(" \t");
  return line.substr(from, to - from + 1);
}

std::string StatementRow(int32_t statement) {
  const EngineStatement &s = EngineStatementAt(static_cast<size_t>(statement));
  std::string row = RightAligned(s.line, kTextColumn - 2) + "  " + Shorten(s.text, 60);
  std::string changes = ChangesText();
  if (!changes.empty()) {
    PadTo(row, kChangesColumn);
    row += changes;
  }
  row += '\n';
  return row;
}

std::string InstructionRow(uint32_t asmLine, uint64_t times, const CpuState &before) {
  std::string row = RightAligned(asmLine, 5) + "  " + std::string(Trimmed(EngineAsmLine(asmLine)));
  if (times > 1) row += " (" + std::to_string(times) + " steps)";
  std::string changes = RegisterChanges(before, EngineRegisters().cpu);
  if (!changes.empty()) {
    PadTo(row, kChangesColumn);
    row += changes;
  }
  if (EngineStackDepth() > 0) {
    PadTo(row, kStackColumn);
    row += "stack ";
    row += StackWords();
  }
  row += '\n';
  return row;
}
} // namespace

std::string RegisterChanges(const CpuState &before, const CpuState &now) {
  std::string out;
  for (const auto &r : kRegisters) {
    uint16_t was = r.bit < 8 ? before.regs[r.bit] : before.sregs[r.bit - 8];
    uint16_t value = r.bit < 8 ? now.regs[r.bit] : now.sregs[r.bit - 8];
    if (value != was) out += (out.empty() ? "" : " ") + std::string(r.name) + "=" + Hex4(value);
  }
  for (const auto &f : kFlags)
    if ((now.flags ^ before.flags) & f.bit)
      out +=
          (out.empty() ? "" : " ") + std::string(f.name) + "=" + ((now.flags & f.bit) ? "1" : "0");
  return out;
}

std::string StackWords(size_t max) {
  size_t depth = EngineStackDepth();
  std::string out = depth > max ? "..." : "";
  for (size_t i = depth > max ? max : depth; i-- > 0;)
    out += (out.empty() ? "" : " ") + Hex4(EngineStackWord(i));
  return out;
}

EngineStop Trace(bool instructions, uint64_t limit, TraceSink sink, bool &writeFailed) {
  writeFailed = false;
  uint64_t lines = 0;
  auto write = [&](const std::string &row) {
    if (!writeFailed && !sink.write(sink.context, row)) writeFailed = true;
    lines++;
  };
  EngineStop stop = EngineLastStop();
  while (stop.status == Status::Running && stop.reason != EngineStopReason::Budget) {
    if (writeFailed || (limit > 0 && lines >= limit)) {
      if (!writeFailed)
        write("-- the trace ends after " + std::to_string(limit) +
              " lines (--trace-limit); the program runs on\n");
      return EngineFinish();
    }
    if (!instructions) {
      stop = EngineStepStatement();
      int32_t done = stop.finished;
      if (done >= 0 && EngineStatementAt(static_cast<size_t>(done)).construct >= 0)
        write(StatementRow(done));
      continue;
    }
    if (stop.atStatement && stop.statement >= 0)
      write("-- " + StatementText(stop.statement) + "\n");
    CpuState before = EngineRegisters().cpu;
    stop = EngineStepInstruction();
    // A repeated move stays on its instruction until it is done.
    uint64_t times = 1;
    while (stop.reason == EngineStopReason::Instruction && stop.executedLine &&
           stop.ip == stop.executedIp) {
      stop = EngineStepInstruction();
      times++;
    }
    if (stop.executedLine) write(InstructionRow(stop.executedLine, times, before));
  }
  return stop;
}
