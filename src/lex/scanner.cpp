#include "lex/scanner.h"

#include <array>
#include <iterator>

#include "lex/diagnostics.h"
#include "lex/source.h"
#include "os/text.h"

TokenChars TokenText;
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

// Upper-casing changes only a to z, so only the 52 ASCII letters are letters.
constexpr bool AsciiLetter(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool AsciiDigit(int c) {
  return c >= '0' && c <= '9';
}

// The classes as tables, for the scanners that take a run of bytes at a time.
template <typename Class> constexpr std::array<bool, 256> ByteClass(Class member) {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = member(c);
  return table;
}
constexpr auto kDigitByte = ByteClass(AsciiDigit);
constexpr auto kWordByte = ByteClass([](int c) { return AsciiLetter(c) || AsciiDigit(c); });

// The tables hold no text twice, so a search may look at the entries in any order. Every keyword,
// and every operator but "<=" and "<>", is the only entry of its table with its length and first
// character: a search compares at most one entry, and a word of a length and initial no keyword
// has, such as V1, compares none.
template <size_t N> struct ByLengthAndFirst {
  int entry[kMaxTokenText + 1][256] = {}; // 0 none, -1 several (searched one by one)
  constexpr ByLengthAndFirst(const std::string_view (&table)[N]) {
    for (size_t i = N; i > 0; --i) {
      const std::string_view &text = table[i - 1];
      int &slot = entry[text.size()][static_cast<unsigned char>(text[0])];
      slot = slot == 0 ? static_cast<int>(i) : -1;
    }
  }
};

// The texts compared here are at most 16 bytes: a loop costs less than the library's compare.
bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

template <size_t N>
int FindIn(const std::string_view (&table)[N], const ByLengthAndFirst<N> &index,
           std::string_view text) {
  if (text.empty() || text.size() > kMaxTokenText) return 0;
  int e = index.entry[text.size()][static_cast<unsigned char>(text[0])];
  if (e > 0) return SameText(table[e - 1], text) ? e : 0;
  if (e == 0) return 0;
  for (size_t i = N; i > 0; --i)
    if (SameText(table[i - 1], text)) return static_cast<int>(i);
  return 0;
}

constexpr ByLengthAndFirst<std::size(KeywordTable)> KeywordsByLength(KeywordTable);
constexpr ByLengthAndFirst<std::size(OperatorTable)> OperatorsByLength(OperatorTable);
} // namespace

bool IsLetter(unsigned char c) {
  return AsciiLetter(c);
}
bool IsDigit(unsigned char c) {
  return kDigitByte[c];
}
bool IsLetterOrDigit(unsigned char c) {
  return kWordByte[c];
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

namespace {
// Takes, after CurChar, the bytes of the window of the class `table` as ReadChar would one by one:
// they are never "{", so only CharPos is kept; `take` sees each. The caller then reads the byte
// that ends the run with ReadChar.
template <typename Take> void TakeRun(const std::array<bool, 256> &table, Take take) {
  using namespace reader_fast;
  const unsigned char *p = next, *end = limit;
  while (p < end && table[*p]) take(*p++);
  CharPos = static_cast<int32_t>(static_cast<uint32_t>(CharPos) + static_cast<uint32_t>(p - next));
  next = p;
}
} // namespace

// The text is built in a local copy: stores into the global would have to be reloaded after each
// byte, as a char may alias anything.
void ScanIdentifier() {
  TokenChars text;
  int32_t sum = 0; // of the kept bytes, upper-cased: the hash of an identifier
  auto take = [&](unsigned char c) {
    if (text.length < kMaxTokenText) {
      char upper = Upper(c);
      text.bytes[text.length++] = upper;
      sum += static_cast<unsigned char>(upper);
    }
  };
  while (IsLetterOrDigit(CurChar)) {
    take(CurChar);
    TakeRun(kWordByte, take);
    ReadChar();
  }
  TokenText = text;
  TokenCode = FindKeyword(TokenText) + 2;
  if (TokenCode == kIdentifier) TokenHash = sum % 211;
  SkipBlanks();
}

void ScanNumber() {
  TokenChars text;
  auto take = [&](unsigned char c) {
    if (text.length < kMaxTokenText) text.bytes[text.length++] = static_cast<char>(c);
  };
  while (IsDigit(CurChar)) {
    take(CurChar);
    TakeRun(kDigitByte, take);
    ReadChar();
  }
  TokenText = text;
  TokenCode = kNumber;
  SkipBlanks();
}

// After ":", "<" and ">" any operator character is taken as the second character of the token,
// so ":(" or ">-" make one token that no parser accepts.
void ScanOperator() {
  TokenChars text;
  text.bytes[text.length++] = static_cast<char>(CurChar);
  if (CurChar == ':' || CurChar == '<' || CurChar == '>') {
    ReadChar();
    if (IsOperatorChar(CurChar)) {
      text.bytes[text.length++] = static_cast<char>(CurChar);
      ReadChar();
    }
  } else {
    ReadChar();
  }
  TokenText = text;
  TokenCode = FindOperator(TokenText) + 30;
  SkipBlanks();
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
