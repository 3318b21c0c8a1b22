#include "views/stepper.h"

#include <algorithm>
#include <vector>

#include "os/terminal.h"
#include "views/describe.h"
#include "views/trace.h"

namespace {
// --- The program's output, as the stepper shows it -----------------------------------------

std::string Output; // all the program has printed, CP866
size_t Written;     // how much of it StepScript has written

bool Collect(void *, std::string_view bytes) {
  Output.append(bytes);
  return true;
}

// --- Commands ------------------------------------------------------------------------------

enum class Do : uint8_t { Nothing, Next, Step, Continue, Break, RunTo, Quit };
struct Command {
  Do what = Do::Nothing;
  uint32_t line = 0;
};

const char kCommands[] = "n (F8) next statement, s (F7) next instruction, c (F9) continue, "
                         "b N breakpoint, g N run to line N, q quit";
// The same on the screen's last row.
const char kKeys[] = "F8/n statement  F7/s instruction  F9/c continue  b N breakpoint  "
                     "g N run to line  q quit";

bool ParseLine(std::string_view text, uint32_t &line) {
  size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) return false;
  uint64_t n = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; at++) {
    n = n * 10 + static_cast<uint64_t>(text[at] - '0');
    if (n > UINT32_MAX) return false;
  }
  if (text.find_first_not_of(' ', at) != std::string_view::npos || n == 0) return false;
  line = static_cast<uint32_t>(n);
  return true;
}

// A command as a line of the script: a letter, maybe a line number; the keys' names as well.
bool ParseCommand(std::string_view text, Command &c) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::string word(text.substr(0, text.find(' ')));
  for (char &ch : word)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
  std::string_view rest = text.substr(word.size());
  c = {};
  if (word == "n" || word == "f8") c.what = Do::Next;
  if (word == "s" || word == "f7") c.what = Do::Step;
  if (word == "c" || word == "f9") c.what = Do::Continue;
  if (word == "q") c.what = Do::Quit;
  if (c.what != Do::Nothing) return rest.find_first_not_of(' ') == std::string_view::npos;
  if (word == "b") c.what = Do::Break;
  if (word == "g") c.what = Do::RunTo;
  return c.what != Do::Nothing && ParseLine(rest, c.line);
}

// Runs a command that runs the program; the others are taken where they are read.
EngineStop Execute(const Command &c) {
  switch (c.what) {
  case Do::Next:
    return EngineStepStatement();
  case Do::Step:
    return EngineStepInstruction();
  case Do::Continue:
    return EngineContinue();
  case Do::RunTo:
    return EngineRunToLine(c.line);
  default:
    return EngineLastStop();
  }
}

// "breakpoint at line 7", or why there is none.
std::string Breakpoint(uint32_t line) {
  bool on = !EngineHasBreakpoint(line);
  if (!EngineSetBreakpoint(line, on)) return "no statement begins on line " + std::to_string(line);
  return (on ? "breakpoint at line " : "no breakpoint at line ") + std::to_string(line);
}

std::string RunToProblem(uint32_t line) {
  return EngineLineHasStatement(line) ? "" : "no statement begins on line " + std::to_string(line);
}

bool Over(const EngineStop &stop) {
  return stop.reason == EngineStopReason::Ended || stop.reason == EngineStopReason::Budget;
}

// --- What each stop shows --------------------------------------------------------------------

std::string Mark(std::string text, bool changed, bool paint) {
  if (paint) return changed ? Painted(text, Paint::Yellow) : text;
  return text + (changed ? "*" : " ");
}

std::string Cut(std::string text, size_t width) {
  if (text.size() > width) text.resize(width);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string Untabbed(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\t')
      out.append(8 - out.size() % 8, ' ');
    else
      out += c;
  }
  return out;
}

