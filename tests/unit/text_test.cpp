#include <gtest/gtest.h>

#include <climits>
#include <fstream>

#include "os/text.h"
#include "sin/string_pool.h"
#include "test_platform.h"

TEST(IntText, DecimalWithSignAndNoPadding) {
  EXPECT_EQ(IntText(0), "0");
  EXPECT_EQ(IntText(-5), "-5");
  EXPECT_EQ(IntText(INT32_MAX), "2147483647");
  EXPECT_EQ(IntText(INT32_MIN), "-2147483648");
}

namespace {
// The "out1.asm" that the pooled texts make of a five-line "out.asm": their definitions stand
// after its fourth line.
std::string FinalWith(const std::vector<std::string> &messages,
                      const std::vector<std::string> &strings = {}) {
  return FileMadeIn("out1.asm", [&] {
    std::ofstream("out.asm", std::ios::binary) << "1\r\n2\r\n3\r\n4\r\n5\r\n";
    MsgConsts = messages;
    StrConsts = strings;
    BuildFinalAssembly();
    MsgConsts.clear();
    StrConsts.clear();
  });
}

// The definitions alone, between the fourth and the fifth line.
std::string Definitions(const std::vector<std::string> &messages,
                        const std::vector<std::string> &strings = {}) {
  std::string file = FinalWith(messages, strings);
  EXPECT_TRUE(file.starts_with("1\r\n2\r\n3\r\n4\r\n") && file.ends_with("5\r\n")) << file;
  return file.substr(12, file.size() - 15);
}
} // namespace

TEST(StringConstants, PlainTextIsOneLineAndMessagesComeFirst) {
  EXPECT_EQ(Definitions({"Sum = "}), "_msg0  db  \"Sum = \",\"$\" \r\n");
  EXPECT_EQ(Definitions({"a", "b"}, {"", "c"}), "_msg0  db  \"a\",\"$\" \r\n"
                                                "_msg1  db  \"b\",\"$\" \r\n"
                                                "_str0  db  \"$\" \r\n"
                                                "_str1  db  \"c\",\"$\" \r\n");
}

TEST(StringConstants, QuotesDoubledAndControlBytesAsNumbers) {
  EXPECT_EQ(Definitions({"say \"hi\"\r\n\tend", "\n", "\xa0\xff"}),
            "_msg0  db  \"say \"\"hi\"\"\",13,10,9,\"end\",\"$\" \r\n"
            "_msg1  db  10,\"$\" \r\n"
            "_msg2  db  \"\xa0\xff\",\"$\" \r\n");
}

TEST(StringConstants, LongTextsAreCutIntoChunksOfAHundredBytes) {
  EXPECT_EQ(Definitions({std::string(250, 'x'), std::string(100, 'y')}),
            "_msg0  db  \"" + std::string(100, 'x') + "\"\r\n" + "        db  \"" +
                std::string(100, 'x') + "\"\r\n" + "        db  \"" + std::string(50, 'x') +
                "\",\"$\" \r\n" + "_msg1  db  \"" + std::string(100, 'y') + "\",\"$\" \r\n");
}

TEST(StringConstants, NoTextsLeaveTheFileAsItWas) {
  EXPECT_EQ(FinalWith({}), "1\r\n2\r\n3\r\n4\r\n5\r\n");
}
