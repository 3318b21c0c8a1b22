// The symbol table and the declaration half of the translating pass: the program header, the VAR
// section with one data declaration per variable, and the lookup and type check used by the body.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr int kSymTabSize = 211;
constexpr int32_t kMaxVariables = 210;

// Each slot holds a name (empty: free) and a type tag: "" (program name), "25" (no type yet),
// "1" INTEGER, "2" STRING. A search starts at the name's hash and goes downwards, wrapping. The
// tags are these constant texts, so a tag is held and passed on as a view of one of them.
inline constexpr std::string_view kIntegerTag = "1";
inline constexpr std::string_view kStringTag = "2";
inline constexpr std::string_view kUntypedTag = "25";
extern std::string SymTabName[kSymTabSize];
extern std::string_view SymTabType[kSymTabSize];
extern int32_t VarCount;
extern std::string_view FoundType; // the tag found by the last successful LookupVariable

void ResetSymTab();
void ProgramHeader();
void VarSection();
void VarList();
void VarType();
void EmitVarDeclarations();
void DeclareVariable();
void LookupVariable();
[[noreturn]] void TypeMismatch();
// A tag found is a view of one of the constants above, so the same view means the same tag.
inline bool SameTag(std::string_view a, std::string_view b) {
  return (a.data() == b.data() && a.size() == b.size()) || a == b;
}
inline void CheckType(std::string_view tag) {
  if (!SameTag(FoundType, tag)) TypeMismatch();
}