std::string Why(const EngineStop &stop) {
  switch (stop.reason) {
  case EngineStopReason::Start:
    return "start";
  case EngineStopReason::Instruction:
    return "instruction";
  case EngineStopReason::Statement:
    return "statement";
  case EngineStopReason::Breakpoint:
    return "breakpoint";
  case EngineStopReason::Line:
    return "line reached";
  case EngineStopReason::Input:
    return "the program reads a line";
  case EngineStopReason::Ended:
    return "end";
  case EngineStopReason::Budget:
    return "budget";
  }
  return "";
}

std::string Title(const EngineStop &stop) {
  std::string where = stop.statement >= 0 ? StatementText(stop.statement) : "outside the code";
  return Why(stop) + ": " + where + " (" + std::to_string(stop.instructions) + " instructions)";
}

uint32_t CurrentLine(const EngineStop &stop) {
  return stop.statement >= 0 ? EngineStatementAt(static_cast<size_t>(stop.statement)).line : 0;
}

// The source around the current line; `marked` puts "=>" before it and "*" before a line with a
// breakpoint.
std::vector<std::string> SourceRows(const EngineStop &stop, size_t height, size_t width,
                                    bool paint) {
  uint32_t count = EngineSourceLineCount(), current = CurrentLine(stop);
  if (stop.statement == static_cast<int32_t>(EngineStatementCount()) - 1) current = count + 1;
  uint32_t first = current > height / 2 ? current - static_cast<uint32_t>(height / 2) : 1;
  if (count >= height && first > count - height + 1)
    first = count - static_cast<uint32_t>(height) + 1;
  if (first == 0) first = 1;
  std::vector<std::string> rows;
  for (uint32_t line = first; line <= count && rows.size() < height; line++) {
    std::string row = std::string(EngineHasBreakpoint(line) ? "*" : " ") +
                      (line == current ? "=>" : "  ") + RightAligned(line, 4) + "  " +
                      Untabbed(EngineSourceLine(line));
    row = Cut(row, width);
    rows.push_back(paint && line == current ? Painted(row, Paint::Inverse) : row);
  }
  return rows;
}

// The current statement's lines of out1.asm, or the range the next instruction lies in when it
// lies outside them (a routine of the runtime), around the next instruction.
std::vector<std::string> AsmRows(const EngineStop &stop, size_t height, size_t width, bool paint) {
  uint32_t from = 0, to = 0, next = stop.asmLine;
  if (stop.statement >= 0) {
    const EngineStatement &s = EngineStatementAt(static_cast<size_t>(stop.statement));
    from = s.asmFrom;
    to = s.asmTo;
  }
  if (next > 0 && (next < from || next > to)) {
    int32_t r = EngineRangeOfAsmLine(next);
    from = EngineRangeAt(static_cast<size_t>(r)).from;
    to = EngineRangeAt(static_cast<size_t>(r)).to;
  }
  std::vector<std::string> rows;
  if (from == 0) return rows;
  uint32_t first = from;
  if (to - from + 1 > height && next > from + height / 2)
    first =
        std::min(next - static_cast<uint32_t>(height / 2), to - static_cast<uint32_t>(height) + 1);
  for (uint32_t line = first; line <= to && rows.size() < height; line++) {
    std::string row = std::string(line == next ? "=>" : "  ") + RightAligned(line, 5) + "  " +
                      Untabbed(EngineAsmLine(line));
    row = Cut(row, width);
    rows.push_back(paint && line == next ? Painted(row, Paint::Inverse) : row);
  }
  return rows;
}

