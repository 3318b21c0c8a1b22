// The part of the runtime that is the same on every system: the report of an I/O error, the files
// a fatal end closes or removes, the exit point, the copy through a buffer.
#include "os/runtime.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "os/platform.h"

namespace {
const char *partialFile = nullptr;

// The source and "out.asm" at most, with room to spare.
constexpr int kMaxOpen = 4;
void (*openFiles[kMaxOpen])() = {};
int openCount = 0;

// Fixed texts for every failure the compiler can meet, so that the report reads the same whatever
// the system's C library would call it.
std::string FailureName(int err) {
  switch (err) {
  case ENOENT:
    return "File not found";
  case EACCES:
  case EPERM:
    return "Access denied";
  case EISDIR:
    return "Is a directory";
  case ENOSPC:
    return "Disk full";
  case EPIPE:
    return "Broken pipe";
  case EBADF:
    return "File not open";
  case EROFS:
    return "Read-only file system";
  case ESPIPE:
    return "Illegal seek";
  case EIO:
    return "Input/output error";
  case EFBIG:
    return "File too large";
  case ENOTDIR:
    return "Not a directory";
  case ENAMETOOLONG:
    return "File name too long";
  default:
    return std::strerror(err);
  }
}

[[noreturn]] void Report(std::string_view text) {
  if (partialFile != nullptr) RemoveIfPossible(partialFile);
  WriteToErrorStream(text);
  EndRun(1);
}
} // namespace

// Both ways of copying go through the checked read and write, so a failure names the right file.
void CopyRestOfFile(int from, int64_t offset, const char *fromName, int to, const char *toName) {
  if (CopyBySystem(from, offset, to, toName)) return;
  static char buffer[256 * 1024];
  for (;;) {
    size_t n = ReadFileAt(from, buffer, sizeof buffer, offset, fromName);
    if (n == 0) return;
    WriteFile(to, std::string_view(buffer, n), toName);
    offset += static_cast<int64_t>(n);
  }
}

void SetPartialFile(const char *name) {
  partialFile = name;
}

void CloseAtFatalEnd(void (*close)()) {
  if (openCount < kMaxOpen) openFiles[openCount++] = close;
}

void NoLongerOpen(void (*close)()) {
  for (int i = 0; i < openCount; ++i) {
    if (openFiles[i] != close) continue;
    for (--openCount; i < openCount; ++i) openFiles[i] = openFiles[i + 1];
    return;
  }
}

// Each close withdraws itself, so the first entry is always the next to close.
void CloseOpenFiles() {
  while (openCount > 0) {
    void (*close)() = openFiles[0];
    NoLongerOpen(close);
    close();
  }
}

void IoFailure(std::string_view failure, std::string_view what) {
  Report("pas2asm: I/O error: " + std::string(failure) + ": " + std::string(what) + "\r\n");
}

void IoError(int err, std::string_view what) {
  IoFailure(FailureName(err), what);
}

void NoSourceNamed() {
  Report("pas2asm: I/O error: No source file named\r\n");
}

void RefuseCommandLine(std::string_view line) {
  Report(line);
}

void EndRun(int exitCode) {
  std::exit(exitCode);
}
