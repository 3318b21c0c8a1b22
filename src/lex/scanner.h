// The token scanner: cuts the character stream into coded tokens on demand. There is one current
// token (text, code, and for an identifier its hash), read directly by both parsers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Token codes.
enum : int32_t {
  kNumber = 1,
  kIdentifier = 2,
  kProgram = 3, kVar, kIf, kThen, kElse, kBegin, kInteger, kEnd, kRead, kWrite,
  kString, kWhile, kDo, kFor, kTo, kRepeat, kUntil, kAnd, kOr, kNot, // 13 to 22
  kUnknownOperator = 30,
  kPlus = 31, kMinus, kTimes, kSlash, kEqual, kLess, kGreater, kComma, kSemicolon, kColon,
  kAssign, kLeftParen, kRightParen, kQuote, kLessEqual, kGreaterEqual, kNotEqual, kPeriod // to 48
};

constexpr size_t kMaxTokenText = 16;

extern std::string TokenText; // a word upper-cased, digits, or the characters of an operator
extern int32_t TokenCode;
extern int32_t TokenHash;     // 0 to 210, set only when an identifier is scanned

void NextToken();
void ScanIdentifier();
void ScanNumber();
void ScanOperator();
int FindKeyword(std::string_view text);
int FindOperator(std::string_view text);
void ComputeTokenHash();

bool IsLetter(unsigned char c);
bool IsDigit(unsigned char c);
bool IsLetterOrDigit(unsigned char c);
bool IsOperatorChar(unsigned char c);
