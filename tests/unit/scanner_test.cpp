#include <gtest/gtest.h>

#include <vector>

#include "lex/scanner.h"
#include "source_fixture.h"
#include "test_platform.h"

namespace {
struct Token {
  int32_t code;
  std::string text;
  bool operator==(const Token &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Token &t) {
  return out << t.code << ":" << t.text;
}

// Tokens up to the end of the text (which must end with a blank so no scan meets the end).
std::vector<Token> Scan(const std::string &text) {
  OpenText(text);
  std::vector<Token> tokens;
  while (!AtEndOfSource() && CurChar != 0) {
    NextToken();
    tokens.push_back({TokenCode, TokenText});
  }
  return tokens;
}
} // namespace

TEST(Scanner, KeywordsInAnyCaseAndIdentifiersUpperCased) {
  EXPECT_EQ(Scan("begin Begin BEGIN bEgInX "),
            (std::vector<Token>{
                {kBegin, "BEGIN"}, {kBegin, "BEGIN"}, {kBegin, "BEGIN"}, {kIdentifier, "BEGINX"}}));
}

TEST(Scanner, OperatorPairsFormOnlyAfterColonLessAndGreater) {
  EXPECT_EQ(
      Scan("x:=-1 "),
      (std::vector<Token>{{kIdentifier, "X"}, {kAssign, ":="}, {kMinus, "-"}, {kNumber, "1"}}));
  EXPECT_EQ(Scan("a<=b<>c>=d "), (std::vector<Token>{{kIdentifier, "A"},
                                                     {kLessEqual, "<="},
                                                     {kIdentifier, "B"},
                                                     {kNotEqual, "<>"},
                                                     {kIdentifier, "C"},
                                                     {kGreaterEqual, ">="},
                                                     {kIdentifier, "D"}}));
  EXPECT_EQ(Scan("a<(b) x>-1 "), (std::vector<Token>{{kIdentifier, "A"},
                                                     {kUnknownOperator, "<("},
                                                     {kIdentifier, "B"},
                                                     {kRightParen, ")"},
                                                     {kIdentifier, "X"},
                                                     {kUnknownOperator, ">-"},
                                                     {kNumber, "1"}}));
  EXPECT_EQ(Scan("=< (( : ; "), (std::vector<Token>{{kEqual, "="},
                                                    {kLess, "<"},
                                                    {kLeftParen, "("},
                                                    {kLeftParen, "("},
                                                    {kColon, ":"},
                                                    {kSemicolon, ";"}}));
  EXPECT_EQ(Scan(":{x}= "), (std::vector<Token>{{kAssign, ":="}}));
}

TEST(Scanner, DigitsThenLettersAreTwoTokens) {
  EXPECT_EQ(Scan("12AB "), (std::vector<Token>{{kNumber, "12"}, {kIdentifier, "AB"}}));
}

TEST(Scanner, LongWordsAndNumbersKeepSixteenCharacters) {
  Scan("abcdefghijklmnopqrst ");
  EXPECT_EQ(TokenText, "ABCDEFGHIJKLMNOP");
  int32_t sum = 0;
  for (char c : std::string("ABCDEFGHIJKLMNOP")) sum += c;
  EXPECT_EQ(TokenHash, sum % 211);
  Scan("12345678901234567 ");
  EXPECT_EQ(TokenText, "1234567890123456");
}

TEST(Scanner, HashOfIdentifiers) {
  const std::pair<const char *, int32_t> cases[] = {
      {"A ", 65}, {"X ", 88}, {"I1 ", 122}, {"COUNT ", 182}, {"AAQ ", 0}};
  for (auto [text, hash] : cases) {
    Scan(text);
    EXPECT_EQ(TokenHash, hash) << text;
  }
}

TEST(Scanner, HashSurvivesOtherTokens) {
  Scan("COUNT 5 + BEGIN ");
  EXPECT_EQ(TokenCode, kBegin);
  EXPECT_EQ(TokenHash, 182);
}

TEST(Scanner, LeadingBlankProducesNoToken) {
  OpenText(" PROGRAM ");
  TokenCode = 0;
  TokenText.clear();
  NextToken();
  EXPECT_EQ(TokenCode, 0);
  NextToken();
  EXPECT_EQ(TokenCode, kProgram);
}

// The run ends through the fatal path, whose wait for Enter meets the end of standard input.
void ScanFirstToken(const std::string &text) {
  InputAtEnd();
  OpenText(text);
  NextToken();
}

TEST(Scanner, UnknownCharacterAndUnclosedCommentStopTheRun) {
  EXPECT_EXIT(ScanFirstToken("_ "), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(ScanFirstToken("{ a { b }"), testing::ExitedWithCode(1), "");
}
