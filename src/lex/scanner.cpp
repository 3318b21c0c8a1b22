#include "lex/scanner.h"

#include <array>
#include <bit>
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
constexpr auto kBlankByte =
    ByteClass([](int c) { return IsBlankOrBreak(static_cast<unsigned char>(c)); });

char Upper(unsigned char c) {
  return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
}

// Eight bytes as one word, the first in the lowest byte, as a load from memory gives them here.
static_assert(std::endian::native == std::endian::little);
constexpr uint64_t kBlock = 8;
constexpr uint64_t Packed(std::string_view text) {
  uint64_t word = 0;
  for (size_t i = 0; i < text.size() && i < kBlock; ++i)
    word |= uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
  return word;
}
uint64_t Load(const void *at) {
  uint64_t word;
  std::memcpy(&word, at, kBlock);
  return word;
}

// Keywords are found by their length and initial, which leave at most two candidates (WHILE and
// WRITE share both); each is compared with the token as one 8-byte word, its bytes after the text
// being zero. Entry 0 is the empty text, which no token is.
struct KeywordIndex {
  uint64_t packed[std::size(KeywordTable) + 1] = {};
  uint8_t candidates[kBlock][256][2] = {};
  constexpr KeywordIndex() {
    for (size_t i = 0; i < std::size(KeywordTable); ++i) {
      std::string_view keyword = KeywordTable[i];
      packed[i + 1] = Packed(keyword);
      uint8_t(&slot)[2] = candidates[keyword.size()][static_cast<unsigned char>(keyword[0])];
      slot[slot[0] == 0 ? 0 : 1] = static_cast<uint8_t>(i + 1);
    }
  }
};
constexpr KeywordIndex kKeywords;
static_assert([] {
  int shared = 0;
  for (std::string_view keyword : KeywordTable) {
    if (keyword.size() >= kBlock) return false;
    shared += kKeywords.candidates[keyword.size()][static_cast<unsigned char>(keyword[0])][1] != 0;
  }
  return shared == 2; // no length and initial has a third keyword
}());

constexpr std::array<uint64_t, std::size(OperatorTable)> kOperatorWords = [] {
  std::array<uint64_t, std::size(OperatorTable)> words{};
  for (size_t i = 0; i < words.size(); ++i) words[i] = Packed(OperatorTable[i]);
  return words;
}();

// The code of an operator of one character, each of which is in the table.
constexpr std::array<int32_t, 256> kOneCharOperator = [] {
  std::array<int32_t, 256> table{};
  for (size_t i = 0; i < std::size(OperatorTable); ++i)
    if (OperatorTable[i].size() == 1)
      table[static_cast<unsigned char>(OperatorTable[i][0])] = static_cast<int32_t>(30 + i + 1);
  return table;
}();
} // namespace

bool IsDigit(unsigned char c) {
  return kDigitByte[c];
}

namespace {
// The keyword whose text is packed, with its length, or 0.
int KeywordOf(uint64_t packed, size_t length) {
  if (length >= kBlock) return 0;
  const uint8_t(&pair)[2] = kKeywords.candidates[length][packed & 0xFF];
  return (packed == kKeywords.packed[pair[0]] ? pair[0] : 0) +
         (packed == kKeywords.packed[pair[1]] ? pair[1] : 0);
}
} // namespace

int FindKeyword(const TokenChars &text) {
  return KeywordOf(Load(text.bytes), text.length);
}

// Operators are compared as packed words, which spares a call to compare bytes per entry.
int FindOperator(std::string_view text) {
  if (text.size() > kBlock) return 0;
  uint64_t packed = Packed(text);
  for (size_t i = 0; i < std::size(OperatorTable); ++i)
    if (kOperatorWords[i] == packed && OperatorTable[i].size() == text.size())
      return static_cast<int>(i + 1);
  return 0;
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
    if (kBlankByte[c])
      table[c] = kBlankStart;
    else if (AsciiLetter(c))
      table[c] = kWordStart;
    else if (AsciiDigit(c))
      table[c] = kNumberStart;
    else if (IsOperatorChar(static_cast<unsigned char>(c)))
      table[c] = kOperatorStart;
    else if (c == '{')
      table[c] = kCommentStart;
  }
  return table;
}();

// Ends a token whose last byte is the one before p in the window: reads the byte at p and skips
// the blanks from there, as ReadChar and SkipBlanks would. One blank or none follows most tokens,
// a line's end only every few: one blank is taken without a branch, more in a loop.
void EndTokenAt(const unsigned char *p) {
  using namespace reader_fast;
  const unsigned char *end = limit;
  p += (p < end) & kBlankByte[*p];
  while (p < end && kBlankByte[*p]) ++p;
  if (p < end && *p != '{') {
    CurChar = *p;
    reader_fast::TakeUpTo(p + 1);
    return;
  }
  reader_fast::TakeUpTo(p);
  ReadChar();
  SkipBlanks();
}

