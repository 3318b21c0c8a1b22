#include "sin/symbols.h"

#include <algorithm>
#include <cstring>

#include "kod/frame.h"
#include "kod/output.h"
#include "lex/diagnostics.h"
#include "lex/scanner.h"
#include "os/inlining.h"
#include "os/text.h"

std::string SymTabName[kSymTabSize];
std::string_view SymTabType[kSymTabSize];
int32_t VarCount = 0;
std::string_view FoundType;

namespace {
// These texts, like the "Type Mach:" and "Duplicate variable Name" below, are the compiler's own
// words as its users know them, odd spelling and grammar included.
constexpr Cp866 kNotAnIdentifier(u8": Лексема не идентификатор- ");
constexpr Cp866 kTooManyVariables(u8"Переполнение кол-во переменных больше 210");

// Each slot's name again, packed into two words (zero padded; no token holds a zero byte), so that
// a probe of the lookup, which meets many names of the same hash, is two integer compares.
struct Key {
  uint64_t low = 0, high = 0;
  bool operator==(const Key &) const = default;
};
Key SymTabKey[kSymTabSize];

// A token's text is zero padded already.
static_assert(sizeof(Key) == kMaxTokenText);
Key KeyOf(const TokenChars &text) {
  Key key;
  std::memcpy(&key, text.bytes, sizeof key);
  return key;
}
Key KeyOf(std::string_view text) {
  Key key;
  size_t length = std::min(text.size(), kMaxTokenText);
  std::memcpy(&key.low, text.data(), std::min<size_t>(length, 8));
  if (length > 8) std::memcpy(&key.high, text.data() + 8, length - 8);
  return key;
}

// A lookup's result, kept for the next lookup of the same name from the same slot: the body of a
// program looks up few names many times, and names of one hash stand in a row, so a probe may pass
// many slots. A stored name changes what a probe finds, so storing one forgets every result kept.
struct Found {
  Key key;
  int start = -1;
  int slot = 0;
  uint32_t age = 0;
};
constexpr size_t kFoundSlots = 256;
Found found[kFoundSlots];
uint32_t tableAge = 1; // results of an older age were found in an older table

// The name's bytes mixed by multiplication; the top eight bits pick the entry.
Found &FoundFor(const Key &key) {
  static_assert(kFoundSlots == 1 << 8);
  uint64_t mixed = (key.low ^ key.high * 0xC2B2AE3D27D4EB4Full) * 0x9E3779B97F4A7C15ull;
  return found[mixed >> (64 - 8)];
}

// The probe goes downwards from the home slot, from slot 0 on to slot 210.
int NextProbe(int slot) {
  return slot == 0 ? kSymTabSize - 1 : slot - 1;
}

void StoreName(int slot, const std::string &name) {
  SymTabName[slot] = name;
  SymTabKey[slot] = KeyOf(name);
  ++tableAge;
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
    StoreName(slot, "");
    SymTabType[slot] = {};
  }
}

// header = PROGRAM name ";"
void ProgramHeader() {
  NextToken();
  if (TokenCode != kProgram) ExpectedInLine(": PROGRAM");
  NextToken();
  // Any token is taken as the name, stored without a probe at the slot of the current hash.
  StoreName(TokenHash, TokenText);
  NextToken();
  if (TokenCode != kSemicolon) ExpectedInLine(": ;");
  EmitDataHeader();
}

// var-section = [ VAR var-list ]
void VarSection() {
  NextToken();
  if (TokenCode == kVar) VarList();
}

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
      EmitLine("_", SymTabName[slot], " DW ?");
    } else {
      SymTabType[slot] = kStringTag;
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
    if (SymTabName[slot] == TokenText)
      ExpectedInLine(": Duplicate variable Name", TokenText);
  }
  if (VarCount == kMaxVariables || freeSlot < 0) ExpectedError(kTooManyVariables.str());
  ++VarCount;
  StoreName(freeSlot, TokenText);
  SymTabType[freeSlot] = kUntypedTag;
}

namespace {
// The slot of the current token's name, which is then kept for the next lookup. A free slot does
// not end the search: a miss visits every slot.
OUT_OF_LINE int Probe() {
  Key key = KeyOf(TokenText);
  for (int step = 0, slot = TokenHash; step < kSymTabSize; ++step, slot = NextProbe(slot)) {
    if (SymTabKey[slot] == key) {
      FoundFor(key) = Found{key, TokenHash, slot, tableAge};
      return slot;
    }
  }
  ExpectedInLine(": Unknown identifier ", TokenText);
}
} // namespace

void LookupVariable() {
  Key key = KeyOf(TokenText);
  const Found &last = FoundFor(key);
  bool kept = last.age == tableAge && last.start == TokenHash && last.key == key;
  FoundType = SymTabType[kept ? last.slot : Probe()];
}

void TypeMismatch() {
  ExpectedInLine(": Type Mach:", TokenText);
}
