// The playground's machine as the page's worker calls it: plain C functions over bytes in this
// module's memory, so that JavaScript can call them in a WebAssembly instance (and tests natively).
// The caller writes texts into PlayBuffer, loads the program onto the engine, runs or steps it,
// and reads the bytes of the last answer through PlayResult and PlayResultSize.
#pragma once

#include <cstdint>

extern "C" {
// A buffer of at least `size` bytes for the caller's texts; valid until the next call.
char *PlayBuffer(uint32_t size);
// The bytes of the last answer: a message, the output, the .EXE, a state.
const char *PlayResult();
uint32_t PlayResultSize();

// Loads a program from the buffer, which holds one after the other its out1.asm, its source, the
// source map of the two and the program's input (every READ takes its line from there). Returns
// 0, or the runner's exit code for an out1.asm it refuses (the answer: its words). A map that
// does not fit is said as the runner says it and the program runs without it, as pas2asm-run
// runs it; stepping then does not stop at statements.
int PlayLoad(uint32_t asmSize, uint32_t sourceSize, uint32_t mapSize, uint32_t inputSize,
             int checkStack, double budget);

// Runs the loaded program to its end (or the end of its budget) and returns the runner's exit
// code; the answer is the runner's words, each line as pas2asm-run writes them (empty after a
// normal end).
int PlayFinish();

// Steps: 0 an instruction, 1 a statement, 2 to a breakpoint, 3 to a statement on `line`. The
// answer is the state at the stop, as JSON (docs/playground.md).
void PlayStep(int how, uint32_t line);
// The state at the last stop, as JSON.
void PlayState();
// Whether a breakpoint is set (or cleared) at `line`: false where no statement begins.
int PlayBreakpoint(uint32_t line, int on);

// The program's output so far, as the answer.
void PlayOutput();
// The loaded program as an MZ .EXE, as the answer.
void PlayExe();
// The runner's words for a compiler that ended with `exitCode` and made no out1.asm.
void PlayCompileFailed(int exitCode);
}
