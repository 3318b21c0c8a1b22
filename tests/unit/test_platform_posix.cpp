#include "test_platform.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

std::string NewScratchDirectory() {
  char dir[] = "/tmp/pas2asm-unit-XXXXXX";
  if (mkdtemp(dir) == nullptr) std::abort();
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
