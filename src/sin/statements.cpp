#include "sin/statements.h"

#include <string>

#include "kod/frame.h"
#include "kod/output.h"
#include "kod/templates.h"
#include "lex/diagnostics.h"
#include "lex/scanner.h"
#include "lex/source.h"
#include "os/text.h"
#include "sin/expressions.h"
#include "sin/source_map.h"
#include "sin/string_pool.h"
#include "sin/symbols.h"

namespace {
// Rules used before they are defined.
void ProgramBody();
void StatementList();
void Statement();
void IfStatement();
void WhileStatement();
void ForStatement();
void RepeatStatement();
void ReadStatement();
void WriteStatement();
void WriteVarList();
void WriteLiteral();

// The variables of the READ or WRITE being translated, where each stands in the source, and the
// joined literals of the WRITE.
std::vector<ListEntry> ReadList;
std::vector<ListEntry> WriteList;
struct Span {
  int64_t start, end;
};
std::vector<Span> ItemAt;
std::string WriteText;

constexpr Cp866 kIfStart(u8" ;Начало условного оператора IF ");
constexpr Cp866 kIfEnd(u8" ;Конец условного оператора IF ");
constexpr Cp866 kWhileStart(u8" ;Начало цикла WHILE ");
constexpr Cp866 kWhileEnd(u8" ;Конец цикла WHILE");
constexpr Cp866 kForStart(u8" ;Начало цикла FOR ");
constexpr Cp866 kForEnd(u8" ;Конец цикла FOR");
constexpr Cp866 kRepeatStart(u8" ;Начало цикла REPEAT ");
constexpr Cp866 kRepeatEnd(u8" ;Конец цикла REPEAT");
constexpr Cp866 kReadStart(u8" ;Начало оператора READ ");
constexpr Cp866 kReadEnd(u8" ;Конец оператора READ ");
constexpr Cp866 kWriteStart(u8" ;Начало оператора WRITE ");
constexpr Cp866 kWriteEnd(u8" ;Конец оператора WRITE ");

// Some suffixes are misspelt ("Vriable"): they are the compiler's own texts, which its users and
// their scripts know as they are.
[[noreturn]] void Fail(const char *suffix) {
  ExpectedInLine(suffix);
}

ListEntry CurrentVariable() {
  return ListEntry{TokenText, FoundType};
}
} // namespace

// program = header var-section body
void TranslateProgram() {
  ProgramHeader();
  VarSection();
  ProgramBody();
}

