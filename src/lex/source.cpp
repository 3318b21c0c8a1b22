#include "lex/source.h"

#include <algorithm>
#include <cerrno>

#include "lex/diagnostics.h"
#include "os/runtime.h"
#include "os/text.h"

std::string SourceName;
unsigned char CurChar = 0;
int32_t LineNo = 0;
int32_t CharPos = 0;

namespace {
// "Коментарий" with one "м" is the compiler's own spelling, kept as its users know it.
constexpr Cp866 kUnclosedComment(u8"Коментарий не закрыт: }");

int sourceFd = -1;
int64_t fileSize = 0;

// The file is read through this window; ReadChar is called once per byte and must not cost a
// system call each time.
constexpr int64_t kWindow = 64 * 1024;
unsigned char window[kWindow];
int64_t windowStart = 0;
int64_t windowEnd = 0;

int64_t readPos = 0; // offset of the byte the next ReadChar takes
int prevByte = -1;   // the byte at readPos - 1, or -1 before the first
int64_t breaks = 0;  // line breaks decided so far (see CountLineBreak)
bool atEnd = false;

} // namespace

namespace reader_fast {
const unsigned char *next = nullptr;
const unsigned char *limit = nullptr;
bool plain = false;
} // namespace reader_fast

namespace {
// readPos counts what ReadChar's fast path took since the last sync as well.
const unsigned char *base = nullptr; // where reader_fast::next stood at the last sync

void Sync() {
  readPos += reader_fast::next - base;
  reader_fast::next = reader_fast::limit = base = nullptr;
}

int64_t Fill(unsigned char *into, int64_t length, int64_t offset) {
  return static_cast<int64_t>(
      ReadFileAt(sourceFd, into, static_cast<size_t>(length), offset, SourceName));
}

// The next byte of the file, or -1 at its end.
int RawByte() {
  Sync();
  if (readPos >= windowStart && readPos < windowEnd) return window[readPos++ - windowStart];
  if (readPos >= fileSize) return -1;
  windowStart = readPos;
  windowEnd = readPos + Fill(window, kWindow, readPos);
  if (windowEnd == readPos) { // the file shrank while being read
    fileSize = readPos;
    return -1;
  }
  return window[readPos++ - windowStart];
}

// A line break is LF, CR LF (one break) or a CR that no LF follows; whether a CR ends a line is
// known only when the byte after it is read. So on reading each byte (or the end), the break that
// the previous byte may end is counted; LineNo is then 1 + the breaks before CurChar.
bool EndsBreak(int byte, int next) {
  return byte == '\n' || (byte == '\r' && next != '\n');
}

void CountLineBreak(int byte) {
  if (atEnd) return;
  if (EndsBreak(prevByte, byte)) LineNo = static_cast<int32_t>(1 + ++breaks);
  prevByte = byte;
  if (byte < 0) atEnd = true;
}

// Line breaks ended by the bytes at offsets from..to-1 (each judged with the byte after it).
int64_t BreaksBetween(int64_t from, int64_t to) {
  int64_t count = 0;
  unsigned char chunk[4096];
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
  windowStart = windowEnd = 0;
  readPos = 0;
  reader_fast::next = reader_fast::limit = base = nullptr;
  prevByte = -1;
  breaks = 0;
  atEnd = false;
  LineNo = 1;
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

void ReadCharSlow() {
  int byte = RawByte();
  CountLineBreak(byte);
  CurChar = byte < 0 ? 0 : static_cast<unsigned char>(byte);
  CharPos = static_cast<int32_t>(static_cast<uint32_t>(CharPos) + 1u);
  if (CurChar == '{') {
    SkipComment();
    return;
  }
  // The byte came from the window: ReadChar may go on in it by itself.
  if (byte >= 0) {
    base = reader_fast::next = window + (readPos - windowStart);
    reader_fast::limit = window + (windowEnd - windowStart);
    reader_fast::plain = !IsLineBreak(static_cast<unsigned char>(byte));
  }
}

// Nested comments are counted rather than recursed into, so that any depth of nesting is safe;
// every byte still passes the line counter exactly once.
void SkipComment() {
  int64_t depth = 1;
  while (depth > 0) {
    int byte = RawByte();
    CountLineBreak(byte);
    CharPos = static_cast<int32_t>(static_cast<uint32_t>(CharPos) + 1u);
    if (byte < 0) {
      CurChar = 0;
      ExpectedError(kUnclosedComment.str());
    }
    if (byte == '{') ++depth;
    if (byte == '}') --depth;
  }
  CurChar = '}';
  ReadChar();
}

void SeekSource(int64_t offset) {
  Sync();
  int64_t target = std::clamp<int64_t>(offset, 0, fileSize);
  // The current character's offset: the counters describe everything before it.
  int64_t current = atEnd ? fileSize : readPos - 1;
  // Wanted: the breaks ended before target - 1, with the byte at target - 1 as prevByte, so that
  // reading the byte at target counts the break that byte may end.
  int64_t before = std::max<int64_t>(target - 1, 0);
  if (current < 0) {
    breaks = BreaksBetween(0, before);
  } else if (before <= current) {
    // Breaks known now: those ended by bytes before `current`.
    breaks -= BreaksBetween(before, current);
  } else {
    breaks += BreaksBetween(current, before);
  }
  if (target == 0) {
    prevByte = -1;
  } else {
    unsigned char byte;
    if (Fill(&byte, 1, target - 1) != 1) IoError(EIO, SourceName);
    prevByte = byte;
  }
  readPos = target;
  atEnd = false;
  LineNo = static_cast<int32_t>(1 + breaks);
}
