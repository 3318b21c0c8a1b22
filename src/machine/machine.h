// The DOS machine that runs a generated program: LoadProgram(image) puts it into memory as DOS
// loads a small-model .EXE, and Run(n) delivers up to n of its instructions, executed on an
// interpreter of the real-mode instructions the compiler's subset uses, with int 21h 02h, 09h,
// 3Fh and 4Ch served. The registers, the flags and the memory can be read (and set) between runs,
// and a listener is told of each instruction. The machine does no I/O of its own: the program's
// input and output go through the callbacks it is given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "asm/assembler.h"

// The general registers in the order of their codes: AX CX DX BX SP BP SI DI.
enum Register : uint8_t { kAX, kCX, kDX, kBX, kSP, kBP, kSI, kDI };
enum SegmentRegister : uint8_t { kES, kCS, kSS, kDS };

// The flags register's bits that the instructions define.
enum Flag : uint16_t {
  kCF = 0x0001,
  kPF = 0x0004,
  kAF = 0x0010,
  kZF = 0x0040,
  kSF = 0x0080,
  kTF = 0x0100,
  kIF = 0x0200,
  kDF = 0x0400,
  kOF = 0x0800,
};

struct CpuState {
  uint16_t regs[8];
  uint16_t sregs[4];
  uint16_t ip;
  uint16_t flags;
};

// Where the program's input comes from and its output goes.
struct MachineIo {
  void *context = nullptr;
  // The next line of the input with its line end as the input has it (none after a last line
  // without one); false at the end of the input. Called only when a read needs a line.
  bool (*readLine)(void *context, std::string &line) = nullptr;
  // Bytes the program prints, as it prints them; false when they cannot be written.
  bool (*write)(void *context, std::string_view bytes) = nullptr;
};

// Told of every instruction just before it executes, with its offset in the code segment; false
// stops the run before it (not executed, not counted), true lets it go on.
struct MachineListener {
  void *context = nullptr;
  bool (*instruction)(void *context, uint16_t ip) = nullptr;
};

// How a run ended, as the runner's exit code.
enum class Status : int {
  Running = -1,     // the instructions asked for are done; the program goes on
  Ended = 0,        // int 21h/4Ch with return code 0
  CannotWrite = 64, // the program's output could not be written
  ReturnCode = 65,  // int 21h/4Ch with another return code
  Service = 66,     // an interrupt other than 21h, a function not served, a service misused
  Fault = 67,       // divide error, invalid instruction, execution outside the code
  ImageWrite = 68,  // a write into the code, or a push whose word lands in the image's data
  StackCheck = 70,  // with checkStack: SP at the exit is not where it started
};

// The segment where DOS puts the image, after a PSP of 256 bytes.
inline constexpr uint16_t kLoadSegment = 0x1000;

// Loads the image as DOS loads the .EXE: the PSP, the code and DGROUP with its relocated words,
// CS:IP at the entry, SS:SP at DGROUP's end, DS = ES = the PSP. The code is protected against
// writes and DGROUP's part of the image against pushes; execution must stay in the code.
void LoadProgram(const ProgramImage &image, MachineIo io, bool checkStack);
// An empty machine for running single instructions: memory cleared, every register 0, no
// protection, no program; the caller sets registers and memory.
void LoadBlank(MachineIo io);

// Executes up to `count` instructions (a repeated string move counts once per byte moved and once
// more at its end). Returns Running when they are done, or the listener stopped the run, and the
// program has not stopped.
Status Run(uint64_t count, const MachineListener *listener = nullptr);
// Why the program stopped, for the runner's message; empty after a normal end.
const std::string &StopMessage();
uint64_t InstructionCount();
// The offset in the code of the last instruction executed (or begun, when it faulted); the entry
// before the first. After execution outside the code, the one that went there.
uint16_t LastInstruction();
// Whether a read would find the rest of an input line it has already taken.
bool InputPending();

CpuState ReadCpu();
void SetCpu(const CpuState &cpu); // the flags as POPF would set them
uint8_t &Memory(uint32_t linear); // linear addresses up to 10FFEFh, as real mode reaches
