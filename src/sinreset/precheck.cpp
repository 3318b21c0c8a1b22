#include "sinreset/precheck.h"

#include "lex/cp866.h"
#include "lex/scanner.h"
#include "lex/source.h"
#include "sin/diagnostics.h"
#include "sinreset/recovery.h"

namespace {
constexpr Cp866 kParseError(u8"Ошибка разбора ");
constexpr Cp866 kParseErrorBare(u8"Ошибка разбора");

int checkNesting = 0;

// Each returns only after a successful re-parse; the rule then goes on with its next step.
void E() {
  CheckExpectedError(kParseError.str());
}
void E0() {
  CheckExpectedError(kParseErrorBare.str());
}
void L(const char *suffix) {
  CheckExpectedError(LinePrefix() + suffix);
}

} // namespace

// program = header var-part body
void CheckProgram() {
  CheckHeader();
  CheckVarPart();
  CheckBody();
}

// header = PROGRAM name ";"
void CheckHeader() {
  NextToken();
  if (TokenCode != kProgram) {
    E();
    return;
  }
  NextToken();
  NextToken();
  if (TokenCode != kSemicolon) E();
}

// var-part = [ VAR var-group ]
void CheckVarPart() {
  NextToken();
  if (TokenCode == kVar) {
    CheckVarGroup();
    NextToken();
  }
}

// var-group = identifier { any token } ":" var-type
void CheckVarGroup() {
  NextToken();
  if (TokenCode != kIdentifier) E();
  while (TokenCode != kColon) NextToken();
  CheckVarType();
}

// var-type = ( INTEGER | STRING ) ";"
void CheckVarType() {
  NextToken();
  if (TokenCode != kInteger && TokenCode != kString) E();
  NextToken();
  if (TokenCode != kSemicolon) E();
}

// body = BEGIN statement-list END "."
void CheckBody() {
  if (TokenCode != kBegin) L(": BEGIN ");
  CheckStatementList();
  if (TokenCode != kEnd) L(": END ");
  NextToken();
  if (TokenCode != kPeriod) L(": . ");
}

// statement-list = { statement ";" }, ended by END or UNTIL
void CheckStatementList() {
  NextToken();
  while (TokenCode != kEnd && TokenCode != kUntil) {
    CheckStatement();
    if (TokenCode != kSemicolon) L(": ; ");
    NextToken();
  }
}

// statement = assignment | if | read | write | while | for | repeat
void CheckStatement() {
  switch (TokenCode) {
  case kIdentifier:
    CheckAssignment();
    break;
  case kIf:
    CheckIfElse();
    break;
  case kRead:
    CheckRead();
    break;
  case kWrite:
    CheckWrite();
    break;
  case kWhile:
    CheckWhile();
    break;
  case kFor:
    CheckFor();
    break;
  case kRepeat:
    CheckRepeat();
    break;
  default:
    L(": Variable identifier ");
  }
}

// body-statement = BEGIN statement-list END | statement, followed by ";" or ELSE
void CheckBodyStatement() {
  NextToken();
  if (TokenCode == kBegin) {
    OpenNesting(checkNesting);
    CheckStatementList();
    if (TokenCode != kEnd) L(": END ");
    NextToken();
    if (TokenCode != kSemicolon && TokenCode != kElse) L(": ; ");
    CloseNesting(checkNesting);
  } else {
    CheckStatement();
    if (TokenCode != kElse && TokenCode != kSemicolon) L(": ; ");
  }
}

// assignment = name ":=" expression
void CheckAssignment() {
  NextToken();
  if (TokenCode != kAssign) E();
  NextToken();
  CheckOr();
}

// if = IF expression THEN body-statement ELSE body-statement; without ELSE only by a re-parse
void CheckIfElse() {
  OpenNesting(checkNesting);
  ReparseOffset = static_cast<int32_t>(static_cast<uint32_t>(CharPos) - 1u);
  ReparseKind = 1;
  CheckExpression();
  if (TokenCode != kThen) E();
  CheckBodyStatement();
  if (TokenCode == kElse) {
    CheckBodyStatement();
  } else {
    E();
  }
  CloseNesting(checkNesting);
}

// if-then = expression THEN body-statement (the alternative of an IF)
void CheckIfThen() {
  OpenNesting(checkNesting);
  ReparseKind = 0;
  CheckExpression();
  if (TokenCode != kThen) E();
  CheckBodyStatement();
  CloseNesting(checkNesting);
}

