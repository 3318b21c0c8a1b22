#include "runner/runner.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "asm/assembler.h"
#include "engine/engine.h"
#include "machine/machine.h"
#include "os/process.h"
#include "os/terminal.h"
#include "runner/execute.h"
#include "views/describe.h"
#include "views/listing.h"
#include "views/stepper.h"
#include "views/trace.h"

#ifndef PAS2ASM_VERSION
#define PAS2ASM_VERSION "unknown"
#endif

namespace {
constexpr uint64_t kDefaultTraceLimit = 10'000;

const char kUsageLine[] =
    "usage: pas2asm-run [options] SOURCE   or   pas2asm-run [options] --asm FILE\n";

const char kHelp[] =
    "Compiles SOURCE with pas2asm, assembles out1.asm and runs it on a DOS machine of its own.\n"
    "\n"
    "The program's input is standard input (or --input FILE), one line for each READ item; the\n"
    "compiler's waits for Enter get an empty input. Standard output holds exactly what the "
    "program\n"
    "prints; the compiler's console texts and the runner's messages go to standard error.\n"
    "\n"
    "options:\n"
    "  --input FILE     the program's input instead of standard input\n"
    "  --asm FILE       assemble and run FILE (an out1.asm, maybe edited) instead of compiling\n"
    "  --exe FILE       also write the program as an MZ .EXE, which DOS and DOSBox run\n"
    "  --compiler PATH  the pas2asm to use (default: $PAS2ASM, the one beside this program, PATH)\n"
    "  --keep DIR       keep out1.asm and prog.exe in DIR\n"
    "  --budget N       instructions before the program counts as hanging (default 50000000)\n"
    "  --check-stack    fail when the stack is not where it started at the program's exit\n"
    "  --console FILE   also write the compiler's console output to FILE\n"
    "  --utf8           show the compiler's console texts converted from CP866 to UTF-8\n"
    "  --count          say how many instructions the program executed\n"
    "  --help, --version\n"
    "\n"
    "seeing the program run (SOURCE only):\n"
    "  --listing        show the source, each statement with the lines of out1.asm it produced;\n"
    "                   the frame and the runtime folded (--listing-all shows them); no run\n"
    "  --trace          run, and write a line for each statement executed: its line, its text,\n"
    "                   the variables it changed\n"
    "  --trace=asm      the same for each instruction: its out1.asm line, the registers and\n"
    "                   flags it changed, the stack\n"
    "  --trace-file FILE  the trace into FILE instead of standard error\n"
    "  --trace-limit N  end the trace after N lines, the program running on (default 10000;\n"
    "                   0: no limit)\n"
    "  --step           step the program: n or F8 next statement, s or F7 next instruction,\n"
    "                   c or F9 continue, b N breakpoint at line N, g N run to line N, q quit;\n"
    "                   without a terminal the commands are lines of standard input, and a\n"
    "                   READ takes the line after the command\n"
    "\n"
    "exit codes:\n"
    "  0   the program ended normally\n"
    "  2   the compiler made no out1.asm (its messages are on standard error)\n"
    "  3   out1.asm holds a line the assembler does not know, or its source map does not fit\n"
    "      it (a compiler fault)\n"
    "  4   the code or DGROUP (data and stack) passes 64 KiB\n"
    "  64  usage error, or a line of an --asm file outside the subset the compiler writes\n"
    "  65  the program ended with a return code other than 0\n"
    "  66  an interrupt or DOS function other than int 21h 02h, 09h, 3Fh, 4Ch, or one misused\n"
    "  67  a CPU fault: division by zero, -32768 / -1, an invalid instruction, execution outside\n"
    "      the code\n"
    "  68  the program overwrote its own image: a write into its code, or a push or call whose\n"
    "      word lands in its data\n"
    "  69  the instruction budget is used up (the program hangs)\n"
    "  70  with --check-stack: the stack is not balanced at the exit\n"
    "\n"
    "The learner's guide: docs/guide.md in the sources, installed as share/doc/pas2asm/guide.md.\n";

enum class TraceKind { None, Statements, Instructions };

struct Options {
  std::string source, asmFile, input, exe, compiler, keep, console, traceFile;
  uint64_t budget = kDefaultBudget, traceLimit = kDefaultTraceLimit;
  bool checkStack = false, utf8 = false, count = false;
  bool listing = false, listingAll = false, step = false;
  TraceKind trace = TraceKind::None;
};

void Say(const std::string &text) {
  WriteStream(Stream::Err, "pas2asm-run: " + text + "\n", false);
}

int Usage(const std::string &problem) {
  WriteStream(Stream::Err, kUsageLine, false);
  Say(problem);
  return kUsage;
}

// The options as GNU programs take them: "--name VALUE" or "--name=VALUE".
std::optional<int> Parse(int argc, char **argv, Options &o) {
  std::vector<std::string> free;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      WriteStream(Stream::Out, std::string(kUsageLine) + "\n" + kHelp, false);
      return 0;
    }
    if (arg == "--version") {
      WriteStream(Stream::Out, "pas2asm-run " PAS2ASM_VERSION "\n", false);
      return 0;
    }
    if (arg == "--check-stack") {
      o.checkStack = true;
      continue;
    }
    if (arg == "--utf8") {
      o.utf8 = true;
      continue;
    }
    if (arg == "--count") {
      o.count = true;
      continue;
    }
    if (arg == "--listing" || arg == "--listing-all") {
      o.listing = true;
      o.listingAll = arg == "--listing-all";
      continue;
    }
    if (arg == "--step") {
      o.step = true;
      continue;
    }
    if (arg == "--trace" || arg == "--trace=statements") {
      o.trace = TraceKind::Statements;
      continue;
    }
    if (arg == "--trace=asm") {
      o.trace = TraceKind::Instructions;
      continue;
    }
    if (arg.rfind("--trace=", 0) == 0) return Usage("--trace takes asm or statements: " + arg);
    if (arg == "--") {
      for (i++; i < argc; i++) free.push_back(argv[i]);
      break;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::string name = arg, value;
      size_t eq = arg.find('=');
      bool inline_ = eq != std::string::npos;
      if (inline_) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
      }
      std::string *target = name == "--input"        ? &o.input
                            : name == "--asm"        ? &o.asmFile
                            : name == "--exe"        ? &o.exe
                            : name == "--compiler"   ? &o.compiler
                            : name == "--keep"       ? &o.keep
                            : name == "--console"    ? &o.console
                            : name == "--trace-file" ? &o.traceFile
                                                     : nullptr;
      uint64_t *number = name == "--budget"        ? &o.budget
                         : name == "--trace-limit" ? &o.traceLimit
                                                   : nullptr;
      if (!target && !number) return Usage("unknown option " + name);
      if (!inline_) {
        if (i + 1 >= argc) return Usage(name + " needs a value");
        value = argv[++i];
      }
      if (number) {
        char *end = nullptr;
        unsigned long long n = std::strtoull(value.c_str(), &end, 10);
        if (value.empty() || *end || value[0] == '-')
          return Usage(name + " takes a number: " + value);
        *number = n;
      } else {
        *target = value;
      }
      continue;
    }
    free.push_back(arg);
  }
  if (!o.asmFile.empty() && !free.empty())
    return Usage("--asm takes the place of SOURCE: give one");
  if (o.asmFile.empty() && free.size() != 1)
    return Usage(free.empty() ? "SOURCE is missing" : "one SOURCE only");
  if (!free.empty()) o.source = free[0];
  int views = o.listing + o.step + (o.trace != TraceKind::None);
  if (views > 1) return Usage("one of --listing, --trace and --step at a time");
  if (views && !o.asmFile.empty())
    return Usage("--listing, --trace and --step need SOURCE: the map of its statements comes "
                 "from compiling it");
  if (o.trace == TraceKind::None && (!o.traceFile.empty() || o.traceLimit != kDefaultTraceLimit))
    return Usage("--trace-file and --trace-limit go with --trace");
  return std::nullopt;
}