std::vector<std::string> RegisterRows(bool paint) {
  static constexpr struct {
    const char *name;
    int bit;
  } kRows[2][6] = {{{"AX", kAX}, {"BX", kBX}, {"CX", kCX}, {"DX", kDX}, {"SI", kSI}, {"DI", kDI}},
                   {{"BP", kBP},
                    {"SP", kSP},
                    {"DS", 8 + kDS},
                    {"ES", 8 + kES},
                    {"SS", 8 + kSS},
                    {"CS", 8 + kCS}}};
  EngineCpu cpu = EngineRegisters();
  std::vector<std::string> rows;
  for (const auto &row : kRows) {
    std::string text;
    for (const auto &r : row) {
      uint16_t value = r.bit < 8 ? cpu.cpu.regs[r.bit] : cpu.cpu.sregs[r.bit - 8];
      text += Mark(std::string(r.name) + "=" + Hex4(value), cpu.changedRegs & (1 << r.bit), paint) +
              " ";
    }
    rows.push_back(text);
  }
  rows[1] += "IP=" + Hex4(cpu.cpu.ip);
  return rows;
}

std::string FlagsRow(bool paint) {
  static constexpr struct {
    const char *name;
    uint16_t bit;
  } kShown[] = {{"CF", kCF}, {"PF", kPF}, {"AF", kAF}, {"ZF", kZF},
                {"SF", kSF}, {"OF", kOF}, {"DF", kDF}};
  EngineCpu cpu = EngineRegisters();
  std::string row;
  for (const auto &f : kShown)
    row += Mark(std::string(f.name) + "=" + ((cpu.cpu.flags & f.bit) ? "1" : "0"),
                cpu.changedFlags & f.bit, paint) +
           " ";
  return Cut(row, 200);
}

std::string StackRow() {
  if (EngineStackDepth() == 0) return "(empty)";
  return StackWords(12) + " <- top";
}

// Every variable, as many to a row as `width` takes.
std::vector<std::string> VariableRows(size_t width, bool paint) {
  std::vector<std::string> rows;
  std::string row;
  size_t shown = 0;
  for (size_t i = 0; i < EngineVariableCount(); i++) {
    std::string item = std::string(EngineVariableAt(i).name) + " = " + ValueText(i, 30);
    size_t w = item.size() + 1;
    item = Mark(item, EngineVariableValue(i).changed, paint);
    if (shown > 0 && shown + w + 1 > width) {
      rows.push_back(row);
      row.clear();
      shown = 0;
    }
    row += (shown ? " " : "") + item;
    shown += w + (shown ? 1 : 0);
  }
  if (!row.empty()) rows.push_back(row);
  if (rows.empty()) rows.push_back("(none)");
  return rows;
}

// The program's output as lines: CR dropped, a line per LF.
std::vector<std::string> OutputLines(std::string_view bytes) {
  std::vector<std::string> lines(1);
  for (char c : bytes) {
    if (c == '\n')
      lines.emplace_back();
    else if (c != '\r')
      lines.back() += c;
  }
  return lines;
}

// How the program ended, for the last stop.
std::string EndText(const EngineStop &stop) {
  if (stop.reason == EngineStopReason::Budget) {
    std::string loop = HangingLoopText();
    return "the instruction budget is used up" + (loop.empty() ? "" : ", " + loop);
  }
  if (stop.status == Status::Ended) return "the program has ended";
  std::string site = SiteText();
  return StopMessage() + (site.empty() ? "" : ", " + site);
}

// --- The script ----------------------------------------------------------------------------

constexpr size_t kScriptWidth = 100;
constexpr size_t kScriptSource = 5; // rows of source around the current line
constexpr size_t kScriptAsm = 9;    // rows of out1.asm around the next instruction

