// The runtime on Windows, through the Win32 API alone: files are handles kept in a small table
// whose index stands for them above this module, and nothing passes through a C runtime stream, so
// no byte is ever translated between CR LF and LF.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// The runtime has a WriteConsole of its own; the Win32 one is called by its UTF-16 name.
#undef WriteConsole

#include <cerrno>
#include <string>

#include "os/console.h"
#include "os/platform.h"
#include "os/runtime.h"

namespace {
// The source, "out.asm" and "out1.asm" at most are open at once.
constexpr int kMaxHandles = 8;
HANDLE handles[kMaxHandles] = {};

int Keep(HANDLE h) {
  for (int i = 0; i < kMaxHandles; ++i) {
    if (handles[i] != nullptr) continue;
    handles[i] = h;
    return i;
  }
  CloseHandle(h);
  return -1;
}

HANDLE Handle(int fd) {
  return fd >= 0 && fd < kMaxHandles ? handles[fd] : nullptr;
}

bool IsDirectory(const char *name) {
  DWORD attributes = GetFileAttributesA(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The report names a failure the way the POSIX build names the same failure; a code with no such
// counterpart is reported by its number.
[[noreturn]] void Fail(DWORD code, std::string_view what) {
  switch (code) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_NAME:
  case ERROR_BAD_NETPATH:
  case ERROR_INVALID_DRIVE:
    IoError(ENOENT, what);
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    IoError(EACCES, what);
  case ERROR_WRITE_PROTECT:
    IoError(EROFS, what);
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    IoError(ENOSPC, what);
  case ERROR_BROKEN_PIPE:
  case ERROR_NO_DATA:
  case ERROR_PIPE_NOT_CONNECTED:
    IoError(EPIPE, what);
  // A handle that cannot do what is asked of it: a standard handle closed or opened the other way.
  case ERROR_INVALID_HANDLE:
  case ERROR_INVALID_FUNCTION:
    IoError(EBADF, what);
  case ERROR_FILE_TOO_LARGE:
    IoError(EFBIG, what);
  case ERROR_FILENAME_EXCED_RANGE:
    IoError(ENAMETOOLONG, what);
  case ERROR_DIRECTORY:
    IoError(ENOTDIR, what);
  default:
    IoFailure("System error " + std::to_string(code), what);
  }
}

// Windows refuses to open a directory as a file with "access denied"; POSIX says what it is.
[[noreturn]] void FailOpening(const char *name) {
  DWORD code = GetLastError();
  if (code == ERROR_ACCESS_DENIED && IsDirectory(name)) IoError(EISDIR, name);
  Fail(code, name);
}

// Sharing for delete lets a partial "out1.asm" be removed while it is still open, as POSIX allows.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int Open(const char *name, DWORD access, DWORD disposition) {
  HANDLE h =
      CreateFileA(name, access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) FailOpening(name);
  int fd = Keep(h);
  if (fd < 0) IoFailure("Too many open files", name);
  return fd;
}

// A standard handle that was never given, or was closed, is null or invalid: every use of it
// fails as a closed descriptor does on POSIX.
HANDLE Standard(DWORD which) {
  HANDLE h = GetStdHandle(which);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// 0 stands for success, so a failure that the system gives no code for is kept apart; a missing
// handle and a write that takes nothing get the codes that Fail reports as EBADF and ENOSPC.
constexpr DWORD kFailedWithoutCode = 0xFFFFFFFF;

DWORD WriteToHandle(HANDLE h, std::string_view bytes) {
  if (h == nullptr) return ERROR_INVALID_HANDLE;
  while (!bytes.empty()) {
    DWORD part = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(h, bytes.data(), part, &written, nullptr)) {
      DWORD code = GetLastError();
      return code != 0 ? code : kFailedWithoutCode;
    }
    if (written == 0) return ERROR_HANDLE_DISK_FULL;
    bytes.remove_prefix(written);
  }
  return 0;
}

void WriteOrFail(HANDLE h, std::string_view bytes, std::string_view what) {
  if (DWORD failure = WriteToHandle(h, bytes))
    Fail(failure == kFailedWithoutCode ? 0 : failure, what);
}
} // namespace

// Critical-error boxes ("insert a disk") would stop a run that has no one to answer them.
void PrepareRun() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