std::string FindCompiler(const std::string &given) {
  std::string name = given;
  if (name.empty()) {
    const char *env = std::getenv("PAS2ASM");
    if (env) name = env;
  }
  if (!name.empty()) {
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
      return AbsolutePath(name);
    std::string found = FindOnPath(name);
    return found.empty() ? name : found;
  }
  std::string beside = OwnFolder() + "/" + ExecutableName("pas2asm");
  if (IsExecutable(beside)) return beside;
  std::string found = FindOnPath(ExecutableName("pas2asm"));
  return found.empty() ? beside : found;
}

// --- The program's input and output ----------------------------------------------------------

struct Console {
  std::FILE *input;
  bool unicode;       // standard output shows CP866 converted
  std::string buffer; // output not yet written, at most kFlushAt bytes
  char last = '\n';   // the last byte written
};
constexpr size_t kFlushAt = 64 * 1024;

bool Flush(Console &c) {
  if (c.buffer.empty()) return true;
  bool ok = WriteStream(Stream::Out, c.buffer, c.unicode);
  c.last = c.buffer.back();
  c.buffer.clear();
  return ok;
}

bool WriteOutput(void *context, std::string_view bytes) {
  Console &c = *static_cast<Console *>(context);
  c.buffer.append(bytes);
  return c.buffer.size() < kFlushAt || Flush(c);
}

