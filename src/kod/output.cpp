#include "kod/output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "os/runtime.h"
#include "os/text.h"

int32_t LabelCount = 0;

namespace {
constexpr const char *kOutName = "out.asm";
int outFd = -1;

bool counting = false;
int64_t linesCounted = 0; // the line ends before countedTo in the buffer, and in what was written
size_t countedTo = 0;

void Flush() {
  using namespace output_buffer;
  if (outFd < 0) IoError(EBADF, kOutName);
  if (counting) OutputLines();
  WriteFile(outFd, std::string_view(bytes, used), kOutName);
  used = 0;
  countedTo = 0;
}
} // namespace

void CountOutputLines() {
  counting = true;
}

int64_t OutputLines() {
  using namespace output_buffer;
  linesCounted += std::count(bytes + countedTo, bytes + used, '\n');
  countedTo = used;
  return linesCounted;
}

// The output is about 13 bytes per source byte: a large buffer keeps the calls that write it few.
namespace output_buffer {
char bytes[kSize];
size_t used = 0;

void PutLong(std::string_view text) {
  while (text.size() > kSize - used) {
    size_t part = kSize - used;
    std::memcpy(bytes + used, text.data(), part);
    used += part;
    text.remove_prefix(part);
    Flush();
  }
  std::memcpy(bytes + used, text.data(), text.size());
  used += text.size();
}
} // namespace output_buffer

void OpenOutput() {
  outFd = CreateForWriting(kOutName);
  CloseAtFatalEnd(CloseOutput);
  output_buffer::used = 0;
  linesCounted = 0;
  countedTo = 0;
}

void CloseOutput() {
  NoLongerOpen(CloseOutput);
  Flush();
  int fd = outFd;
  outFd = -1;
  CloseFile(fd, kOutName);
}

void EmitLabel(std::string_view label) {
  PutText(label);
  PutText(":\r\n");
}

void EmitHeaderLine(std::string_view text) {
  PutText(text);
  PutText("\r\n");
}

std::string NewLabel() {
  std::string label = "L" + IntText(LabelCount);
  ++LabelCount;
  return label;
}

void EmitJump(std::string_view label) {
  EmitLine("     jmp ", label);
}

void EmitJumpIfNotOne(std::string_view label) {
  EmitLine("     cmp     AX, 1");
  EmitLine("     jne     ", label);
}

void EmitJumpIfZero(std::string_view label) {
  EmitLine("     cmp     AX, 0");
  EmitLine("     je     ", label);
}
