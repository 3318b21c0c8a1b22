// The translating pass's own errors. The pre-check meets most of these sources first and refuses
// them in its own words, so the translating pass is run here directly, as the driver runs it after
// a pre-check that passed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "driver/driver.h"
#include "kod/output.h"
#include "os/text.h"
#include "sin/statements.h"
#include "source_fixture.h"
#include "test_platform.h"

namespace {
// Translates `source` in a scratch directory; the console goes to standard error, where the death
// test can see it, and the wait for Enter meets the end of standard input.
void Translate(const std::string &source) {
  std::filesystem::current_path(NewScratchDirectory());
  ConsoleToErrorStream();
  InputAtEnd();
  NameText(source);
  OpenSource();
  OpenOutput();
  ResetTranslatorState();
  TranslateProgram();
  std::exit(0);
}

struct Row {
  std::string source;
  std::string tail; // the end of the console line, after "Ошибка в строке 1"
};

void ExpectFailure(const Row &row) {
  EXPECT_EXIT(Translate(row.source), testing::ExitedWithCode(1),
              EscapeForRegex(row.tail + "." + kCapturedLineEnd) + "$")
      << row.source.substr(0, 120);
}
} // namespace

TEST(TranslateErrors, StatementLevel) {
  const std::string head = "PROGRAM P; VAR A : INTEGER; S : STRING; ";
  const Row rows[] = {
      {"WRITE(A)", "1: BEGIN  Expected"},
      {"BEGIN A := 1; UNTIL", "1: END  Expected"},
      {"BEGIN END;", "1: .  Expected"},
      {"BEGIN A := 1 END.", "1: ;  Expected"},
      {"BEGIN ; END.", "1: Variable identifier  Expected"},
      {"BEGIN BEGIN END; END.", "1: Variable identifier  Expected"},
      {"BEGIN IF A = 1 THEN BEGIN A := 1; UNTIL", "1: END  Expected"},
      {"BEGIN WHILE A = 1 DO BEGIN A := 1; END END.", "1: ;  Expected"},
      {"BEGIN WHILE A = 1 DO A := 1 END.", "1: ;  Expected"},
      {"BEGIN IF A = 1 DO", "1: THEN Expected"},
      {"BEGIN WHILE A THEN", "1: DO  Expected"},
      {"BEGIN FOR 1", "1: Vriable identifier  Expected"},
      {"BEGIN FOR A = 1", "1: :=  Expected"},
      {"BEGIN FOR A := 1 DO", "1: TO  Expected"},
      {"BEGIN FOR A := 1 TO 2 THEN", "1: DO  Expected"},
      {"BEGIN FOR S := 1 TO 2 DO", "1: Type Mach:S Expected"},
      {"BEGIN REPEAT A := 1; END.", "1: UNTIL  Expected"},
      {"BEGIN READ A", "1: ( Expected"},
      {"BEGIN READ(1)", "1: Vriable identifier  Expected"},
      {"BEGIN READ(A, 1)", "1: Vriable identifier  Expected"},
      {"BEGIN READ(A S)", "1: ) Expected"},
      {"BEGIN WRITE A", "1: ( Expected"},
      {"BEGIN WRITE(1)", "1: Vriable identifier  Expected"},
      {"BEGIN WRITE(A, 1)", "1: Vriable identifier  Expected"},
      {"BEGIN WRITE(A, Q)", "1: Unknown identifier Q Expected"},
  };
  for (const Row &row : rows) ExpectFailure({head + row.source, row.tail});
}

TEST(TranslateErrors, ExpressionLevel) {
  const std::string head = "PROGRAM P; VAR A : INTEGER; S : STRING; BEGIN ";
  const Row rows[] = {
      {"A := (1;", "1: ) Expected"},
      {"A := *;", "1: * Expected"},
      {"A := 1 + -1;", "1: - Expected"},
      {"A := NOT NOT A;", "1: NOT Expected"},
      {"A = 1;", "1: := Expected"},
      {"S := 5;", "1: 5 Expected"},
      {"A := 'x';", "1: ' Expected"},
      {"A := S;", "1: Type Mach:S Expected"},
      {"S := A;", "1: Type Mach:A Expected"},
      {"A := Z;", "1: Unknown identifier Z Expected"},
      {"A := 70000;", "1: Number out of range 70000"},
      {"A := -99999;", "1: Number out of range 99999"},
  };
  for (const Row &row : rows) ExpectFailure({head + row.source, row.tail});
}

TEST(TranslateErrors, LiteralOpenAtTheEndOfTheSource) {
  // The scanner then reports the character of the end, byte 0; the console text seen here stops
  // at that byte, so the pattern ends with the colon in front of it.
  constexpr Cp866 kUnknown(u8"Неизвестный символ:");
  EXPECT_EXIT(Translate("PROGRAM P; VAR S : STRING; BEGIN S := 'abc"), testing::ExitedWithCode(1),
              EscapeForRegex(kCapturedLineEnd + ("\aError: " + kUnknown.str())) + "$");
}

TEST(TranslateErrors, NestingDeeperThanAThousandLevels) {
  auto program = [](int depth) {
    return "PROGRAM P; VAR A : INTEGER; BEGIN A := " + std::string(depth, '(') + "1" +
           std::string(depth, ')') + "; END.";
  };
  EXPECT_EXIT(Translate(program(1000)), testing::ExitedWithCode(0), "");
  ExpectFailure({program(1001), "1: nesting too deep"});
  std::string statements = "PROGRAM P; VAR A : INTEGER; BEGIN ";
  for (int i = 0; i < 1001; ++i) statements += "WHILE A = 1 DO ";
  ExpectFailure({statements + "A := 1; END.", "1: nesting too deep"});
}
