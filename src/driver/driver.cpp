#include "driver/driver.h"

#include <csignal>

#include "driver/runtime.h"
#include "kod/output.h"
#include "kod/templates.h"
#include "lex/source.h"
#include "sin/statements.h"
#include "sin/string_pool.h"
#include "sin/symbols.h"
#include "sinreset/recovery.h"

void ResetTranslatorState() {
  ResetSymTab();
  LabelCount = 0;
  ConcatCount = 0;
  ReadChar();
  // LineNo stays as the reader counts it: the first line is line 1 in both passes.
  CharPos = 0;
  ReparseOffset = 0;
  ReparseKind = 0;
}

void RunCompiler(int argc, char **argv) {
  PrepareStandardStreams();
  // A console that has gone away, or a file that reaches the size limit, is reported as an I/O
  // error by the write that fails, not by a signal that ends the run halfway through a file.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc < 2) NoSourceNamed();
  SourceName = argv[1];

  RunPrecheck();
  OpenSource();
  OpenOutput();
  ResetTranslatorState();
  TranslateProgram();
  CloseSource();
  CloseOutput();
  BuildFinalAssembly();
  EndRun(0);
}
