// The symbol table's lookup keeps the slot it found for the next lookup of the same name; whatever
// it keeps, every lookup must find what a probe of the whole table in its order would find.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "kod/output.h"
#include "lex/scanner.h"
#include "sin/symbols.h"
#include "source_fixture.h"
#include "test_platform.h"

namespace {
// The tag of the first slot in probe order, from the current hash down, whose name is the token's.
std::string_view ProbedTag() {
  for (int step = 0, slot = TokenHash; step < kSymTabSize; ++step) {
    if (SymTabName[slot] == std::string_view(TokenText)) return SymTabType[slot];
    slot = slot == 0 ? kSymTabSize - 1 : slot - 1;
  }
  ADD_FAILURE() << "no slot holds " << std::string(TokenText);
  return {};
}

// Names that crowd a few hashes (the same letters in another order) and names alike in their
// first eight bytes, so that probes pass many slots and kept results meet one another.
std::vector<std::string> CrowdedNames() {
  std::vector<std::string> names;
  for (const char *a : {"AB", "BA", "W2", "XY1", "YX1", "X1Y"}) names.push_back(a);
  for (int i = 1; i <= 60; ++i) names.push_back("V" + std::to_string(i)); // V12 and V21 alike
  for (int i = 1; i <= 40; ++i) names.push_back("LONGNAME" + std::to_string(i));
  return names;
}
} // namespace

TEST(Symbols, EveryLookupFindsTheSlotAProbeFinds) {
  std::filesystem::current_path(NewScratchDirectory());
  const std::vector<std::string> names = CrowdedNames();
  std::string source = "PROGRAM P; VAR ";
  for (size_t i = 0; i < names.size(); ++i) {
    source += names[i] + (i % 3 == 2 ? " : STRING; " : " : INTEGER; ");
  }
  OpenOutput();
  ResetSymTab();
  OpenText(source + "BEGIN ");
  ProgramHeader();
  VarSection();
  ASSERT_EQ(TokenCode, kBegin);

  std::mt19937 random(7);
  std::string lookups;
  for (int round = 0; round < 4000; ++round) {
    lookups += names[random() % names.size()] + (random() % 2 ? " " : " , ");
  }
  OpenText(lookups + "END ");
  int looked = 0;
  for (NextToken(); TokenCode != kEnd; NextToken()) {
    if (TokenCode != kIdentifier) continue;
    LookupVariable();
    ASSERT_EQ(FoundType, ProbedTag()) << std::string(TokenText) << " lookup " << looked;
    ++looked;
  }
  EXPECT_EQ(looked, 4000);
  CloseOutput();
}

// A name stored after a lookup may stand earlier in that name's probe order: the next lookup must
// see it, not the slot kept from before.
TEST(Symbols, AStoredNameIsSeenByTheNextLookup) {
  std::filesystem::current_path(NewScratchDirectory());
  OpenOutput();
  ResetSymTab();
  // AB and BA share a hash: AB takes the home slot, BA the one below it.
  OpenText("PROGRAM P; VAR AB : STRING; BA : INTEGER; BEGIN ");
  ProgramHeader();
  VarSection();
  OpenText("BA ");
  NextToken();
  LookupVariable();
  EXPECT_EQ(FoundType, kIntegerTag);
  // A header stores its name at the current hash without a probe: BA now also stands in the home
  // slot, which keeps AB's tag, and a probe meets it first.
  OpenText("PROGRAM BA ; ");
  ProgramHeader();
  OpenText("BA ");
  NextToken();
  LookupVariable();
  EXPECT_EQ(FoundType, kStringTag);
  EXPECT_EQ(FoundType, ProbedTag());
  CloseOutput();
}
