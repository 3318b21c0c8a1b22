// What the runner says of an out1.asm and of its run, shared by pas2asm-run and the playground:
// AssembleForRun gives the image or the refusal with its exit code and words, RunVerdict the exit
// code and the words for the way a run on the machine ended.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "asm/assembler.h"
#include "machine/machine.h"

inline constexpr int kCompileFailed = 2; // the compiler made no out1.asm
inline constexpr int kRefusedLine = 3;   // out1.asm holds a line outside the subset
inline constexpr int kTooLarge = 4;      // the code or DGROUP passes 64 KiB
inline constexpr int kUsage = 64;        // a usage error, or a refused line of an --asm file
inline constexpr int kBudget = 69;       // the instruction budget is used up
inline constexpr uint64_t kDefaultBudget = 50'000'000;

// The words after a compiler that ended with `exitCode` and made no out1.asm.
std::string CompileFailedMessage(int exitCode);

// Assembles `text`, named `name` in a refusal. False with the exit code and the message when a
// line is refused (kRefusedLine when the compiler wrote the text, `compiled`; kUsage for a file
// the user gave) or a segment passes 64 KiB (kTooLarge).
bool AssembleForRun(std::string_view text, std::string_view name, bool compiled,
                    ProgramImage &image, int &exitCode, std::string &message);

// The exit code of a run that ended with `status` (Running: the budget is used up); `written` says
// whether all of the program's output could be written. `message` gets the runner's words on the
// end (empty after a normal end); with `mapped`, the engine ran the program and the words name
// where in the source it faulted or which loop it hung in.
int RunVerdict(Status status, uint64_t budget, bool written, bool mapped, std::string &message);
