// The part of the runtime that is the same on every system: the report of an I/O error, the files
// a fatal end closes or removes, the exit point, the copy through a buffer, the write behind.
//
// The write behind: the system's write of a large file costs about a sixth of a run, which a second
// core can take while the compiler fills its next buffer. A failure of that write must still be the
// last thing the run does, as it is for a write made in place, so no routine here does anything
// seen outside the process (console, files, input, exit) before it has waited for the write in
// flight; only a read that succeeds goes ahead of it. The thread is started by the first write
// behind, so a small program, whose output fits in one buffer, never has one.
#include "os/runtime.h"

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
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
  AwaitWriteBehind();
  if (partialFile != nullptr) RemoveIfPossible(partialFile);
  WriteToErrorStream(text);
  EndRun(1);
}

// The job handed to the writer thread and its outcome, under the lock. The thread waits for
// `jobWaiting` or `writerStops`; the caller waits for `jobWaiting` to fall.
std::mutex writerLock;
std::condition_variable writerWakes;
bool jobWaiting = false;
bool writerStops = false;
int jobFd = -1;
std::string_view jobBytes;
uint32_t jobFailure = 0;

// The caller's own state, which the writer thread never touches.
bool writerRunning = false;
bool writeInFlight = false;
std::string_view jobWhat;
} // namespace

void WriterLoop() {
  std::unique_lock<std::mutex> lock(writerLock);
  for (;;) {
    writerWakes.wait(lock, [] { return jobWaiting || writerStops; });
    if (!jobWaiting) return;
    lock.unlock();
    uint32_t failure = WriteAllBytes(jobFd, jobBytes);
    lock.lock();
    jobFailure = failure;
    jobWaiting = false;
    writerWakes.notify_one();
  }
}

// The flag falls before the report, whose own wait then returns at once.
void AwaitWriteBehind() {
  if (!writeInFlight) return;
  writeInFlight = false;
  uint32_t failure;
  {
    std::unique_lock<std::mutex> lock(writerLock);
    writerWakes.wait(lock, [] { return !jobWaiting; });
    failure = jobFailure;
  }
  if (failure != 0) ReportWriteFailure(failure, jobWhat);
}

// Where the system gives no thread, the write is made in place: slower, never different.
void WriteBehind(int fd, std::string_view bytes, std::string_view what) {
  AwaitWriteBehind();
  if (!writerRunning) {
    writerStops = false;
    writerRunning = StartWriterThread();
    if (!writerRunning) return WriteFile(fd, bytes, what);
  }
  {
    std::lock_guard<std::mutex> lock(writerLock);
    jobFd = fd;
    jobBytes = bytes;
    jobWaiting = true;
  }
  jobWhat = what;
  writeInFlight = true;
  writerWakes.notify_one();
}

void FinishWriteBehind() {
  AwaitWriteBehind();
  if (!writerRunning) return;
  {
    std::lock_guard<std::mutex> lock(writerLock);
    writerStops = true;
  }
  writerWakes.notify_one();
  JoinWriterThread();
  writerRunning = false;
}

void WriteFile(int fd, std::string_view bytes, std::string_view what) {
  AwaitWriteBehind();
  if (uint32_t failure = WriteAllBytes(fd, bytes)) ReportWriteFailure(failure, what);
}

// Both ways of copying go through the checked read and write, so a failure names the right file.
void CopyRestOfFile(int from, int64_t offset, const char *fromName, int to, const char *toName) {
  AwaitWriteBehind();
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

// A thread still running, or a write still in flight, must not meet the exit.
void EndRun(int exitCode) {
  FinishWriteBehind();
  std::exit(exitCode);
}
