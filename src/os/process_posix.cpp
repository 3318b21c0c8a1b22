// The runner's system calls on POSIX systems.
#include "os/process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "os/console.h"

void PrepareStreams() {
  // A closed pipe makes the write fail with EPIPE instead of ending the process.
  std::signal(SIGPIPE, SIG_IGN);
}

bool RunInFolder(const std::string &program, const std::vector<std::string> &args,
                 const std::string &folder, const std::string &outFile, const std::string &errFile,
                 int &exitCode, std::string &error) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  // The exec's failure comes back through a pipe that closes on a successful exec.
  int report[2];
  if (pipe(report) != 0) {
    error = std::strerror(errno);
    return false;
  }
  fcntl(report[1], F_SETFD, FD_CLOEXEC);
  pid_t pid = fork();
  if (pid < 0) {
    error = std::strerror(errno);
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (pid == 0) {
    close(report[0]);
    int in = open("/dev/null", O_RDONLY);
    bool ok = chdir(folder.c_str()) == 0 && in >= 0 && dup2(in, 0) == 0;
    int out = ok ? open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600) : -1;
    int err = ok ? open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600) : -1;
    if (ok && out >= 0 && err >= 0 && dup2(out, 1) == 1 && dup2(err, 2) == 2)
      execv(program.c_str(), argv.data());
    int code = errno;
    [[maybe_unused]] ssize_t n = write(report[1], &code, sizeof code);
    _exit(127);
  }
  close(report[1]);
  int code = 0;
  ssize_t got = read(report[0], &code, sizeof code);
  close(report[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof code)) {
    error = std::strerror(code);
    return false;
  }
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

std::string MakeTemporaryFolder(std::string &error) {
  const char *tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pas2asm-run-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    error = "cannot make a temporary folder: " + std::string(std::strerror(errno));
    return "";
  }
  return pattern;
}

std::string OwnFolder() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  std::string own(path, static_cast<size_t>(n));
  return own.substr(0, own.rfind('/'));
}

bool IsExecutable(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string ExecutableName(const std::string &stem) {
  return stem;
}

std::string FindOnPath(const std::string &name) {
  const char *path = std::getenv("PATH");
  std::string rest = path ? path : "";
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find(':', start);
    if (end == std::string::npos) end = rest.size();
    std::string dir = rest.substr(start, end - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (IsExecutable(candidate)) return candidate;
    start = end + 1;
  }
  return "";
}

bool WantsUnicode(Stream stream) {
  return isatty(stream == Stream::Out ? 1 : 2) &&
         LocaleIsUtf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
}

bool WriteStream(Stream stream, std::string_view bytes, bool unicode) {
  std::string converted;
  if (unicode) {
    converted = Cp866ToUtf8(bytes);
    bytes = converted;
  }
  int fd = stream == Stream::Out ? 1 : 2;
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}
