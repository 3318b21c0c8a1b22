// The engine: the tables made of the map at load, and the runs.
//
// Each instruction of the code is given, at load, the statement it counts to (or none, for the
// runtime's and the loops' jumps), so that the listener finds a statement boundary with one look
// at a table: an instruction of another statement than the current one, or the first instruction
// of a statement reached again. A run the engine stops stands on the machine's listener, which
// refuses the instruction where the stop falls; EngineFinish runs the machine without one, but
// for its last stretch, so that a used-up budget can still name its loop.
#include "engine/engine.h"

#include <algorithm>
#include <deque>
#include <iterator>

#include "engine/json.h"

namespace {
// How a construct's instructions count: a statement of their own, to the statement the construct
// is an item of, to the FOR limit before it (the counting of each pass), or to none.
enum class Role : uint8_t { Frame, Statement, Item, Pass, Jump };

struct KindInfo {
  std::string_view name, words;
  Role role;
};
// In the order of ConstructKind.
constexpr KindInfo kKinds[] = {
    {"header", "data header", Role::Frame},
    {"variable", "variable declaration", Role::Frame},
    {"constant", "text constant", Role::Frame},
    {"code-start", "program start", Role::Frame},
    {"exit", "program exit", Role::Frame},
    {"runtime", "runtime", Role::Frame},
    {"assignment", "assignment", Role::Statement},
    {"if", "IF statement", Role::Jump},
    {"if-condition", "IF condition", Role::Statement},
    {"then", "THEN branch", Role::Jump},
    {"else", "ELSE branch", Role::Jump},
    {"while", "WHILE loop", Role::Jump},
    {"while-condition", "WHILE condition", Role::Statement},
    {"while-body-end", "end of a WHILE body", Role::Jump},
    {"for", "FOR loop", Role::Jump},
    {"for-start", "FOR start", Role::Statement},
    {"for-limit", "FOR limit", Role::Statement},
    {"for-step", "FOR counting", Role::Pass},
    {"repeat", "REPEAT loop", Role::Jump},
    {"repeat-until", "UNTIL condition", Role::Statement},
    {"read", "READ", Role::Statement},
    {"read-item", "READ item", Role::Item},
    {"write", "WRITE", Role::Statement},
    {"write-text", "WRITE text", Role::Item},
    {"write-item", "WRITE item", Role::Item},
};
static_assert(std::size(kKinds) == static_cast<size_t>(ConstructKind::WriteItem) + 1);

const KindInfo &Info(ConstructKind kind) {
  return kKinds[static_cast<size_t>(kind)];
}

// The bytes of a STRING variable; an INTEGER has 2.
constexpr uint32_t kStringSize = 256;
// The instructions of the last stretch of EngineFinish, watched for EngineHangingLoop.
constexpr uint64_t kWatched = 100000;
constexpr uint32_t kNone = UINT32_MAX;

// --- The program ---------------------------------------------------------------------------

ProgramImage Image;
std::string Source;
std::vector<std::string_view> SourceLines;
std::vector<size_t> LineStart; // the offset in Source of each line
std::deque<std::string> Texts; // the texts the views are handed, stable while loaded

std::vector<EngineConstruct> Constructs;
std::vector<EngineRange> Ranges;
std::vector<EngineVariableInfo> Variables;
std::vector<EngineStatement> Statements;
int32_t StartStatement, ExitStatement;

std::vector<int32_t> RangeOfLine;  // by out1.asm line (0 unused)
std::vector<int32_t> UnitAt;       // by code offset: the statement; -1 for none
std::vector<uint32_t> LineAt;      // by code offset: the out1.asm line; 0 inside an instruction
std::vector<uint32_t> Entry;       // by statement: the offset of its first instruction
std::vector<bool> DosCall;         // by code offset: an int 21h
std::vector<int32_t> CallerOf;     // by code offset after a call in a construct: its construct
std::vector<bool> StatementOnLine; // by source line
std::vector<uint32_t> SnapshotAt;  // by variable: where its bytes lie in a snapshot
std::vector<std::pair<uint16_t, std::string_view>> Routines; // the runtime's, by offset
uint32_t DgroupLinear, StackBase;

// --- The run -------------------------------------------------------------------------------

enum class Mode : uint8_t { Instruction, Statement, Continue, ToLine, Watch };
Mode RunMode;
uint32_t TargetLine;
bool FirstOfRun; // the instruction a run starts with never stops it
bool Refused;
EngineStopReason RefusedFor;
int32_t Current = -1;              // the statement running
std::vector<uint64_t> LastEntered; // by statement: the instruction count when last entered
std::vector<bool> Breakpoints;     // by source line
uint64_t Budget;
EngineStop Last;

bool Ask;
std::deque<std::string> Queue;
bool InputEnded;

CpuState BeforeCpu, NowCpu;
std::string BeforeVars, NowVars;

// --- Loading -------------------------------------------------------------------------------

// Lines as the compiler counts them: a line ends at LF, at CR LF or at a CR no LF follows.
void SplitSource() {
  SourceLines.clear();
  LineStart.clear();
  size_t start = 0;
  for (size_t i = 0; i < Source.size(); i++) {
    if (Source[i] != '\n' && Source[i] != '\r') continue;
    SourceLines.emplace_back(Source.data() + start, i - start);
    LineStart.push_back(start);
    if (Source[i] == '\r' && i + 1 < Source.size() && Source[i + 1] == '\n') i++;
    start = i + 1;
  }
  if (start < Source.size()) {
    SourceLines.emplace_back(Source.data() + start, Source.size() - start);
    LineStart.push_back(start);
  }
}

size_t SourceOffset(uint32_t line, uint32_t column) {
  if (line == 0 || column == 0) return 0;
  if (line > LineStart.size()) return Source.size();
  return std::min(Source.size(), LineStart[line - 1] + column - 1);
}

// The source from one position to another on one line: each run of blanks, tabs and line ends
// one blank, none at the ends.
std::string OneLine(uint32_t line, uint32_t column, uint32_t endLine, uint32_t endColumn) {
  size_t from = SourceOffset(line, column), to = SourceOffset(endLine, endColumn);
  std::string out;
  bool blank = false;
  for (size_t i = from; i < to; i++) {
    char c = Source[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

std::string_view Keep(std::string text) {
  Texts.push_back(std::move(text));
  return Texts.back();
}

bool Field(const JsonValue &object, std::string_view name, int64_t min, int64_t max, int64_t &out) {
  const JsonValue *v = object.Find(name);
  return v && v->Whole(min, max, out);
}

bool KindOf(const JsonValue *value, ConstructKind &kind) {
  if (!value || value->type != JsonValue::Text) return false;
  for (size_t i = 0; i < std::size(kKinds); i++) {
    if (kKinds[i].name == value->text) {
      kind = static_cast<ConstructKind>(i);
      return true;
    }
  }
  return false;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool ReadConstructs(const JsonValue &list, std::string &error) {
  if (list.type != JsonValue::Array) return error = "\"constructs\" is not an array", false;
  uint32_t lines = static_cast<uint32_t>(SourceLines.size()) + 1;
  for (const JsonValue &c : list.items) {
    int64_t id, line, column, parent = -1, endLine, endColumn;
    const JsonValue *end = c.Find("end"), *parentValue = c.Find("parent");
    EngineConstruct construct{};
    if (!Field(c, "id", 0, INT32_MAX, id) || id != static_cast<int64_t>(Constructs.size()) ||
        !KindOf(c.Find("kind"), construct.kind) || Info(construct.kind).role == Role::Frame ||
        !Field(c, "line", 1, lines, line) || !Field(c, "column", 1, UINT32_MAX, column) || !end ||
        end->type != JsonValue::Array || end->items.size() != 2 ||
        !end->items[0].Whole(1, lines, endLine) || !end->items[1].Whole(1, UINT32_MAX, endColumn) ||
        !parentValue ||
        (parentValue->type != JsonValue::Null && !parentValue->Whole(0, id - 1, parent)))
      return error = "construct " + std::to_string(Constructs.size()) + " is not as a map has it",
             false;
    construct.line = static_cast<uint32_t>(line);
    construct.column = static_cast<uint32_t>(column);
    construct.endLine = static_cast<uint32_t>(endLine);
    construct.endColumn = static_cast<uint32_t>(endColumn);
    construct.parent = static_cast<int32_t>(parent);
    construct.statement = -1;
    construct.text =
        Keep(OneLine(construct.line, construct.column, construct.endLine, construct.endColumn));
    Constructs.push_back(construct);
  }
  return true;
}

bool ReadRanges(const JsonValue &list, uint32_t lines, std::string &error) {
  if (list.type != JsonValue::Array) return error = "\"ranges\" is not an array", false;
  uint32_t next = 1;
  for (const JsonValue &r : list.items) {
    const JsonValue *span = r.Find("asm");
    int64_t from, to, index = -1;
    EngineRange range{};
    bool ok = span && span->type == JsonValue::Array && span->items.size() == 2 &&
              span->items[0].Whole(next, next, from) && span->items[1].Whole(from, lines, to) &&
              KindOf(r.Find("kind"), range.kind);
    if (ok && Info(range.kind).role != Role::Frame)
      ok = Field(r, "construct", 0, static_cast<int64_t>(Constructs.size()) - 1, index) &&
           Constructs[static_cast<size_t>(index)].kind == range.kind;
    if (!ok)
      return error = "range " + std::to_string(Ranges.size()) + " is not as a map has it", false;
    range.from = static_cast<uint32_t>(from);
    range.to = static_cast<uint32_t>(to);
    range.construct = static_cast<int32_t>(index);
    range.index = -1;
    if (range.kind == ConstructKind::Variable || range.kind == ConstructKind::Constant) {
      int64_t i;
      if (!Field(r, range.kind == ConstructKind::Variable ? "variable" : "constant", 0, INT32_MAX,
                 i))
        return error = "range " + std::to_string(Ranges.size()) + " names no index", false;
      range.index = static_cast<int32_t>(i);
    }
    Ranges.push_back(range);
    next = range.to + 1;
  }
  if (next != lines + 1) return error = "the ranges do not cover out1.asm", false;
  return true;
}

bool ReadVariables(const JsonValue &list, std::string &error) {
  if (list.type != JsonValue::Array) return error = "\"variables\" is not an array", false;
  for (const JsonValue &v : list.items) {
    const JsonValue *name = v.Find("name"), *type = v.Find("type"), *symbol = v.Find("symbol"),
                    *source = v.Find("source");
    int64_t asmLine, line, column;
    bool ok = name && name->type == JsonValue::Text && type && type->type == JsonValue::Text &&
              (type->text == "INTEGER" || type->text == "STRING") && symbol &&
              symbol->type == JsonValue::Text &&
              Field(v, "line", 1, static_cast<int64_t>(Image.lines.size()), asmLine) && source &&
              Field(*source, "line", 1, UINT32_MAX, line) &&
              Field(*source, "column", 1, UINT32_MAX, column);
    const AsmSymbol *found = nullptr;
    for (const AsmSymbol &s : Image.symbols)
      if (ok && !s.inCode && SameName(s.name, symbol->text)) found = &s;
    bool isString = ok && type->text == "STRING";
    if (!found ||
        found->offset + (isString ? kStringSize : 2) > Image.data.size() + Image.stackSize)
      return error = "variable " + std::to_string(Variables.size()) + " is not in the image", false;
    Variables.push_back({Keep(name->text), isString, Keep(symbol->text),
                         static_cast<uint32_t>(asmLine), static_cast<uint32_t>(line),
                         static_cast<uint32_t>(column), found->offset});
  }
  return true;
}

// The statements, and the statement of each construct.
void MakeStatements() {
  Statements.push_back({-1, 0, "(program start)", 0, 0});
  StartStatement = 0;
  for (size_t i = 0; i < Constructs.size(); i++) {
    EngineConstruct &c = Constructs[i];
    const EngineConstruct *parent =
        c.parent >= 0 ? &Constructs[static_cast<size_t>(c.parent)] : nullptr;
    switch (Info(c.kind).role) {
    case Role::Statement: {
      // A part of IF, WHILE or FOR reads with its keyword: from the statement's start on.
      std::string text(c.text);
      if (parent &&
          (c.kind == ConstructKind::IfCondition || c.kind == ConstructKind::WhileCondition ||
           c.kind == ConstructKind::ForStart || c.kind == ConstructKind::ForLimit))
        text = OneLine(parent->line, parent->column, c.endLine, c.endColumn);
      else if (c.kind == ConstructKind::RepeatUntil)
        text = "UNTIL " + text;
      c.statement = static_cast<int32_t>(Statements.size());
      Statements.push_back({static_cast<int32_t>(i), c.line, Keep(text), 0, 0});
      break;
    }
    case Role::Item:
      if (parent) c.statement = parent->statement;
      break;
    case Role::Pass:
      // The counting of a pass follows the limit of the same FOR.
      for (size_t j = i; j-- > 0;) {
        if (Constructs[j].parent == c.parent && Constructs[j].kind == ConstructKind::ForLimit) {
          c.statement = Constructs[j].statement;
          break;
        }
      }
      break;
    default:
      break;
    }
  }
  ExitStatement = static_cast<int32_t>(Statements.size());
  Statements.push_back({-1, 0, "(program exit)", 0, 0});
}

int32_t StatementOfRange(const EngineRange &r) {
  if (r.construct >= 0) return Constructs[static_cast<size_t>(r.construct)].statement;
  if (r.kind == ConstructKind::CodeStart) return StartStatement;
  if (r.kind == ConstructKind::Exit) return ExitStatement;
  return -1;
}

// The first word of a line, and whether its second is "proc".
std::string_view ProcName(std::string_view line) {
  auto word = [&](size_t &at) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) at++;
    size_t from = at;
    while (at < line.size() && line[at] != ' ' && line[at] != '\t') at++;
    return line.substr(from, at - from);
  };
  size_t at = 0;
  std::string_view name = word(at);
  return SameName(word(at), "proc") ? name : std::string_view();
}

void MakeCodeTables() {
  RangeOfLine.assign(Image.lines.size() + 1, -1);
  for (size_t i = 0; i < Ranges.size(); i++) {
    EngineRange &r = Ranges[i];
    for (uint32_t line = r.from; line <= r.to; line++) RangeOfLine[line] = static_cast<int32_t>(i);
    int32_t s = StatementOfRange(r);
    if (s < 0) continue;
    EngineStatement &st = Statements[static_cast<size_t>(s)];
    if (st.asmFrom == 0) st.asmFrom = r.from;
    st.asmTo = r.to;
  }
  size_t size = Image.code.size();
  UnitAt.assign(size, -1);
  LineAt.assign(size, 0);
  DosCall.assign(size, false);
  CallerOf.assign(size + 1, -1);
  Entry.assign(Statements.size(), kNone);
  for (const AsmInstruction &in : Image.instructions) {
    if (in.offset >= size || in.line >= RangeOfLine.size()) continue;
    const EngineRange &r = Ranges[static_cast<size_t>(RangeOfLine[in.line])];
    int32_t s = StatementOfRange(r);
    UnitAt[in.offset] = s;
    LineAt[in.offset] = in.line;
    if (s >= 0)
      Entry[static_cast<size_t>(s)] = std::min(Entry[static_cast<size_t>(s)], uint32_t{in.offset});
    uint8_t op = Image.code[in.offset];
    DosCall[in.offset] = op == 0xCD && in.offset + 1u < size && Image.code[in.offset + 1] == 0x21;
    if (op == 0xE8 && r.construct >= 0 && in.offset + in.length <= size)
      CallerOf[in.offset + in.length] = r.construct;
  }
  // The runtime's routines: each "NAME proc" line of it, at the offset of its symbol.
  Routines.clear();
  for (const EngineRange &r : Ranges) {
    if (r.kind != ConstructKind::Runtime) continue;
    for (uint32_t line = r.from; line <= r.to; line++) {
      std::string_view name = ProcName(Image.lines[line - 1]);
      if (name.empty()) continue;
      for (const AsmSymbol &s : Image.symbols)
        if (s.inCode && SameName(s.name, name))
          Routines.emplace_back(s.offset, Keep(std::string(name)));
    }
  }
  std::sort(Routines.begin(), Routines.end());
  StatementOnLine.assign(SourceLines.size() + 2, false);
  for (const EngineStatement &s : Statements)
    if (s.line < StatementOnLine.size() && s.construct >= 0 &&
        Entry[&s - Statements.data()] != kNone)
      StatementOnLine[s.line] = true;
  uint32_t at = 0;
  SnapshotAt.clear();
  for (const EngineVariableInfo &v : Variables) {
    SnapshotAt.push_back(at);
    at += v.isString ? kStringSize : 2;
  }
  SnapshotAt.push_back(at);
  DgroupLinear = (static_cast<uint32_t>(kLoadSegment) + Image.DgroupParagraph()) << 4;
  StackBase = Image.StackPointer() == 0 ? 0x10000 : Image.StackPointer();
}

void Clear() {
  Texts.clear();
  Constructs.clear();
  Ranges.clear();
  Variables.clear();
  Statements.clear();
  Source.clear();
  SourceLines.clear();
  Image = ProgramImage{};
}

// --- Running -------------------------------------------------------------------------------

void TakeSnapshot(std::string &into) {
  into.resize(SnapshotAt.back());
  for (size_t i = 0; i < Variables.size(); i++) {
    uint32_t base = DgroupLinear + Variables[i].offset;
    for (uint32_t b = SnapshotAt[i]; b < SnapshotAt[i + 1]; b++)
      into[b] = static_cast<char>(Memory(base + b - SnapshotAt[i]));
  }
}

bool StopsAt(int32_t statement) {
  uint32_t line = Statements[static_cast<size_t>(statement)].line;
  bool breakpoint = line > 0 && line < Breakpoints.size() && Breakpoints[line];
  switch (RunMode) {
  case Mode::Statement:
    RefusedFor = EngineStopReason::Statement;
    return true;
  case Mode::Continue:
  case Mode::ToLine:
    if (RunMode == Mode::ToLine && line == TargetLine) {
      RefusedFor = EngineStopReason::Line;
      return true;
    }
    RefusedFor = EngineStopReason::Breakpoint;
    return breakpoint;
  default:
    return false;
  }
}

bool WaitsForInput(uint16_t ip) {
  return Ask && RunMode != Mode::Watch && DosCall[ip] && (ReadCpu().regs[kAX] >> 8) == 0x3F &&
         Queue.empty() && !InputEnded && !InputPending();
}

bool Listen(void *, uint16_t ip) {
  if (ip >= UnitAt.size()) return FirstOfRun = false, true;
  int32_t s = UnitAt[ip];
  if (s >= 0 && (s != Current || ip == Entry[static_cast<size_t>(s)])) {
    if (!FirstOfRun && StopsAt(s)) return Refused = true, false;
    Current = s;
    LastEntered[static_cast<size_t>(s)] = InstructionCount();
  }
  if (WaitsForInput(ip)) {
    RefusedFor = EngineStopReason::Input;
    return Refused = true, false;
  }
  FirstOfRun = false;
  return true;
}

const MachineListener kListener{nullptr, Listen};

bool ReadQueued(void *, std::string &line) {
  if (Queue.empty()) return false;
  line = std::move(Queue.front()) + "\n";
  Queue.pop_front();
  return true;
}

EngineStop MakeStop(EngineStopReason reason, Status status, int32_t finished, bool ran) {
  EngineStop stop{};
  stop.reason = reason;
  stop.status = status;
  CpuState cpu = ReadCpu();
  stop.ip = cpu.ip;
  bool inCode = cpu.sregs[kCS] == kLoadSegment && cpu.ip < LineAt.size();
  stop.asmLine = inCode ? LineAt[cpu.ip] : 0;
  int32_t next = inCode ? UnitAt[cpu.ip] : -1;
  stop.statement = next >= 0 ? next : Current;
  stop.atStatement = next >= 0 && (next != Current || cpu.ip == Entry[static_cast<size_t>(next)]);
  stop.finished = finished;
  if (ran && LastInstruction() < LineAt.size()) {
    stop.executedLine = LineAt[LastInstruction()];
    stop.executedIp = LastInstruction();
  }
  stop.instructions = InstructionCount();
  BeforeCpu = NowCpu;
  NowCpu = cpu;
  std::swap(BeforeVars, NowVars);
  TakeSnapshot(NowVars);
  Last = stop;
  return stop;
}

bool Over() {
  return Last.reason == EngineStopReason::Ended || Last.reason == EngineStopReason::Budget;
}

EngineStop Go(Mode mode) {
  if (Over()) return Last;
  RunMode = mode;
  FirstOfRun = true;
  Refused = false;
  uint64_t count = InstructionCount();
  uint64_t left = Budget > count ? Budget - count : 0;
  if (left == 0) return MakeStop(EngineStopReason::Budget, Status::Running, Current, false);
  Status status = Run(mode == Mode::Instruction ? 1 : left, &kListener);
  bool ran = InstructionCount() > count;
  if (status != Status::Running) return MakeStop(EngineStopReason::Ended, status, Current, ran);
  if (Refused) {
    bool boundary = RefusedFor != EngineStopReason::Input;
    return MakeStop(RefusedFor, status, boundary ? Current : -1, ran);
  }
  if (mode == Mode::Instruction)
    return MakeStop(EngineStopReason::Instruction, status, Current, ran);
  return MakeStop(EngineStopReason::Budget, status, Current, ran);
}
} // namespace

// --- The interface -------------------------------------------------------------------------

std::string_view ConstructKindName(ConstructKind kind) {
  return Info(kind).name;
}

std::string_view ConstructKindWords(ConstructKind kind) {
  return Info(kind).words;
}

bool EngineLoad(std::string_view source, std::string_view mapJson, const ProgramImage &image,
                std::string &error) {
  Clear();
  Breakpoints.clear();
  Image = image;
  Source = source;
  SplitSource();
  JsonValue map;
  if (!ReadJson(mapJson, map, error)) return error = "the map is not JSON: " + error, false;
  int64_t version, lines;
  const JsonValue *constructs = map.Find("constructs"), *ranges = map.Find("ranges"),
                  *variables = map.Find("variables");
  if (!Field(map, "version", 1, 1, version)) return error = "the map is not of version 1", false;
  if (!Field(map, "lines", 1, UINT32_MAX, lines) ||
      static_cast<size_t>(lines) != image.lines.size())
    return error = "the map has another number of lines than out1.asm", false;
  if (!constructs || !ranges || !variables) return error = "the map lacks a table", false;
  if (!ReadConstructs(*constructs, error) ||
      !ReadRanges(*ranges, static_cast<uint32_t>(lines), error) ||
      !ReadVariables(*variables, error)) {
    Clear();
    return false;
  }
  MakeStatements();
  MakeCodeTables();
  Breakpoints.assign(SourceLines.size() + 2, false);
  return true;
}

size_t EngineConstructCount() {
  return Constructs.size();
}
const EngineConstruct &EngineConstructAt(size_t index) {
  return Constructs[index];
}
size_t EngineRangeCount() {
  return Ranges.size();
}
const EngineRange &EngineRangeAt(size_t index) {
  return Ranges[index];
}
size_t EngineVariableCount() {
  return Variables.size();
}
const EngineVariableInfo &EngineVariableAt(size_t index) {
  return Variables[index];
}
size_t EngineStatementCount() {
  return Statements.size();
}
const EngineStatement &EngineStatementAt(size_t index) {
  return Statements[index];
}

uint32_t EngineSourceLineCount() {
  return static_cast<uint32_t>(SourceLines.size());
}
std::string_view EngineSourceLine(uint32_t line) {
  return line >= 1 && line <= SourceLines.size() ? SourceLines[line - 1] : std::string_view();
}
uint32_t EngineAsmLineCount() {
  return static_cast<uint32_t>(Image.lines.size());
}
std::string_view EngineAsmLine(uint32_t line) {
  return line >= 1 && line <= Image.lines.size() ? std::string_view(Image.lines[line - 1])
                                                 : std::string_view();
}
int32_t EngineRangeOfAsmLine(uint32_t line) {
  return line < RangeOfLine.size() ? RangeOfLine[line] : -1;
}
bool EngineLineHasStatement(uint32_t line) {
  return line < StatementOnLine.size() && StatementOnLine[line];
}

EngineStop EngineStart(MachineIo io, bool checkStack, uint64_t budget) {
  Ask = io.readLine == nullptr;
  if (Ask) io.readLine = ReadQueued;
  Queue.clear();
  InputEnded = false;
  Budget = budget;
  Current = -1;
  LastEntered.assign(Statements.size(), 0);
  LoadProgram(Image, io, checkStack);
  NowCpu = ReadCpu();
  TakeSnapshot(NowVars);
  Last = MakeStop(EngineStopReason::Start, Status::Running, -1, false);
  return Last;
}

EngineStop EngineLastStop() {
  return Last;
}

EngineStop EngineStepInstruction() {
  return Go(Mode::Instruction);
}

EngineStop EngineStepStatement() {
  return Go(Mode::Statement);
}

EngineStop EngineContinue() {
  return Go(Mode::Continue);
}

EngineStop EngineRunToLine(uint32_t line) {
  TargetLine = line;
  return Go(Mode::ToLine);
}

EngineStop EngineFinish() {
  if (Over()) return Last;
  uint64_t count = InstructionCount();
  uint64_t left = Budget > InstructionCount() ? Budget - InstructionCount() : 0;
  Status status = Status::Running;
  if (left > kWatched) status = Run(left - kWatched);
  if (status == Status::Running) {
    RunMode = Mode::Watch;
    FirstOfRun = true;
    Refused = false;
    status = Run(Budget > InstructionCount() ? Budget - InstructionCount() : 0, &kListener);
  }
  return MakeStop(status == Status::Running ? EngineStopReason::Budget : EngineStopReason::Ended,
                  status, Current, InstructionCount() > count);
}

bool EngineSetBreakpoint(uint32_t line, bool on) {
  if (!EngineLineHasStatement(line)) return false;
  Breakpoints[line] = on;
  return true;
}

bool EngineHasBreakpoint(uint32_t line) {
  return line < Breakpoints.size() && Breakpoints[line];
}

void EngineClearBreakpoints() {
  std::fill(Breakpoints.begin(), Breakpoints.end(), false);
}

void EngineGiveInput(std::string_view line) {
  Queue.emplace_back(line);
}

void EngineEndInput() {
  InputEnded = true;
}

EngineCpu EngineRegisters() {
  EngineCpu out{NowCpu, 0, 0};
  for (int r = 0; r < 8; r++)
    if (NowCpu.regs[r] != BeforeCpu.regs[r]) out.changedRegs |= static_cast<uint16_t>(1 << r);
  for (int s = 0; s < 4; s++)
    if (NowCpu.sregs[s] != BeforeCpu.sregs[s])
      out.changedRegs |= static_cast<uint16_t>(1 << (8 + s));
  out.changedFlags = NowCpu.flags ^ BeforeCpu.flags;
  return out;
}

size_t EngineStackDepth() {
  uint32_t sp = NowCpu.regs[kSP];
  return sp < StackBase ? (StackBase - sp) / 2 : 0;
}

uint16_t EngineStackWord(size_t fromTop) {
  uint32_t at = (static_cast<uint32_t>(NowCpu.sregs[kSS]) << 4) + NowCpu.regs[kSP] +
                static_cast<uint32_t>(2 * fromTop);
  return static_cast<uint16_t>(Memory(at) | Memory(at + 1) << 8);
}

EngineValue EngineVariableValue(size_t index) {
  EngineValue value{};
  uint32_t from = SnapshotAt[index], to = SnapshotAt[index + 1];
  std::string_view bytes(NowVars.data() + from, to - from);
  value.changed = BeforeVars.size() == NowVars.size() &&
                  std::string_view(BeforeVars.data() + from, to - from) != bytes;
  if (!Variables[index].isString) {
    value.number =
        static_cast<int16_t>(static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8);
    return value;
  }
  size_t end = bytes.find('$');
  value.terminated = end != std::string_view::npos;
  value.text = bytes.substr(0, value.terminated ? end : bytes.size());
  return value;
}

EngineSite EngineStopSite() {
  EngineSite site{-1, -1, {}};
  uint16_t ip = NowCpu.ip;
  bool atInstruction = NowCpu.sregs[kCS] == kLoadSegment && ip < LineAt.size() && LineAt[ip];
  if (!atInstruction) ip = LastInstruction();
  if (ip >= LineAt.size() || LineAt[ip] == 0) return site;
  const EngineRange &r = Ranges[static_cast<size_t>(RangeOfLine[LineAt[ip]])];
  site.construct = r.construct;
  site.statement = StatementOfRange(r);
  if (r.kind != ConstructKind::Runtime) return site;
  for (const auto &[offset, name] : Routines)
    if (offset <= ip) site.routine = name;
  // The routine serves the construct whose call's return address lies on the stack.
  for (size_t i = 0; i < EngineStackDepth(); i++) {
    uint16_t word = EngineStackWord(i);
    if (word < CallerOf.size() && CallerOf[word] >= 0) {
      site.construct = CallerOf[word];
      site.statement = Constructs[static_cast<size_t>(site.construct)].statement;
      break;
    }
  }
  return site;
}

int32_t EngineHangingLoop() {
  if (Last.reason != EngineStopReason::Budget) return -1;
  // The last part: the instructions watched, or the later half of a shorter run.
  uint64_t from = Budget - std::min(kWatched, Budget / 2);
  std::vector<int32_t> seen;
  for (size_t s = 0; s < Statements.size(); s++)
    if (Statements[s].construct >= 0 && LastEntered[s] >= from && LastEntered[s] > 0)
      seen.push_back(Statements[s].construct);
  auto isLoop = [](int32_t c) {
    ConstructKind k = Constructs[static_cast<size_t>(c)].kind;
    return k == ConstructKind::While || k == ConstructKind::For || k == ConstructKind::Repeat;
  };
  auto within = [](int32_t c, int32_t loop) {
    for (; c >= 0; c = Constructs[static_cast<size_t>(c)].parent)
      if (c == loop) return true;
    return false;
  };
  // The loops around the first, innermost first: the first around all the others; failing one,
  // the innermost around the statement running.
  if (!seen.empty()) {
    for (int32_t loop = seen[0]; loop >= 0; loop = Constructs[static_cast<size_t>(loop)].parent) {
      if (isLoop(loop) &&
          std::all_of(seen.begin(), seen.end(), [&](int32_t c) { return within(c, loop); }))
        return loop;
    }
  }
  int32_t c = Current >= 0 ? Statements[static_cast<size_t>(Current)].construct : -1;
  for (; c >= 0; c = Constructs[static_cast<size_t>(c)].parent)
    if (isLoop(c)) return c;
  return -1;
}
