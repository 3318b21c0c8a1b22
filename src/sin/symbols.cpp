#include "sin/symbols.h"

#include <cstring>

#include "kod/frame.h"
#include "kod/output.h"
#include "lex/diagnostics.h"
#include "lex/scanner.h"
#include "lex/source.h"
#include "os/text.h"
#include "sin/source_map.h"

std::string SymTabName[kSymTabSize];
std::string_view SymTabType[kSymTabSize];
std::string_view FoundType;

namespace {
constexpr int32_t kMaxVariables = 210;
constexpr std::string_view kUntypedTag = "25";
int32_t VarCount = 0;

// Rules used before they are defined.
void VarList();
void VarType();
void EmitVarDeclarations();
void DeclareVariable();

// These texts, like the "Type Mach:" and "Duplicate variable Name" below, are the compiler's own
// words as its users know them, odd spelling and grammar included.
constexpr Cp866 kNotAnIdentifier(u8": Лексема не идентификатор- ");
constexpr Cp866 kTooManyVariables(u8"Переполнение кол-во переменных больше 210");

// Each slot's name again as two words, its bytes zero padded as a token's are, so that a probe of
// a lookup, which may pass many names of the same hash, is two integer compares.
struct Key {
  uint64_t low = 0, high = 0;
  bool operator==(const Key &) const = default;
};
static_assert(sizeof(Key) == kMaxTokenText);
Key SymTabKey[kSymTabSize];

Key KeyOf(const TokenChars &text) {
  Key key;
  std::memcpy(&key, text.bytes, sizeof key);
  return key;
}

// The probe goes downwards from the home slot, from slot 0 on to slot 210.
int NextProbe(int slot) {
  return slot == 0 ? kSymTabSize - 1 : slot - 1;
}

void StoreName(int slot, const TokenChars &name) {
  SymTabName[slot] = name;
  SymTabKey[slot] = KeyOf(name);
}

bool DigitsOnly(const std::string &text, size_t from) {
  if (text.size() <= from) return false;
  for (size_t i = from; i < text.size(); ++i)
    if (!IsDigit(static_cast<unsigned char>(text[i]))) return false;
  return true;
}

// "_" and such a name is already a segment, a buffer, a comparison label or a string constant of
// the generated program.
bool IsReservedName(const std::string &name) {
  if (name == "DATA" || name == "TEXT" || name == "BUFRW" || name == "BUFSTR1") return true;
  return (name.starts_with("MSG") && DigitsOnly(name, 3)) ||
         (name.starts_with("STR") && DigitsOnly(name, 3)) ||
         (name.starts_with("M") && DigitsOnly(name, 1));
}
} // namespace

void ResetSymTab() {
  for (int slot = 0; slot < kSymTabSize; ++slot) {
    StoreName(slot, TokenChars{});
    SymTabType[slot] = {};
  }
}

// header = PROGRAM name ";"
void ProgramHeader() {
  NextToken();
  if (TokenCode != kProgram) ExpectedInLine(": PROGRAM");
  NextToken();
  // Any token is taken as the name, stored without a probe at the slot of TokenHash as the scanner
  // left it. The scanner sets the hash only for an identifier, and the passes share it: the name of
  // PROGRAM 5; takes the slot of the last identifier scanned before it, which is the pre-check's
  // last. The slots the variables then take, and so the order of their declarations, follow.
  StoreName(TokenHash, TokenText);
  NextToken();
  if (TokenCode != kSemicolon) ExpectedInLine(": ;");
  MapFixed(MapKind::kHeader);
  EmitDataHeader();
}

// var-section = [ VAR var-list ]
void VarSection() {
  NextToken();
  if (TokenCode == kVar) VarList();
}

namespace {
// var-list = identifier { "," identifier | ":" type ";" identifier } (a ":" is taken anywhere)
void VarList() {
  NextToken();
  if (TokenCode != kIdentifier) ExpectedInLine(kNotAnIdentifier.view(), TokenText);
  int32_t expected = kIdentifier;
  while (TokenCode == expected || TokenCode == kColon) {
    if (TokenCode == kColon) {
      VarType();
      expected = kIdentifier;
    } else if (TokenCode == kIdentifier) {
      DeclareVariable();
      expected = kComma;
    } else {
      expected = kIdentifier;
    }
    NextToken();
  }
}

// type = ( INTEGER | STRING ) ";"
void VarType() {
  NextToken();
  if (TokenCode != kInteger && TokenCode != kString) ExpectedInLine(": Type");
  EmitVarDeclarations();
  NextToken();
  if (TokenCode != kSemicolon) ExpectedInLine(": ;");
}

// Every variable declared since the last type gets this one; declarations go out in slot order.
void EmitVarDeclarations() {
  bool integer = TokenCode == kInteger;
  for (int slot = 0; slot < kSymTabSize; ++slot) {
    if (SymTabType[slot] != kUntypedTag) continue;
    if (integer) {
      SymTabType[slot] = kIntegerTag;
      MapVariableLine(slot);
      EmitLine("_", SymTabName[slot], " DW ?");
    } else {
      SymTabType[slot] = kStringTag;
      MapVariableLine(slot);
      EmitLine("_", SymTabName[slot], " DB  256 dup (?)");
    }
  }
}

void DeclareVariable() {
  if (IsReservedName(TokenText)) FatalInLine(": Reserved name ", TokenText);
  int freeSlot = -1;
  for (int step = 0, slot = TokenHash; step < kSymTabSize; ++step, slot = NextProbe(slot)) {
    if (SymTabName[slot].empty()) {
      freeSlot = slot;
      break;
    }
    if (SymTabName[slot] == TokenText) ExpectedInLine(": Duplicate variable Name", TokenText);
  }
  if (VarCount == kMaxVariables || freeSlot < 0) ExpectedError(kTooManyVariables.str());
  ++VarCount;
  StoreName(freeSlot, TokenText);
  SymTabType[freeSlot] = kUntypedTag;
  MapDeclaration(freeSlot);
}
} // namespace

// A free slot does not end the search: a miss visits every slot.
void LookupVariable() {
  Key key = KeyOf(TokenText);
  for (int step = 0, slot = TokenHash; step < kSymTabSize; ++step, slot = NextProbe(slot)) {
    if (SymTabKey[slot] == key) {
      FoundType = SymTabType[slot];
      return;
    }
  }
  ExpectedInLine(": Unknown identifier ", TokenText);
}

void TypeMismatch() {
  ExpectedInLine(": Type Mach:", TokenText);
}
