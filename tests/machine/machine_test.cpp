// The assembler's refusals and layout, and the machine's services, faults and interface, on
// programs written here in the compiler's dialect. The bytes of every form and the semantics of
// every instruction are held against NASM and unicorn by compare_programs.py and
// compare_states.py; these tests pin what those cannot see: messages, line numbers, the stops.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asm/assembler.h"
#include "machine/machine.h"

namespace {
// A program in the compiler's dialect: header, data, code start, code, exit. The code lines
// start at line 4 + data.size() + 6.
std::string Program(const std::vector<std::string> &data, const std::vector<std::string> &code) {
  std::string text = ".model small\r\n.386\r\n.data\r\n";
  for (const std::string &line : data) text += line + "\r\n";
  text += " .stack 2000h\r\n .code\r\n main:\r\n      mov     AX, @Data\r\n      mov     DS, AX\r\n"
          "      mov     ES, AX\r\n";
  for (const std::string &line : code) text += line + "\r\n";
  return text + " Quit:\r\n      mov AX, 4C00h\r\n      Int 21h\r\n end main\r\n";
}

AsmError Refusal(const std::string &text) {
  ProgramImage image;
  AsmError error;
  EXPECT_FALSE(Assemble(text, image, error)) << text;
  return error;
}

void ExpectRefused(const std::string &text, uint32_t line, const std::string &fragment) {
  AsmError error = Refusal(text);
  EXPECT_EQ(error.line, line) << error.message;
  EXPECT_NE(error.message.find(fragment), std::string::npos) << error.message;
}

TEST(Assembler, RefusesWhatTheSubsetDoesNotHold) {
  ExpectRefused(Program({}, {"      movzx   AX, BL"}), 10, "unknown instruction movzx");
  ExpectRefused(Program({".const"}, {}), 4, "unknown directive .const");
  ExpectRefused(Program({" _N DW ?"}, {"      mov     AX, [_N]"}), 11, "unknown operand");
  ExpectRefused(Program({}, {"       mov     [DI], \"-\""}), 10, "operand must have size");
  ExpectRefused(Program({" _S DB  256 dup (?)"}, {"      mov     _S, AX"}), 11, "same size");
  ExpectRefused(Program({}, {"      MOV     AX, 65536"}), 10, "too large");
  ExpectRefused(Program({"_bufrw db 255 dup (?)"}, {" mov _bufrw[SI],256"}), 11, "too large");
  ExpectRefused(Program({" _N DW ?", " _n DB  256 dup (?)"}, {}), 5, "redefinition");
  ExpectRefused(Program({" _DATA DW ?"}, {}), 4, "segment name");
  ExpectRefused(Program({" _N DW ?"}, {"      jmp _N"}), 11, "not a code label");
  ExpectRefused(Program({}, {"      jne     L7"}), 10, "undefined label l7");
  ExpectRefused(Program({}, {"      jmp     Inner", "Write proc", "Inner:", "     ret", "Write endp"}), 10,
                "local to procedure write");
  ExpectRefused(Program({"_str0  db  \"\",\"$\" "}, {}), 4, "empty string");
  ExpectRefused(Program({"_msg0  db  \"a\tb\x01\",\"$\" "}, {}), 4, "control character");
  ExpectRefused(Program({"_msg0  db  \"" + std::string(600, 'a') + "\",\"$\" "}, {}), 4, "longer than 512");
  ExpectRefused(Program({"      xor     AX, AX"}, {}), 4, "outside the code segment");
  ExpectRefused(Program({}, {"      mov     AL, @Data"}), 10, "@Data");
  ExpectRefused(".386\r\n.model small\r\n", 1, ".386 before .model");
}

TEST(Assembler, RefusesAFileCutShortOrWithoutItsStack) {
  std::string whole = Program({}, {});
  ExpectRefused(whole.substr(0, whole.size() - 11), 12, "END directive required");
  std::string noStack = whole;
  noStack.erase(noStack.find(" .stack 2000h\r\n"), 15);
  ExpectRefused(noStack, 12, "no .stack");
  std::string odd = whole;
  odd.replace(odd.find("2000h"), 5, "2001h");
  ExpectRefused(odd, 4, "whole paragraphs");
  ExpectRefused(Program({".stack 100h"}, {}), 5, "once");
  // Cut in the middle of a string: the quote never closes.
  ExpectRefused(Program({"_msg0  db  \"abc"}, {}), 4, "unterminated string");
}

TEST(Assembler, NamesWhichSegmentPasses64KiB) {
  std::vector<std::string> code(11000, "      mov     _W, 1234"); // 6 bytes each
  AsmError error = Refusal(Program({" _W DW ?"}, code));
  EXPECT_EQ(error.line, 0u);
  EXPECT_EQ(error.message.rfind("the code takes 66", 0), 0u) << error.message;
  error = Refusal(Program({" _S DB  57345 dup (?)", " _W DW ?"}, {"      mov     _W, 1"}));
  EXPECT_EQ(error.message, "DGROUP (data and stack) takes 65552 bytes, more than 64 KiB");
}

TEST(Assembler, LaysOutASmallProgramAsTheLinkerDoes) {
  // Code: mov ax,@Data (3 bytes), mov ds,ax (2), mov es,ax (2), mov ax,4C00h (3), int 21h (2): one
  // paragraph. Data: 20 bytes; the stack starts at 32 and ends 2000h above.
  ProgramImage image;
  AsmError error;
  ASSERT_TRUE(Assemble(Program({" _B DB 20 dup (?)"}, {}), image, error)) << error.message;
  std::string exe = ExeFile(image);
  auto word = [&](size_t at) { return (unsigned char)exe[at] | (unsigned char)exe[at + 1] << 8; };
  EXPECT_EQ(exe.substr(0, 2), "MZ");
  const unsigned expected[] = {32 + 16 + 20, 1, 1, 2, 0x200, 0xFFFF, 1, 32 + 0x2000, 0, 0, 0, 0x1C, 0};
  for (size_t i = 0; i < 13; i++) EXPECT_EQ(word(2 + 2 * i), expected[i]) << "header word " << i;
  EXPECT_EQ(word(0x1C), 1u); // the relocated word: the operand of the first mov
  EXPECT_EQ(exe.substr(32, 3), std::string("\xB8\x01\x00", 3));
  EXPECT_EQ(exe.size(), 68u);
  ASSERT_EQ(image.instructions.size(), 5u);
  EXPECT_EQ(image.instructions[0].line, 8u);
  EXPECT_EQ(image.instructions[4].offset, 10u);
}

TEST(Assembler, MakesAJumpNearOnlyWhenItsTargetIsFar) {
  std::vector<std::string> code = {"      cmp     AX, 1", "      je     L1"};
  const std::string push = "      push    AX", pop = "      pop     AX";
  for (int i = 0; i < 63; i++) code.insert(code.end(), {push, pop});
  code.push_back("L1:");
  ProgramImage image;
  AsmError error;
  ASSERT_TRUE(Assemble(Program({}, code), image, error));
  EXPECT_EQ(image.code[10], 0x74); // 126 bytes away: short
  code.insert(code.end() - 1, {push, pop});
  ASSERT_TRUE(Assemble(Program({}, code), image, error));
  EXPECT_EQ(image.code[10], 0x0F); // 128 bytes away: near
  EXPECT_EQ(image.code[11], 0x84);
}

// --- The machine ---------------------------------------------------------------------------

struct Outcome {
  std::string output;
  std::vector<std::string> lines; // the input, line by line
  size_t next = 0;
  Status status = Status::Running;
  std::string message;
};

MachineIo IoOf(Outcome &run) {
  MachineIo io;
  io.context = &run;
  io.readLine = [](void *c, std::string &line) {
    Outcome &r = *static_cast<Outcome *>(c);
    if (r.next == r.lines.size()) return false;
    line = r.lines[r.next++];
    return true;
  };
  io.write = [](void *c, std::string_view bytes) {
    static_cast<Outcome *>(c)->output.append(bytes);
    return true;
  };
  return io;
}

Outcome Execute(const std::string &text, std::vector<std::string> input = {}, uint64_t budget = 100000,
            bool checkStack = false) {
  ProgramImage image;
  AsmError error;
  Outcome run;
  run.lines = std::move(input);
  EXPECT_TRUE(Assemble(text, image, error)) << error.line << ": " << error.message;
  LoadProgram(image, IoOf(run), checkStack);
  run.status = ::Run(budget);
  run.message = StopMessage();
  return run;
}

const std::vector<std::string> kPrintBuffer = {
    "      mov     DX, offset buf", "      add     DX, 0", "      mov     AH, 09h", "      int     21h"};

TEST(Machine, WritesCharactersAndTexts) {
  Outcome r = Execute(Program({" msg DB \"b\", 13, 10, \"c$\""},
                          {"      mov DL, \"a\"", "      mov AH, 2", "      int 21h", "      mov BL, AL",
                           "      mov DX, offset msg", "      mov AH, 9", "      int 21h", "      mov BH, AL",
                           "      mov DL, BL", "      mov AH, 2", "      int 21h", "      mov DL, BH",
                           "      int 21h"}));
  // AL after 02h is the character written, after 09h it is "$".
  EXPECT_EQ(r.status, Status::Ended);
  EXPECT_EQ(r.output, "ab\r\nca$");
}

// Reads lines with the count in CX until a read returns 0 bytes; prints each between bars.
std::string ReadLoop(int count) {
  return Program({" buf DB 300 dup (?)"},
                 {"again:", " mov ah, 3fh", " mov bx, 0", " lea dx, buf", " mov cx, " + std::to_string(count),
                  " int 21h", " or ax, ax", " je done", " mov si, ax", " mov buf[si], \"$\"", " mov ah, 9",
                  " lea dx, buf", " int 21h", " mov ah, 2", " mov dl, \"|\"", " int 21h", " jmp again", "done:"});
}

TEST(Machine, ReadsALineAtATimeWithItsLineEndAsCrLf) {
  Outcome r = Execute(ReadLoop(254), {"12\n", "x\r\n", "\n", "last"});
  EXPECT_EQ(r.output, "12\r\n|x\r\n|\r\n|last|");
  EXPECT_EQ(r.next, 4u);
  EXPECT_EQ(Execute(ReadLoop(254)).output, "");
  // A line longer than the read takes goes to the reads after it, as from a DOS console.
  EXPECT_EQ(Execute(ReadLoop(3), {"abcdefg\n", "h\n"}).output, "abc|def|g\r\n|h\r\n|");
}

TEST(Machine, StopsOnEveryServiceItDoesNotKnow) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{" mov ah, 0", " int 10h"}, "unsupported interrupt 10h"},
      {{" mov ah, 40h", " int 21h"}, "int 21h/40h"},
      {{" mov ah, 3fh", " mov bx, 1", " mov cx, 1", " int 21h"}, "handle 1"},
      {{" mov ah, 3fh", " mov bx, 0", " mov dx, 0fff0h", " mov cx, 20h", " int 21h"}, "crosses the segment end"},
      {{" mov ah, 9", " mov dx, 0fff0h", " mov di, 0ffffh", " mov byte ptr [di], 0", " int 21h"}, "no \"$\""},
  };
  for (const auto &[code, fragment] : cases) {
    Outcome r = Execute(Program({}, code));
    EXPECT_EQ(r.status, Status::Service) << fragment;
    EXPECT_NE(r.message.find(fragment), std::string::npos) << r.message;
  }
  Outcome r = Execute(Program({}, {" mov ax, 4c03h", " int 21h"}));
  EXPECT_EQ(r.status, Status::ReturnCode);
  EXPECT_EQ(r.message, "program ended with return code 3");
}

