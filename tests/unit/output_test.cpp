// The output buffer: lines from blocks and pieces, whether they fit in the buffer or not.
#include <gtest/gtest.h>

#include "kod/output.h"
#include "os/text.h"
#include "test_platform.h"

namespace {
constexpr auto kTwoLines = Lines("a", "  bc");

// Runs `emit` with "out.asm" open in a scratch directory and returns what it wrote.
template <typename Emit> std::string Written(Emit emit) {
  return FileMadeIn("out.asm", [&] {
    OpenOutput();
    emit();
    CloseOutput();
  });
}
} // namespace

TEST(Output, BlocksAreTheLinesAsEmitLineWritesThem) {
  EXPECT_EQ(std::string(kTwoLines.bytes, sizeof kTwoLines.bytes), " a\r\n   bc\r\n");
  EXPECT_EQ(Written([] { EmitLines(kTwoLines); }), Written([] {
              EmitLine("a");
              EmitLine("  bc");
            }));
}

// A file of several buffers: lines that meet a buffer's end, and a text larger than a buffer, go
// out whole and in order.
TEST(Output, ManyBuffersInOrder) {
  const std::string large(5 << 19, 'y');
  std::string expected;
  for (int i = 0; i < 120000; ++i) expected += " mov AX, " + std::to_string(i) + "\r\n";
  expected += large + " a\r\n   bc\r\n";
  for (int i = 0; i < 120000; ++i) expected += "L" + std::to_string(i) + ":\r\n";
  std::string written = Written([&] {
    for (int i = 0; i < 120000; ++i) EmitLine("mov AX, ", IntText(i));
    PutText(large);
    EmitLines(kTwoLines);
    for (int i = 0; i < 120000; ++i) EmitLabel("L" + IntText(i));
  });
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}
