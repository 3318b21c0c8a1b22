// The engine on programs the compiler translates here (the compiler is $PAS2ASM): how it reads
// a map and refuses one that does not fit, where its statements begin and end, its stops, the
// program's input, the variables, where it stopped and which loop a budget was spent in; and the
// texts that the views make of what it hands out. The views' whole output is held to transcripts
// by check_views.py.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/json.h"
#include "os/process.h"
#include "views/describe.h"

namespace {
struct Compiled {
  std::string source, asmText, map;
  ProgramImage image;
};

// The program compiled with its map, and out1.asm assembled.
Compiled Compile(const std::string &source) {
  Compiled c;
  c.source = source;
  std::string error;
  std::string folder = MakeTemporaryFolder(error);
  EXPECT_FALSE(folder.empty()) << error;
  const char *compiler = std::getenv("PAS2ASM");
  EXPECT_NE(compiler, nullptr) << "PAS2ASM names the compiler";
  int code = -1;
  EXPECT_TRUE(WriteWholeFile(folder + "/p.pas", source, error)) << error;
  EXPECT_TRUE(RunInFolder(compiler ? compiler : "pas2asm", {"--map", "map.json", "p.pas"}, folder,
                          "out", "err", code, error))
      << error;
  EXPECT_EQ(code, 0) << source;
  EXPECT_TRUE(ReadWholeFile(folder + "/out1.asm", c.asmText, error)) << error;
  EXPECT_TRUE(ReadWholeFile(folder + "/map.json", c.map, error)) << error;
  RemoveFolder(folder);
  AsmError refused;
  EXPECT_TRUE(Assemble(c.asmText, c.image, refused)) << refused.message;
  return c;
}

std::string Output;

MachineIo Collecting() {
  Output.clear();
  return {nullptr, nullptr, [](void *, std::string_view bytes) {
            Output.append(bytes);
            return true;
          }};
}

void Load(const Compiled &c) {
  std::string error;
  ASSERT_TRUE(EngineLoad(c.source, c.map, c.image, error)) << error;
}

const EngineStatement &Statement(const EngineStop &stop) {
  return EngineStatementAt(static_cast<size_t>(stop.statement));
}

size_t VariableNamed(std::string_view name) {
  for (size_t i = 0; i < EngineVariableCount(); i++)
    if (EngineVariableAt(i).name == name) return i;
  ADD_FAILURE() << "no variable " << name;
  return 0;
}

const char kLoops[] = "PROGRAM P;\n"
                      "VAR I, S : INTEGER;\n"
                      "BEGIN\n"
                      "  S := 0;\n"
                      "  FOR I := 1 TO 3 DO\n"
                      "    S := S + I;\n"
                      "  WRITE(S);\n"
                      "END.\n";

// --- The map -------------------------------------------------------------------------------

TEST(Json, ReadsWhatTheMapIsMadeOf) {
  JsonValue v;
  std::string error;
  ASSERT_TRUE(
      ReadJson(R"( {"a": [1, -2.5e1, true, null], "b": "x\"\u00e9\ud83d\ude00\n"} )", v, error))
      << error;
  ASSERT_EQ(v.type, JsonValue::Object);
  const JsonValue *a = v.Find("a");
  ASSERT_TRUE(a && a->items.size() == 4);
  int64_t n;
  EXPECT_TRUE(a->items[0].Whole(0, 5, n) && n == 1);
  EXPECT_TRUE(a->items[1].Whole(-100, 100, n) && n == -25);
  EXPECT_FALSE(a->items[1].Whole(-20, 100, n)) << "outside the range asked for";
  EXPECT_EQ(a->items[2].type, JsonValue::Bool);
  EXPECT_EQ(a->items[3].type, JsonValue::Null);
  EXPECT_EQ(v.Find("b")->text, "x\"\xC3\xA9\xF0\x9F\x98\x80\n");
  EXPECT_EQ(v.Find("c"), nullptr);
}

TEST(Json, RefusesWhatIsNotJsonSayingWhere) {
  const std::pair<std::string, std::string> bad[] = {
      {"{\"a\": 1} x", "text after the value at byte 9"},
      {"[1, 2", "\",\" or \"]\" missing"},
      {"{\"a\" 1}", "\":\" missing"},
      {"\"abc", "closing quote"},
      {"\"a\\qb\"", "unknown escape"},
      {"\"a\tb\"", "control character"},
      {"tru", "unknown word"},
      {"-", "without digits"},
      {std::string(65, '[') + std::string(65, ']'), "deeper than 64"},
  };
  for (const auto &[text, fragment] : bad) {
    JsonValue v;
    std::string error;
    EXPECT_FALSE(ReadJson(text, v, error)) << text;
    EXPECT_NE(error.find(fragment), std::string::npos) << text << ": " << error;
  }
  JsonValue v;
  std::string error;
  EXPECT_TRUE(ReadJson(std::string(64, '[') + std::string(64, ']'), v, error)) << error;
}

TEST(Engine, RefusesAMapThatDoesNotFitTheProgram) {
  Compiled c = Compile(kLoops);
  auto refusal = [&](std::string map, const std::string &from, const std::string &to) {
    size_t at = map.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) map.replace(at, from.size(), to);
    std::string error;
    EXPECT_FALSE(EngineLoad(c.source, map, c.image, error)) << from << " -> " << to;
    return error;
  };
  EXPECT_NE(refusal(c.map, "\"version\": 1", "\"version\": 2").find("version 1"),
            std::string::npos);
  EXPECT_NE(refusal(c.map, "\"lines\": ", "\"lines\": 1").find("number of lines"),
            std::string::npos);
  EXPECT_NE(refusal(c.map, "\"kind\": \"runtime\"", "\"kind\": \"loop\"").find("range"),
            std::string::npos);
  EXPECT_NE(refusal(c.map, "\"asm\": [1, 11]", "\"asm\": [2, 11]").find("range 0"),
            std::string::npos);
  EXPECT_NE(refusal(c.map, "\"symbol\": \"_S\"", "\"symbol\": \"_T\"").find("not in the image"),
            std::string::npos);
  EXPECT_NE(refusal(c.map, "\"parent\": null", "\"parent\": 7").find("construct 0"),
            std::string::npos);
  EXPECT_NE(refusal(c.map, "{", "[").find("not JSON"), std::string::npos);
  // And the map as written loads, after the refusals.
  Load(c);
}