// How many of the bytes from p on, at most seven, belong to the class, found without a branch per
// byte. The count says nothing past limit.
size_t ShortRun(const std::array<bool, 256> &table, const unsigned char *p) {
  size_t length = 0;
  bool inRun = true;
  for (size_t i = 0; i < kBlock - 1; ++i) {
    inRun &= table[p[i]];
    length += inRun;
  }
  return length;
}

// The bytes of a word or a number are taken from the window in one step when the token, CurChar
// and at most seven bytes after it, ends inside the window and not at a comment. Returns the bytes
// after CurChar as a word, zero past the token (upper-cased if `upper`), with their count; or false
// when the token must be read byte by byte.
bool TakeShortToken(const std::array<bool, 256> &table, bool upper, uint64_t &word,
                    size_t &length) {
  using namespace reader_fast;
  const unsigned char *p = next;
  length = ShortRun(table, p);
  if (length == kBlock - 1 || length >= static_cast<size_t>(limit - p) || p[length] == '{')
    return false;
  word = Load(p) & ((uint64_t{1} << (8 * length)) - 1);
  // Of a letter or a digit, only a small letter has both 0x40 and 0x20 set: clearing 0x20 where
  // 0x40 is set upper-cases the letters and keeps the digits.
  if (upper) word &= ~((word & 0x4040404040404040) >> 1);
  EndTokenAt(p + length);
  return true;
}

// The sum of the eight bytes of a word.
uint32_t ByteSum(uint64_t word) {
  constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FF;
  uint64_t pairs = (word & kEvenBytes) + ((word >> 8) & kEvenBytes);
  return static_cast<uint32_t>((pairs * 0x0001000100010001) >> 48);
}

// A word or a number read byte by byte: CurChar and the bytes of its class after it, across the
// end of a window and through comments, which may stand inside a token.
template <typename Take> void TakeLongToken(const std::array<bool, 256> &table, Take take) {
  using namespace reader_fast;
  while (table[CurChar]) {
    take(CurChar);
    const unsigned char *p = next, *end = limit;
    while (p < end && table[*p]) take(*p++);
    reader_fast::TakeUpTo(p);
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

namespace {
// A token of at most eight bytes is made in a register and stored as whole words: a wide load of
// bytes just stored one at a time (the keyword search, the symbol lookup) cannot be served from the
// pending stores and waits for them.
void SetTokenText(uint64_t packed, size_t length) {
  std::memcpy(TokenText.bytes, &packed, kBlock);
  std::memset(TokenText.bytes + kBlock, 0, kBlock);
  TokenText.length = length;
}
} // namespace

// A long token's text is built in a local copy: stores into the global would have to be reloaded
// after each byte, as a char may alias anything.
void ScanIdentifier() {
  uint64_t first = static_cast<unsigned char>(Upper(CurChar));
  uint64_t word;
  size_t length;
  if (TakeShortToken(kWordByte, true, word, length)) {
    uint64_t packed = first | word << 8;
    SetTokenText(packed, 1 + length);
    TokenCode = KeywordOf(packed, 1 + length) + 2;
    uint32_t sum = ByteSum(packed); // the bytes upper-cased: the hash of an identifier
    TokenHash = TokenCode == kIdentifier ? static_cast<int32_t>(sum % 211) : TokenHash;
    return;
  }
  TokenChars text;
  uint32_t sum = 0;
  TakeLongToken(kWordByte, [&](unsigned char c) {
    if (text.length < kMaxTokenText) {
      char upper = Upper(c);
      text.bytes[text.length++] = upper;
      sum += static_cast<unsigned char>(upper);
    }
  });
  TokenText = text;
  TokenCode = FindKeyword(text) + 2;
  if (TokenCode == kIdentifier) TokenHash = static_cast<int32_t>(sum % 211);
}

void ScanNumber() {
  uint64_t first = CurChar;
  uint64_t word;
  size_t length;
  if (TakeShortToken(kDigitByte, false, word, length)) {
    SetTokenText(first | word << 8, 1 + length);
    TokenCode = kNumber;
    return;
  }
  TokenChars text;
  TakeLongToken(kDigitByte, [&](unsigned char c) {
    if (text.length < kMaxTokenText) text.bytes[text.length++] = static_cast<char>(c);
  });
  TokenText = text;
  TokenCode = kNumber;
}

// After ":", "<" and ">" any operator character is taken as the second character of the token,
// so ":(" or ">-" make one token that no parser accepts.
void ScanOperator() {
  char text[2] = {static_cast<char>(CurChar), 0};
  if (CurChar == ':' || CurChar == '<' || CurChar == '>') {
    size_t length = 1;
    ReadChar();
    if (IsOperatorChar(CurChar)) {
      text[length++] = static_cast<char>(CurChar);
      ReadChar();
    }
    SkipBlanks();
    TokenCode = FindOperator(std::string_view(text, length)) + 30;
    SetTokenText(Packed(std::string_view(text, length)), length);
  } else {
    TokenCode = kOneCharOperator[CurChar];
    SetTokenText(static_cast<unsigned char>(text[0]), 1);
    EndTokenAt(reader_fast::next);
  }
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