std::string StopText(const EngineStop &stop) {
  std::string out;
  if (Written < Output.size()) {
    std::vector<std::string> lines = OutputLines(std::string_view(Output).substr(Written));
    if (lines.back().empty()) lines.pop_back(); // the output ended its line
    for (const std::string &line : lines) out += "   output  | " + line + "\n";
    Written = Output.size();
  }
  out += "== " + Title(stop) + "\n";
  if (Over(stop)) return out + "   " + EndText(stop) + "\n";
  for (const std::string &row : SourceRows(stop, kScriptSource, kScriptWidth, false))
    out += "   " + row + "\n";
  out += "   --\n";
  for (const std::string &row : AsmRows(stop, kScriptAsm, kScriptWidth, false))
    out += "   " + row + "\n";
  std::vector<std::string> regs = RegisterRows(false);
  out += "   regs    " + Cut(regs[0], kScriptWidth) + "\n";
  out += "           " + Cut(regs[1], kScriptWidth) + "\n";
  out += "   flags   " + FlagsRow(false) + "\n";
  out += "   stack   " + StackRow() + "\n";
  std::vector<std::string> vars = VariableRows(kScriptWidth - 11, false);
  for (size_t i = 0; i < vars.size(); i++)
    out += std::string(i == 0 ? "   vars    " : "           ") + Cut(vars[i], kScriptWidth) + "\n";
  return out;
}

void StartRun(const StepOptions &options) {
  Output.clear();
  Written = 0;
  MachineIo io = options.input;
  io.write = Collect;
  EngineStart(io, options.checkStack, options.budget);
}
} // namespace

EngineStop StepScript(const StepOptions &options, ScriptIo io) {
  StartRun(options);
  EngineStop stop = EngineLastStop();
  io.write(io.context, StopText(stop));
  std::string line;
  Command pending;
  while (!Over(stop)) {
    Command c = pending;
    if (stop.reason == EngineStopReason::Input) {
      // The line after the command is the program's input; none left is the input's end.
      if (io.readLine(io.context, line)) {
        EngineGiveInput(line);
        io.write(io.context, "   input   | " + line + "\n");
      } else {
        EngineEndInput();
      }
    } else {
      if (!io.readLine(io.context, line)) break;
      io.write(io.context, "> " + line + "\n");
      if (!ParseCommand(line, c)) {
        io.write(io.context, std::string("   commands: ") + kCommands + "\n");
        continue;
      }
      if (c.what == Do::Quit) break;
      if (c.what == Do::Break) {
        io.write(io.context, "   " + Breakpoint(c.line) + "\n");
        continue;
      }
      if (c.what == Do::RunTo && !RunToProblem(c.line).empty()) {
        io.write(io.context, "   " + RunToProblem(c.line) + "\n");
        continue;
      }
    }
    pending = c;
    stop = Execute(c);
    io.write(io.context, StopText(stop));
  }
  return stop;
}

