#include "sin/string_pool.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include "driver/runtime.h"
#include "kod/output.h"

std::vector<std::string> MsgConsts;
std::vector<std::string> StrConsts;
int32_t MsgCount = 0;
int32_t StrCount = 0;
std::string WriteText;
std::string StrText;

namespace {
constexpr const char *kOutName = "out.asm";
constexpr const char *kFinalName = "out1.asm";
constexpr size_t kChunk = 100;

// Printable runs go in quotes with their quotes doubled; control bytes (a line break inside a
// literal, a tab) as numbers, so that every text assembles to exactly its bytes.
std::string ChunkPieces(std::string_view chunk) {
  std::string pieces;
  bool inRun = false;
  for (unsigned char c : chunk) {
    if (c < 32) {
      if (inRun) pieces += '"';
      inRun = false;
      if (!pieces.empty()) pieces += ',';
      pieces += IntText(c);
      continue;
    }
    if (!inRun) {
      if (!pieces.empty()) pieces += ',';
      pieces += '"';
      inRun = true;
    }
    pieces += static_cast<char>(c);
    if (c == '"') pieces += '"';
  }
  if (inRun) pieces += '"';
  return pieces;
}

int OpenFile(const char *name, int flags) {
  int fd;
  do fd = open(name, flags | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) IoError(errno, name);
  return fd;
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) IoError(errno, kFinalName);
    if (n == 0) IoError(ENOSPC, kFinalName);
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

ssize_t ReadSome(int fd, char *into, size_t length, off_t offset) {
  for (;;) {
    ssize_t n = pread(fd, into, length, offset);
    if (n >= 0) return n;
    if (errno != EINTR) IoError(errno, kOutName);
  }
}

// The lines of "out.asm" are all the compiler's own, each ending in CR LF, so a line-by-line copy
// is a copy of the bytes; the kernel makes it without passing them through this process.
void CopyRest(int from, off_t offset, int to) {
  for (;;) {
    ssize_t n = copy_file_range(from, &offset, to, nullptr, 1 << 30, 0);
    if (n > 0) continue;
    if (n == 0) return;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) break;
    IoError(errno, kFinalName);
  }
  static char buffer[256 * 1024];
  for (;;) {
    ssize_t n = ReadSome(from, buffer, sizeof buffer, offset);
    if (n == 0) return;
    WriteAll(to, std::string_view(buffer, static_cast<size_t>(n)));
    offset += n;
  }
}
} // namespace

std::string ConstantLines(const std::string &name, const std::string &text) {
  if (text.empty()) return name + "  db  \"$\" \r\n";
  std::string lines;
  for (size_t at = 0; at < text.size(); at += kChunk) {
    lines += at == 0 ? name + "  db  " : std::string("        db  ");
    lines += ChunkPieces(std::string_view(text).substr(at, kChunk));
    lines += at + kChunk >= text.size() ? ",\"$\" \r\n" : "\r\n";
  }
  return lines;
}

void BuildFinalAssembly() {
  // With no texts to put in, "out1.asm" is "out.asm" line for line: the file is renamed rather
  // than copied, which for a large program saves writing its whole text a second time.
  if (MsgConsts.empty() && StrConsts.empty()) {
    if (rename(kOutName, kFinalName) != 0) IoError(errno, errno == ENOENT ? kOutName : kFinalName);
    return;
  }
  int in = OpenFile(kOutName, O_RDONLY);
  int out = OpenFile(kFinalName, O_WRONLY | O_CREAT | O_TRUNC);
  // From here on a failure would leave a truncated file; one that could not be opened is untouched.
  SetPartialFile(kFinalName);

  // The first four lines: the header up to the Result buffer.
  char head[4096];
  ssize_t got = ReadSome(in, head, sizeof head, 0);
  size_t headLength = 0;
  for (int lines = 0; lines < 4 && headLength < static_cast<size_t>(got); ++headLength)
    if (head[headLength] == '\n') ++lines;
  WriteAll(out, std::string_view(head, headLength));

  std::string pool;
  for (size_t i = 0; i < MsgConsts.size(); ++i) {
    pool += ConstantLines("_msg" + IntText(static_cast<int64_t>(i)), MsgConsts[i]);
    if (pool.size() > (1 << 20)) WriteAll(out, pool), pool.clear();
  }
  for (size_t i = 0; i < StrConsts.size(); ++i) {
    pool += ConstantLines("_str" + IntText(static_cast<int64_t>(i)), StrConsts[i]);
    if (pool.size() > (1 << 20)) WriteAll(out, pool), pool.clear();
  }
  WriteAll(out, pool);

  CopyRest(in, static_cast<off_t>(headLength), out);
  if (close(in) != 0 && errno != EINTR) IoError(errno, kOutName);
  if (close(out) != 0 && errno != EINTR) IoError(errno, kFinalName);
  SetPartialFile(nullptr);
  if (unlink(kOutName) != 0) IoError(errno, kOutName);
}
