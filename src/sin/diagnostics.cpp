#include "sin/diagnostics.h"

#include "driver/runtime.h"
#include "kod/output.h"
#include "lex/cp866.h"
#include "lex/source.h"

namespace {
constexpr Cp866 kErrorInLine(u8"Ошибка в строке ");
}

std::string LinePrefix() {
  return kErrorInLine.str() + IntText(LineNo);
}

void ReportError(const std::string &message) {
  WriteConsole("\r\n\aError: " + message + ".\r\n");
}

void FatalError(const std::string &message) {
  ReportError(message);
  if (SourceIsOpen()) CloseSource();
  if (OutputIsOpen()) CloseOutput();
  WaitForEnter();
  EndRun(1);
}

void ExpectedError(const std::string &text) {
  FatalError(text + " Expected");
}

void OpenNesting(int &level) {
  if (level >= kMaxNesting) FatalError(LinePrefix() + ": nesting too deep");
  ++level;
}

void CloseNesting(int &level) {
  --level;
}
