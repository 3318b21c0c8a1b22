// The write on a second thread: its bytes land in order, and a failure of it is reported by the
// next call with an effect seen outside the process, before that effect, in WriteFile's words.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "os/runtime.h"
#include "test_platform.h"

namespace {
// No descriptor of a test process, and beyond the Windows runtime's table.
constexpr int kNotOpen = 1000;

// Standard error of a death test: `before` written straight to the stream, then the one report.
std::string ReportAfter(const std::string &before) {
  return "^" + EscapeForRegex(before + "pas2asm: I/O error: File not open: probe") +
         kCapturedLineEnd + "$";
}

void Mark(const char *text) {
  std::fputs(text, stderr);
  std::fflush(stderr);
}

// A write behind that fails; the caller goes on unaware of it.
void FailBehind() {
  WriteBehind(kNotOpen, "lost", "probe");
  Mark("before:");
}

char buffer[1];

void InScratch() {
  std::filesystem::current_path(NewScratchDirectory());
  std::ofstream("old", std::ios::binary) << "old";
}

struct Row {
  const char *what;
  void (*run)(); // calls FailBehind, then the routine under test
  bool waits;
};

const Row kRows[] = {
    {"console output", [] { FailBehind(), WriteConsole("console"); }, true},
    {"the wait for Enter", [] { InputAtEnd(), FailBehind(), WaitForEnter(); }, true},
    {"a file created", [] { InScratch(), FailBehind(), CreateForWriting("new"); }, true},
    {"a file renamed", [] { InScratch(), FailBehind(), RenameFile("old", "new"); }, true},
    {"the next write behind", [] { FailBehind(), WriteBehind(2, "console", "stderr"); }, true},
    {"the exit", [] { FailBehind(), EndRun(0); }, true},
    // The failure of the read is not reported: the write's, which came first, is.
    {"a read that fails", [] { FailBehind(), ReadFileAt(kNotOpen, buffer, 1, 0, "source"); }, true},
    // The source is read while "out.asm" is written: a read that succeeds goes ahead.
    {"a read that succeeds",
     [] {
       InScratch();
       int fd = OpenForReading("old");
       FailBehind();
       ReadFileAt(fd, buffer, 1, 0, "old");
     },
     false},
};
} // namespace

TEST(WriteBehind, FailureReportedAsWriteFileReportsIt) {
  EXPECT_EXIT(WriteFile(kNotOpen, "lost", "probe"), testing::ExitedWithCode(1), ReportAfter(""));
}

TEST(WriteBehind, FailureReportedBeforeTheNextEffectSeenOutside) {
  for (const Row &row : kRows) {
    EXPECT_EXIT(
        {
          row.run();
          Mark("after:");
          EndRun(0);
        },
        testing::ExitedWithCode(1), ReportAfter(row.waits ? "before:" : "before:after:"))
        << row.what;
  }
}

// Two buffers, each refilled only after the write of the other was handed over, as the output
// does; the thread is ended and started again halfway.
TEST(WriteBehind, BytesLandInOrder) {
  std::string expected;
  std::string written = FileMadeIn("out", [&] {
    int fd = CreateForWriting("out");
    std::string buffers[2];
    for (int i = 0; i < 300; ++i) {
      if (i == 150) FinishWriteBehind();
      std::string &buffer = buffers[i % 2];
      buffer.assign(static_cast<size_t>(i * 997 % 70000), static_cast<char>('a' + i % 26));
      buffer += std::to_string(i);
      WriteBehind(fd, buffer, "out");
      expected += buffer;
    }
    FinishWriteBehind();
    CloseFile(fd, "out");
  });
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}
