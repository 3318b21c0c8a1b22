// The runtime over file descriptors, as POSIX systems and WASI give them: files, the console on
// descriptors 0 and 1, standard error on 2. What differs between the two (the start of a run and
// the copy by the system) lives in runtime_posix.cpp and runtime_wasi.cpp.
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "os/console.h"
#include "os/platform.h"
#include "os/runtime.h"

namespace {
// Writes every byte; 0 when all went out, otherwise the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

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
    ssize_t n = pread(fd, static_cast<char *>(into) + done, length - done,
                      static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) IoError(errno, what);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void WriteFile(int fd, std::string_view bytes, std::string_view what) {
  if (int failure = WriteAll(fd, bytes)) IoError(failure, what);
}

void CloseFile(int fd, std::string_view what) {
  if (close(fd) != 0 && errno != EINTR) IoError(errno, what);
}

void RenameFile(const char *from, const char *to) {
  if (rename(from, to) != 0) IoError(errno, errno == ENOENT ? from : to);
}

void RemoveFile(const char *name) {
  if (unlink(name) != 0) IoError(errno, name);
}

// A terminal whose locale speaks UTF-8 would show CP866 bytes as garbage; everything else (a file,
// a pipe, a terminal set to another character set) gets the bytes as they are.
void WriteConsole(std::string_view bytes) {
  static const bool toUtf8 =
      isatty(1) && LocaleIsUtf8(getenv("LC_ALL"), getenv("LC_CTYPE"), getenv("LANG"));
  if (toUtf8)
    WriteFile(1, Cp866ToUtf8(bytes), "standard output");
  else
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

void WriteToErrorStream(std::string_view bytes) {
  WriteAll(2, bytes);
}

void RemoveIfPossible(const char *name) {
  unlink(name);
}
