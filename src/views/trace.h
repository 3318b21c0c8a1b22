// The traces of pas2asm-run --trace: the program run from its start with a line for each
// statement it executes (its source line and text, the variables it changed with their new
// values) or, for --trace=asm, for each instruction (its out1.asm line, the instruction as
// written there, the registers and flags it changed, the words on the stack), each statement's
// first instruction under a line that names the statement; a repeated move is one line, with the
// count of its steps. After `limit` lines (0: none) the
// trace says that it ends there, and the program runs on untraced.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/engine.h"

struct TraceSink {
  void *context = nullptr;
  // A line of the trace, with its line end; false when it cannot be written.
  bool (*write)(void *context, std::string_view line) = nullptr;
};

// Runs the program the engine has started to its end; the last stop. `writeFailed` tells that the
// trace could not be written (the program then runs on untraced).
EngineStop Trace(bool instructions, uint64_t limit, TraceSink sink, bool &writeFailed);

// The registers and flags that changed from one state to another: "AX=0003 SP=1FFE ZF=1".
std::string RegisterChanges(const CpuState &before, const CpuState &now);
// The words on the stack from its bottom up to the top: "0005 0003"; the deepest are left out
// past `max`, with "... " before the rest.
std::string StackWords(size_t max = 8);
