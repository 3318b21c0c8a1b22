// The start of a run and the copy by the kernel on POSIX systems; the rest of the runtime is in
// runtime_fd.cpp. Linux's own calls are used only where PAS2ASM_PORTABLE_POSIX is not defined, each
// with a fallback that any POSIX system has.
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "os/platform.h"
#include "os/runtime.h"

#if defined(__linux__) && !defined(PAS2ASM_PORTABLE_POSIX)
#define PAS2ASM_COPY_FILE_RANGE 1
#endif

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

// The kernel copies without passing the bytes through this process where it can.
bool CopyBySystem(int from, int64_t &offset, int to, const char *toName) {
#ifdef PAS2ASM_COPY_FILE_RANGE
  off_t at = static_cast<off_t>(offset);
  for (;;) {
    ssize_t n = copy_file_range(from, &at, to, nullptr, 1 << 30, 0);
    offset = at;
    if (n > 0) continue;
    if (n == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) return false;
    IoError(errno, toName);
  }
#else
  (void)from, (void)offset, (void)to, (void)toName;
  return false;
#endif
}
