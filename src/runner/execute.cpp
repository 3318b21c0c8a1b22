#include "runner/execute.h"

#include <cstdio>

std::string CompileFailedMessage(int exitCode) {
  return "compilation failed (pas2asm exit code " + std::to_string(exitCode) + ")";
}

bool AssembleForRun(std::string_view text, std::string_view name, bool compiled,
                    ProgramImage &image, int &exitCode, std::string &message) {
  AsmError refused;
  if (Assemble(text, image, refused)) return true;
  if (refused.line == 0) {
    exitCode = kTooLarge;
    message = refused.message;
    return false;
  }
  exitCode = compiled ? kRefusedLine : kUsage;
  message = std::string(name) + ":" + std::to_string(refused.line) + ": " + refused.message +
            (refused.text.empty() ? "" : ": " + refused.text);
  return false;
}

int RunVerdict(Status status, uint64_t budget, bool written, std::string &message) {
  if (status == Status::Running) {
    char ip[8];
    std::snprintf(ip, sizeof ip, "%04X", ReadCpu().ip);
    message = "instruction budget of " + std::to_string(budget) + " used up (at " + ip +
              "h): the program hangs";
    return kBudget;
  }
  if (!written && status == Status::Ended) {
    message = "cannot write the program's output";
    return static_cast<int>(Status::CannotWrite);
  }
  message = StopMessage();
  return static_cast<int>(status);
}