namespace {
// body = BEGIN statement-list END "."
void ProgramBody() {
  if (TokenCode != kBegin) Fail(": BEGIN ");
  MapFixed(MapKind::kCodeStart);
  EmitCodeStart();
  StatementList();
  if (TokenCode != kEnd) Fail(": END ");
  NextToken();
  if (TokenCode != kPeriod) Fail(": . ");
  MapFixed(MapKind::kExit);
  EmitProgramExit();
  MapFixed(MapKind::kRuntime);
  EmitRuntimeLibrary();
}

// statement-list = { statement ";" }, ended by END or UNTIL
void StatementList() {
  NextToken();
  while (TokenCode != kEnd && TokenCode != kUntil) {
    Statement();
    if (TokenCode != kSemicolon) Fail(": ; ");
    NextToken();
  }
}

// statement = assignment | if | read | write | while | for | repeat
void Statement() {
  switch (TokenCode) {
  case kIdentifier:
    Assignment();
    break;
  case kIf:
    IfStatement();
    break;
  case kRead:
    ReadStatement();
    break;
  case kWrite:
    WriteStatement();
    break;
  case kWhile:
    WhileStatement();
    break;
  case kFor:
    ForStatement();
    break;
  case kRepeat:
    RepeatStatement();
    break;
  default:
    Fail(": Variable identifier ");
  }
}

// body-statement = BEGIN statement-list END | statement, followed by ";" or ELSE
void BodyStatement() {
  NextToken();
  if (TokenCode == kBegin) {
    OpenNesting(TranslateNesting);
    StatementList();
    if (TokenCode != kEnd) Fail(": END ");
    NextToken();
    if (TokenCode != kSemicolon && TokenCode != kElse) Fail(": ; ");
    CloseNesting(TranslateNesting);
  } else {
    Statement();
    if (TokenCode != kElse && TokenCode != kSemicolon) Fail(": ; ");
  }
}

// if = IF condition THEN body-statement [ ELSE body-statement ]
void IfStatement() {
  OpenNesting(TranslateNesting);
  MapOpen(MapKind::kIf, TokenOffset());
  EmitLine(kIfStart.view());
  Condition(MapKind::kIfCondition);
  if (TokenCode != kThen) Fail(": THEN");
  std::string falseLabel = NewLabel();
  std::string endLabel = falseLabel;
  EmitJumpIfNotOne(falseLabel);
  MapPart(MapKind::kThen, TokenOffset());
  BodyStatement();
  if (TokenCode == kElse) {
    endLabel = NewLabel();
    EmitJump(endLabel);
    MapPart(MapKind::kElse, TokenOffset());
    EmitLabel(falseLabel);
    BodyStatement();
  }
  MapEndPart();
  EmitLabel(endLabel);
  EmitLine(kIfEnd.view());
  MapClose();
  CloseNesting(TranslateNesting);
}

// while = WHILE condition DO body-statement
void WhileStatement() {
  OpenNesting(TranslateNesting);
  MapOpen(MapKind::kWhile, TokenOffset());
  EmitLine(kWhileStart.view());
  std::string headLabel = NewLabel();
  std::string exitLabel = NewLabel();
  EmitLabel(headLabel);
  Condition(MapKind::kWhileCondition);
  if (TokenCode != kDo) Fail(": DO ");
  EmitJumpIfNotOne(exitLabel);
  MapEndPart();
  int64_t doAt = TokenOffset();
  BodyStatement();
  MapPart(MapKind::kWhileBodyEnd, doAt);
  EmitJump(headLabel);
  EmitLabel(exitLabel);
  MapEndPart();
  EmitLine(kWhileEnd.view());
  MapClose();
  CloseNesting(TranslateNesting);
}

// for = FOR identifier ":=" expression TO expression DO body-statement
// The counter is set to start - 1 once; each pass re-evaluates the limit, counts up and leaves
// when the counter has passed the limit.
void ForStatement() {
  OpenNesting(TranslateNesting);
  MapOpen(MapKind::kFor, TokenOffset());
  EmitLine(kForStart.view());
  std::string headLabel = NewLabel();
  std::string exitLabel = NewLabel();
  NextToken();
  if (TokenCode != kIdentifier) Fail(": Vriable identifier ");
  Span counter = {TokenOffset(), -1};
  MapPart(MapKind::kForStart, counter.start);
  LookupVariable();
  CheckType(kIntegerTag);
  TokenChars name = TokenText;
  NextToken();
  counter.end = TokenOffset();
  if (TokenCode != kAssign) Fail(": := ");
  NextToken();
  Expression();
  EmitLine("   MOV  _", name, ", AX");
  EmitLine("   dec  _", name);
  if (TokenCode != kTo) Fail(": TO ");
  MapEndPart();
  NextToken();
  MapPart(MapKind::kForLimit, TokenOffset());
  EmitLabel(headLabel);
  Expression();
  if (TokenCode != kDo) Fail(": DO ");
  MapPart(MapKind::kForStep, counter.start, counter.end);
  EmitLine("   MOV   BX, AX");
  EmitLine("   MOV   AX, _", name);
  EmitLine("   INC   AX");
  EmitLine("   MOV  _", name, ",AX");
  EmitLine("   cmp   AX, BX");
  EmitLine("   jg   ", exitLabel);
  MapEndPart();
  BodyStatement();
  EmitJump(headLabel);
  EmitLabel(exitLabel);
  EmitLine(kForEnd.view());
  MapClose();
  CloseNesting(TranslateNesting);
}

// repeat = REPEAT statement-list UNTIL condition
void RepeatStatement() {
  OpenNesting(TranslateNesting);
  MapOpen(MapKind::kRepeat, TokenOffset());
  EmitLine(kRepeatStart.view());
  std::string headLabel = NewLabel();
  EmitLabel(headLabel);
  StatementList();
  if (TokenCode != kUntil) Fail(": UNTIL ");
  Condition(MapKind::kRepeatUntil);
  EmitJumpIfZero(headLabel);
  MapEndPart();
  EmitLine(kRepeatEnd.view());
  MapClose();
  CloseNesting(TranslateNesting);
}

// read = READ "(" identifier { "," identifier } ")"
void ReadStatement() {
  MapOpen(MapKind::kRead, TokenOffset());
  EmitLine(kReadStart.view());
  NextToken();
  if (TokenCode != kLeftParen) Fail(": (");
  NextToken();
  if (TokenCode != kIdentifier) Fail(": Vriable identifier ");
  LookupVariable();
  ReadList.push_back(CurrentVariable());
  int64_t at = TokenOffset();
  NextToken();
  ItemAt.push_back({at, TokenOffset()});
  while (TokenCode == kComma) {
    NextToken();
    if (TokenCode != kIdentifier) Fail(": Vriable identifier ");
    LookupVariable();
    ReadList.push_back(CurrentVariable());
    int64_t at = TokenOffset();
    NextToken();
    ItemAt.push_back({at, TokenOffset()});
  }
  if (TokenCode != kRightParen) Fail(": )");
  // Item by item, so that the map can tell the lines of each apart.
  for (size_t i = 0; i < ReadList.size(); ++i) {
    MapPart(MapKind::kReadItem, ItemAt[i].start, ItemAt[i].end);
    EmitRead({&ReadList[i], 1});
  }
  MapEndPart();
  ReadList.clear();
  ItemAt.clear();
  NextToken();
  EmitLine(kReadEnd.view());
  MapClose();
}

// write = WRITE "(" { variables | literal } ")": the literals are joined and printed first
void WriteStatement() {
  MapOpen(MapKind::kWrite, TokenOffset());
  EmitLine(kWriteStart.view());
  WriteText.clear();
  Span text = {-1, -1};
  NextToken();
  if (TokenCode != kLeftParen) Fail(": (");
  NextToken();
  while (TokenCode != kRightParen) {
    if (TokenCode == kIdentifier) {
      WriteVarList();
    } else if (TokenCode == kQuote) {
      if (WriteText.empty()) text.start = TokenOffset();
      WriteLiteral();
      // The token after the literal; where a blank after the closing quote left the quote current,
      // the text runs on to where the reader stands.
      text.end = TokenOffset() > text.start ? TokenOffset() : CurCharOffset();
    } else {
      Fail(": Vriable identifier ");
    }
    if (TokenCode == kComma) {
      NextToken();
      WriteVarList();
    }
  }
  // The text, then item by item, so that the map can tell the lines of each apart.
  if (!WriteText.empty()) MapPart(MapKind::kWriteText, text.start, text.end);
  EmitWrite(WriteText, MsgConsts.size(), {});
  for (size_t i = 0; i < WriteList.size(); ++i) {
    MapPart(MapKind::kWriteItem, ItemAt[i].start, ItemAt[i].end);
    EmitWrite({}, 0, {&WriteList[i], 1});
  }
  MapEndPart();
  if (!WriteText.empty()) {
    MapTextAt(text.start);
    MsgConsts.push_back(WriteText);
    MapMessagePooled();
  }
  WriteList.clear();
  ItemAt.clear();
  NextToken();
  EmitLine(kWriteEnd.view());
  MapClose();
}

// variables = variable { "," identifier }; the first item is not checked for the identifier code
void WriteVarList() {
  LookupVariable();
  WriteList.push_back(CurrentVariable());
  int64_t at = TokenOffset();
  NextToken();
  ItemAt.push_back({at, TokenOffset()});
  while (TokenCode == kComma) {
    NextToken();
    if (TokenCode != kIdentifier) Fail(": Vriable identifier ");
    LookupVariable();
    WriteList.push_back(CurrentVariable());
    int64_t at = TokenOffset();
    NextToken();
    ItemAt.push_back({at, TokenOffset()});
  }
}

// literal = "'" characters "'"; the scanner has passed the opening quote and the blanks after it
void WriteLiteral() {
  ScanLiteral(&WriteText);
  NextToken();
}
} // namespace
