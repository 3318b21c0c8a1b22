#include <gtest/gtest.h>

#include <climits>

#include "os/text.h"
#include "sin/string_pool.h"

TEST(IntText, DecimalWithSignAndNoPadding) {
  EXPECT_EQ(IntText(0), "0");
  EXPECT_EQ(IntText(-5), "-5");
  EXPECT_EQ(IntText(INT32_MAX), "2147483647");
  EXPECT_EQ(IntText(INT32_MIN), "-2147483648");
}

TEST(ConstantLines, PlainTextIsOneLine) {
  EXPECT_EQ(ConstantLines("_msg0", "Sum = "), "_msg0  db  \"Sum = \",\"$\" \r\n");
  EXPECT_EQ(ConstantLines("_str3", ""), "_str3  db  \"$\" \r\n");
}

TEST(ConstantLines, QuotesDoubledAndControlBytesAsNumbers) {
  EXPECT_EQ(ConstantLines("_msg1", "say \"hi\"\r\n\tend"),
            "_msg1  db  \"say \"\"hi\"\"\",13,10,9,\"end\",\"$\" \r\n");
  EXPECT_EQ(ConstantLines("_msg2", "\n"), "_msg2  db  10,\"$\" \r\n");
  EXPECT_EQ(ConstantLines("_msg3", "\xa0\xff"), "_msg3  db  \"\xa0\xff\",\"$\" \r\n");
}

TEST(ConstantLines, LongTextsAreCutIntoChunksOfAHundredBytes) {
  std::string text(250, 'x');
  std::string expected = "_msg4  db  \"" + std::string(100, 'x') + "\"\r\n" + "        db  \"" +
                         std::string(100, 'x') + "\"\r\n" + "        db  \"" +
                         std::string(50, 'x') + "\",\"$\" \r\n";
  EXPECT_EQ(ConstantLines("_msg4", text), expected);
  EXPECT_EQ(ConstantLines("_msg5", std::string(100, 'y')),
            "_msg5  db  \"" + std::string(100, 'y') + "\",\"$\" \r\n");
}