// The prompt is on the screen before the program waits for its answer.
bool ReadInput(void *context, std::string &line) {
  Console &c = *static_cast<Console *>(context);
  Flush(c);
  return ReadLine(c.input, line);
}

// --- The run ---------------------------------------------------------------------------------

struct Work {
  std::string folder;
  ~Work() {
    if (!folder.empty()) RemoveFolder(folder);
  }
};

void Keep(const Options &o, const std::string &asmText, const std::string &exe) {
  if (o.keep.empty()) return;
  std::string error;
  if (!MakeFolder(o.keep, error) || !WriteWholeFile(o.keep + "/out1.asm", asmText, error) ||
      (!exe.empty() && !WriteWholeFile(o.keep + "/prog.exe", exe, error)))
    Say("--keep: " + error);
}

// Runs the compiler in a folder of its own, with the source map beside out1.asm; its console
// goes to standard error. `map` stays empty when the compiler wrote none.
int Compile(const Options &o, Work &work, std::string &asmText, std::string &map) {
  std::string error;
  work.folder = MakeTemporaryFolder(error);
  if (work.folder.empty()) {
    Say(error);
    return kCompileFailed;
  }
  std::string compiler = FindCompiler(o.compiler);
  int code = 0;
  if (!RunInFolder(compiler, {"--map", "map.json", AbsolutePath(o.source)}, work.folder,
                   "console.out", "console.err", code, error)) {
    Say("cannot run the compiler " + compiler + ": " + error);
    return kCompileFailed;
  }
  std::string out, err, ignored;
  ReadWholeFile(work.folder + "/console.out", out, ignored);
  ReadWholeFile(work.folder + "/console.err", err, ignored);
  WriteStream(Stream::Err, out + err, o.utf8 || WantsUnicode(Stream::Err));
  if (!o.console.empty() && !WriteWholeFile(o.console, out, error)) Say(error);
  if (code != 0 || !ReadWholeFile(work.folder + "/out1.asm", asmText, error)) {
    Say(CompileFailedMessage(code));
    return kCompileFailed;
  }
  if (!ReadWholeFile(work.folder + "/map.json", map, ignored)) map.clear();
  return 0;
}

// --- The trace's stream --------------------------------------------------------------------

struct TraceOut {
  Console *console;
  std::FILE *file; // null: standard error
  bool unicode;
  bool oneTerminal; // standard output and error show on a terminal together
};

// On standard error the program's output before a trace line is written first, so that a
// terminal shows the two in the order they happened, and a trace line begins a line of its own.
bool WriteTrace(void *context, std::string_view line) {
  TraceOut &t = *static_cast<TraceOut *>(context);
  if (t.file) return std::fwrite(line.data(), 1, line.size(), t.file) == line.size();
  Flush(*t.console);
  if (t.oneTerminal && t.console->last != '\n') {
    t.console->last = '\n';
    if (!WriteStream(Stream::Err, "\n", false)) return false;
  }
  return WriteStream(Stream::Err, line, t.unicode);
}

bool ReadCommand(void *, std::string &line) {
  if (!ReadLine(stdin, line)) return false;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return true;
}

bool WriteStepText(void *, std::string_view text) {
  return WriteStream(Stream::Out, text, WantsUnicode(Stream::Out));
}

