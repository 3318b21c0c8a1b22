// The intermediate file "out.asm" and its line layout, the numbered jump labels, and the three
// jump templates placed around them. Every text line gets one space in front; labels get none.
//
// The output is about 13 bytes per source byte, so putting text into the buffer must cost little
// more than the copy: a fixed group of lines is laid out at compile time as one constant block
// (Lines) and copied with one test for room, a line with a name or a number put in is copied in a
// few pieces of known or short length, and the buffer is large, so the file is written in few
// calls.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "os/inlining.h"
#include "os/text.h"

extern int32_t LabelCount;

void OpenOutput();
void CloseOutput();

// The write buffer of "out.asm". Every line of the output passes through here in small pieces, so
// the common case, a piece that fits, is inlined at each caller.
namespace output_buffer {
// A megabyte: the file is written in few calls. kSlack bytes past kSize take the fixed-size copies
// of a line that fits: they may write beyond its end, never beyond the slack. `bytes` is one of two
// such buffers, filled while the other is written.
constexpr size_t kSize = 1 << 20;
constexpr size_t kSlack = sizeof NumberText::bytes;
extern char *bytes;
extern size_t used;
void PutLong(std::string_view text);

// Copies a short piece with fixed-size moves, which the compiler inlines, instead of a call.
IN_LINE char *CopySmall(char *to, const char *from, size_t n) {
  if (n >= 8) {
    if (n <= 16) {
      std::memcpy(to, from, 8);
      std::memcpy(to + n - 8, from + n - 8, 8);
      return to + n;
    }
    std::memcpy(to, from, n);
    return to + n;
  }
  if (n >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 4, from + n - 4, 4);
    return to + n;
  }
  // One to three bytes: the first, the middle and the last cover them all.
  if (n > 0) {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
  return to + n;
}
IN_LINE char *Copy(char *to, std::string_view text) {
  return CopySmall(to, text.data(), text.size());
}
inline char *Copy(char *to, const NumberText &number) {
  std::memcpy(to, number.bytes, sizeof number.bytes);
  return to + number.size;
}
template <size_t N> char *Copy(char *to, const char (&literal)[N]) {
  std::memcpy(to, literal, N - 1);
  return to + N - 1;
}
inline size_t SizeOf(std::string_view text) {
  return text.size();
}
inline size_t SizeOf(const NumberText &number) {
  return number.size;
}
template <size_t N> constexpr size_t SizeOf(const char (&)[N]) {
  return N - 1;
}
} // namespace output_buffer

// Lines laid out as EmitLine writes them, made at compile time: Lines("a", "b") is " a\r\n b\r\n".
template <size_t N> struct LineBlock { char bytes[N]; };
template <size_t... N> consteval auto Lines(const char (&...lines)[N]) {
  LineBlock<((N - 1 + 3) + ...)> block{};
  size_t at = 0;
  auto add = [&](const char *line, size_t size) {
    block.bytes[at++] = ' ';
    for (size_t i = 0; i < size; ++i) block.bytes[at++] = line[i];
    block.bytes[at++] = '\r';
    block.bytes[at++] = '\n';
  };
  (add(lines, N - 1), ...);
  return block;
}

// Bytes into "out.asm" as they are.
inline void PutText(std::string_view text) {
  using namespace output_buffer;
  if (text.size() > kSize - used) return PutLong(text);
  Copy(bytes + used, text);
  used += text.size();
}
inline void PutText(const NumberText &number) {
  PutText(std::string_view(number.bytes, number.size));
}
// A string literal's length is known here, which spares the search for its end.
template <size_t N> void PutText(const char (&literal)[N]) {
  PutText(std::string_view(literal, N - 1));
}

// A block of lines: its size is a constant, so the copy is a few moves.
template <size_t N> void EmitLines(const LineBlock<N> &block) {
  using namespace output_buffer;
  if (N > kSize - used) return PutLong(std::string_view(block.bytes, N));
  std::memcpy(bytes + used, block.bytes, N);
  used += N;
}

// One space, the text (given in pieces, which are written one after the other), CR LF: one test
// for room in the buffer, then the pieces.
template <typename... Pieces> void EmitLine(const Pieces &...pieces) {
  using namespace output_buffer;
  size_t total = 3 + (SizeOf(pieces) + ... + 0);
  if (total <= kSize - used) {
    // Held apart from `bytes`, which the copies might change as far as the compiler knows.
    char *start = bytes;
    char *to = start + used;
    *to++ = ' ';
    ((to = Copy(to, pieces)), ...);
    to[0] = '\r';
    to[1] = '\n';
    used = static_cast<size_t>(to + 2 - start);
    return;
  }
  PutText(" ");
  (PutText(pieces), ...);
  PutText("\r\n");
}
void EmitLabel(std::string_view label);
// A line with no space in front (the data header).
void EmitHeaderLine(std::string_view text);

std::string NewLabel();

void EmitJump(std::string_view label);
void EmitJumpIfNotOne(std::string_view label);
void EmitJumpIfZero(std::string_view label);
