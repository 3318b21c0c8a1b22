#include "play/play.h"

#include <string>
#include <string_view>

#include "asm/assembler.h"
#include "machine/machine.h"
#include "runner/execute.h"

namespace {
std::string Buffer;
std::string Result;

ProgramImage Image;
std::string Input;
size_t InputAt = 0;
std::string Output;

// The input, a line at a time, each with its line end as the input has it.
bool ReadLine(void *, std::string &line) {
  if (InputAt >= Input.size()) return false;
  size_t end = Input.find('\n', InputAt);
  end = end == std::string::npos ? Input.size() : end + 1;
  line.assign(Input, InputAt, end - InputAt);
  InputAt = end;
  return true;
}

bool Write(void *, std::string_view bytes) {
  Output.append(bytes);
  return true;
}
} // namespace

char *PlayBuffer(uint32_t size) {
  Buffer.resize(size);
  return Buffer.data();
}

const char *PlayResult() {
  return Result.data();
}

uint32_t PlayResultSize() {
  return static_cast<uint32_t>(Result.size());
}

int PlayLoad(uint32_t asmSize, uint32_t inputSize, int checkStack) {
  std::string_view given(Buffer);
  std::string_view text = given.substr(0, asmSize);
  Input.assign(given.substr(asmSize, inputSize));
  InputAt = 0;
  Output.clear();
  Result.clear();
  Image = ProgramImage();
  int exitCode = 0;
  if (!AssembleForRun(text, "out1.asm", true, Image, exitCode, Result)) return exitCode;
  LoadProgram(Image, {nullptr, ReadLine, Write}, checkStack != 0);
  return 0;
}

int PlayRun(double budget) {
  uint64_t count = static_cast<uint64_t>(budget);
  Status status = Run(count);
  Result.clear();
  return RunVerdict(status, count, true, Result);
}

void PlayOutput() {
  Result = Output;
}

void PlayExe() {
  Result = ExeFile(Image);
}

void PlayCompileFailed(int exitCode) {
  Result = CompileFailedMessage(exitCode);
}

double PlayInstructions() {
  return static_cast<double>(InstructionCount());
}
