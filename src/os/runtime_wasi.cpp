// The start of a run and the copy by the system under WASI (WebAssembly in a browser's worker or
// under Node); the rest of the runtime is in runtime_fd.cpp, as on POSIX systems. A WASI program
// has no signals, and its standard streams are whatever the host gives it.
#include <cerrno>
#include <cstdlib>
#include <unistd.h>

#include "os/platform.h"
#include "os/runtime.h"

// WASI knows no working folder: the host names it in PWD, and relative names ("out1.asm") are
// taken from there, as a process started in that folder takes them. Without PWD they are taken
// from the root of what the host lets the program see.
void PrepareRun() {
  const char *folder = std::getenv("PWD");
  if (folder != nullptr && *folder != '\0' && chdir(folder) != 0) IoError(errno, folder);
}

bool CopyBySystem(int, int64_t &, int, const char *) {
  return false;
}
