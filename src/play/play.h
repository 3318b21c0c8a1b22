// The playground's machine as the page's worker calls it: plain C functions over bytes in this
// module's memory, so that JavaScript can call them in a WebAssembly instance (and tests natively).
// The caller writes a text into PlayBuffer, loads the program, runs it, and reads the bytes of the
// last answer through PlayResult and PlayResultSize.
#pragma once

#include <cstdint>

extern "C" {
// A buffer of at least `size` bytes for the caller's text; valid until the next call.
char *PlayBuffer(uint32_t size);
// The bytes of the last answer: the output of a run, the .EXE, a message, a state.
const char *PlayResult();
uint32_t PlayResultSize();

// Assembles the out1.asm in the buffer's first `asmSize` bytes and loads it, with the program's
// input in the `inputSize` bytes after it. Returns 0, or the runner's exit code for a refused text
// (its message is the answer).
int PlayLoad(uint32_t asmSize, uint32_t inputSize, int checkStack);
// Runs the loaded program until it stops or `budget` instructions are done; returns the runner's
// exit code for the end of the run. The answer is the runner's message (empty after a normal end).
int PlayRun(double budget);
// The program's output so far, as the answer.
void PlayOutput();
// The loaded program as an MZ .EXE, as the answer.
void PlayExe();
// The runner's words for a compiler that made no out1.asm, as the answer.
void PlayCompileFailed(int exitCode);
// How many instructions the program has executed.
double PlayInstructions();
}
