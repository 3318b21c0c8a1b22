#include "driver/driver.h"

#include "driver/command_line.h"
#include "kod/output.h"
#include "kod/templates.h"
#include "lex/source.h"
#include "os/runtime.h"
#include "sin/source_map.h"
#include "sin/statements.h"
#include "sin/string_pool.h"
#include "sin/symbols.h"
#include "sinreset/recovery.h"

void ResetTranslatorState() {
  ResetSymTab();
  LabelCount = 0;
  ConcatCount = 0;
  ReadChar();
  // Line numbers come from the reader, counted from the start of the file in both passes.
  SetCharPos(0);
  ReparseOffset = 0;
  ReparseKind = 0;
}

void RunCompiler(int argc, char **argv) {
  PrepareRun();
  SourceName = SourceFromCommandLine(argc, argv);

  RunPrecheck();
  OpenSource();
  OpenOutput();
  ResetTranslatorState();
  if (MapFile != nullptr) StartSourceMap();
  TranslateProgram();
  CloseSource();
  CloseOutput();
  BuildFinalAssembly();
  if (MapFile != nullptr) WriteSourceMap(MapFile);
  EndRun(0);
}
