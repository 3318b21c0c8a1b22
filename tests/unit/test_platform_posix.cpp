#include "test_platform.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
// A death test's child is a fork that ends through exit too: it inherits the list, and removes
// what it made itself, leaving its parent's directories alone.
struct Scratch {
  std::vector<std::pair<pid_t, std::string>> dirs;
  ~Scratch() {
    std::error_code ignored;
    for (const auto &[maker, dir] : dirs)
      if (maker == getpid()) std::filesystem::remove_all(dir, ignored);
  }
};
Scratch scratch;
} // namespace

std::string NewScratchDirectory() {
  char dir[] = "/tmp/pas2asm-unit-XXXXXX";
  if (mkdtemp(dir) == nullptr) std::abort();
  scratch.dirs.emplace_back(getpid(), dir);
  return dir;
}

void InputAtEnd() {
  int null = open("/dev/null", O_RDONLY);
  if (null < 0 || dup2(null, 0) < 0) std::abort();
  if (null != 0) close(null);
}

void ConsoleToErrorStream() {
  if (dup2(2, 1) < 0) std::abort();
}

const char *const kCapturedLineEnd = "\r\n";
