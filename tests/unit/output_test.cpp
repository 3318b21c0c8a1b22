// The output buffer: lines from blocks and pieces, whether they fit in the buffer or not.
#include <gtest/gtest.h>

#include <climits>

#include "kod/output.h"
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

TEST(Output, NumbersInLines) {
  EXPECT_EQ(Written([] {
              EmitLine("n ", DecimalOf(0));
              EmitLine("n ", DecimalOf(-1), ";");
              EmitLine("n ", DecimalOf(65535));
              EmitLine("n ", DecimalOf(INT32_MIN));
            }),
            " n 0\r\n n -1;\r\n n 65535\r\n n -2147483648\r\n");
}

TEST(Output, PiecesOfEveryShortLengthCopyExactly) {
  const std::string source = "0123456789abcdefghijklmnop";
  for (size_t n = 0; n <= 20; ++n) {
    std::string to(32, '#');
    char *end = output_buffer::CopySmall(to.data(), source.data(), n);
    EXPECT_EQ(end - to.data(), static_cast<ptrdiff_t>(n));
    EXPECT_EQ(to, source.substr(0, n) + std::string(32 - n, '#')) << n;
  }
}

// Lines that meet the end of the buffer go out whole and in order, whatever their pieces.
TEST(Output, LinesAcrossTheEndOfTheBuffer) {
  const size_t fill = output_buffer::kSize - 20;
  std::string expected = std::string(fill, 'x');
  for (int i = 0; i < 40; ++i) expected += " L" + std::to_string(i * 1001) + ", _name" + "\r\n";
  expected += " a\r\n   bc\r\n";
  std::string written = Written([&] {
    PutText(std::string(fill, 'x'));
    for (int i = 0; i < 40; ++i) EmitLine("L", DecimalOf(i * 1001), ", _", std::string("name"));
    EmitLines(kTwoLines);
  });
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}

// A file of several buffers: each is written while the next is filled, and none is filled again
// before its write is done.
TEST(Output, ManyBuffersInOrder) {
  std::string expected;
  for (int i = 0; i < 120000; ++i) expected += " mov AX, " + std::to_string(i) + "\r\n";
  expected += std::string(output_buffer::kSize + 5, 'y');
  std::string written = Written([] {
    for (int i = 0; i < 120000; ++i) EmitLine("mov AX, ", DecimalOf(i));
    PutText(std::string(output_buffer::kSize + 5, 'y'));
  });
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}