// read = READ "(" name { "," name } ")"
void CheckRead() {
  NextToken();
  if (TokenCode != kLeftParen) E();
  NextToken();
  if (TokenCode != kIdentifier) E();
  NextToken();
  while (TokenCode == kComma) {
    NextToken();
    if (TokenCode == kIdentifier) {
      NextToken();
    } else {
      E();
    }
  }
  if (TokenCode != kRightParen) E();
  NextToken();
}

// write = WRITE "(" { name [ "," ] } ")"; literals only by a re-parse
void CheckWrite() {
  ReparseOffset = CharPos;
  ReparseKind = 2;
  NextToken();
  if (TokenCode != kLeftParen) E();
  NextToken();
  while (TokenCode != kRightParen) {
    if (TokenCode == kIdentifier) {
      NextToken();
    } else {
      E();
    }
    if (TokenCode == kComma) NextToken();
  }
  NextToken();
}

// write-items = { ( name | "'" characters "'" ) [ "," ] } ")" (the alternative of a WRITE)
void CheckWriteItems() {
  ReparseKind = 0;
  NextToken();
  while (TokenCode != kRightParen) {
    if (TokenCode == kIdentifier) {
      NextToken();
    } else if (TokenCode == kQuote) {
      while (CurChar != '\'' && !AtEndOfSource()) ReadChar();
      ReadChar();
      NextToken();
    } else {
      E();
    }
    if (TokenCode == kComma) NextToken();
  }
}

// while = WHILE expression DO body-statement
void CheckWhile() {
  OpenNesting(checkNesting);
  CheckExpression();
  if (TokenCode != kDo) E();
  CheckBodyStatement();
  CloseNesting(checkNesting);
}

// for = FOR name ":=" expression TO expression DO body-statement
void CheckFor() {
  OpenNesting(checkNesting);
  NextToken();
  if (TokenCode != kIdentifier) E();
  NextToken();
  if (TokenCode != kAssign) E();
  NextToken();
  CheckOr();
  if (TokenCode != kTo) E();
  NextToken();
  CheckOr();
  if (TokenCode != kDo) E();
  CheckBodyStatement();
  CloseNesting(checkNesting);
}

// repeat = REPEAT statement-list UNTIL expression
void CheckRepeat() {
  OpenNesting(checkNesting);
  CheckStatementList();
  if (TokenCode != kUntil) E();
  CheckExpression();
  CloseNesting(checkNesting);
}

void CheckExpression() {
  NextToken();
  CheckOr();
}

// or-level = and-level { ( OR | AND ) and-level }
void CheckOr() {
  CheckAnd();
  while (TokenCode == kOr || TokenCode == kAnd) {
    NextToken();
    CheckAnd();
  }
}

// and-level = not-level { AND not-level }
void CheckAnd() {
  CheckNot();
  while (TokenCode == kAnd) {
    NextToken();
    CheckNot();
  }
}

// not-level = [ NOT ] relation
void CheckNot() {
  if (TokenCode == kNot) NextToken();
  CheckRelation();
}

// relation = sum [ relational-operator sum ]
void CheckRelation() {
  CheckSum();
  if (IsRelationalOperator(TokenCode)) {
    NextToken();
    CheckSum();
  }
}

// sum = signed-factor product-tail { ( "+" | "-" ) factor product-tail }
void CheckSum() {
  CheckSignedFactor();
  CheckProductTail();
  while (TokenCode == kPlus || TokenCode == kMinus) {
    NextToken();
    CheckFactor();
    CheckProductTail();
  }
}

// product-tail = { ( "*" | "/" ) factor }
void CheckProductTail() {
  while (TokenCode == kTimes || TokenCode == kSlash) {
    NextToken();
    CheckFactor();
  }
}

// signed-factor = "+" factor | "-" number | "-" factor | factor
void CheckSignedFactor() {
  if (TokenCode == kPlus) {
    NextToken();
    CheckFactor();
  } else if (TokenCode == kMinus) {
    NextToken();
    if (TokenCode == kNumber) {
      NextToken();
    } else {
      CheckFactor();
    }
  } else {
    CheckFactor();
  }
}

// factor = "(" or-level ")" | name | number
void CheckFactor() {
  if (TokenCode == kLeftParen) {
    OpenNesting(checkNesting);
    NextToken();
    CheckOr();
    if (TokenCode != kRightParen) E0();
    NextToken();
    CloseNesting(checkNesting);
  } else if (TokenCode == kIdentifier || TokenCode == kNumber) {
    NextToken();
  } else {
    E();
  }
}
