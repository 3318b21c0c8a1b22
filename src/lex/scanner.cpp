#include "lex/scanner.h"

#include <array>
#include <cstring>
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

constexpr std::array<char, 256> kUpper = [] {
  std::array<char, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return table;
}();
char Upper(unsigned char c) {
  return kUpper[c];
}

// The tables hold no text twice, so a search may look at the entries in any order. Every keyword
// but WHILE and WRITE, and every operator but "<=" and "<>", is the only entry of its table with
// its length and first character: a search compares mostly one entry, and a word of a length and
// initial no keyword has, such as V1, compares none.
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

// No keyword is longer than 8 bytes: with the token's bytes zero after its text, a keyword is
// compared as one 8-byte block.
constexpr size_t kKeywordBlock = 8;
struct KeywordBlocks {
  char bytes[std::size(KeywordTable)][kKeywordBlock] = {};
  constexpr KeywordBlocks() {
    for (size_t i = 0; i < std::size(KeywordTable); ++i)
      for (size_t j = 0; j < KeywordTable[i].size(); ++j) bytes[i][j] = KeywordTable[i][j];
  }
};
constexpr KeywordBlocks kKeywordBlocks;
static_assert([] {
  for (std::string_view keyword : KeywordTable)
    if (keyword.size() >= kKeywordBlock) return false;
  return true;
}());
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

int FindKeyword(const TokenChars &text) {
  if (text.length == 0 || text.length >= kKeywordBlock) return 0;
  auto same = [&](int e) {
    return std::memcmp(kKeywordBlocks.bytes[e - 1], text.bytes, kKeywordBlock) == 0;
  };
  int e = KeywordsByLength.entry[text.length][static_cast<unsigned char>(text.bytes[0])];
  if (e > 0) return same(e) ? e : 0;
  if (e == 0) return 0;
  for (int i = static_cast<int>(std::size(KeywordTable)); i > 0; --i)
    if (same(i)) return i;
  return 0;
}
int FindOperator(std::string_view text) {
  return FindIn(OperatorTable, OperatorsByLength, text);
}

namespace {
// What a byte starts when NextToken meets it.
enum Start : uint8_t {
  kUnknownStart,
  kBlankStart,
  kWordStart,
  kNumberStart,
  kOperatorStart,
  kCommentStart
};
constexpr std::array<Start, 256> kStartOf = [] {
  std::array<Start, 256> table{};
  for (int c = 0; c < 256; ++c) {
    auto byte = static_cast<unsigned char>(c);
    if (IsBlankOrBreak(byte))
      table[c] = kBlankStart;
    else if (AsciiLetter(c))
      table[c] = kWordStart;
    else if (AsciiDigit(c))
      table[c] = kNumberStart;
    else if ((c >= 39 && c <= 47) || (c >= 58 && c <= 62))
      table[c] = kOperatorStart;
    else if (c == '{')
      table[c] = kCommentStart;
  }
  return table;
}();

// The code of an operator of one character, each of which is in the table.
constexpr std::array<int32_t, 256> kOneCharOperator = [] {
  std::array<int32_t, 256> table{};
  for (size_t i = 0; i < std::size(OperatorTable); ++i)
    if (OperatorTable[i].size() == 1)
      table[static_cast<unsigned char>(OperatorTable[i][0])] = static_cast<int32_t>(30 + i + 1);
  return table;
}();

// Advances the reader to p, a byte of the window after CurChar, as if every byte before it had been
// read with ReadChar.
void AdvanceTo(const unsigned char *p) {
  using namespace reader_fast;
  CharPos = static_cast<int32_t>(static_cast<uint32_t>(CharPos) + static_cast<uint32_t>(p - next));
  next = p;
}

// Ends a token whose last byte is the one before p in the window: reads the byte at p and skips
// the blanks from there, as ReadChar and SkipBlanks would. Mostly all of it is in the window.
void EndTokenAt(const unsigned char *p) {
  using namespace reader_fast;
  const unsigned char *end = limit;
  while (p < end && IsBlankOrBreak(*p)) ++p;
  if (p < end && *p != '{') {
    CurChar = *p;
    AdvanceTo(p + 1);
    return;
  }
  AdvanceTo(p);
  ReadChar();
  SkipBlanks();
}

// Takes, after CurChar, the bytes of the window of the class `table` as ReadChar would one by one:
// they are never "{", so only CharPos is kept; `take` sees each. Returns where the run ended.
template <typename Take>
const unsigned char *TakeRun(const std::array<bool, 256> &table, Take take) {
  using namespace reader_fast;
  const unsigned char *p = next, *end = limit;
  while (p < end && table[*p]) take(*p++);
  return p;
}

// A word or a number: CurChar and the bytes of its class after it. When the run stops at the end of
// the window or at a comment, the token may go on behind it, so it is read on with ReadChar.
template <typename Take> void TakeToken(const std::array<bool, 256> &table, Take take) {
  using namespace reader_fast;
  take(CurChar);
  const unsigned char *p = TakeRun(table, take);
  if (p < limit && *p != '{') return EndTokenAt(p);
  AdvanceTo(p);
  ReadChar();
  while (table[CurChar]) {
    take(CurChar);
    AdvanceTo(TakeRun(table, take));
    ReadChar();
  }
  SkipBlanks();
}
} // namespace

// A blank, a line break or a comment in front of a token is only skipped: no token is produced and
// the caller sees the previous token again.
void NextToken() {
  switch (kStartOf[CurChar]) {
  case kBlankStart:
    SkipBlanks();
    break;
  case kWordStart:
    ScanIdentifier();
    break;
  case kNumberStart:
    ScanNumber();
    break;
  case kOperatorStart:
    ScanOperator();
    break;
  case kCommentStart:
    SkipComment();
    break;
  case kUnknownStart:
    ExpectedError(kUnknownCharacter.str() + static_cast<char>(CurChar));
  }
}

// The text is built in a local copy: stores into the global would have to be reloaded after each
// byte, as a char may alias anything.
void ScanIdentifier() {
  TokenChars text;
  int32_t sum = 0; // of the kept bytes, upper-cased: the hash of an identifier
  TakeToken(kWordByte, [&](unsigned char c) {
    if (text.length < kMaxTokenText) {
      char upper = Upper(c);
      text.bytes[text.length++] = upper;
      sum += static_cast<unsigned char>(upper);
    }
  });
  TokenText = text;
  TokenCode = FindKeyword(text) + 2;
  if (TokenCode == kIdentifier) TokenHash = sum % 211;
}

void ScanNumber() {
  TokenChars text;
  TakeToken(kDigitByte, [&](unsigned char c) {
    if (text.length < kMaxTokenText) text.bytes[text.length++] = static_cast<char>(c);
  });
  TokenText = text;
  TokenCode = kNumber;
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
    SkipBlanks();
    TokenCode = FindOperator(text) + 30;
  } else {
    TokenCode = kOneCharOperator[CurChar];
    EndTokenAt(reader_fast::next);
  }
  TokenText = text;
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