EngineStop StepScreen(const StepOptions &options, bool unicode, bool &started) {
  started = BeginScreen();
  if (!started) return EngineLastStop();
  StartRun(options);
  EngineStop stop = EngineLastStop();
  enum class Ask : uint8_t { None, Break, RunTo, Input } asking = Ask::None;
  std::string typed, message;
  Command pending;
  while (true) {
    int columns, height;
    ScreenSize(columns, height);
    size_t width = static_cast<size_t>(std::max(columns, 40));
    size_t rowsLeft = static_cast<size_t>(std::max(height, 16));
    std::vector<std::string> vars = VariableRows(width - 11, true);
    if (vars.size() > 3) vars.resize(3);
    const size_t outputRows = 4;
    size_t panel = rowsLeft - 1 - 2 - 1 - 1 - vars.size() - 1 - outputRows - 1 - 1;
    if (panel < 3) panel = 3;
    size_t left = width / 2, right = width - left - 1;

    std::vector<std::string> screen;
    screen.push_back(Painted(Cut(" pas2asm-run --step   " + Title(stop), width), Paint::Inverse));
    std::vector<std::string> src = SourceRows(stop, panel, left, true);
    std::vector<std::string> code = AsmRows(stop, panel, right, true);
    for (size_t i = 0; i < panel; i++) {
      std::string a = i < src.size() ? src[i] : "", b = i < code.size() ? code[i] : "";
      screen.push_back(a + std::string(left - std::min(left, VisibleWidth(a)), ' ') + "\xB3" + b);
    }
    std::vector<std::string> regs = RegisterRows(true);
    screen.push_back(Painted("regs ", Paint::Bold) + "     " + regs[0]);
    screen.push_back("          " + regs[1]);
    screen.push_back(Painted("flags", Paint::Bold) + "     " + FlagsRow(true));
    screen.push_back(Painted("stack", Paint::Bold) + "     " + StackRow());
    for (size_t i = 0; i < vars.size(); i++)
      screen.push_back((i == 0 ? Painted("vars ", Paint::Bold) + "     " : "          ") + vars[i]);
    screen.push_back(Painted(Cut("output " + std::string(width, '\xC4'), width), Paint::Bold));
    std::vector<std::string> out = OutputLines(Output);
    if (asking == Ask::Input) out.back() += typed;
    size_t first = out.size() > outputRows ? out.size() - outputRows : 0;
    int cursor = -1;
    for (size_t i = 0; i < outputRows; i++) {
      screen.push_back(first + i < out.size() ? Cut(out[first + i], width) : "");
      if (asking == Ask::Input && first + i == out.size() - 1)
        cursor = static_cast<int>(screen.size()) - 1;
    }
    std::string status = message;
    if (asking == Ask::Break) status = "breakpoint at line: " + typed;
    if (asking == Ask::RunTo) status = "run to line: " + typed;
    if (asking == Ask::Input) status = "the program reads a line: type it and press Enter";
    if (Over(stop)) status = EndText(stop) + " - q leaves";
    screen.push_back(Cut(status, width));
    if (asking == Ask::Break || asking == Ask::RunTo) cursor = static_cast<int>(screen.size()) - 1;
    screen.push_back(Painted(Cut(kKeys, width), Paint::Cyan));
    DrawScreen(screen, unicode, cursor);

    Key key = ReadKey();
    message.clear();
    if (key.code == KeyCode::Interrupt || key.code == KeyCode::EndOfInput) {
      if (asking == Ask::Input && key.code == KeyCode::EndOfInput) {
        EngineEndInput();
        asking = Ask::None;
        stop = Execute(pending);
        if (stop.reason == EngineStopReason::Input) asking = Ask::Input;
        continue;
      }
      break;
    }
    if (asking != Ask::None) {
      if (key.code == KeyCode::Character) typed += key.ch;
      if (key.code == KeyCode::Backspace && !typed.empty()) typed.pop_back();
      if (key.code == KeyCode::Escape && asking != Ask::Input) asking = Ask::None;
      if (key.code != KeyCode::Enter) continue;
      Ask was = asking;
      asking = Ask::None;
      uint32_t line = 0;
      if (was == Ask::Input) {
        EngineGiveInput(typed);
        Output += typed + "\r\n";
        typed.clear();
        stop = Execute(pending);
      } else if (!ParseLine(typed, line)) {
        message = "not a line number: " + typed;
      } else if (was == Ask::Break) {
        message = Breakpoint(line);
      } else if (!RunToProblem(line).empty()) {
        message = RunToProblem(line);
      } else {
        pending = {Do::RunTo, line};
        stop = Execute(pending);
      }
      typed.clear();
      if (stop.reason == EngineStopReason::Input) asking = Ask::Input;
      continue;
    }
    Command c;
    if (key.code == KeyCode::F8) c.what = Do::Next;
    if (key.code == KeyCode::F7) c.what = Do::Step;
    if (key.code == KeyCode::F9) c.what = Do::Continue;
    if (key.code == KeyCode::Character) {
      std::string one(1, key.ch);
      if (key.ch == 'b' || key.ch == 'B') asking = Ask::Break;
      if (key.ch == 'g' || key.ch == 'G') asking = Ask::RunTo;
      if (asking != Ask::None) continue;
      ParseCommand(one, c);
    }
    if (c.what == Do::Quit) break;
    if (c.what == Do::Nothing || Over(stop)) continue;
    pending = c;
    stop = Execute(c);
    if (stop.reason == EngineStopReason::Input) asking = Ask::Input;
  }
  EndScreen();
  return stop;
}
