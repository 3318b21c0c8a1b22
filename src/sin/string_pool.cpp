#include "sin/string_pool.h"

#include <string_view>

#include "os/runtime.h"
#include "os/text.h"

std::vector<std::string> MsgConsts;
std::vector<std::string> StrConsts;

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

namespace {
// The definitions of one kind of texts, in index order, written a megabyte at a time.
void WriteConstants(int out, const char *prefix, const std::vector<std::string> &texts) {
  std::string lines;
  for (size_t i = 0; i < texts.size(); ++i) {
    lines += ConstantLines(prefix + IntText(static_cast<int64_t>(i)), texts[i]);
    if (lines.size() > (1 << 20) || i + 1 == texts.size()) {
      WriteFile(out, lines, kFinalName);
      lines.clear();
    }
  }
}
} // namespace

void BuildFinalAssembly() {
  // With no texts to put in, "out1.asm" is "out.asm" line for line: the file is renamed rather
  // than copied, which for a large program saves writing its whole text a second time.
  if (MsgConsts.empty() && StrConsts.empty()) {
    RenameFile(kOutName, kFinalName);
    return;
  }
  int in = OpenForReading(kOutName);
  int out = CreateForWriting(kFinalName);
  // From here on a failure would leave a truncated file; one that could not be opened is untouched.
  SetPartialFile(kFinalName);

  // The first four lines: the header up to the Result buffer.
  char head[4096];
  size_t got = ReadFileAt(in, head, sizeof head, 0, kOutName);
  size_t headLength = 0;
  for (int lines = 0; lines < 4 && headLength < got; ++headLength)
    if (head[headLength] == '\n') ++lines;
  WriteFile(out, std::string_view(head, headLength), kFinalName);

  WriteConstants(out, "_msg", MsgConsts);
  WriteConstants(out, "_str", StrConsts);

  // The lines of "out.asm" are all the compiler's own, each ending in CR LF, so a line-by-line
  // copy is a copy of the bytes.
  CopyRestOfFile(in, static_cast<int64_t>(headLength), kOutName, out, kFinalName);
  CloseFile(in, kOutName);
  CloseFile(out, kFinalName);
  SetPartialFile(nullptr);
  RemoveFile(kOutName);
}
