// The program name's slot: the header stores its name, whatever token it is, at the hash the
// scanner left, which only an identifier sets.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kod/output.h"
#include "lex/scanner.h"
#include "sin/symbols.h"
#include "source_fixture.h"
#include "test_platform.h"

namespace {
// Reads the header of `source` after scanning `before`, as the translating pass meets it after the
// pre-check; gives the slot that holds `name`, or -1.
int SlotOfProgramName(const std::string &before, const std::string &source,
                      const std::string &name) {
  std::filesystem::current_path(NewScratchDirectory());
  OpenOutput();
  ResetSymTab();
  OpenText(before);
  while (CurChar != 0) NextToken();
  OpenText(source);
  ProgramHeader();
  CloseOutput();
  for (int slot = 0; slot < kSymTabSize; ++slot)
    if (SymTabName[slot] == name) return slot;
  return -1;
}
} // namespace

TEST(Symbols, ProgramNameTakesTheHashOfTheLastIdentifier) {
  // X hashes to 88, COUNT to 182; numbers, keywords and operators leave the hash as it was.
  EXPECT_EQ(SlotOfProgramName("X 5 BEGIN := ", "PROGRAM DEMO ; ", "DEMO"),
            (68 + 69 + 77 + 79) % 211);
  EXPECT_EQ(SlotOfProgramName("X 5 BEGIN := ", "PROGRAM 5 ; ", "5"), 88);
  EXPECT_EQ(SlotOfProgramName("X COUNT END . ", "PROGRAM ; ; ", ";"), 182);
}

// A variable whose home slot the program name holds goes one slot down, so the order of the
// declarations follows the name's slot.
TEST(Symbols, ProgramNameMovesTheVariablesOfItsSlot) {
  std::filesystem::current_path(NewScratchDirectory());
  OpenOutput();
  ResetSymTab();
  OpenText("X ");
  NextToken();
  OpenText("PROGRAM 5; VAR W, X : INTEGER; BEGIN ");
  ProgramHeader();
  VarSection();
  CloseOutput();
  EXPECT_EQ(SymTabName[88], "5");
  EXPECT_EQ(SymTabName[87], "W");
  EXPECT_EQ(SymTabName[86], "X");
}
