// The fuzz target of the assembler and the machine: the input is an out1.asm, then a NUL byte and
// the program's input. The text is assembled and, when it is taken, run within a budget, with
// the .EXE made of it as well. Crashes and sanitizer reports are findings; a refusal or any stop
// of the program is an answer.
#include <cstdio>
#include <string>

#include "asm/assembler.h"
#include "machine/machine.h"

namespace {
struct Input {
  std::string rest;
  size_t at = 0;
};

bool ReadLine(void *context, std::string &line) {
  Input &in = *static_cast<Input *>(context);
  if (in.at >= in.rest.size()) return false;
  size_t end = in.rest.find('\n', in.at);
  end = end == std::string::npos ? in.rest.size() : end + 1;
  line = in.rest.substr(in.at, end - in.at);
  in.at = end;
  return true;
}

bool Write(void *, std::string_view) {
  return true;
}
} // namespace

int main(int argc, char **argv) {
  std::string data;
  std::FILE *f = argc > 1 ? std::fopen(argv[1], "rb") : stdin;
  if (!f) return 2;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  size_t nul = data.find('\0');
  Input input;
  if (nul != std::string::npos) input.rest = data.substr(nul + 1);
  ProgramImage image;
  AsmError error;
  if (!Assemble(data.substr(0, nul), image, error)) return 0;
  std::string exe = ExeFile(image);
  LoadProgram(image, {&input, ReadLine, Write}, true);
  Run(2'000'000);
  return exe.empty() ? 1 : 0;
}
