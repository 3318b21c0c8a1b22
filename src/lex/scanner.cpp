#include "lex/scanner.h"

#include <iterator>

#include "lex/cp866.h"
#include "lex/source.h"
#include "sin/diagnostics.h"

std::string TokenText;
int32_t TokenCode = 0;
int32_t TokenHash = 0;

namespace {
constexpr Cp866 kUnknownCharacter(u8"Неизвестный символ:");

constexpr std::string_view KeywordTable[] = {
    "PROGRAM", "VAR",   "IF", "THEN", "ELSE", "BEGIN",  "INTEGER", "END", "READ", "WRITE",
    "STRING",  "WHILE", "DO", "FOR",  "TO",   "REPEAT", "UNTIL",   "AND", "OR",   "NOT"};

constexpr std::string_view OperatorTable[] = {"+", "-",  "*", "/", "=", "<",  ">",  ",",  ";",
                                              ":", ":=", "(", ")", "'", "<=", ">=", "<>", "."};

char Upper(unsigned char c) {
  return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
}

// Matching from the last entry back to the first, as the tables are searched.
// The tables hold no text twice, so the entry found does not depend on the order of the search;
// each search looks only at the entries of the text's length.
template <size_t N> struct ByLength {
  int entries[kMaxTokenText + 1][N] = {};
  int count[kMaxTokenText + 1] = {};
  constexpr ByLength(const std::string_view (&table)[N]) {
    for (size_t i = N; i > 0; --i) {
      size_t length = table[i - 1].size();
      entries[length][count[length]++] = static_cast<int>(i);
    }
  }
};

template <size_t N>
int FindIn(const std::string_view (&table)[N], const ByLength<N> &index, std::string_view text) {
  if (text.size() > kMaxTokenText) return 0;
  for (int k = 0; k < index.count[text.size()]; ++k) {
    int entry = index.entries[text.size()][k];
    if (SameText(table[entry - 1], text)) return entry;
  }
  return 0;
}

constexpr ByLength<std::size(KeywordTable)> KeywordsByLength(KeywordTable);
constexpr ByLength<std::size(OperatorTable)> OperatorsByLength(OperatorTable);
} // namespace

bool IsLetter(unsigned char c) {
  char u = Upper(c);
  return u >= 'A' && u <= 'Z';
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsLetterOrDigit(unsigned char c) {
  return IsLetter(c) || IsDigit(c);
}
bool IsOperatorChar(unsigned char c) {
  return (c >= 39 && c <= 47) || (c >= 58 && c <= 62);
}

int FindKeyword(std::string_view text) {
  return FindIn(KeywordTable, KeywordsByLength, text);
}
int FindOperator(std::string_view text) {
  return FindIn(OperatorTable, OperatorsByLength, text);
}

void ComputeTokenHash() {
  int32_t sum = 0;
  for (unsigned char c : TokenText)
    if (IsLetterOrDigit(c)) sum += static_cast<unsigned char>(Upper(c));
  TokenHash = sum % 211;
}

// A blank, a line break or a comment in front of a token is only skipped: no token is produced and
// the caller sees the previous token again.
void NextToken() {
  if (IsBlank(CurChar)) {
    SkipBlanks();
  } else if (IsLetter(CurChar)) {
    ScanIdentifier();
  } else if (IsDigit(CurChar)) {
    ScanNumber();
  } else if (IsOperatorChar(CurChar)) {
    ScanOperator();
  } else if (IsLineBreak(CurChar)) {
    SkipBlanks();
  } else if (CurChar == '{') {
    SkipComment();
  } else {
    ExpectedError(kUnknownCharacter.str() + static_cast<char>(CurChar));
  }
}

void ScanIdentifier() {
  char text[kMaxTokenText];
  size_t length = 0;
  while (IsLetterOrDigit(CurChar)) {
    if (length < kMaxTokenText) text[length++] = Upper(CurChar);
    ReadChar();
  }
  TokenText.assign(text, length);
  TokenCode = FindKeyword(TokenText) + 2;
  if (TokenCode == kIdentifier) ComputeTokenHash();
  SkipBlanks();
}

void ScanNumber() {
  char text[kMaxTokenText];
  size_t length = 0;
  while (IsDigit(CurChar)) {
    if (length < kMaxTokenText) text[length++] = static_cast<char>(CurChar);
    ReadChar();
  }
  TokenText.assign(text, length);
  TokenCode = kNumber;
  SkipBlanks();
}

// After ":", "<" and ">" any operator character is taken as the second character of the token,
// so ":(" or ">-" make one token that no parser accepts.
void ScanOperator() {
  TokenText.assign(1, static_cast<char>(CurChar));
  if (CurChar == ':' || CurChar == '<' || CurChar == '>') {
    ReadChar();
    if (IsOperatorChar(CurChar)) {
      TokenText += static_cast<char>(CurChar);
      ReadChar();
    }
  } else {
    ReadChar();
  }
  TokenCode = FindOperator(TokenText) + 30;
  SkipBlanks();
}
