// The intermediate file "out.asm": EmitLine writes a line of text with one space in front,
// EmitLabel a label with none; NewLabel gives the next numbered jump label, and the three jump
// templates are placed around them. Lines are gathered in a buffer that is written when full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

extern int32_t LabelCount;

void OpenOutput();
void CloseOutput();
// The lines written so far. They are counted only once CountOutputLines has been called, from the
// buffer before each write of it and when asked: a run with no use for them pays nothing.
void CountOutputLines();
int64_t OutputLines();

// The write buffer of "out.asm": a piece that fits is copied in place, where the copy of a
// constant text is a few moves; PutLong writes the full buffer out on the way.
namespace output_buffer {
constexpr size_t kSize = 1 << 20;
extern char bytes[kSize];
extern size_t used;
void PutLong(std::string_view text);
} // namespace output_buffer

// Bytes into "out.asm" as they are.
inline void PutText(std::string_view text) {
  using namespace output_buffer;
  if (text.size() > kSize - used) return PutLong(text);
  std::memcpy(bytes + used, text.data(), text.size());
  used += text.size();
}
// A literal's length is known here, which spares the search for its end.
template <size_t N> void PutText(const char (&literal)[N]) {
  PutText(std::string_view(literal, N - 1));
}

// One space, the pieces one after the other, CR LF.
template <typename... Pieces> void EmitLine(const Pieces &...pieces) {
  PutText(" ");
  (PutText(pieces), ...);
  PutText("\r\n");
}

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
template <size_t N> void EmitLines(const LineBlock<N> &block) {
  PutText(std::string_view(block.bytes, N));
}

void EmitLabel(std::string_view label);
// A line with no space in front (the data header).
void EmitHeaderLine(std::string_view text);

std::string NewLabel();

void EmitJump(std::string_view label);
void EmitJumpIfNotOne(std::string_view label);
void EmitJumpIfZero(std::string_view label);