// What the stepper does and how it ends: on the screen when both ends are a terminal.
EngineStop Step(const Options &o, Console &console) {
  StepOptions options;
  options.checkStack = o.checkStack;
  options.budget = o.budget;
  if (!o.input.empty()) options.input = {&console, ReadInput, nullptr};
  if (InputIsTerminal() && IsTerminal(Stream::Out)) {
    bool started = false;
    EngineStop stop = StepScreen(options, WantsUnicode(Stream::Out), started);
    if (started) return stop;
  }
  return StepScript(options, {nullptr, ReadCommand, WriteStepText});
}
} // namespace

int RunRunner(int argc, char **argv) {
  PrepareStreams();
  Options o;
  if (std::optional<int> done = Parse(argc, argv, o)) return *done;

  std::FILE *input = stdin;
  if (!o.input.empty()) {
    input = std::fopen(o.input.c_str(), "rb");
    if (!input) {
      Say(o.input + ": cannot open the file");
      return kUsage;
    }
  }
  Work work;
  std::string asmText, map, source, error;
  std::string asmName = "out1.asm";
  if (o.asmFile.empty()) {
    if (int code = Compile(o, work, asmText, map)) return code;
    if (!ReadWholeFile(o.source, source, error)) map.clear();
  } else if (!ReadWholeFile(o.asmFile, asmText, error)) {
    Say(error);
    return kUsage;
  } else {
    asmName = o.asmFile;
  }

  ProgramImage image;
  int refusal = 0;
  if (!AssembleForRun(asmText, asmName, o.asmFile.empty(), image, refusal, error)) {
    Keep(o, asmText, "");
    Say(error);
    return refusal;
  }
  std::string exe = ExeFile(image);
  Keep(o, asmText, exe);
  if (!o.exe.empty() && !WriteWholeFile(o.exe, exe, error)) {
    Say(error);
    return kUsage;
  }

  // The map names the source in the messages; the views cannot do without it.
  bool views = o.listing || o.step || o.trace != TraceKind::None;
  bool mapped = false;
  if (o.asmFile.empty()) {
    if (map.empty())
      error = "the compiler wrote none";
    else
      mapped = EngineLoad(source, map, image, error);
    if (!mapped) {
      Say("the source map of out1.asm cannot be used: " + error);
      if (views) return kRefusedLine;
    }
  }
  if (o.listing) {
    bool ok = WriteStream(Stream::Out, ListingText(o.listingAll, WantsColours(Stream::Out)),
                          WantsUnicode(Stream::Out));
    return ok ? 0 : static_cast<int>(Status::CannotWrite);
  }

  Console console{input, WantsUnicode(Stream::Out), {}};
  MachineIo io{&console, ReadInput, WriteOutput};
  Status status;
  bool quit = false;
  if (o.step) {
    EngineStop stop = Step(o, console);
    quit = stop.reason != EngineStopReason::Ended && stop.reason != EngineStopReason::Budget;
    status = stop.reason == EngineStopReason::Budget ? Status::Running : stop.status;
  } else if (o.trace != TraceKind::None) {
    std::FILE *file = nullptr;
    if (!o.traceFile.empty() && !(file = std::fopen(o.traceFile.c_str(), "wb"))) {
      Say(o.traceFile + ": cannot open the file");
      return kUsage;
    }
    TraceOut out{&console, file, WantsUnicode(Stream::Err),
                 IsTerminal(Stream::Out) && IsTerminal(Stream::Err)};
    EngineStart(io, o.checkStack, o.budget);
    bool failed = false;
    status =
        Trace(o.trace == TraceKind::Instructions, o.traceLimit, {&out, WriteTrace}, failed).status;
    if (file && std::fclose(file) != 0) failed = true;
    if (failed)
      Say((o.traceFile.empty() ? "standard error" : o.traceFile) + ": cannot write the trace");
  } else if (mapped) {
    EngineStart(io, o.checkStack, o.budget);
    status = EngineFinish().status;
  } else {
    LoadProgram(image, io, o.checkStack);
    status = Run(o.budget);
  }
  bool flushed = Flush(console);
  if (input != stdin) std::fclose(input);
  if (quit) return 0;
  if (o.count) Say(std::to_string(InstructionCount()) + " instructions executed");
  std::string said;
  int code = RunVerdict(status, o.budget, flushed, mapped, said);
  if (!said.empty()) Say(said);
  return code;
}