TEST(Engine, MakesStatementsOfTheConstructsThatHaveCode) {
  Load(Compile(kLoops));
  std::vector<std::string> texts;
  for (size_t i = 0; i < EngineStatementCount(); i++) texts.emplace_back(EngineStatementAt(i).text);
  EXPECT_EQ(texts,
            (std::vector<std::string>{"(program start)", "S := 0", "FOR I := 1", "FOR I := 1 TO 3",
                                      "S := S + I", "WRITE(S)", "(program exit)"}));
  EXPECT_TRUE(EngineLineHasStatement(5));
  EXPECT_FALSE(EngineLineHasStatement(3));
  EXPECT_FALSE(EngineSetBreakpoint(3, true));
  // The counting of each pass counts to the FOR's limit.
  for (size_t i = 0; i < EngineConstructCount(); i++) {
    const EngineConstruct &c = EngineConstructAt(i);
    if (c.kind == ConstructKind::ForStep) {
      EXPECT_EQ(EngineStatementAt(static_cast<size_t>(c.statement)).text, "FOR I := 1 TO 3");
    }
    if (c.kind == ConstructKind::For || c.kind == ConstructKind::Write) {
      EXPECT_EQ(c.statement, c.kind == ConstructKind::For ? -1 : 5);
    }
  }
}

// --- Runs ----------------------------------------------------------------------------------

TEST(Engine, StepsStatementByStatementAndStopsAtBreakpointsAndLines) {
  Load(Compile(kLoops));
  EngineStop stop = EngineStart(Collecting(), false, 100000);
  EXPECT_EQ(stop.reason, EngineStopReason::Start);
  EXPECT_EQ(Statement(stop).text, "(program start)");
  std::vector<std::string> seen;
  while ((stop = EngineStepStatement()).reason == EngineStopReason::Statement) {
    seen.emplace_back(Statement(stop).text);
    EXPECT_TRUE(stop.atStatement);
    EXPECT_EQ(EngineStatementAt(static_cast<size_t>(stop.finished)).text,
              seen.size() > 1 ? seen[seen.size() - 2] : "(program start)");
  }
  EXPECT_EQ(stop.reason, EngineStopReason::Ended);
  EXPECT_EQ(stop.status, Status::Ended);
  EXPECT_EQ(Output, "\r\n6");
  EXPECT_EQ(seen, (std::vector<std::string>{"S := 0", "FOR I := 1", "FOR I := 1 TO 3", "S := S + I",
                                            "FOR I := 1 TO 3", "S := S + I", "FOR I := 1 TO 3",
                                            "S := S + I", "FOR I := 1 TO 3", "WRITE(S)",
                                            "(program exit)"}));
  // Once ended, nothing runs.
  EXPECT_EQ(EngineStepInstruction().instructions, stop.instructions);

  // A breakpoint stops each pass at line 6; a run to line 7 passes line 6 once it is cleared.
  EngineStart(Collecting(), false, 100000);
  ASSERT_TRUE(EngineSetBreakpoint(6, true));
  for (int pass = 1; pass <= 3; pass++) {
    stop = EngineContinue();
    ASSERT_EQ(stop.reason, EngineStopReason::Breakpoint);
    EXPECT_EQ(Statement(stop).line, 6u);
    EXPECT_EQ(EngineVariableValue(VariableNamed("I")).number, pass);
  }
  EngineSetBreakpoint(6, false);
  stop = EngineRunToLine(7);
  EXPECT_EQ(stop.reason, EngineStopReason::Line);
  EXPECT_EQ(EngineVariableValue(VariableNamed("S")).number, 6);
  EXPECT_TRUE(EngineVariableValue(VariableNamed("S")).changed);
  EXPECT_EQ(EngineVariableValue(VariableNamed("I")).number, 4) << "the test after the last pass";
  EXPECT_TRUE(EngineVariableValue(VariableNamed("I")).changed);
  EXPECT_EQ(EngineContinue().status, Status::Ended);
}

