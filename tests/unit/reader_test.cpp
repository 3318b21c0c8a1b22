#include <gtest/gtest.h>

#include "source_fixture.h"

namespace {
std::string ReadAll() {
  std::string text;
  while (!AtEndOfSource()) {
    text += static_cast<char>(CurChar);
    ReadChar();
  }
  return text;
}
} // namespace

TEST(Reader, CommentsVanishAtAnyDepthAndPlace) {
  OpenText("BE{x}GIN { a { b } c }X{}Y");
  EXPECT_EQ(ReadAll(), "BEGIN XY");
}

TEST(Reader, CommentClosedByTheLastByteEndsCleanly) {
  OpenText("A{z}");
  ReadChar();
  EXPECT_EQ(CurChar, 0);
  EXPECT_TRUE(AtEndOfSource());
}

TEST(Reader, ZeroByteInsideTheFileIsNotTheEnd) {
  OpenText(std::string("A\0B", 3));
  ReadChar();
  EXPECT_EQ(CurChar, 0);
  EXPECT_FALSE(AtEndOfSource());
  ReadChar();
  EXPECT_EQ(CurChar, 'B');
}

TEST(Reader, CharPosCountsEveryByteIncludingCommentsAndTheEnd) {
  OpenText("{ab}C");
  EXPECT_EQ(CurChar, 'C');
  EXPECT_EQ(CharPos, 5);
  ReadChar();
  ReadChar();
  EXPECT_EQ(CharPos, 7);
}

TEST(Reader, LineBreaksAreLfCrLfOrLoneCr) {
  OpenText("a\nb\r\nc\rd\r");
  int lines[9];
  for (int &line : lines) {
    line = LineNumber();
    ReadChar();
  }
  // a \n b \r \n c \r d \r
  const int expected[] = {1, 1, 2, 2, 2, 3, 3, 4, 4};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(lines[i], expected[i]) << "byte " << i;
  EXPECT_EQ(LineNumber(), 5); // the final lone CR ends a line too
}

TEST(Reader, LinesInsideCommentsCount) {
  OpenText("{\n\n}x");
  EXPECT_EQ(CurChar, 'x');
  EXPECT_EQ(LineNumber(), 3);
}

TEST(Reader, SeekingBackRestoresTheLineOfTheNewPosition) {
  const std::string text = "l1\r\nl2\nl3\rl4\r\nl5";
  OpenText(text);
  while (!AtEndOfSource()) ReadChar();
  ASSERT_EQ(LineNumber(), 5);
  for (size_t offset = 0; offset < text.size(); ++offset) {
    SeekSource(static_cast<int64_t>(offset));
    ReadChar();
    int lineFromStart = 1;
    for (size_t i = 0; i < offset; ++i)
      if (text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n')) ++lineFromStart;
    EXPECT_EQ(CurChar, static_cast<unsigned char>(text[offset]));
    EXPECT_EQ(LineNumber(), lineFromStart) << "offset " << offset;
    // Reading on from there counts on correctly.
    while (!AtEndOfSource()) ReadChar();
    EXPECT_EQ(LineNumber(), 5) << "offset " << offset;
  }
}
