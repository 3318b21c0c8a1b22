#include <gtest/gtest.h>

#include <algorithm>

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
  EXPECT_EQ(CharPos(), 5);
  ReadChar();
  ReadChar();
  EXPECT_EQ(CharPos(), 7);
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

namespace {
constexpr size_t kWindow = 64 * 1024; // the reader's window, whose ends the texts below straddle

// A text of about three windows with line breaks of every kind, some of them astride a window's
// end: a CR LF split by it, a lone CR just before it, an LF just after it.
std::string MixedBreaks() {
  std::string text;
  uint32_t state = 12345;
  const char *breaks[] = {"\n", "\r\n", "\r", "\n\r"};
  while (text.size() < 3 * kWindow + 100) {
    state = state * 1103515245u + 12345u;
    text += std::string(1 + (state >> 16) % 60, static_cast<char>('a' + (state >> 8) % 26));
    text += breaks[(state >> 24) % 4];
  }
  text.replace(kWindow - 1, 2, "\r\n");
  text.replace(2 * kWindow - 1, 2, "\rx");
  text.replace(3 * kWindow, 1, "\n");
  return text;
}

// The line of the byte at `offset` by the rules, counted here from scratch.
int LineAt(const std::string &text, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset; ++i)
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
      ++line;
  return line;
}
} // namespace

TEST(Reader, LineNumbersAcrossWindowsAndEveryKindOfBreak) {
  const std::string text = MixedBreaks();
  OpenText(text);
  int expected = 1;
  for (size_t offset = 0; offset < text.size(); ++offset) {
    ASSERT_EQ(CurChar, static_cast<unsigned char>(text[offset])) << "offset " << offset;
    // Asked now and then, as messages do, and at every byte near the ends of the windows.
    if (offset % 97 == 0 || offset % kWindow < 3 || offset % kWindow > kWindow - 3) {
      ASSERT_EQ(LineNumber(), expected) << "offset " << offset;
    }
    if (text[offset] == '\n' ||
        (text[offset] == '\r' && (offset + 1 == text.size() || text[offset + 1] != '\n')))
      ++expected;
    ReadChar();
  }
  EXPECT_TRUE(AtEndOfSource());
  EXPECT_EQ(LineNumber(), expected);
  EXPECT_EQ(LineNumber(), LineAt(text, text.size()));
}

TEST(Reader, LineNumbersAfterSeeksBothWaysAcrossWindows) {
  const std::string text = MixedBreaks();
  OpenText(text);
  const size_t offsets[] = {2 * kWindow + 5, 10,          kWindow, kWindow - 1,    3 * kWindow,
                            2 * kWindow - 1, 2 * kWindow, 0,       text.size() - 1};
  for (size_t offset : offsets) {
    SeekSource(static_cast<int64_t>(offset));
    ReadChar();
    EXPECT_EQ(CurChar, static_cast<unsigned char>(text[offset])) << "offset " << offset;
    EXPECT_EQ(LineNumber(), LineAt(text, offset)) << "offset " << offset;
    // Reading on a little from there counts on from there.
    for (int i = 0; i < 3 && offset + 1 + i < text.size(); ++i) ReadChar();
    size_t now = std::min(offset + 3, text.size() - 1);
    EXPECT_EQ(LineNumber(), LineAt(text, now)) << "offset " << offset;
  }
}

TEST(Reader, CommentsAcrossWindowsAndManyInARow) {
  // A comment that spans a window's end, then more comments in a row than a call per comment
  // could nest on the stack.
  std::string text(kWindow - 3, ' ');
  text += "A{ \r\n { } }B";
  for (int i = 0; i < 300000; ++i) text += "{}";
  text += "C{\n}";
  OpenText(text);
  std::string seen;
  while (!AtEndOfSource()) {
    if (CurChar != ' ') seen += static_cast<char>(CurChar);
    ReadChar();
  }
  EXPECT_EQ(seen, "ABC");
  EXPECT_EQ(CharPos(), static_cast<int32_t>(text.size() + 1)); // every byte, and the end
  EXPECT_EQ(LineNumber(), 3);
}
