#include "lex/source.h"

#include <algorithm>

#include "lex/diagnostics.h"
#include "os/runtime.h"
#include "os/text.h"

std::string SourceName;
unsigned char CurChar = 0;

constexpr std::array<CharClass, 256> kClassOf = [] {
  std::array<CharClass, 256> of{};
  for (int c = 0; c < 256; ++c) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
      of[c] = kBlankChar;
    else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
      of[c] = kLetterChar;
    else if (c >= '0' && c <= '9')
      of[c] = kDigitChar;
    else if ((c >= '\'' && c <= '/') || (c >= ':' && c <= '>'))
      of[c] = kOperatorChar;
  }
  return of;
}();

namespace {
// "Коментарий" with one "м" is the compiler's own spelling, kept as its users know it.
constexpr Cp866 kUnclosedComment(u8"Коментарий не закрыт: }");

int sourceFd = -1;
int64_t fileSize = 0;

constexpr int64_t kWindow = 64 * 1024;
unsigned char window[kWindow + 1] = {'{'}; // empty: the sentinel alone
int64_t windowStart = 0;                   // the offset of window[0] in the file
bool atEnd = false;

// The last line count: the line breaks ended by the bytes before countedTo.
int64_t countedTo = 0;
int64_t countedBreaks = 0;
} // namespace

const unsigned char *WindowNext = window;

namespace {
const unsigned char *windowLimit = window;

// ReadChar calls that met the end of the source, which move no offset.
int64_t readsPastEnd = 0;
// NextOffset() + readsPastEnd where CharPos was 0.
int64_t charPosBase = 0;

int64_t Fill(unsigned char *into, int64_t length, int64_t offset) {
  return static_cast<int64_t>(
      ReadFileAt(sourceFd, into, static_cast<size_t>(length), offset, SourceName));
}

// The window ends at `end`, where the sentinel is put.
void SetLimit(unsigned char *end) {
  *end = '{';
  windowLimit = end;
}

// The offset of the byte the next ReadChar takes.
int64_t NextOffset() {
  return windowStart + (WindowNext - window);
}

// The next byte of the file, or -1 at its end.
int RawByte() {
  if (WindowNext == windowLimit) {
    int64_t offset = NextOffset();
    if (offset >= fileSize) return -1;
    int64_t got = Fill(window, kWindow, offset);
    windowStart = offset;
    WindowNext = window;
    SetLimit(window + got);
    if (got == 0) { // the file shrank while being read
      fileSize = offset;
      return -1;
    }
  }
  return *WindowNext++;
}

// Whether the byte ends a line; `after` is the byte that follows it, -1 at the end of the file.
bool EndsBreak(int byte, int after) {
  return byte == '\n' || (byte == '\r' && after != '\n');
}

// Line breaks ended by the bytes at offsets from..to-1, each judged with the byte after it. Read
// apart from the window, which stays as the scanner left it.
int64_t BreaksBetween(int64_t from, int64_t to) {
  int64_t count = 0;
  static unsigned char chunk[kWindow];
  int previous = -1;
  for (int64_t at = from; at < to + 1 && at < fileSize;) {
    int64_t n = Fill(chunk, std::min<int64_t>(sizeof chunk, std::min(to + 1, fileSize) - at), at);
    if (n == 0) break;
    for (int64_t i = 0; i < n; ++i) {
      if (at + i > from && EndsBreak(previous, chunk[i])) ++count;
      previous = chunk[i];
    }
    at += n;
  }
  if (to >= fileSize && to > from && EndsBreak(previous, -1))
    ++count; // the last byte, before the end
  return count;
}
} // namespace

void OpenSource() {
  if (SourceName.empty()) NoSourceNamed();
  sourceFd = OpenSourceFile(SourceName.c_str(), fileSize);
  CloseAtFatalEnd(CloseSource);
  windowStart = 0;
  WindowNext = window;
  SetLimit(window);
  atEnd = false;
  countedTo = countedBreaks = 0;
}

void CloseSource() {
  NoLongerOpen(CloseSource);
  int fd = sourceFd;
  sourceFd = -1;
  CloseFile(fd, SourceName);
}

bool SourceIsOpen() {
  return sourceFd >= 0;
}
bool AtEndOfSource() {
  return atEnd;
}
int32_t CharPos() {
  return static_cast<int32_t>(static_cast<uint32_t>(NextOffset() + readsPastEnd - charPosBase));
}
void SetCharPos(int32_t value) {
  charPosBase = NextOffset() + readsPastEnd - value;
}
int64_t CurCharOffset() {
  return atEnd ? fileSize : NextOffset() - 1;
}

// Nothing is counted while reading: a message that needs the line counts the line breaks before
// CurChar then, on from where the last such count stopped. At the end, those of the whole file,
// the last byte included.
int32_t LineNumber() {
  int64_t current = atEnd ? fileSize : std::max<int64_t>(NextOffset() - 1, 0);
  if (current >= countedTo) {
    countedBreaks += BreaksBetween(countedTo, current);
  } else {
    countedBreaks -= BreaksBetween(current, countedTo);
  }
  countedTo = current;
  return static_cast<int32_t>(1 + countedBreaks);
}

namespace {
// Entered after a "{": skips the comment with all comments nested in it, up to its "}". Nested
// comments are counted rather than recursed into, so that any depth of nesting is safe.
void SkipComment() {
  int64_t depth = 1;
  while (depth > 0) {
    int byte = RawByte();
    if (byte < 0) {
      atEnd = true;
      CurChar = 0;
      ExpectedError(kUnclosedComment.str());
    }
    if (byte == '{') ++depth;
    if (byte == '}') --depth;
  }
}
} // namespace

// A "{" is a comment or the window's end. A run of comments is skipped in a loop, not by one call
// per comment, so that no number of comments in a row can exhaust the stack.
void ReadCharSlow() {
  int byte = RawByte();
  while (byte == '{') {
    SkipComment();
    byte = RawByte();
  }
  if (byte < 0) {
    atEnd = true;
    ++readsPastEnd;
  }
  CurChar = byte < 0 ? 0 : static_cast<unsigned char>(byte);
}

void SkipBlanks() {
  while (kClassOf[CurChar] == kBlankChar) ReadChar();
}

void SeekSource(int64_t offset) {
  int64_t target = std::clamp<int64_t>(offset, 0, fileSize);
  int64_t held = windowLimit - window;
  atEnd = false;
  if (target >= windowStart && target <= windowStart + held) {
    WindowNext = window + (target - windowStart);
    return;
  }
  windowStart = target;
  WindowNext = window;
  SetLimit(window);
}
