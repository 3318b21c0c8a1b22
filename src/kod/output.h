// The intermediate file "out.asm" and its line layout, the numbered jump labels, and the three
// jump templates placed around them. Every text line gets one space in front; labels get none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

extern int32_t LabelCount;

void OpenOutput();
void CloseOutput();
bool OutputIsOpen();

// Bytes into "out.asm" as they are.
void PutText(std::string_view bytes);

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
