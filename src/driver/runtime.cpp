#include "driver/runtime.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {
const char *partialFile = nullptr;

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
  default:
    return std::strerror(err);
  }
}

// Best effort: the report goes to standard error, which may itself be gone.
void WriteReport(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}
} // namespace

void PrepareStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    // Opened the "wrong" way round on purpose: a read of a closed standard input and a write to
    // a closed standard output must fail, not succeed on /dev/null.
    int taken = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (taken != fd && taken >= 0) close(taken);
  }
}

int OpenFile(const char *name, int flags) {
  int fd;
  do fd = open(name, flags | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) IoError(errno, name);
  return fd;
}

size_t ReadFileAt(int fd, void *into, size_t length, int64_t offset, std::string_view what) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = pread(fd, static_cast<char *>(into) + done, length - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) IoError(errno, what);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void WriteFile(int fd, std::string_view bytes, std::string_view what) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) IoError(errno, what);
    if (n == 0) IoError(ENOSPC, what);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void CloseFile(int fd, std::string_view what) {
  if (close(fd) != 0 && errno != EINTR) IoError(errno, what);
}

void WriteConsole(std::string_view bytes) {
  WriteFile(1, bytes, "standard output");
}

void WaitForEnter() {
  for (;;) {
    char c;
    ssize_t n = read(0, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) IoError(errno, "standard input");
    if (n == 0 || c == '\n') return;
  }
}

void SetPartialFile(const char *name) {
  partialFile = name;
}

[[noreturn]] static void IoReport(std::string_view text) {
  if (partialFile != nullptr) unlink(partialFile);
  WriteReport(2, text);
  EndRun(1);
}

void IoError(int err, std::string_view what) {
  IoReport("pas2asm: I/O error: " + FailureName(err) + ": " + std::string(what) + "\r\n");
}

void NoSourceNamed() {
  IoReport("pas2asm: I/O error: No source file named\r\n");
}

void EndRun(int exitCode) {
  std::exit(exitCode);
}
