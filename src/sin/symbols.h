// The symbol table and the declaration half of the translating pass: ProgramHeader and VarSection
// read the header and the VAR section, writing one data declaration per variable; LookupVariable
// finds the current identifier and leaves its type tag in FoundType, which CheckType tests.
#pragma once

#include <string>
#include <string_view>

// Each slot holds a name (empty: free) and a type tag: "" (program name), "25" (no type yet),
// "1" INTEGER, "2" STRING. A search starts at the name's hash and goes downwards, wrapping.
constexpr int kSymTabSize = 211;
inline constexpr std::string_view kIntegerTag = "1";
inline constexpr std::string_view kStringTag = "2";
extern std::string SymTabName[kSymTabSize];
extern std::string_view SymTabType[kSymTabSize];
extern std::string_view FoundType; // the tag found by the last successful LookupVariable

void ResetSymTab();
void ProgramHeader();
void VarSection();
void LookupVariable();
// The type check of the current identifier, whose lookup left FoundType.
[[noreturn]] void TypeMismatch();
inline void CheckType(std::string_view tag) {
  if (FoundType != tag) TypeMismatch();
}