TEST(Machine, DivideErrorsKeepTheOutputBeforeThem) {
  for (const std::vector<std::string> &division :
       {std::vector<std::string>{" mov ax, 1", " mov bl, 0", " div bl"},
        std::vector<std::string>{" mov ax, 8000h", " cwd", " mov bx, -1", " idiv bx"}}) {
    std::vector<std::string> code = {" mov dl, \"o\"", " mov ah, 2", " int 21h"};
    code.insert(code.end(), division.begin(), division.end());
    Outcome r = Execute(Program({}, code));
    EXPECT_EQ(r.status, Status::Fault);
    EXPECT_EQ(r.output, "o");
    EXPECT_EQ(r.message.rfind("CPU fault: divide error at 1000:00", 0), 0u) << r.message;
  }
}

TEST(Machine, GuardsTheProgramsImage) {
  // A write into the code, through ES pointed at it.
  Outcome r = Execute(Program({" v DB 0"}, {" mov si, 0", " mov ax, 1000h", " mov es, ax", " mov di, 0", " cld",
                                    " mov cx, 1", " rep movsb"}));
  EXPECT_EQ(r.status, Status::ImageWrite);
  EXPECT_NE(r.message.find("into the program's code at 0000h"), std::string::npos) << r.message;
  // Pops never pushed wrap SP round DGROUP; the pushes after them land on the data.
  r = Execute(Program({" v DB 64 dup (?)"}, {" mov cx, 40000", "l1: pop ax", " loop l1", " mov cx, 40000",
                                             "l2: push ax", " loop l2"}),
              {}, 1000000);
  EXPECT_EQ(r.status, Status::ImageWrite);
  EXPECT_NE(r.message.find("push into the program's image"), std::string::npos) << r.message;
  // A return into the data is execution outside the code.
  r = Execute(Program({" v DB 0"}, {" mov ax, 200h", " push ax", " ret"}));
  EXPECT_EQ(r.status, Status::Fault);
  EXPECT_NE(r.message.find("outside the program's code"), std::string::npos) << r.message;
  EXPECT_EQ(LastInstruction(), 7 + 3 + 1) << "mov ax, @Data; mov ds, ax; mov es, ax; mov ax; push";
}

