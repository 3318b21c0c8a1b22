// The intermediate file "out.asm" and its line layout, the numbered jump labels, and the three
// jump templates placed around them. Every text line gets one space in front; labels get none.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

extern int32_t LabelCount;

void OpenOutput();
void CloseOutput();
bool OutputIsOpen();

// The write buffer of "out.asm". Every line of the output passes through here in small pieces, so
// the common case, a piece that fits, is inlined at each caller.
namespace output_buffer {
constexpr size_t kSize = 256 * 1024;
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
// A string literal's length is known here, which spares the search for its end.
template <size_t N> void PutText(const char (&literal)[N]) {
  PutText(std::string_view(literal, N - 1));
}

void EmitText(std::string_view text);
// One space, the text (given in pieces, which are written one after the other), CR LF.
template <typename... Pieces> void EmitLine(const Pieces &...pieces) {
  PutText(" ");
  (PutText(pieces), ...);
  PutText("\r\n");
}
void EmitLabel(std::string_view label);
// A line with no space in front (the data header).
void EmitHeaderLine(std::string_view text);

std::string NewLabel();
std::string IntText(int64_t value);

void EmitJump(std::string_view label);
void EmitJumpIfNotOne(std::string_view label);
void EmitJumpIfZero(std::string_view label);
