// The stepper of pas2asm-run --step. At each stop it shows the source around the current
// statement with it marked, that statement's lines of out1.asm with the next instruction marked,
// the registers (those changed since the stop before marked), the flags, the stack and every
// variable. Commands: n or F8 the next statement, s or F7 the next instruction, c or F9 on to a
// breakpoint or the end, b N a breakpoint at line N (again: none), g N on to line N, q quit.
//
// StepScreen runs on the terminal's screen, a key at a time, the program's output in a pane of
// its own, where a READ asks for its line. StepScript reads the commands as lines, writes each
// stop as text after the output the program printed since the one before, and takes the line
// after a command as the program's input when the program reads one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine.h"

struct StepOptions {
  bool checkStack = false;
  uint64_t budget = 0;
  // The program's input; with `readLine` null it is asked for (StepScreen) or read among the
  // commands (StepScript).
  MachineIo input;
};

struct ScriptIo {
  void *context = nullptr;
  bool (*readLine)(void *context, std::string &line) = nullptr; // without its line end
  bool (*write)(void *context, std::string_view text) = nullptr;
};

// Both return the last stop: the end of the program, its budget, or where q left it.
EngineStop StepScript(const StepOptions &options, ScriptIo io);
// False in `started` when the screen cannot be had (no terminal).
EngineStop StepScreen(const StepOptions &options, bool unicode, bool &started);