TEST(Machine, EndsAtTheBudgetAndGoesOnWhenAskedAgain) {
  Outcome r = Execute(Program({}, {"l: jmp l"}), {}, 5000);
  EXPECT_EQ(r.status, Status::Running);
  EXPECT_EQ(InstructionCount(), 5000u);
  EXPECT_EQ(::Run(10), Status::Running);
  EXPECT_EQ(InstructionCount(), 5010u);
}

TEST(Machine, ChecksTheStackAtTheExitWhenAsked) {
  EXPECT_EQ(Execute(Program({}, {" push ax"})).status, Status::Ended);
  Outcome r = Execute(Program({}, {" push ax"}), {}, 1000, true);
  EXPECT_EQ(r.status, Status::StackCheck);
  EXPECT_EQ(r.message, "stack not balanced at the exit: SP=1FFEh, the program started with 2000h");
}

TEST(Machine, TellsItsListenerOfEveryInstructionAndRunsTheSameInSteps) {
  std::string text = Program({" n DW ?"}, {" mov cx, 3", "l: inc n", " loop l", " mov ax, n", " add ax, \"0\"",
                                            " mov dl, al", " mov ah, 2", " int 21h"});
  Outcome whole = Execute(text);
  uint64_t count = InstructionCount();
  ProgramImage image;
  AsmError error;
  ASSERT_TRUE(Assemble(text, image, error));
  Outcome stepped;
  LoadProgram(image, IoOf(stepped), false);
  std::vector<uint16_t> seen;
  MachineListener listener{&seen, [](void *c, uint16_t ip) {
                             static_cast<std::vector<uint16_t> *>(c)->push_back(ip);
                             return true;
                           }};
  Status status = Status::Running;
  while (status == Status::Running) status = ::Run(2, &listener);
  EXPECT_EQ(status, Status::Ended);
  EXPECT_EQ(stepped.output, "3");
  EXPECT_EQ(whole.output, "3");
  EXPECT_EQ(seen.size(), count);
  ASSERT_GE(seen.size(), 5u);
  EXPECT_EQ(seen[0], 0u); // mov ax, @Data
  EXPECT_EQ(seen[4], seen[6]); // inc n, once more after the loop
  EXPECT_EQ(ReadCpu().regs[kCX], 0);
}

