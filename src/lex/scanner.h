// The token scanner: NextToken delivers the next token of the source in TokenText, TokenCode and,
// for an identifier, TokenHash, which both parsers read directly; there is one current token.
// ScanLiteral steps through the characters of a string literal, which the parsers read themselves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Token codes: 1 number, 2 identifier, 3 to 22 the keywords, 30 an operator pair that is no
// operator, 31 to 48 the operators.
enum : int32_t {
  kNumber = 1,
  kIdentifier = 2,
  kProgram = 3,
  kVar = 4,
  kIf = 5,
  kThen = 6,
  kElse = 7,
  kBegin = 8,
  kInteger = 9,
  kEnd = 10,
  kRead = 11,
  kWrite = 12,
  kString = 13,
  kWhile = 14,
  kDo = 15,
  kFor = 16,
  kTo = 17,
  kRepeat = 18,
  kUntil = 19,
  kAnd = 20,
  kOr = 21,
  kNot = 22,
  kUnknownOperator = 30,
  kPlus = 31,
  kMinus = 32,
  kTimes = 33,
  kSlash = 34,
  kEqual = 35,
  kLess = 36,
  kGreater = 37,
  kComma = 38,
  kSemicolon = 39,
  kColon = 40,
  kAssign = 41,
  kLeftParen = 42,
  kRightParen = 43,
  kQuote = 44,
  kLessEqual = 45,
  kGreaterEqual = 46,
  kNotEqual = 47,
  kPeriod = 48,
};

constexpr size_t kMaxTokenText = 16;

// The text of a token, at most kMaxTokenText bytes, held in place, the bytes after it zero. Where
// the parsers use it, it reads as a string does: compared, copied into a std::string, added to a
// message.
struct TokenChars {
  char bytes[kMaxTokenText] = {};
  size_t length = 0;

  operator std::string_view() const { return {bytes, length}; }
  operator std::string() const { return std::string(bytes, length); }
  const char *begin() const { return bytes; }
  const char *end() const { return bytes + length; }
  void clear() { *this = TokenChars{}; }
};
inline bool operator==(const TokenChars &a, std::string_view b) {
  return std::string_view(a) == b;
}
inline std::string operator+(std::string a, const TokenChars &b) {
  return a.append(b.bytes, b.length);
}
inline std::string operator+(const char *a, const TokenChars &b) {
  return std::string(a).append(b.bytes, b.length);
}

// A token's text follows from its code for every operator and keyword, so the parsers test codes.
extern TokenChars TokenText; // a word upper-cased, digits, or the characters of an operator
extern int32_t TokenCode;
extern int32_t TokenHash; // 0 to 210, set only when an identifier is scanned

void NextToken();
// The offset in the source of the current token's first byte.
int64_t TokenOffset();
// Entered with the quote token current: reads the characters of the string literal up to its
// closing quote, or the end of the source, and the quote itself; appends them to `text` when
// given. The token is not advanced.
void ScanLiteral(std::string *text);

// The six relational operators: = < > <= >= <>.
inline bool IsRelationalOperator(int32_t code) {
  return code == kEqual || code == kLess || code == kGreater || code == kLessEqual ||
         code == kGreaterEqual || code == kNotEqual;
}
