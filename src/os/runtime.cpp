#include "os/runtime.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char *partialFile = nullptr;

// The source and "out.asm" at most, with room to spare.
constexpr int kMaxOpen = 4;
void (*openFiles[kMaxOpen])() = {};
int openCount = 0;

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

void PrepareRun() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) continue;
    // Opened the "wrong" way round on purpose: a read of a closed standard input and a write to
    // a closed standard output must fail, not succeed on /dev/null.
    int taken = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (taken != fd && taken >= 0) close(taken);
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

namespace {
int OpenFile(const char *name, int flags) {
  int fd;
  do fd = open(name, flags | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) IoError(errno, name);
  return fd;
}
} // namespace

int OpenSourceFile(const char *name, int64_t &size) {
  // Without O_NONBLOCK a FIFO would hold the run until someone writes to it; it is refused below.
  int fd = OpenFile(name, O_RDONLY | O_NONBLOCK);
  struct stat st;
  if (fstat(fd, &st) != 0) IoError(errno, name);
  if (S_ISDIR(st.st_mode)) IoError(EISDIR, name);
  if (!S_ISREG(st.st_mode)) IoError(ESPIPE, name);
  size = st.st_size;
  return fd;
}

int OpenForReading(const char *name) {
  return OpenFile(name, O_RDONLY);
}

int CreateForWriting(const char *name) {
  return OpenFile(name, O_WRONLY | O_CREAT | O_TRUNC);
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

// The kernel copies without passing the bytes through this process where it can.
void CopyRestOfFile(int from, int64_t offset, const char *fromName, int to, const char *toName) {
  off_t at = static_cast<off_t>(offset);
  for (;;) {
    ssize_t n = copy_file_range(from, &at, to, nullptr, 1 << 30, 0);
    if (n > 0) continue;
    if (n == 0) return;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
    IoError(errno, toName);
  }
  static char buffer[256 * 1024];
  for (;;) {
    size_t n = ReadFileAt(from, buffer, sizeof buffer, at, fromName);
    if (n == 0) return;
    WriteFile(to, std::string_view(buffer, n), toName);
    at += static_cast<off_t>(n);
  }
}

void RenameFile(const char *from, const char *to) {
  if (rename(from, to) != 0) IoError(errno, errno == ENOENT ? from : to);
}

void RemoveFile(const char *name) {
  if (unlink(name) != 0) IoError(errno, name);
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
