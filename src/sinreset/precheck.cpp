#include "sinreset/precheck.h"

#include "lex/diagnostics.h"
#include "lex/scanner.h"
#include "lex/source.h"
#include "os/text.h"
#include "sinreset/recovery.h"

namespace {
// Rules used before they are defined.
void CheckHeader();
void CheckVarPart();
void CheckVarGroup();
void CheckVarType();
void CheckBody();
void CheckStatementList();
void CheckStatement();
void CheckAssignment();
void CheckIfElse();
void CheckRead();
void CheckWrite();
void CheckWhile();
void CheckFor();
void CheckRepeat();
void CheckExpression();
void CheckOr();
void CheckAnd();
void CheckNot();
void CheckRelation();
void CheckSum();
void CheckProductTail();
void CheckSignedFactor();
void CheckFactor();

constexpr Cp866 kParseError(u8"Ошибка разбора ");
constexpr Cp866 kParseErrorBare(u8"Ошибка разбора");

int checkNesting = 0;

// Each returns only after a successful re-parse; the rule then goes on with its next step.
// "Ошибка разбора  Expected", without a line number: most rules report so.
void ParseError() {
  CheckExpectedError(kParseError.str());
}
// "Ошибка разбора Expected" without the blank: a parenthesis left open.
void UnclosedParenError() {
  CheckExpectedError(kParseErrorBare.str());
}
// "Ошибка в строке N" and what was expected: a rule of the body or the statement level failed.
void LineError(const char *suffix) {
  CheckExpectedError(LinePrefix() + suffix);
}

} // namespace

// program = header var-part body
void CheckProgram() {
  CheckHeader();
  CheckVarPart();
  CheckBody();
}

namespace {
// header = PROGRAM name ";"
void CheckHeader() {
  NextToken();
  if (TokenCode != kProgram) {
    ParseError();
    return;
  }
  NextToken();
  NextToken();
  if (TokenCode != kSemicolon) ParseError();
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
  if (TokenCode != kIdentifier) ParseError();
  while (TokenCode != kColon) NextToken();
  CheckVarType();
}

// var-type = ( INTEGER | STRING ) ";"
void CheckVarType() {
  NextToken();
  if (TokenCode != kInteger && TokenCode != kString) ParseError();
  NextToken();
  if (TokenCode != kSemicolon) ParseError();
}

// body = BEGIN statement-list END "."
void CheckBody() {
  if (TokenCode != kBegin) LineError(": BEGIN ");
  CheckStatementList();
  if (TokenCode != kEnd) LineError(": END ");
  NextToken();
  if (TokenCode != kPeriod) LineError(": . ");
}

// statement-list = { statement ";" }, ended by END or UNTIL
void CheckStatementList() {
  NextToken();
  while (TokenCode != kEnd && TokenCode != kUntil) {
    CheckStatement();
    if (TokenCode != kSemicolon) LineError(": ; ");
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
    LineError(": Variable identifier ");
  }
}

// body-statement = BEGIN statement-list END | statement, followed by ";" or ELSE
void CheckBodyStatement() {
  NextToken();
  if (TokenCode == kBegin) {
    OpenNesting(checkNesting);
    CheckStatementList();
    if (TokenCode != kEnd) LineError(": END ");
    NextToken();
    if (TokenCode != kSemicolon && TokenCode != kElse) LineError(": ; ");
    CloseNesting(checkNesting);
  } else {
    CheckStatement();
    if (TokenCode != kElse && TokenCode != kSemicolon) LineError(": ; ");
  }
}

// assignment = name ":=" expression
void CheckAssignment() {
  NextToken();
  if (TokenCode != kAssign) ParseError();
  NextToken();
  CheckOr();
}

// if = IF expression THEN body-statement ELSE body-statement; without ELSE only by a re-parse
void CheckIfElse() {
  OpenNesting(checkNesting);
  ReparseOffset = static_cast<int32_t>(static_cast<uint32_t>(CharPos()) - 1u);
  ReparseKind = 1;
  CheckExpression();
  if (TokenCode != kThen) ParseError();
  CheckBodyStatement();
  if (TokenCode == kElse) {
    CheckBodyStatement();
  } else {
    ParseError();
  }
  CloseNesting(checkNesting);
}
} // namespace

// if-then = expression THEN body-statement (the alternative of an IF)
void CheckIfThen() {
  OpenNesting(checkNesting);
  ReparseKind = 0;
  CheckExpression();
  if (TokenCode != kThen) ParseError();
  CheckBodyStatement();
  CloseNesting(checkNesting);
}

namespace {
// read = READ "(" name { "," name } ")"
void CheckRead() {
  NextToken();
  if (TokenCode != kLeftParen) ParseError();
  NextToken();
  if (TokenCode != kIdentifier) ParseError();
  NextToken();
  while (TokenCode == kComma) {
    NextToken();
    if (TokenCode == kIdentifier) {
      NextToken();
    } else {
      ParseError();
    }
  }
  if (TokenCode != kRightParen) ParseError();
  NextToken();
}

// write = WRITE "(" { name [ "," ] } ")"; literals only by a re-parse
void CheckWrite() {
  ReparseOffset = CharPos();
  ReparseKind = 2;
  NextToken();
  if (TokenCode != kLeftParen) ParseError();
  NextToken();
  while (TokenCode != kRightParen) {
    if (TokenCode == kIdentifier) {
      NextToken();
    } else {
      ParseError();
    }
    if (TokenCode == kComma) NextToken();
  }
  NextToken();
}
} // namespace

// write-items = { ( name | "'" characters "'" ) [ "," ] } ")" (the alternative of a WRITE)
void CheckWriteItems() {
  ReparseKind = 0;
  NextToken();
  while (TokenCode != kRightParen) {
    if (TokenCode == kIdentifier) {
      NextToken();
    } else if (TokenCode == kQuote) {
      ScanLiteral(nullptr);
      NextToken();
    } else {
      ParseError();
    }
    if (TokenCode == kComma) NextToken();
  }
}

namespace {
// while = WHILE expression DO body-statement
void CheckWhile() {
  OpenNesting(checkNesting);
  CheckExpression();
  if (TokenCode != kDo) ParseError();
  CheckBodyStatement();
  CloseNesting(checkNesting);
}

// for = FOR name ":=" expression TO expression DO body-statement
void CheckFor() {
  OpenNesting(checkNesting);
  NextToken();
  if (TokenCode != kIdentifier) ParseError();
  NextToken();
  if (TokenCode != kAssign) ParseError();
  NextToken();
  CheckOr();
  if (TokenCode != kTo) ParseError();
  NextToken();
  CheckOr();
  if (TokenCode != kDo) ParseError();
  CheckBodyStatement();
  CloseNesting(checkNesting);
}

// repeat = REPEAT statement-list UNTIL expression
void CheckRepeat() {
  OpenNesting(checkNesting);
  CheckStatementList();
  if (TokenCode != kUntil) ParseError();
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
    if (TokenCode != kRightParen) UnclosedParenError();
    NextToken();
    CloseNesting(checkNesting);
  } else if (TokenCode == kIdentifier || TokenCode == kNumber) {
    NextToken();
  } else {
    ParseError();
  }
}
} // namespace