TEST(Engine, AStatementThatRunsAgainBeginsAgain) {
  // The loop's only statement is its condition: each pass enters it anew.
  Load(Compile("PROGRAM P;\nVAR A : INTEGER;\nBEGIN\n  REPEAT\n  UNTIL A = 1;\nEND.\n"));
  EngineStart(Collecting(), false, 1000);
  EngineStop first = EngineStepStatement();
  EngineStop second = EngineStepStatement();
  EXPECT_EQ(first.reason, EngineStopReason::Statement);
  EXPECT_EQ(second.reason, EngineStopReason::Statement);
  EXPECT_EQ(first.statement, second.statement);
  EXPECT_EQ(first.ip, second.ip);
  EXPECT_GT(second.instructions, first.instructions);
  EXPECT_EQ(Statement(second).text, "UNTIL A = 1");
  // The budget ends it, and names the loop.
  EngineStop end = EngineContinue();
  EXPECT_EQ(end.reason, EngineStopReason::Budget);
  EXPECT_EQ(end.instructions, 1000u);
  int32_t loop = EngineHangingLoop();
  ASSERT_GE(loop, 0);
  EXPECT_EQ(EngineConstructAt(static_cast<size_t>(loop)).kind, ConstructKind::Repeat);
}

TEST(Engine, StepsInstructionsWithWhatTheyChanged) {
  Load(Compile(kLoops));
  EngineStart(Collecting(), false, 100000);
  EngineStop stop = EngineRunToLine(6);
  // MOV AX, _S; push AX: the operand is on the stack.
  stop = EngineStepInstruction();
  EXPECT_EQ(stop.reason, EngineStopReason::Instruction);
  EXPECT_EQ(EngineStackDepth(), 0u);
  stop = EngineStepInstruction();
  EXPECT_EQ(EngineAsmLine(stop.executedLine).find("push"), 6u) << EngineAsmLine(stop.executedLine);
  ASSERT_EQ(EngineStackDepth(), 1u);
  EXPECT_EQ(EngineStackWord(0), 0);
  EngineCpu cpu = EngineRegisters();
  EXPECT_EQ(cpu.changedRegs, 1 << kSP);
  EXPECT_EQ(cpu.changedFlags, 0);
  EXPECT_EQ(stop.executedIp + 1, stop.ip);
}

TEST(Engine, AsksForInputWhenNoneIsGivenAndEndsItWhenTold) {
  Load(Compile("PROGRAM P;\nVAR A, B : INTEGER;\nBEGIN\n  READ(A, B);\n  WRITE(A, B);\nEND.\n"));
  EngineStart(Collecting(), false, 100000);
  EngineStop stop = EngineStepStatement();
  stop = EngineStepStatement();
  ASSERT_EQ(stop.reason, EngineStopReason::Input);
  EXPECT_EQ(Statement(stop).text, "READ(A, B)");
  EXPECT_NE(EngineAsmLine(stop.asmLine).find("int 21h"), std::string_view::npos);
  // Without input it stops again at once; with a line it reads it and asks for the next.
  EXPECT_EQ(EngineStepInstruction().instructions, stop.instructions);
  EngineGiveInput("12");
  stop = EngineStepStatement();
  ASSERT_EQ(stop.reason, EngineStopReason::Input);
  EXPECT_EQ(EngineVariableValue(VariableNamed("A")).number, 12);
  EngineEndInput();
  stop = EngineFinish();
  EXPECT_EQ(stop.status, Status::Ended);
  EXPECT_EQ(Output, "\r\n12\r\n0");
}

