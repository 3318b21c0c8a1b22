#include "lex/diagnostics.h"

#include "lex/source.h"
#include "os/runtime.h"
#include "os/text.h"

namespace {
constexpr Cp866 kErrorInLine(u8"Ошибка в строке ");
} // namespace

std::string LinePrefix() {
  return kErrorInLine.str() + IntText(LineNumber());
}

void ReportError(const std::string &message) {
  WriteConsole("\r\n\aError: " + message + ".\r\n");
}

namespace {
// The source and, in the translating pass, "out.asm" with what was written of it.
[[noreturn]] void FatalError(const std::string &message) {
  ReportError(message);
  CloseOpenFiles();
  WaitForEnter();
  EndRun(1);
}
} // namespace

void ExpectedError(const std::string &text) {
  FatalError(text + " Expected");
}

void FatalInLine(std::string_view text, std::string_view token) {
  FatalError(LinePrefix().append(text).append(token));
}

void ExpectedInLine(std::string_view text, std::string_view token) {
  ExpectedError(LinePrefix().append(text).append(token));
}

void NestingTooDeep() {
  FatalInLine(": nesting too deep");
}
