#include "lex/scanner.h"

#include <array>
#include <bit>
#include <cstring>
#include <iterator>

#include "lex/diagnostics.h"
#include "lex/source.h"
#include "os/inlining.h"
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

// The code of an operator's text: 31 on in the table's order, 30 for a text that is no operator.
constexpr int32_t OperatorCode(std::string_view text) {
  for (size_t i = 0; i < std::size(OperatorTable); ++i)
    if (OperatorTable[i] == text) return static_cast<int32_t>(30 + i + 1);
  return 30;
}

// The operators coded ahead, so that a token needs no search: the code of each operator character
// alone, and for ":", "<" and ">", which may start a pair, a row of the codes of the pairs.
constexpr std::array<int32_t, 256> kOneCharOperator = [] {
  std::array<int32_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    char one[] = {static_cast<char>(c)};
    if (IsOperatorChar(static_cast<unsigned char>(c))) table[c] = OperatorCode({one, 1});
  }
  return table;
}();
constexpr std::array<uint8_t, 256> kPairRow = [] {
  std::array<uint8_t, 256> rows{};
  rows[':'] = 1;
  rows['<'] = 2;
  rows['>'] = 3;
  return rows;
}();
constexpr auto kPairCode = [] {
  std::array<std::array<uint8_t, 256>, 4> codes{};
  for (int first = 0; first < 256; ++first) {
    if (kPairRow[first] == 0) continue;
    for (int second = 0; second < 256; ++second) {
      char pair[] = {static_cast<char>(first), static_cast<char>(second)};
      codes[kPairRow[first]][second] = static_cast<uint8_t>(OperatorCode({pair, 2}));
    }
  }
  return codes;
}();
} // namespace

bool IsDigit(unsigned char c) {
  return kDigitByte[c];
}

namespace {
// The keyword whose text is packed, with its length (below eight), or 0.
int KeywordOf(uint64_t packed, size_t length) {
  const uint8_t(&pair)[2] = kKeywords.candidates[length][packed & 0xFF];
  return (packed == kKeywords.packed[pair[0]] ? pair[0] : 0) +
         (packed == kKeywords.packed[pair[1]] ? pair[1] : 0);
}
} // namespace

int FindKeyword(const TokenChars &text) {
  return text.length < kBlock ? KeywordOf(Load(text.bytes), text.length) : 0;
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

// The paths a token seldom takes are kept out of line, so that the common path, inlined into
// NextToken, needs few registers to save and restore. EndTokenAt, which ends every token, is
// inlined into each of them.

OUT_OF_LINE void ReadOnFrom(const unsigned char *p) {
  reader_fast::TakeUpTo(p);
  ReadChar();
  SkipBlanks();
}

// Ends a token whose last byte is the one before p in the window: reads the byte at p and skips
// the blanks from there, as ReadChar and SkipBlanks would. One blank or none follows most tokens,
// a line's end only every few: one blank is taken without a branch, more in a loop. The sentinel
// at the limit stops the loop and sends the window's end, like a comment, to the reader.
IN_LINE void EndTokenAt(const unsigned char *p) {
  p += kBlankByte[*p];
  while (kBlankByte[*p]) ++p;
  if (*p == '{') return ReadOnFrom(p);
  CurChar = *p;
  reader_fast::TakeUpTo(p + 1);
}

// The bytes of a word in one register are classed together, without a branch per byte: each
// test leaves the high bit of every byte that passes it. A byte of 0x80 or more is of no class.
constexpr uint64_t kOnes = 0x0101010101010101;
constexpr uint64_t kHighBits = 0x8080808080808080;
// For bytes below 0x80: adding 0x80 - lo sets the high bit from lo on, adding 0x7F - hi from
// past hi on, and neither carries into the next byte.
constexpr uint64_t InRange(uint64_t low7, uint8_t lo, uint8_t hi) {
  return (low7 + kOnes * (0x80 - lo)) & ~(low7 + kOnes * (0x7F - hi)) & kHighBits;
}
constexpr uint64_t DigitBytes(uint64_t word) {
  return InRange(word & ~kHighBits, '0', '9') & ~word;
}
// Setting 0x20 makes every capital small and moves no other byte below 0x80 into a to z.
constexpr uint64_t WordBytes(uint64_t word) {
  uint64_t low7 = word & ~kHighBits;
  return (InRange(low7 | kOnes * 0x20, 'a', 'z') | InRange(low7, '0', '9')) & ~word;
}
static_assert([] {
  for (int c = 0; c < 256; ++c) {
    uint64_t word = uint64_t(c) << 24 | 0x7E;
    if ((DigitBytes(word) != 0) != (AsciiDigit(c) != 0) || (DigitBytes(word) & ~(0x80ull << 24)))
      return false;
    if ((WordBytes(word) != 0) != (AsciiLetter(c) || AsciiDigit(c)) ||
        (WordBytes(word) & ~(0x80ull << 24)))
      return false;
  }
  return true;
}());

// How many bytes lead the word, each marked in `members`: 0 to 8.
size_t LeadingRun(uint64_t members) {
  return static_cast<size_t>(std::countr_zero(~members & kHighBits)) / 8;
}

// A word or a number of at most seven bytes is taken from the window in one step: CurChar, a byte
// of the window whenever it starts a word or a number, is the byte before next, so the eight bytes
// from it on are loaded as one word, and the token ends before a byte that is no "{" (which is also
// the sentinel at the window's limit). Gives the token as a word, zero past it (upper-cased if
// `upper`), with its length; or false when the token must be read byte by byte. The caller stores
// the token, then ends it (EndTokenAt): reading on is the last step, so that nothing of the token
// waits in a register while the reader may be called.
template <uint64_t Class(uint64_t)>
bool TakeShortToken(bool upper, uint64_t &packed, size_t &length) {
  uint64_t bytes = Load(reader_fast::next - 1);
  length = LeadingRun(Class(bytes));
  if (length == kBlock || static_cast<unsigned char>(bytes >> (8 * length)) == '{') return false;
  packed = bytes & ((uint64_t{1} << (8 * length)) - 1);
  // Of a letter or a digit, only a small letter has both 0x40 and 0x20 set: clearing 0x20 where
  // 0x40 is set upper-cases the letters and keeps the digits.
  if (upper) packed &= ~((packed & 0x4040404040404040) >> 1);
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
    const unsigned char *p = next;
    while (table[*p]) take(*p++); // the sentinel ends the run at the limit
    reader_fast::TakeUpTo(p);
    ReadChar();
  }
  SkipBlanks();
}

