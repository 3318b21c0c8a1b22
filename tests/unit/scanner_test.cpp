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

namespace {
struct FullToken {
  int32_t code;
  std::string text;
  int32_t hash;
  bool operator==(const FullToken &) const = default;
};

std::ostream &operator<<(std::ostream &out, const FullToken &t) {
  return out << t.code << ":" << t.text << "#" << t.hash;
}

std::vector<FullToken> ScanFull(const std::string &text) {
  OpenText(text);
  std::vector<FullToken> tokens;
  while (!AtEndOfSource() && CurChar != 0) {
    NextToken();
    tokens.push_back({TokenCode, TokenText, TokenHash});
  }
  return tokens;
}
} // namespace

// A keyword is a whole word: a longer or shorter word is an identifier.
TEST(Scanner, KeywordsAreWholeWords) {
  EXPECT_EQ(Scan("abcdefg abcdefgh abcdefghi wHiLe write writes whil write1 "),
            (std::vector<Token>{{kIdentifier, "ABCDEFG"},
                                {kIdentifier, "ABCDEFGH"},
                                {kIdentifier, "ABCDEFGHI"},
                                {kWhile, "WHILE"},
                                {kWrite, "WRITE"},
                                {kIdentifier, "WRITES"},
                                {kIdentifier, "WHIL"},
                                {kIdentifier, "WRITE1"}}));
  EXPECT_EQ(
      Scan("aZ9z0 1234567 12345678 0 "),
      (std::vector<Token>{
          {kIdentifier, "AZ9Z0"}, {kNumber, "1234567"}, {kNumber, "12345678"}, {kNumber, "0"}}));
  Scan("i1 ");
  EXPECT_EQ(TokenHash, 122); // as I1
  Scan("abcdefghij ");
  EXPECT_EQ(TokenHash, (65 + 66 + 67 + 68 + 69 + 70 + 71 + 72 + 73 + 74) % 211);
}

TEST(Scanner, CommentsInsideTokensJoinTheirParts) {
  EXPECT_EQ(Scan("AB{x}CD 1{\n}2 BE{}GIN WH{ }ILE:{}= "), (std::vector<Token>{{kIdentifier, "ABCD"},
                                                                              {kNumber, "12"},
                                                                              {kBegin, "BEGIN"},
                                                                              {kWhile, "WHILE"},
                                                                              {kAssign, ":="}}));
}

// The same tokens, wherever the window's end falls among them, scan the same: text, code, hash.
TEST(Scanner, TokensAcrossTheEndOfTheWindow) {
  const std::string tokens =
      "v1 := abcdefghijklmnopq1 + 123456789012345678 * WRITE(X{c}Y, x) <> 7;\r\n"
      "\tIF a<=b THEN c:=d ELSE {\r} e>=f; READ(z1){}\n";
  const std::vector<FullToken> expected = ScanFull(tokens + " ");
  ASSERT_EQ(expected.size(), 32u);
  constexpr size_t kWindow = 64 * 1024;
  for (size_t shift = 0; shift < tokens.size() + 8; ++shift) {
    std::string padded(kWindow - tokens.size() - 4 + shift, ' ');
    std::vector<FullToken> seen = ScanFull(padded + tokens + " ");
    ASSERT_FALSE(seen.empty());
    seen.erase(seen.begin()); // the blank at the start is no token but repeats the one before
    EXPECT_EQ(seen, expected) << "window ends " << kWindow - padded.size()
                              << " bytes into the tokens";
  }
}
