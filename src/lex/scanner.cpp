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
int32_t TokenPos = 0;

namespace {
constexpr Cp866 kUnknownCharacter(u8"Неизвестный символ:");

// The keywords in the order of their codes, from kProgram on.
constexpr std::string_view kKeywords[] = {
    "PROGRAM", "VAR",   "IF", "THEN", "ELSE", "BEGIN",  "INTEGER", "END", "READ", "WRITE",
    "STRING",  "WHILE", "DO", "FOR",  "TO",   "REPEAT", "UNTIL",   "AND", "OR",   "NOT"};

// The hash of an upper-cased word: the sum of its bytes modulo the symbol table's 211 slots.
constexpr int32_t HashOf(std::string_view word) {
  uint32_t sum = 0;
  for (char c : word) sum += static_cast<unsigned char>(c);
  return static_cast<int32_t>(sum % 211);
}

// The code of the keyword of each hash, 0 where there is none. No two keywords share a hash, so a
// word is a keyword when it is the keyword of its hash.
constexpr std::array<int32_t, 211> kKeywordOfHash = [] {
  std::array<int32_t, 211> code{};
  for (size_t i = 0; i < std::size(kKeywords); ++i)
    code[HashOf(kKeywords[i])] = kProgram + static_cast<int32_t>(i);
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

// Puts a byte behind the text if it has room; the rest of a long token is read and dropped.
void Append(TokenChars &text, char c) {
  if (text.length < kMaxTokenText) text.bytes[text.length++] = c;
}

// A word or a number: CurChar and the bytes of its classes after it, upper-cased (of a letter or a
// digit, only a small letter lies at "a" or above). Comments inside a token join its parts.
TokenChars TakeToken(unsigned classes) {
  TokenChars text;
  while (kClassOf[CurChar] & classes) {
    Append(text, static_cast<char>(CurChar >= 'a' ? CurChar - 'a' + 'A' : CurChar));
    ReadChar();
  }
  return text;
}

// identifier or keyword = letter { letter | digit }, upper-cased
void ScanIdentifier() {
  TokenChars word = TakeToken(kWordChar);
  int32_t hash = HashOf(word);
  TokenText = word;
  TokenCode = FindKeyword(word, hash);
  if (TokenCode == kIdentifier) TokenHash = hash;
  SkipBlanks();
}

// number = digit { digit }
void ScanNumber() {
  TokenText = TakeToken(kDigitChar);
  TokenCode = kNumber;
  SkipBlanks();
}

// After ":", "<" and ">" any operator character is taken as the second character of the token,
// so ":(" or ">-" make one token that no parser accepts.
void ScanOperator() {
  TokenChars op;
  op.bytes[op.length++] = static_cast<char>(CurChar);
  ReadChar();
  bool mayPair = op.bytes[0] == ':' || op.bytes[0] == '<' || op.bytes[0] == '>';
  if (mayPair && kClassOf[CurChar] == kOperatorChar) {
    op.bytes[op.length++] = static_cast<char>(CurChar);
    ReadChar();
  }
  TokenText = op;
  TokenCode = OperatorCode(op.bytes[0], op.bytes[1]);
  SkipBlanks();
}
} // namespace

// A blank or a line break in front of a token is only skipped: no token is produced and the caller
// sees the previous token again.
void NextToken() {
  switch (kClassOf[CurChar]) {
  case kLetterChar:
    TokenPos = CharPos;
    return ScanIdentifier();
  case kDigitChar:
    TokenPos = CharPos;
    return ScanNumber();
  case kOperatorChar:
    TokenPos = CharPos;
    return ScanOperator();
  case kBlankChar:
    return SkipBlanks();
  default:
    ExpectedError(kUnknownCharacter.str() + static_cast<char>(CurChar));
  }
}

// CharPos counts the bytes read since the token began.
int64_t TokenOffset() {
  return CurCharOffset() - (static_cast<uint32_t>(CharPos) - static_cast<uint32_t>(TokenPos));
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
