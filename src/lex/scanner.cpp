#include "lex/scanner.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "lex/diagnostics.h"
#include "lex/source.h"
#include "os/text.h"

TokenChars TokenText;
int32_t TokenCode = 0;
int32_t TokenHash = 0;

namespace {
int64_t tokenStart = 0; // the offset of the token's first byte

constexpr Cp866 kUnknownCharacter(u8"Неизвестный символ:");

// The keywords in the order of their codes, from kProgram on.
constexpr std::string_view kKeywords[] = {
    "PROGRAM", "VAR",   "IF", "THEN", "ELSE", "BEGIN",  "INTEGER", "END", "READ", "WRITE",
    "STRING",  "WHILE", "DO", "FOR",  "TO",   "REPEAT", "UNTIL",   "AND", "OR",   "NOT"};

// The hash of an upper-cased word, given the sum of its bytes: the sum modulo the symbol table's
// 211 slots.
constexpr int32_t HashOf(uint32_t byteSum) {
  return static_cast<int32_t>(byteSum % 211);
}
constexpr uint32_t ByteSum(std::string_view word) {
  uint32_t sum = 0;
  for (char c : word) sum += static_cast<unsigned char>(c);
  return sum;
}

// The code of the keyword of each hash, 0 where there is none. No two keywords share a hash, so a
// word is a keyword when it is the keyword of its hash.
constexpr std::array<int32_t, 211> kKeywordOfHash = [] {
  std::array<int32_t, 211> code{};
  for (size_t i = 0; i < std::size(kKeywords); ++i)
    code[HashOf(ByteSum(kKeywords[i]))] = kProgram + static_cast<int32_t>(i);
  return code;
}();
static_assert(std::count(kKeywordOfHash.begin(), kKeywordOfHash.end(), 0) ==
                  211 - std::ssize(kKeywords),
              "two keywords share a hash");

// The code of a word with its hash: a keyword's, or kIdentifier.
int32_t FindKeyword(std::string_view word, int32_t hash) {
  int32_t code = kKeywordOfHash[hash];
  return code != 0 && kKeywords[code - kProgram] == word ? code : kIdentifier;
}

// The code of an operator of one or two characters (the second 0 for none), or kUnknownOperator.
int32_t OperatorCode(char first, char second) {
  switch (first) {
  case '+':
    return kPlus;
  case '-':
    return kMinus;
  case '*':
    return kTimes;
  case '/':
    return kSlash;
  case '=':
    return kEqual;
  case ',':
    return kComma;
  case ';':
    return kSemicolon;
  case '(':
    return kLeftParen;
  case ')':
    return kRightParen;
  case '\'':
    return kQuote;
  case '.':
    return kPeriod;
  case ':':
    return second == 0 ? kColon : second == '=' ? kAssign : kUnknownOperator;
  case '<':
    return second == 0     ? kLess
           : second == '=' ? kLessEqual
           : second == '>' ? kNotEqual
                           : kUnknownOperator;
  case '>':
    return second == 0 ? kGreater : second == '=' ? kGreaterEqual : kUnknownOperator;
  }
  return kUnknownOperator;
}

// A byte of a word or a number, upper-cased (of a letter or a digit, only a small letter lies at
// "a" or above), put into TokenText; the bytes past kMaxTokenText are read and dropped. Returns
// what it adds to the sum of the token's bytes.
uint32_t Take(unsigned char byte) {
  char c = static_cast<char>(byte >= 'a' ? byte - 'a' + 'A' : byte);
  if (TokenText.length == kMaxTokenText) return 0;
  TokenText.bytes[TokenText.length++] = c;
  return static_cast<unsigned char>(c);
}

// CurChar and the bytes of its classes after it, into TokenText, giving the sum of their bytes;
// comments inside a token join its parts. The bytes after CurChar are taken from the window as
// one run, up to the first of another class or the sentinel; then ReadChar reads on, through a
// comment or into the next window. The token is made in place: a copy of it, loaded whole right
// after its bytes were stored one by one, would wait for those stores.
uint32_t TakeToken(unsigned classes) {
  TokenText.clear();
  uint32_t sum = 0;
  while (kClassOf[CurChar] & classes) {
    sum += Take(CurChar);
    const unsigned char *p = WindowNext;
    while (kClassOf[*p] & classes) sum += Take(*p++); // the sentinel ends the run
    WindowNext = p;
    ReadChar();
  }
  return sum;
}

// identifier or keyword = letter { letter | digit }, upper-cased
void ScanIdentifier() {
  int32_t hash = HashOf(TakeToken(kWordChar));
  TokenCode = FindKeyword(TokenText, hash);
  if (TokenCode == kIdentifier) TokenHash = hash;
  SkipBlanks();
}

// number = digit { digit }
void ScanNumber() {
  TakeToken(kDigitChar);
  TokenCode = kNumber;
  SkipBlanks();
}

// After ":", "<" and ">" any operator character is taken as the second character of the token,
// so ":(" or ">-" make one token that no parser accepts.
void ScanOperator() {
  TokenChars &op = TokenText;
  op.clear();
  op.bytes[op.length++] = static_cast<char>(CurChar);
  ReadChar();
  bool mayPair = op.bytes[0] == ':' || op.bytes[0] == '<' || op.bytes[0] == '>';
  if (mayPair && kClassOf[CurChar] == kOperatorChar) {
    op.bytes[op.length++] = static_cast<char>(CurChar);
    ReadChar();
  }
  TokenCode = OperatorCode(op.bytes[0], op.bytes[1]);
  SkipBlanks();
}
} // namespace

// A blank or a line break in front of a token is only skipped: no token is produced and the caller
// sees the previous token again.
void NextToken() {
  switch (kClassOf[CurChar]) {
  case kLetterChar:
    tokenStart = CurCharOffset();
    return ScanIdentifier();
  case kDigitChar:
    tokenStart = CurCharOffset();
    return ScanNumber();
  case kOperatorChar:
    tokenStart = CurCharOffset();
    return ScanOperator();
  case kBlankChar:
    return SkipBlanks();
  default:
    ExpectedError(kUnknownCharacter.str() + static_cast<char>(CurChar));
  }
}

int64_t TokenOffset() {
  return tokenStart;
}

// The opening quote and the blanks after it were taken with the quote token. Everything up to the
// closing quote, blanks and line breaks too, belongs to the text; a comment inside it does not,
// since the reader removes comments.
void ScanLiteral(std::string *text) {
  while (CurChar != '\'' && !AtEndOfSource()) {
    if (text != nullptr) *text += static_cast<char>(CurChar);
    ReadChar();
  }
  ReadChar();
}
