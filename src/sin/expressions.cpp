#include "sin/expressions.h"

#include <string>

#include "kod/output.h"
#include "kod/templates.h"
#include "lex/diagnostics.h"
#include "lex/scanner.h"
#include "os/text.h"
#include "sin/string_pool.h"
#include "sin/symbols.h"

int TranslateNesting = 0;

namespace {
// Rules used before they are defined.
void AndExpression();
void NotExpression();
void Relation();
void SimpleExpression();
void FirstTerm();
void Term();
void ProductTail();
void SignedFactor();
void NegatedFactor();
void Factor();
void StringExpression();
void StringFactor();

// Digits are taken from the left until the value passes 214748364, computed modulo 2^32 and read
// as signed. A word of the generated program holds 0 to 65535 (or its negation), nothing more.
int32_t NumberValue() {
  uint32_t value = 0;
  for (char digit : TokenText) {
    if (value > 214748364u) break;
    value = value * 10u + static_cast<uint32_t>(digit - '0');
  }
  auto result = static_cast<int32_t>(value);
  if (result < 0 || result > 65535) FatalInLine(": Number out of range ", TokenText);
  return result;
}

} // namespace

// assignment = identifier ":=" ( expression | string-expression ), by the identifier's type
void Assignment() {
  MapOpen(MapKind::kAssignment, TokenOffset());
  TokenChars target = TokenText;
  LookupVariable();
  NextToken();
  if (TokenCode != kAssign) ExpectedInLine(": :=");
  NextToken();
  // A target without a type (or the program name) translates nothing; the statement level then
  // meets the right-hand side.
  if (FoundType == kIntegerTag) {
    Expression();
    EmitStore(target);
  } else if (FoundType == kStringTag) {
    StringExpression();
    EmitStoreString(target);
  }
  MapClose();
}

// condition = expression
void Condition(MapKind kind) {
  NextToken();
  MapPart(kind, TokenOffset());
  Expression();
}

// expression = and-expression { OR and-expression }
void Expression() {
  AndExpression();
  while (TokenCode == kOr) {
    EmitPush();
    NextToken();
    AndExpression();
    EmitOr();
  }
}

namespace {
// and-expression = not-expression { AND not-expression }
void AndExpression() {
  NotExpression();
  while (TokenCode == kAnd) {
    EmitPush();
    NextToken();
    NotExpression();
    EmitAnd();
  }
}

// not-expression = [ NOT ] relation
void NotExpression() {
  if (TokenCode == kNot) {
    NextToken();
    Relation();
    EmitNot();
  } else {
    Relation();
  }
}

// relation = simple-expression [ relational-operator simple-expression ]
void Relation() {
  SimpleExpression();
  if (TokenCode < kEqual) return;
  EmitPush();
  if (!IsRelationalOperator(TokenCode)) {
    // Followed by ",", ";", ":", ":=", "(", ")", "'" or ".": the pushed value is taken back.
    EmitLine("     pop     AX");
    return;
  }
  int32_t op = TokenCode;
  NextToken();
  SimpleExpression();
  EmitCompare();
  // EmitCompare compares the right value (AX) with the left one (BX), so its flags speak of R
  // against L. An ordering operator therefore takes the jump of the opposite relation seen from R,
  // in a template that loads 0 when it is taken: L < R is "not R <= L" (jle), L <= R is "not
  // R < L" (jl). = and <> read the same from either side.
  switch (op) {
  case kEqual:
    EmitSetJe();
    break;
  case kLess:
    EmitSetJle();
    break;
  case kGreater:
    EmitSetJge();
    break;
  case kLessEqual:
    EmitSetJl();
    break;
  case kGreaterEqual:
    EmitSetJg();
    break;
  default:
    EmitSetJne();
    break;
  }
}

// simple-expression = first-term { ( "+" | "-" ) term }
void SimpleExpression() {
  FirstTerm();
  while (TokenCode == kPlus || TokenCode == kMinus) {
    EmitPush();
    if (TokenCode == kPlus) {
      NextToken();
      Term();
      EmitAdd();
    } else {
      NextToken();
      Term();
      EmitSub();
      EmitNeg();
    }
  }
}

// first-term = signed-factor { ( "*" | "/" ) factor }
void FirstTerm() {
  SignedFactor();
  ProductTail();
}

// term = factor { ( "*" | "/" ) factor }
void Term() {
  Factor();
  ProductTail();
}

void ProductTail() {
  while (TokenCode == kTimes || TokenCode == kSlash) {
    EmitPush();
    if (TokenCode == kTimes) {
      NextToken();
      Factor();
      EmitMul();
    } else {
      NextToken();
      Factor();
      EmitDiv();
    }
  }
}

// signed-factor = "+" factor | "-" factor | factor
void SignedFactor() {
  if (TokenCode == kPlus) {
    NextToken();
    Factor();
  } else if (TokenCode == kMinus) {
    NegatedFactor();
  } else {
    Factor();
  }
}

// A negative literal is loaded positive and negated.
void NegatedFactor() {
  NextToken();
  if (TokenCode == kNumber) {
    EmitLoadConst(NumberValue());
    EmitNeg();
    NextToken();
  } else {
    Factor();
    EmitNeg();
  }
}

// factor = "(" expression ")" | identifier | number
void Factor() {
  if (TokenCode == kLeftParen) {
    OpenNesting(TranslateNesting);
    NextToken();
    Expression();
    if (TokenCode != kRightParen) ExpectedInLine(": )");
    NextToken();
    CloseNesting(TranslateNesting);
  } else if (TokenCode == kIdentifier) {
    LookupVariable();
    CheckType(kIntegerTag);
    EmitLoadVar(TokenText);
    NextToken();
  } else if (TokenCode == kNumber) {
    EmitLoadConst(NumberValue());
    NextToken();
  } else {
    ExpectedInLine(": ", TokenText);
  }
}

// string-expression = string-factor { "+" string-factor }
void StringExpression() {
  StringFactor();
  while (TokenCode == kPlus) {
    NextToken();
    StringFactor();
  }
}

// string-factor = identifier | "'" characters "'"
void StringFactor() {
  if (TokenCode == kIdentifier) {
    LookupVariable();
    CheckType(kStringTag);
    EmitConcat("_" + TokenText);
    NextToken();
    return;
  }
  if (TokenCode != kQuote) ExpectedInLine(": ", TokenText);
  MapTextAt(TokenOffset());
  std::string text;
  ScanLiteral(&text);
  EmitConcat("_str" + IntText(static_cast<int64_t>(StrConsts.size())));
  StrConsts.push_back(text);
  MapStringPooled();
  NextToken();
}
} // namespace