[[noreturn]] OUT_OF_LINE void UnknownCharacter() {
  ExpectedError(kUnknownCharacter.str() + static_cast<char>(CurChar));
}
} // namespace

// A blank, a line break or a comment in front of a token is only skipped: no token is produced and
// the caller sees the previous token again.
void NextToken() {
  Start start = kStartOf[CurChar];
  if (start == kOperatorStart) return ScanOperator();
  if (start == kWordStart) return ScanIdentifier();
  if (start == kNumberStart) return ScanNumber();
  if (start == kBlankStart) return SkipBlanks();
  if (start == kCommentStart) return SkipComment();
  UnknownCharacter();
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

// A long token's text is built in a local copy: stores into the global would have to be reloaded
// after each byte, as a char may alias anything.
OUT_OF_LINE void ScanLongIdentifier() {
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

OUT_OF_LINE void ScanLongNumber() {
  TokenChars text;
  TakeLongToken(kDigitByte, [&](unsigned char c) {
    if (text.length < kMaxTokenText) text.bytes[text.length++] = static_cast<char>(c);
  });
  TokenText = text;
  TokenCode = kNumber;
}

// The token of an operator, with the operator character after it when `pair`: coded from the
// tables, whichever way the second character was read.
void SetOperator(unsigned char first, unsigned char second, bool pair) {
  TokenCode = pair ? kPairCode[kPairRow[first]][second] : kOneCharOperator[first];
  SetTokenText(first | uint64_t{pair ? second : 0u} << 8, pair ? 2 : 1);
}

// An operator that may start a pair, whose next byte starts a comment or lies beyond the window.
OUT_OF_LINE void ScanOperatorThroughReader() {
  unsigned char first = CurChar;
  ReadChar();
  bool pair = IsOperatorChar(CurChar);
  SetOperator(first, CurChar, pair);
  if (pair) ReadChar();
  SkipBlanks();
}
} // namespace

void ScanIdentifier() {
  uint64_t packed;
  size_t length;
  if (!TakeShortToken<WordBytes>(true, packed, length)) return ScanLongIdentifier();
  SetTokenText(packed, length);
  TokenCode = KeywordOf(packed, length) + 2;
  uint32_t sum = ByteSum(packed); // the bytes upper-cased: the hash of an identifier
  TokenHash = TokenCode == kIdentifier ? static_cast<int32_t>(sum % 211) : TokenHash;
  EndTokenAt(reader_fast::next - 1 + length);
}

void ScanNumber() {
  uint64_t packed;
  size_t length;
  if (!TakeShortToken<DigitBytes>(false, packed, length)) return ScanLongNumber();
  SetTokenText(packed, length);
  TokenCode = kNumber;
  EndTokenAt(reader_fast::next - 1 + length);
}

// After ":", "<" and ">" any operator character is taken as the second character of the token,
// so ":(" or ">-" make one token that no parser accepts. An operator whose next byte is in the
// window and no "{" is coded from tables without a call to the reader.
void ScanOperator() {
  unsigned char first = CurChar;
  const unsigned char *p = reader_fast::next;
  if (kPairRow[first] == 0) {
    TokenCode = kOneCharOperator[first];
    SetTokenText(first, 1);
    EndTokenAt(p);
    return;
  }
  unsigned char second = *p;
  if (second == '{') return ScanOperatorThroughReader();
  bool pair = IsOperatorChar(second);
  SetOperator(first, second, pair);
  EndTokenAt(p + pair);
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