int OpenSourceFile(const char *name, int64_t &size) {
  int fd = Open(name, GENERIC_READ, OPEN_EXISTING);
  // The re-parse moves back in the source: only a file on a disk can be read that way.
  if (GetFileType(handles[fd]) != FILE_TYPE_DISK) IoError(ESPIPE, name);
  LARGE_INTEGER length;
  if (!GetFileSizeEx(handles[fd], &length)) Fail(GetLastError(), name);
  size = length.QuadPart;
  return fd;
}

int OpenForReading(const char *name) {
  return Open(name, GENERIC_READ, OPEN_EXISTING);
}

int CreateForWriting(const char *name) {
  return Open(name, GENERIC_WRITE, CREATE_ALWAYS);
}

size_t ReadFileAt(int fd, void *into, size_t length, int64_t offset, std::string_view what) {
  HANDLE h = Handle(fd);
  if (h == nullptr) IoError(EBADF, what);
  size_t done = 0;
  while (done < length) {
    OVERLAPPED at = {};
    uint64_t position = static_cast<uint64_t>(offset) + done;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD part = length - done > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length - done);
    DWORD got = 0;
    if (!ReadFile(h, static_cast<char *>(into) + done, part, &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      Fail(GetLastError(), what);
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

void WriteFile(int fd, std::string_view bytes, std::string_view what) {
  WriteOrFail(Handle(fd), bytes, what);
}

void CloseFile(int fd, std::string_view what) {
  HANDLE h = Handle(fd);
  if (h == nullptr) IoError(EBADF, what);
  handles[fd] = nullptr;
  if (!CloseHandle(h)) Fail(GetLastError(), what);
}

bool CopyBySystem(int, int64_t &, int, const char *) {
  return false;
}

// POSIX rename replaces the target whatever its mode; Windows refuses a read-only one, so its
// attribute is taken off first and put back if the move fails all the same.
void RenameFile(const char *from, const char *to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return;
  DWORD code = GetLastError();
  DWORD attributes = GetFileAttributesA(to);
  bool readOnlyFile = attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                      (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (code == ERROR_ACCESS_DENIED && readOnlyFile &&
      SetFileAttributesA(to, attributes & ~FILE_ATTRIBUTE_READONLY)) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return;
    code = GetLastError();
    SetFileAttributesA(to, attributes);
  }
  if (code == ERROR_FILE_NOT_FOUND && GetFileAttributesA(from) == INVALID_FILE_ATTRIBUTES)
    Fail(code, from);
  if (code == ERROR_ACCESS_DENIED && IsDirectory(to)) IoError(EISDIR, to);
  Fail(code, to);
}

void RemoveFile(const char *name) {
  if (!DeleteFileA(name)) Fail(GetLastError(), name);
}

// A console shows the text right whatever its code page when it is given UTF-16; a file or a pipe
// gets the CP866 bytes as they are.
void WriteConsole(std::string_view bytes) {
  HANDLE h = Standard(STD_OUTPUT_HANDLE);
  DWORD mode;
  if (h == nullptr || !GetConsoleMode(h, &mode)) {
    WriteOrFail(h, bytes, "standard output");
    return;
  }
  std::u16string text = Cp866ToUtf16(bytes);
  const wchar_t *at = reinterpret_cast<const wchar_t *>(text.data());
  size_t left = text.size();
  while (left > 0) {
    DWORD part = left > 4096 ? 4096 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteConsoleW(h, at, part, &written, nullptr)) Fail(GetLastError(), "standard output");
    if (written == 0) IoError(ENOSPC, "standard output");
    at += written;
    left -= written;
  }
}

// A console gives the line with CR LF; a pipe whose writer has gone is at its end.
void WaitForEnter() {
  HANDLE h = Standard(STD_INPUT_HANDLE);
  if (h == nullptr) IoError(EBADF, "standard input");
  for (;;) {
    char c;
    DWORD got = 0;
    if (!ReadFile(h, &c, 1, &got, nullptr)) {
      DWORD code = GetLastError();
      if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return;
      Fail(code, "standard input");
    }
    if (got == 0 || c == '\n') return;
  }
}

void WriteToErrorStream(std::string_view bytes) {
  WriteToHandle(Standard(STD_ERROR_HANDLE), bytes);
}

// The partial file is still open when a write to it fails: closing every handle first lets the
// removal take effect at once.
void RemoveIfPossible(const char *name) {
  for (HANDLE &h : handles) {
    if (h != nullptr) CloseHandle(h);
    h = nullptr;
  }
  DeleteFileA(name);
}
