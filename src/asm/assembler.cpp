// The assembler of "out1.asm", in two passes. The first reads the lines in order: directives,
// data (laid out as it comes), labels, and instructions with their operands parsed. The second,
// when every name is known, checks each instruction's operands and picks its form from the
// table, then places the code: every jump starts in its short form and is made near when its
// target lies too far, until no jump changes, which gives the shortest code, as the reference
// assembler gives it.
#include "asm/assembler.h"

#include <map>
#include <optional>

#include "asm/forms.h"

namespace {
constexpr size_t kMaxLine = 512;

enum class TokenKind { String, Number, Ident, Dot, Punct };

struct Token {
  TokenKind kind;
  std::string text;  // as written
  std::string lower; // lower-cased
  int64_t value = 0; // of a number
  std::string bytes; // of a string, its doubled quotes made single
};

// The refusal of the line being read: the first one is kept, and every routine that meets it
// returns false at once.
std::string Refusal;

bool Refuse(std::string message) {
  Refusal = std::move(message);
  return false;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char &c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsNameStart(char c) {
  return IsLetter(c) || c == '_' || c == '@' || c == '?' || c == '$';
}
bool IsNamePart(char c) {
  return IsNameStart(c) || IsDigit(c);
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// MASM numbers in the default radix 10: decimal digits, or hex digits ending in h.
std::optional<int64_t> ParseNumber(std::string_view text) {
  bool hex = text.back() == 'h' || text.back() == 'H';
  std::string_view digits = hex ? text.substr(0, text.size() - 1) : text;
  if (digits.empty() || digits.size() > 12) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    int d;
    if (IsDigit(c))
      d = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    value = value * (hex ? 16 : 10) + d;
  }
  return value;
}

// The text of a line before its ";" comment (one outside quotes).
bool StripComment(std::string_view &line) {
  char quote = 0;
  for (size_t i = 0; i < line.size(); i++) {
    char c = line[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      line = line.substr(0, i);
      return true;
    }
  }
  if (quote) return Refuse("unterminated string");
  return true;
}

bool Tokenize(std::string_view text, std::vector<Token> &tokens) {
  size_t i = 0;
  while (true) {
    while (i < text.size() && IsBlank(text[i])) i++;
    if (i == text.size()) break;
    size_t start = i;
    char c = text[i];
    Token token;
    if (c == '"' || c == '\'') {
      token.kind = TokenKind::String;
      i++;
      while (true) {
        // StripComment has made sure that the quote closes.
        if (text[i] == c) {
          if (i + 1 < text.size() && text[i + 1] == c) {
            token.bytes += c;
            i += 2;
            continue;
          }
          i++;
          break;
        }
        token.bytes += text[i++];
      }
    } else if (IsDigit(c)) {
      token.kind = TokenKind::Number;
      while (i < text.size() && (IsDigit(text[i]) || IsLetter(text[i]))) i++;
      std::optional<int64_t> value = ParseNumber(text.substr(start, i - start));
      if (!value)
        return Refuse("not a number this assembler knows: " +
                      std::string(text.substr(start, i - start)));
      token.value = *value;
    } else if (IsNameStart(c)) {
      token.kind = TokenKind::Ident;
      while (i < text.size() && IsNamePart(text[i])) i++;
    } else if (c == '.' && i + 1 < text.size() && (IsLetter(text[i + 1]) || IsDigit(text[i + 1]))) {
      token.kind = TokenKind::Dot;
      i++;
      while (i < text.size() && (IsLetter(text[i]) || IsDigit(text[i]))) i++;
    } else if (c == ',' || c == ':' || c == '[' || c == ']' || c == '+' || c == '-' || c == '(' ||
               c == ')') {
      token.kind = TokenKind::Punct;
      i++;
    } else {
      return Refuse(std::string("unexpected character '") + c + "'");
    }
    token.text = std::string(text.substr(start, i - start));
    token.lower = Lower(token.text);
    tokens.push_back(std::move(token));
  }
  return true;
}

bool IsPunct(const Token &token, char c) {
  return token.kind == TokenKind::Punct && token.text[0] == c;
}

// Registers in the order of their codes in a ModRM byte.
constexpr std::string_view kReg16[] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};
constexpr std::string_view kReg8[] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
constexpr std::string_view kSreg[] = {"es", "cs", "ss", "ds"};
constexpr uint8_t kSegmentPrefix[] = {0x26, 0x2E, 0x36, 0x3E};

int Find(std::span<const std::string_view> names, std::string_view name) {
  for (size_t i = 0; i < names.size(); i++)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}
int Reg16(std::string_view name) {
  return Find(kReg16, name);
}
int Reg8(std::string_view name) {
  return Find(kReg8, name);
}
int Sreg(std::string_view name) {
  return Find(kSreg, name);
}
// The registers that may index memory: bx, bp, si, di.
bool IsIndex(int reg16) {
  return reg16 == 3 || reg16 == 5 || reg16 == 6 || reg16 == 7;
}

enum class Kind { Reg, SReg, Mem, Imm, Label, AtData, Name };

struct Operand {
  Kind kind = Kind::Imm;
  int reg = -1;       // Reg, SReg: the register's code; Mem: the index register or -1
  int size = 0;       // 1 or 2 bytes; 0 while unknown
  int ptr = 0;        // the size "byte ptr" or "word ptr" gave
  int segment = -1;   // Mem: the segment override or -1
  std::string symbol; // Mem, Imm (offset), Label, Name: lower-cased
  int64_t value = 0;  // Mem: the displacement; Imm: the value
  bool known = true;  // Imm: false for an offset, known after the code is placed
};

enum class SymKind { Data, Equ, Code };

struct Symbol {
  SymKind kind;
  std::string name;  // as written
  int size = 0;      // Data: 1 or 2
  int64_t value = 0; // Data: offset in DGROUP; Equ: the value; Code: the offset in _TEXT
  std::string owner; // Code: the procedure a label lies in ("" outside any, or a procedure)
};

Operand Make(Kind kind, int reg = -1, int size = 0) {
  Operand op;
  op.kind = kind;
  op.reg = reg;
  op.size = size;
  return op;
}

struct Statement {
  uint32_t line = 0;
  std::string text; // trimmed, for a message
  std::string mnemonic;
  std::vector<Operand> operands;
  std::string proc;  // the open procedure
  std::string label; // a label defined here ("" for an instruction line)
  // Filled by the second pass:
  const Form *form = nullptr;
  uint32_t offset = 0;
  uint32_t length = 0;
};

struct Assembly {
  std::map<std::string, Symbol> symbols;
  std::vector<std::string> order; // symbols in the order of their definition
  std::vector<Statement> code;
  std::vector<uint8_t> data; // kept up to a little past 64 KiB, which is refused anyway
  uint64_t dataSize = 0;     // the whole of it
  std::string section;       // "data", "code" or ""
  bool model = false, cpu = false;
  std::string openProc;
  std::string entry;
  std::optional<uint32_t> stack;
  std::string lastDataLabel;
};

Assembly A; // the assembly under way; Assemble starts it anew

bool Define(std::string_view name, Symbol symbol) {
  std::string low = Lower(name);
  if (low == "_data" || low == "_text" || low == "dgroup")
    return Refuse(std::string(name) + " is a segment name of the small model");
  if (Reg8(low) >= 0 || Reg16(low) >= 0 || Sreg(low) >= 0)
    return Refuse(std::string(name) + " is a register name");
  if (A.symbols.count(low)) return Refuse("symbol redefinition: " + std::string(name));
  symbol.name = std::string(name);
  A.symbols.emplace(low, std::move(symbol));
  A.order.push_back(low);
  return true;
}

bool Fits(int64_t value, int size) {
  return size == 1 ? value >= -128 && value <= 255 : value >= -32768 && value <= 65535;
}

std::vector<std::vector<Token>> SplitCommas(std::span<const Token> tokens) {
  std::vector<std::vector<Token>> parts(1);
  for (const Token &t : tokens) {
    if (IsPunct(t, ','))
      parts.emplace_back();
    else
      parts.back().push_back(t);
  }
  return parts;
}

bool Directive(const std::vector<Token> &t) {
  const std::string &d = t[0].lower;
  if (d == ".model") {
    if (A.model || t.size() != 2 || t[1].lower != "small")
      return Refuse("only one .model small is known");
    A.model = true;
  } else if (d == ".386") {
    if (!A.model) return Refuse(".386 before .model would make 32-bit segments");
    if (t.size() != 1 || A.cpu) return Refuse("unknown line");
    A.cpu = true;
  } else if (d == ".data" || d == ".code") {
    if (!A.model || t.size() != 1) return Refuse(d + " needs .model small before it");
    if (!A.openProc.empty()) return Refuse("procedure " + A.openProc + " is not closed");
    A.section = d.substr(1);
  } else if (d == ".stack") {
    if (!A.model || A.stack || !A.openProc.empty())
      return Refuse(".stack needs .model small before it, outside a procedure, once");
    if (t.size() != 2 || t[1].kind != TokenKind::Number)
      return Refuse(".stack takes its size in bytes");
    int64_t size = t[1].value;
    if (size % 16 || size < 16 || size > kSegmentLimit)
      return Refuse("stack size must be whole paragraphs, 16 to 65536 bytes");
    A.stack = static_cast<uint32_t>(size);
    // The directive opens the stack segment and closes it again: no line belongs to it.
    A.section = "";
  } else {
    return Refuse("unknown directive " + t[0].text);
  }
  return true;
}

bool Equate(const Token &name, std::span<const Token> rest) {
  if (A.section != "data") return Refuse("equ outside the data segment");
  int64_t value;
  if (rest.size() == 1 && rest[0].kind == TokenKind::Number) {
    value = rest[0].value;
  } else if (rest.size() == 3 && rest[0].text == "$" && IsPunct(rest[1], '-') &&
             rest[2].kind == TokenKind::Ident) {
    auto it = A.symbols.find(rest[2].lower);
    if (it == A.symbols.end() || it->second.kind != SymKind::Data)
      return Refuse(rest[2].text + " is not a variable defined before this line");
    value = static_cast<int64_t>(A.dataSize) - it->second.value;
  } else {
    return Refuse("equ value must be a number or $ - variable");
  }
  return Define(name.text, {SymKind::Equ, "", 0, value, ""});
}

bool Data(const Token *name, const Token &kind, std::span<const Token> items) {
  if (A.section != "data") return Refuse("data definition outside the data segment");
  int size = kind.lower == "db" ? 1 : 2;
  if (name) {
    if (!Define(name->text, {SymKind::Data, "", size, static_cast<int64_t>(A.dataSize), ""}))
      return false;
    A.lastDataLabel = name->lower;
  }
  std::vector<std::vector<Token>> parts = SplitCommas(items);
  bool dup = false;
  std::vector<uint8_t> bytes;
  uint64_t added = 0;
  auto put = [&](int64_t value, int64_t count) {
    added += static_cast<uint64_t>(count) * size;
    for (int64_t i = 0; i < count && A.data.size() + bytes.size() < 2 * kSegmentLimit; i++) {
      bytes.push_back(static_cast<uint8_t>(value));
      if (size == 2) bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
  };
  for (const std::vector<Token> &p : parts) {
    if (p.empty()) return Refuse("empty data item");
    if (p.size() == 1 && p[0].kind == TokenKind::String) {
      if (p[0].bytes.empty()) return Refuse("empty string");
      if (size == 2) return Refuse("string in a DW");
      bytes.insert(bytes.end(), p[0].bytes.begin(), p[0].bytes.end());
      added += p[0].bytes.size();
    } else if (p.size() == 1 && p[0].kind == TokenKind::Number) {
      if (!Fits(p[0].value, size)) return Refuse("value out of range: " + p[0].text);
      put(p[0].value, 1);
    } else if (p.size() == 1 && p[0].text == "?") {
      put(0, 1);
    } else if (p.size() == 5 && p[0].kind == TokenKind::Number && p[1].lower == "dup" &&
               IsPunct(p[2], '(') && IsPunct(p[4], ')') &&
               (p[3].text == "?" || p[3].kind == TokenKind::Number)) {
      int64_t count = p[0].value;
      int64_t fill = p[3].text == "?" ? 0 : p[3].value;
      if (count < 1 || !Fits(fill, size)) return Refuse("bad dup");
      put(fill, count);
      dup = true;
    } else {
      return Refuse("unknown data item");
    }
  }
  if (dup && parts.size() != 1) return Refuse("dup mixed with other items");
  A.data.insert(A.data.end(), bytes.begin(), bytes.end());
  A.dataSize += added;
  return true;
}

bool Proc(const std::vector<Token> &t) {
  if (A.section != "code") return Refuse("proc outside the code segment");
  if (t.size() != 2) return Refuse("only a plain NAME proc is known");
  if (!A.openProc.empty()) return Refuse("procedure " + A.openProc + " is not closed");
  if (!Define(t[0].text, {SymKind::Code, "", 0, 0, ""})) return false;
  A.openProc = t[0].lower;
  Statement st;
  st.line = 0;
  st.label = t[0].lower;
  A.code.push_back(std::move(st));
  return true;
}

bool Endp(const std::vector<Token> &t) {
  if (t.size() != 2 || A.openProc != t[0].lower)
    return Refuse("endp does not close the open procedure");
  A.openProc.clear();
  return true;
}

bool ParseOperand(std::vector<Token> t, bool branch, Operand &out) {
  auto give = [&](Operand op) {
    out = std::move(op);
    return true;
  };
  if (branch) {
    if (t.size() != 1 || t[0].kind != TokenKind::Ident)
      return Refuse("a jump or call takes a label");
    Operand op = Make(Kind::Label);
    op.symbol = t[0].lower;
    return give(op);
  }
  int ptr = 0;
  if (t.size() >= 3 && t[1].lower == "ptr") {
    if (t[0].lower != "byte" && t[0].lower != "word") return Refuse("unknown size " + t[0].text);
    ptr = t[0].lower == "byte" ? 1 : 2;
    t.erase(t.begin(), t.begin() + 2);
  }
  size_t n = t.size();
  auto low = [&](size_t i) -> const std::string & { return t[i].lower; };
  if (n == 1 && !ptr) {
    if (int r = Reg8(low(0)); r >= 0) return give(Make(Kind::Reg, r, 1));
    if (int r = Reg16(low(0)); r >= 0) return give(Make(Kind::Reg, r, 2));
    if (int r = Sreg(low(0)); r >= 0) return give(Make(Kind::SReg, r, 2));
    if (low(0) == "@data") return give(Make(Kind::AtData, -1, 2));
  }
  Operand mem = Make(Kind::Mem);
  mem.ptr = ptr;
  if (n == 3 && IsPunct(t[0], '[') && IsPunct(t[2], ']') && IsIndex(Reg16(low(1)))) {
    mem.reg = Reg16(low(1));
    return give(mem);
  }
  if (n == 5 && Sreg(low(0)) >= 0 && IsPunct(t[1], ':') && IsPunct(t[2], '[') &&
      IsIndex(Reg16(low(3))) && IsPunct(t[4], ']')) {
    mem.reg = Reg16(low(3));
    mem.segment = Sreg(low(0));
    return give(mem);
  }
  if (n == 2 && low(0) == "offset" && t[1].kind == TokenKind::Ident && !ptr) {
    Operand imm = Make(Kind::Imm);
    imm.symbol = low(1);
    imm.known = false;
    return give(imm);
  }
  if (!ptr) {
    Operand imm = Make(Kind::Imm);
    if (n == 1 && t[0].kind == TokenKind::Number) {
      imm.value = t[0].value;
      return give(imm);
    }
    if (n == 2 && IsPunct(t[0], '-') && t[1].kind == TokenKind::Number) {
      imm.value = -t[1].value;
      return give(imm);
    }
    if (n == 1 && t[0].kind == TokenKind::String) {
      if (t[0].bytes.size() != 1) return Refuse("a character immediate must be one character");
      imm.value = static_cast<unsigned char>(t[0].bytes[0]);
      return give(imm);
    }
  }
  if (t[0].kind == TokenKind::Ident && low(0) != "offset" && low(0) != "ptr" && low(0) != "dup") {
    if (n == 1) {
      Operand name = Make(Kind::Name);
      name.symbol = low(0);
      name.ptr = ptr;
      return give(name);
    }
    if (n == 4 && IsPunct(t[1], '[') && IsPunct(t[3], ']')) {
      mem.symbol = low(0);
      if (IsIndex(Reg16(low(2)))) {
        mem.reg = Reg16(low(2));
        return give(mem);
      }
      if (t[2].kind == TokenKind::Number) {
        mem.value = t[2].value;
        return give(mem);
      }
    }
  }
  std::string text;
  for (const Token &token : t) text += (text.empty() ? "" : " ") + token.text;
  return Refuse("unknown operand " + text);
}

const std::string_view kKnown[] = {
    "mov",  "add", "sub", "and", "or",    "xor",  "cmp",   "adc",  "sbb", "shl", "inc",
    "dec",  "neg", "not", "mul", "imul",  "div",  "idiv",  "push", "pop", "jmp", "call",
    "loop", "je",  "jne", "jg",  "jl",    "jle",  "jge",   "jae",  "jc",  "jns", "ret",
    "cld",  "clc", "stc", "cwd", "pusha", "popa", "pushf", "popf", "lea", "int"};
const std::string_view kBranches[] = {"jmp", "call", "loop", "je",  "jne", "jg",
                                      "jl",  "jle",  "jge",  "jae", "jc",  "jns"};

bool Code(std::vector<Token> t, Statement &st) {
  if (t.size() >= 2 && t[0].kind == TokenKind::Ident && IsPunct(t[1], ':')) {
    if (t.size() >= 3 && IsPunct(t[2], ':')) return Refuse("unknown label form");
    if (!Define(t[0].text, {SymKind::Code, "", 0, 0, A.openProc})) return false;
    st.label = t[0].lower;
    t.erase(t.begin(), t.begin() + 2);
    if (t.empty()) return true;
  }
  if (t[0].kind != TokenKind::Ident) return Refuse("unknown line");
  std::string mnemonic = t[0].lower;
  if (mnemonic == "rep") {
    if (t.size() != 2 || t[1].lower != "movsb") return Refuse("only rep movsb is known");
    st.mnemonic = "rep movsb";
    return true;
  }
  if (Find(kKnown, mnemonic) < 0) return Refuse("unknown instruction " + t[0].text);
  bool branch = Find(kBranches, mnemonic) >= 0;
  if (t.size() > 1) {
    for (std::vector<Token> &part : SplitCommas(std::span(t).subspan(1))) {
      if (part.empty()) return Refuse("empty operand");
      st.operands.emplace_back();
      if (!ParseOperand(std::move(part), branch, st.operands.back())) return false;
    }
  }
  st.mnemonic = mnemonic;
  return true;
}

// One line of the first pass; `end` is set at "end", after which lines are not read.
bool Line(uint32_t number, std::string_view raw, bool &end) {
  if (raw.size() > kMaxLine) return Refuse("line longer than 512 characters");
  for (char c : raw)
    if (static_cast<unsigned char>(c) < 32 && c != '\t') return Refuse("control character in line");
  std::vector<Token> t;
  if (!StripComment(raw) || !Tokenize(raw, t)) return false;
  if (t.empty()) return true;
  const std::string &first = t[0].lower;
  if (t[0].kind == TokenKind::Dot) return Directive(t);
  if (first == "end") {
    if (t.size() != 2 || t[1].kind != TokenKind::Ident)
      return Refuse("END must name the entry label");
    if (!A.openProc.empty()) return Refuse("procedure " + A.openProc + " is not closed");
    A.entry = t[1].lower;
    end = true;
    return true;
  }
  if (first == "db" || first == "dw") return Data(nullptr, t[0], std::span(t).subspan(1));
  if (t.size() >= 2 && t[1].kind == TokenKind::Ident) {
    const std::string &second = t[1].lower;
    if (t[0].kind != TokenKind::Ident) return Refuse("unknown line");
    if (second == "equ") return Equate(t[0], std::span(t).subspan(2));
    if (second == "db" || second == "dw") return Data(&t[0], t[1], std::span(t).subspan(2));
    if (second == "proc") return Proc(t);
    if (second == "endp") return Endp(t);
  }
  if (A.section != "code") return Refuse("instruction or label outside the code segment");
  Statement st;
  st.line = number;
  st.proc = A.openProc;
  if (!Code(std::move(t), st)) return false;
  A.code.push_back(std::move(st));
  return true;
}

// --- The second pass: operands resolved and checked, a form chosen --------------------------

const Symbol *Lookup(const std::string &name) {
  auto it = A.symbols.find(name);
  return it == A.symbols.end() ? nullptr : &it->second;
}

bool Resolve(Operand &op, const Statement &st) {
  if (op.kind == Kind::Name) {
    const Symbol *s = Lookup(op.symbol);
    if (!s) return Refuse("undefined symbol " + op.symbol);
    if (s->kind == SymKind::Data) {
      Operand mem = Make(Kind::Mem);
      mem.symbol = op.symbol;
      mem.ptr = op.ptr;
      op = mem;
    } else if (s->kind == SymKind::Equ && op.ptr == 0) {
      op = Make(Kind::Imm);
      op.value = s->value;
      return true;
    } else {
      return Refuse(op.symbol + " cannot be an operand of " + st.mnemonic);
    }
  }
  if (op.kind == Kind::Mem) {
    if (!op.symbol.empty()) {
      const Symbol *s = Lookup(op.symbol);
      if (!s) return Refuse("undefined symbol " + op.symbol);
      if (s->kind != SymKind::Data) return Refuse(op.symbol + " is not a variable");
      // "byte ptr"/"word ptr" overrides the declared type, as in MASM.
      op.size = op.ptr ? op.ptr : s->size;
    } else {
      op.size = op.ptr;
    }
  }
  if (op.kind == Kind::Imm && !op.known) {
    const Symbol *s = Lookup(op.symbol);
    if (!s) return Refuse("undefined symbol " + op.symbol);
    if (s->kind == SymKind::Equ) return Refuse("offset of the constant " + op.symbol);
  }
  if (op.kind == Kind::Label) {
    const Symbol *s = Lookup(op.symbol);
    if (!s) return Refuse("undefined label " + op.symbol);
    if (s->kind != SymKind::Code) return Refuse(op.symbol + " is not a code label");
    if (!s->owner.empty() && s->owner != st.proc)
      return Refuse(op.symbol + " is local to procedure " + s->owner);
  }
  return true;
}

// The value of an operand's address or immediate, once data and code are placed.
int64_t AddressOf(const std::string &symbol) {
  return Lookup(symbol)->value;
}
int64_t ImmediateValue(const Operand &op) {
  return op.known ? op.value : AddressOf(op.symbol);
}
int64_t Displacement(const Operand &mem) {
  return (mem.symbol.empty() ? 0 : AddressOf(mem.symbol)) + mem.value;
}

bool IsDirect(const Operand &op) {
  return op.kind == Kind::Mem && op.reg < 0;
}

bool SignedByte(int64_t value) {
  auto word = static_cast<int16_t>(static_cast<uint16_t>(value));
  return word >= -128 && word <= 127;
}

bool Matches(Shape shape, const Operand *op) {
  using enum Shape;
  if (shape == None) return op == nullptr;
  if (op == nullptr) return false;
  bool reg = op->kind == Kind::Reg, mem = op->kind == Kind::Mem;
  switch (shape) {
  case R8:
  case PlusR8:
    return reg && op->size == 1;
  case R16:
  case PlusR16:
    return reg && op->size == 2;
  case RM8:
    return (reg || mem) && op->size == 1;
  case RM16:
    return (reg || mem) && op->size == 2;
  case M:
    return mem;
  case AL:
    return reg && op->size == 1 && op->reg == 0;
  case AX:
    return reg && op->size == 2 && op->reg == 0;
  case CL:
    return reg && op->size == 1 && op->reg == 1;
  case One:
    return op->kind == Kind::Imm && op->known && op->value == 1;
  case Moffs8:
    return IsDirect(*op) && op->size == 1;
  case Moffs16:
    return IsDirect(*op) && op->size == 2;
  case I8:
  case I16:
    return op->kind == Kind::Imm;
  case S8:
    return op->kind == Kind::Imm && SignedByte(ImmediateValue(*op));
  case SReg:
    return op->kind == Kind::SReg;
  case Rel8:
  case Rel16:
    return op->kind == Kind::Label;
  default:
    return false;
  }
}

// The first form of the table that takes these operands, at the size they have.
const Form *Choose(const Statement &st, int size) {
  const Operand *dst = st.operands.size() > 0 ? &st.operands[0] : nullptr;
  const Operand *src = st.operands.size() > 1 ? &st.operands[1] : nullptr;
  for (const Form &form : InstructionForms()) {
    if (form.mnemonic != st.mnemonic) continue;
    if (form.size && size && form.size != size) continue;
    if (Matches(form.dst, dst) && Matches(form.src, src)) return &form;
  }
  return nullptr;
}

// The MASM rules of the subset, as refusals; then the form.
bool Check(Statement &st) {
  for (Operand &op : st.operands)
    if (!Resolve(op, st)) return false;
  std::vector<Operand> &ops = st.operands;
  const std::string &m = st.mnemonic;
  size_t n = ops.size();
  auto want = [&](size_t count) {
    return n == count || Refuse(m + " takes " + std::to_string(count) + " operand(s)");
  };
  auto checkImm = [&](const Operand &imm, int size) {
    if (imm.known && !Fits(imm.value, size))
      return Refuse("constant value too large for a " + std::to_string(8 * size) + "-bit operand");
    return imm.known || size == 2 || Refuse("an address needs a 16-bit operand");
  };
  for (size_t i = 0; i < n; i++)
    if (ops[i].kind == Kind::AtData &&
        !(m == "mov" && i == 1 && ops[0].kind == Kind::Reg && ops[0].size == 2))
      return Refuse("@Data is only known as the source of a 16-bit register move");
  int size = 0;
  if (m == "rep movsb" || m == "ret" || m == "cld" || m == "clc" || m == "stc" || m == "cwd" ||
      m == "pusha" || m == "popa" || m == "pushf" || m == "popf") {
    if (!want(0)) return false;
  } else if (Find(kBranches, m) >= 0) {
    if (!want(1)) return false;
  } else if (m == "int") {
    if (!want(1)) return false;
    if (ops[0].kind != Kind::Imm || !ops[0].known || ops[0].value < 0 || ops[0].value > 255)
      return Refuse("int takes an interrupt number");
    size = 1;
  } else if (m == "lea") {
    if (!want(2)) return false;
    if (!(ops[0].kind == Kind::Reg && ops[0].size == 2 && ops[1].kind == Kind::Mem))
      return Refuse("lea takes a 16-bit register and a memory operand");
    size = 2;
  } else if (m == "push" || m == "pop") {
    if (!want(1)) return false;
    if (ops[0].kind == Kind::Imm && m == "push") {
      if (!checkImm(ops[0], 2)) return false;
    } else if (!(ops[0].kind == Kind::Reg && ops[0].size == 2))
      return Refuse(m + " takes a 16-bit register");
    size = 2;
  } else if (m == "inc" || m == "dec" || m == "neg" || m == "not" || m == "mul" || m == "imul" ||
             m == "div" || m == "idiv") {
    if (!want(1)) return false;
    if (ops[0].kind == Kind::Mem && ops[0].size == 0) return Refuse("operand must have size");
    if (ops[0].kind != Kind::Reg && ops[0].kind != Kind::Mem)
      return Refuse(m + " takes a register or a memory operand");
    size = ops[0].size;
  } else if (m == "shl") {
    if (!want(2)) return false;
    Operand &dst = ops[0], &src = ops[1];
    if (!(dst.kind == Kind::Reg || (dst.kind == Kind::Mem && dst.size)))
      return Refuse("shift of an operand without size");
    bool count = src.kind == Kind::Imm && src.known && src.value >= 1 && src.value <= 31;
    if (!count && !(src.kind == Kind::Reg && src.size == 1 && src.reg == 1))
      return Refuse("shift count must be a constant 1..31 or CL");
    size = dst.size;
  } else {
    if (!want(2)) return false;
    Operand &dst = ops[0], &src = ops[1];
    if (src.kind == Kind::AtData) {
      // DGROUP's paragraph, an immediate that DOS relocates; known when the code is placed.
      src = Make(Kind::Imm);
      src.symbol = "@data";
      st.form = Choose(st, 2);
      return true;
    }
    if (dst.kind == Kind::SReg || src.kind == Kind::SReg) {
      if (!(m == "mov" && dst.kind == Kind::SReg && (dst.reg == 0 || dst.reg == 3) &&
            src.kind == Kind::Reg && src.size == 2))
        return Refuse("unknown segment register move");
      size = 2;
    } else if (dst.kind == Kind::Imm) {
      return Refuse("immediate operand not allowed as destination");
    } else if (dst.kind == Kind::Mem && src.kind == Kind::Mem) {
      return Refuse("two memory operands");
    } else if (dst.kind == Kind::Reg && src.kind == Kind::Reg) {
      if (dst.size != src.size) return Refuse("instruction operands must be the same size");
      size = dst.size;
    } else if (src.kind == Kind::Imm) {
      if (dst.size == 0) return Refuse("operand must have size");
      if (!checkImm(src, dst.size)) return false;
      size = dst.size;
    } else {
      Operand &reg = dst.kind == Kind::Reg ? dst : src;
      Operand &mem = dst.kind == Kind::Reg ? src : dst;
      if (mem.size && mem.size != reg.size)
        return Refuse("instruction operands must be the same size");
      mem.size = reg.size;
      size = reg.size;
    }
  }
  st.form = Choose(st, size);
  return st.form || Refuse("no form of " + m + " takes these operands");
}

// --- Placing and encoding ------------------------------------------------------------------

struct Encoder {
  std::vector<uint8_t> bytes;
  void Byte(int64_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
  void Word(int64_t v) {
    Byte(v);
    Byte(v >> 8);
  }
};

// The ModRM byte and displacement of a memory operand, with `reg` in its reg field.
void EncodeMemory(Encoder &e, const Operand &mem, int reg) {
  int64_t disp = Displacement(mem) & 0xFFFF;
  if (mem.reg < 0) {
    e.Byte((reg << 3) | 6);
    e.Word(disp);
    return;
  }
  static constexpr int kRm[8] = {-1, -1, -1, 7, -1, 6, 4, 5}; // bx, bp, si, di
  int rm = kRm[mem.reg];
  if (disp == 0 && mem.reg != 5) {
    e.Byte((reg << 3) | rm);
  } else if (disp <= 127) {
    e.Byte(0x40 | (reg << 3) | rm);
    e.Byte(disp);
  } else {
    e.Byte(0x80 | (reg << 3) | rm);
    e.Word(disp);
  }
}

std::vector<uint8_t> Encode(const Statement &st, uint32_t dgroupParagraph) {
  using enum Shape;
  const Form &f = *st.form;
  Encoder e;
  const Operand *ops[2] = {st.operands.size() > 0 ? &st.operands[0] : nullptr,
                           st.operands.size() > 1 ? &st.operands[1] : nullptr};
  Shape shapes[2] = {f.dst, f.src};
  for (const Operand *op : ops)
    if (op && op->kind == Kind::Mem && op->segment >= 0) e.Byte(kSegmentPrefix[op->segment]);
  if (f.op == Op::RepMovsb) e.Byte(0xF3);
  int plus = 0;
  for (int i = 0; i < 2; i++)
    if (shapes[i] == PlusR8 || shapes[i] == PlusR16) plus = ops[i]->reg;
  e.Byte(f.opcode[0] + plus);
  if (f.opcode[0] == 0x0F) e.Byte(f.opcode[1]);
  if (HasModRm(f)) {
    const Operand *rm = nullptr;
    int reg = f.ext;
    for (int i = 0; i < 2; i++) {
      if (shapes[i] == R8 || shapes[i] == R16 || shapes[i] == SReg) reg = ops[i]->reg;
      if (shapes[i] == RM8 || shapes[i] == RM16 || shapes[i] == M) rm = ops[i];
    }
    if (rm->kind == Kind::Reg)
      e.Byte(0xC0 | (reg << 3) | rm->reg);
    else
      EncodeMemory(e, *rm, reg);
  }
  for (int i = 0; i < 2; i++) {
    const Operand *op = ops[i];
    switch (shapes[i]) {
    case Moffs8:
    case Moffs16:
      e.Word(Displacement(*op));
      break;
    case I8:
    case S8:
      e.Byte(ImmediateValue(*op));
      break;
    case I16:
      e.Word(op->symbol == "@data" ? dgroupParagraph : ImmediateValue(*op));
      break;
    case Rel8:
      e.Byte(AddressOf(op->symbol) - (st.offset + st.length));
      break;
    case Rel16:
      e.Word(AddressOf(op->symbol) - (st.offset + st.length));
      break;
    default:
      break;
    }
  }
  return e.bytes;
}

// The length of an instruction in its form: encoded with placeholder addresses.
uint32_t LengthOf(const Statement &st) {
  return static_cast<uint32_t>(Encode(st, 0).size());
}

// Places the code: offsets of instructions and labels, jumps made near where they must be.
void Place() {
  for (Statement &st : A.code)
    if (st.form) st.length = LengthOf(st);
  for (bool changed = true; changed;) {
    changed = false;
    uint32_t offset = 0;
    for (Statement &st : A.code) {
      st.offset = offset;
      if (!st.label.empty()) A.symbols[st.label].value = offset;
      offset += st.length;
    }
    for (Statement &st : A.code) {
      if (!st.form || st.form->dst != Shape::Rel8) continue;
      int64_t distance = AddressOf(st.operands[0].symbol) - (st.offset + st.length);
      if (distance >= -128 && distance <= 127) continue;
      const Form *near = nullptr;
      for (const Form &form : InstructionForms())
        if (form.mnemonic == st.mnemonic && form.dst == Shape::Rel16) near = &form;
      if (!near) continue; // loop: refused when it is encoded
      st.form = near;
      st.length = LengthOf(st);
      changed = true;
    }
  }
}

std::string Trim(std::string_view text) {
  size_t a = 0, b = text.size();
  while (a < b && (IsBlank(text[a]))) a++;
  while (b > a && (IsBlank(text[b - 1]))) b--;
  return std::string(text.substr(a, b - a));
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}
} // namespace

bool Assemble(std::string_view text, ProgramImage &image, AsmError &error) {
  A = Assembly{};
  image = ProgramImage{};
  image.lines = SplitLines(text);
  uint32_t number = 0;
  auto refuse = [&](uint32_t line, const std::string &message) {
    error.line = line;
    error.message = message;
    error.text = line && line <= image.lines.size() ? Trim(image.lines[line - 1]) : "";
    return false;
  };
  for (const std::string &line : image.lines) {
    bool end = false;
    if (!Line(++number, line, end)) return refuse(number, Refusal);
    if (end) break;
  }
  if (A.entry.empty()) return refuse(number, "END directive required at end of file");
  if (!A.cpu) return refuse(number, ".386 missing: the runtime uses 386 instructions");
  const Symbol *entry = Lookup(A.entry);
  if (!entry || entry->kind != SymKind::Code)
    return refuse(number, "entry " + A.entry + " is not a code label");
  if (!A.stack) return refuse(number, "no .stack: the program would start with SS:SP = 0000:0000");
  for (Statement &st : A.code) {
    if (st.mnemonic.empty()) continue;
    if (!Check(st)) return refuse(st.line, Refusal);
  }
  Place();
  uint32_t codeSize = A.code.empty() ? 0 : A.code.back().offset + A.code.back().length;
  image.stackSize = *A.stack;
  image.data = std::move(A.data);
  image.code.resize(codeSize);
  std::string tooLarge;
  uint64_t dgroupSize = (A.dataSize + 15) / 16 * 16 + image.stackSize;
  uint32_t codeParagraphs = (codeSize + 15) / 16 * 16;
  if (codeParagraphs > kSegmentLimit)
    tooLarge = "the code takes " + std::to_string(codeParagraphs) + " bytes, more than 64 KiB";
  if (dgroupSize > kSegmentLimit)
    tooLarge += (tooLarge.empty() ? "" : "; ") + std::string("DGROUP (data and stack) takes ") +
                std::to_string(dgroupSize) + " bytes, more than 64 KiB";
  if (!tooLarge.empty()) return refuse(0, tooLarge);
  uint32_t paragraph = image.DgroupParagraph();
  for (Statement &st : A.code) {
    if (!st.form) continue;
    if (st.form->dst == Shape::Rel8) {
      int64_t distance = AddressOf(st.operands[0].symbol) - (st.offset + st.length);
      if (distance < -128 || distance > 127) return refuse(st.line, "loop target out of range");
    }
    std::vector<uint8_t> bytes = Encode(st, paragraph);
    std::copy(bytes.begin(), bytes.end(), image.code.begin() + st.offset);
    image.instructions.push_back(
        {static_cast<uint16_t>(st.offset), static_cast<uint8_t>(st.length), st.line});
    if (st.operands.size() == 2 && st.operands[1].kind == Kind::Imm &&
        st.operands[1].symbol == "@data")
      image.relocations.push_back(static_cast<uint16_t>(st.offset + 1));
  }
  image.entry = static_cast<uint16_t>(entry->value);
  for (const std::string &low : A.order) {
    const Symbol &s = A.symbols[low];
    if (s.kind == SymKind::Equ) continue;
    image.symbols.push_back({s.name, s.kind == SymKind::Code, static_cast<uint16_t>(s.value)});
  }
  return true;
}
