#include "runner/execute.h"

#include "views/describe.h"

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

int RunVerdict(Status status, uint64_t budget, bool written, bool mapped, std::string &message) {
  if (status == Status::Running) {
    std::string loop = mapped ? HangingLoopText() : "";
    message = "instruction budget of " + std::to_string(budget) + " used up (at " +
              Hex4(ReadCpu().ip) + "h): the program hangs" + (loop.empty() ? "" : " " + loop);
    return kBudget;
  }
  if (!written && status == Status::Ended) {
    message = "cannot write the program's output";
    return static_cast<int>(Status::CannotWrite);
  }
  message = StopMessage();
  bool named = status == Status::Fault || status == Status::ImageWrite || status == Status::Service;
  std::string site = mapped && named && !message.empty() ? SiteText() : "";
  if (!site.empty()) message += ", " + site;
  return static_cast<int>(status);
}
