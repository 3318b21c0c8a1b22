#include "sinreset/recovery.h"

#include "lex/diagnostics.h"
#include "lex/scanner.h"
#include "lex/source.h"
#include "os/runtime.h"
#include "os/text.h"
#include "sinreset/precheck.h"

int32_t ReparseKind = 0;
int32_t ReparseOffset = 0;

namespace {
// Rules used before they are defined.
void ReparseRule(int32_t kind, int32_t offset);

// "попытаеться" and "аналитор" are the compiler's own spellings, kept as its users know them.
constexpr Cp866 kRetry(u8"Синтаксический анализатор попытаеться разобрать это правило еще раз.");
constexpr Cp866 kRefused(u8"Данное правило не подлежит повторному разбору.");
constexpr Cp866 kReparsed(u8"Синтаксический аналитор удачно разобрал правило.");
} // namespace

void RunPrecheck() {
  OpenSource();
  ReadChar();
  CheckProgram();
  CloseSource();
}

namespace {
// The same error line as the translator's; only what follows it differs.
void CheckReport(const std::string &message) {
  ReportError(message);
}

void CheckError(const std::string &message) {
  CheckReport(message);
  ReparseRule(ReparseKind, ReparseOffset);
}
} // namespace

void CheckExpectedError(const std::string &text) {
  CheckError(text + " Expected");
}

namespace {
void ReparseRule(int32_t kind, int32_t offset) {
  WriteConsole(kRetry.str() + "\r\n");
  WaitForEnter();
  if (kind != 1 && kind != 2) {
    WriteConsole(kRefused.str() + "\r\n");
    WaitForEnter();
    CloseSource();
    EndRun(1);
  }
  // Back to the byte before the recorded one: the blank after IF, or the "(" of WRITE.
  SeekSource(int64_t{offset} - 1);
  SetCharPos(static_cast<int32_t>(int64_t{offset} - 1));
  CurChar = 0;
  ReadChar();
  NextToken();
  if (kind == 1) {
    CheckIfThen();
  } else {
    CheckWriteItems();
  }
  WriteConsole("\a" + kReparsed.str() + "\r\n");
}
} // namespace