TEST(Engine, FinishesAsTheMachineAloneRuns) {
  Compiled c = Compile(kLoops);
  LoadProgram(c.image, Collecting(), true);
  EXPECT_EQ(::Run(100000), Status::Ended);
  uint64_t count = InstructionCount();
  std::string output = Output;
  Load(c);
  EngineStart(Collecting(), true, 100000);
  EngineStop stop = EngineFinish();
  EXPECT_EQ(stop.status, Status::Ended);
  EXPECT_EQ(stop.instructions, count);
  EXPECT_EQ(Output, output);
  // With a budget one short, the same program ends at the budget.
  EngineStart(Collecting(), true, count - 1);
  EXPECT_EQ(EngineFinish().reason, EngineStopReason::Budget);
}

TEST(Engine, NamesTheLoopThatTheBudgetWasSpentIn) {
  // The FOR ends each time; the WHILE around it does not.
  Load(Compile("PROGRAM P;\nVAR I, N : INTEGER;\nBEGIN\n  N := 0;\n  WHILE N < 5 DO\n  BEGIN\n"
               "    FOR I := 1 TO 3 DO N := N + 1;\n    N := N - 3;\n  END;\nEND.\n"));
  EngineStart(Collecting(), false, 2'000'000);
  EXPECT_EQ(EngineFinish().reason, EngineStopReason::Budget);
  EXPECT_EQ(HangingLoopText(), "in the WHILE loop of line 5: WHILE N < 5");
  // The FOR up to 32767 never ends; the budget is spent in it.
  Load(Compile("PROGRAM P;\nVAR I, N : INTEGER;\nBEGIN\n  WHILE N < 5 DO\n"
               "    FOR I := 32760 TO 32767 DO N := N + 1;\nEND.\n"));
  EngineStart(Collecting(), false, 300000);
  EXPECT_EQ(EngineFinish().reason, EngineStopReason::Budget);
  EXPECT_EQ(HangingLoopText(), "in the FOR loop of line 5: FOR I := 32760 TO 32767");
}

TEST(Engine, NamesWhereTheProgramStopped) {
  Load(Compile("PROGRAM P;\nVAR A, B : INTEGER;\nBEGIN\n  A := 7;\n  WRITE(A);\n  A := A / B;\n"
               "END.\n"));
  EngineStart(Collecting(), false, 100000);
  // Inside ToOct for the WRITE: the routine, and the item it serves.
  EngineStop stop = EngineRunToLine(5);
  while (stop.status == Status::Running && EngineStopSite().routine != "ToOct")
    stop = EngineStepInstruction();
  EXPECT_EQ(SiteText(), "in ToOct for line 5: WRITE(A) (WRITE item A)");
  stop = EngineFinish();
  EXPECT_EQ(stop.status, Status::Fault);
  EXPECT_EQ(SiteText(), "in line 6: A := A / B (assignment)");
}

// --- The texts of the views ----------------------------------------------------------------

TEST(Describe, ShowsAStringAsAPascalText) {
  Compiled c = Compile("PROGRAM P;\nVAR S : STRING;\nBEGIN\n  READ(S);\nEND.\n");
  Load(c);
  auto valueAfterReading = [&](const std::string &line) {
    EngineStart(Collecting(), false, 100000);
    EngineGiveInput(line);
    EngineFinish();
    return ValueText(0, 12);
  };
  EngineStart(Collecting(), false, 100000);
  EXPECT_EQ(ValueText(0), "(no \"$\")");
  EXPECT_EQ(valueAfterReading("it's"), "'it''s'#13#10");
  EXPECT_EQ(valueAfterReading("a\tb"), "'a'#9'b'#13#10");
  EXPECT_EQ(valueAfterReading(""), "#13#10");
  EXPECT_EQ(valueAfterReading("abcdefghijklmnop"), "'abcdefghijkl'...");
}

TEST(Describe, ShortensAndPads) {
  EXPECT_EQ(Shorten("abcdef", 6), "abcdef");
  EXPECT_EQ(Shorten("abcdefg", 6), "abc...");
  std::string row = "abc";
  PadTo(row, 6);
  EXPECT_EQ(row, "abc   ");
  row = "abcde";
  PadTo(row, 6);
  EXPECT_EQ(row, "abcde  ") << "at least two blanks";
  EXPECT_EQ(RightAligned(42, 5), "   42");
  EXPECT_EQ(Hex4(0xBEEF), "BEEF");
}
} // namespace