TEST(Machine, StopsBeforeTheInstructionItsListenerRefuses) {
  std::string text = Program({" n DW ?"}, {" mov cx, 3", "l: inc n", " loop l"});
  ProgramImage image;
  AsmError error;
  ASSERT_TRUE(Assemble(text, image, error));
  Outcome run;
  LoadProgram(image, IoOf(run), false);
  EXPECT_EQ(LastInstruction(), image.entry);
  // Refuses the instruction at `at` once: the run stops with IP there, the count not raised.
  struct Refuse {
    uint16_t at;
    int seen = 0;
  } refuse{image.instructions[4].offset}; // inc n
  MachineListener listener{&refuse, [](void *c, uint16_t ip) {
                             Refuse &r = *static_cast<Refuse *>(c);
                             return ip != r.at || r.seen++ > 0;
                           }};
  EXPECT_EQ(::Run(1000, &listener), Status::Running);
  EXPECT_EQ(ReadCpu().ip, refuse.at);
  EXPECT_EQ(InstructionCount(), 4u);
  EXPECT_EQ(LastInstruction(), image.instructions[3].offset);
  EXPECT_EQ(::Run(1000, &listener), Status::Ended);
  EXPECT_EQ(InstructionCount(), 4u + 3 * 2 + 2); // three passes of inc and loop, the exit
}

TEST(Machine, KeepsTheRestOfALineForTheNextRead) {
  Outcome run;
  run.lines = {"abcdef\n"};
  ProgramImage image;
  AsmError error;
  ASSERT_TRUE(Assemble(ReadLoop(2), image, error));
  LoadProgram(image, IoOf(run), false);
  EXPECT_FALSE(InputPending());
  // Up to the first read's return: the line is taken and 6 of its bytes wait.
  while (run.next == 0) ::Run(1);
  ::Run(1);
  EXPECT_TRUE(InputPending());
  ::Run(100000);
  EXPECT_FALSE(InputPending());
  EXPECT_EQ(run.output, "ab|cd|ef|\r\n|");
}
} // namespace

