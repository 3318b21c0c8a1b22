#include "test_platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {
// A directory that is the current one cannot be removed: the removal steps out of it first. A
// file still open in one stays, and so does the directory; nothing is said.
struct Scratch {
  std::vector<std::string> dirs;
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(ignored), ignored);
    for (const std::string &dir : dirs) std::filesystem::remove_all(dir, ignored);
  }
};
Scratch scratch;
} // namespace

std::string NewScratchDirectory() {
  char base[MAX_PATH + 1];
  DWORD length = GetTempPathA(sizeof base, base);
  if (length == 0 || length > MAX_PATH) std::abort();
  for (unsigned attempt = 0;; ++attempt) {
    std::string dir = std::string(base) + "pas2asm-unit-" + std::to_string(GetCurrentProcessId()) +
                      "-" + std::to_string(attempt);
    if (CreateDirectoryA(dir.c_str(), nullptr)) {
      scratch.dirs.push_back(dir);
      return dir;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) std::abort();
  }
}

void InputAtEnd() {
  HANDLE null = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (null == INVALID_HANDLE_VALUE || !SetStdHandle(STD_INPUT_HANDLE, null)) std::abort();
}

void ConsoleToErrorStream() {
  if (!SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE))) std::abort();
}

const char *const kCapturedLineEnd = "\n";
