#include "sin/source_map.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "kod/output.h"
#include "lex/scanner.h"
#include "lex/source.h"
#include "os/runtime.h"
#include "os/text.h"
#include "sin/string_pool.h"
#include "sin/symbols.h"

namespace {
constexpr int kFormatVersion = 1;

// The kinds as the map names them, in the order of MapKind.
constexpr std::string_view kKindName[] = {"header",
                                          "variable",
                                          "constant",
                                          "code-start",
                                          "exit",
                                          "runtime",
                                          "assignment",
                                          "if",
                                          "if-condition",
                                          "then",
                                          "else",
                                          "while",
                                          "while-condition",
                                          "while-body-end",
                                          "for",
                                          "for-start",
                                          "for-limit",
                                          "for-step",
                                          "repeat",
                                          "repeat-until",
                                          "read",
                                          "read-item",
                                          "write",
                                          "write-text",
                                          "write-item"};
static_assert(std::size(kKindName) == static_cast<size_t>(MapKind::kWriteItem) + 1);

bool on = false;

// A construct of the program, from the offset of its first token to that of the token after it.
struct Construct {
  MapKind kind;
  int64_t start;
  int64_t end = -1;
  int parent;
};
std::vector<Construct> constructs;

// The constructs open now, the innermost last; a part is closed by the next part.
struct Open {
  int construct;
  bool part;
};
std::vector<Open> open;

// The lines of "out.asm" from `from` on, up to the next range, belong to `index`: a construct, a
// variable or a constant, by the kind; -1 for a fixed part.
struct Range {
  int64_t from;
  MapKind kind;
  int index;
};
std::vector<Range> ranges;

struct Variable {
  int slot;
  int64_t at;   // the offset of its name where it is declared
  int64_t line; // its declaration line in "out.asm"
};
int64_t declaredAt[kSymTabSize];
std::vector<Variable> variables;

// The pooled texts in the order of their pools: every message, then every string.
std::vector<int64_t> messageAt;
std::vector<int64_t> stringAt;
int64_t textAt = 0;

void StartRange(MapKind kind, int index) {
  ranges.push_back({OutputLines() + 1, kind, index});
}

void Push(MapKind kind, int64_t at, int64_t end, bool part) {
  int parent = open.empty() ? -1 : open.back().construct;
  constructs.push_back({kind, at, end, parent});
  open.push_back({static_cast<int>(constructs.size()) - 1, part});
  StartRange(kind, open.back().construct);
}

// The innermost construct ends before the current token; its lines go back to the one around it.
void Pop() {
  Construct &ending = constructs[open.back().construct];
  if (ending.end < 0) ending.end = TokenOffset();
  open.pop_back();
  if (!open.empty()) StartRange(constructs[open.back().construct].kind, open.back().construct);
}

void PopPart() {
  if (!open.empty() && open.back().part) Pop();
}
} // namespace

void StartSourceMap() {
  on = true;
  CountOutputLines();
}

void MapOpen(MapKind kind, int64_t at) {
  if (on) Push(kind, at, -1, false);
}

void MapPart(MapKind kind, int64_t at, int64_t end) {
  if (!on) return;
  PopPart();
  Push(kind, at, end, true);
}

void MapEndPart() {
  if (on) PopPart();
}

void MapClose() {
  if (!on) return;
  PopPart();
  Pop();
}

void MapFixed(MapKind part) {
  if (on) StartRange(part, -1);
}

void MapDeclaration(int slot) {
  if (on) declaredAt[slot] = TokenOffset();
}

void MapVariableLine(int slot) {
  if (!on) return;
  variables.push_back({slot, declaredAt[slot], OutputLines() + 1});
  StartRange(MapKind::kVariable, static_cast<int>(variables.size()) - 1);
}

void MapTextAt(int64_t at) {
  textAt = at;
}

void MapMessagePooled() {
  if (on) messageAt.push_back(textAt);
}

void MapStringPooled() {
  if (on) stringAt.push_back(textAt);
}

namespace {
// Source offsets as the messages count lines: a line break is LF, CR LF or a CR alone; the column
// is the byte's place in its line, both from 1.
struct Place {
  int64_t line;
  int64_t column;
};

class Places {
public:
  void Want(int64_t offset) { wanted_.push_back(offset); }
  // Reads the source once for every offset wanted.
  void Find(int fd) {
    std::sort(wanted_.begin(), wanted_.end());
    wanted_.erase(std::unique(wanted_.begin(), wanted_.end()), wanted_.end());
    found_.resize(wanted_.size());
    static char chunk[1 << 16];
    int64_t line = 1, lineStart = 0, at = 0;
    bool afterCr = false;
    size_t next = 0;
    for (;;) {
      size_t n = ReadFileAt(fd, chunk, sizeof chunk, at, SourceName);
      for (size_t i = 0; i < n; ++i, ++at) {
        for (; next < wanted_.size() && wanted_[next] == at; ++next)
          found_[next] = {line, at - lineStart + 1};
        if (chunk[i] == '\r' || (chunk[i] == '\n' && !afterCr)) ++line;
        if (chunk[i] == '\r' || chunk[i] == '\n') lineStart = at + 1;
        afterCr = chunk[i] == '\r';
      }
      if (n < sizeof chunk) break;
    }
    for (; next < wanted_.size(); ++next) found_[next] = {line, wanted_[next] - lineStart + 1};
  }
  Place Of(int64_t offset) const {
    auto it = std::lower_bound(wanted_.begin(), wanted_.end(), offset);
    return found_[static_cast<size_t>(it - wanted_.begin())];
  }

private:
  std::vector<int64_t> wanted_;
  std::vector<Place> found_;
};

// A JSON string: the source's bytes as they are where they are UTF-8, other bytes as the Latin-1
// characters of the same number.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80             ? 1
                    : (c & 0xE0) == 0xC0 ? 2
                    : (c & 0xF0) == 0xE0 ? 3
                    : (c & 0xF8) == 0xF0 ? 4
                                         : 0;
    bool whole = length > 1 && i + length <= text.size();
    for (size_t k = 1; whole && k < length; ++k)
      whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || (c >= 0x80 && !whole)) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out.append(text.substr(i, length));
      i += length - 1;
    }
  }
  return out + "\"";
}

std::string PlaceText(const Places &places, int64_t offset) {
  Place p = places.Of(offset);
  return "\"line\": " + IntText(p.line) + ", \"column\": " + IntText(p.column);
}

// The name as the declaration spells it: its letters and digits from `at` on, through comments.
std::string SpelledName(int fd, int64_t at) {
  char bytes[4096];
  size_t n = ReadFileAt(fd, bytes, sizeof bytes, at, SourceName);
  std::string name;
  int depth = 0;
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '{') ++depth;
    if (depth == 0 && !(kClassOf[c] & kWordChar)) break;
    if (depth == 0) name += static_cast<char>(c);
    if (c == '}') --depth;
  }
  return name;
}
} // namespace

void WriteSourceMap(const std::string &name) {
  int64_t total = OutputLines();
  // Ranges as closed intervals of "out.asm", the empty ones left out.
  struct Span {
    int64_t from, to;
    MapKind kind;
    int index;
  };
  std::vector<Span> spans;
  for (size_t i = 0; i < ranges.size(); ++i) {
    int64_t to = i + 1 < ranges.size() ? ranges[i + 1].from - 1 : total;
    if (to >= ranges[i].from)
      spans.push_back({ranges[i].from, to, ranges[i].kind, ranges[i].index});
  }
  // The definitions of the pooled texts, each a range of its own, after the fourth line.
  struct Definition {
    std::string symbol;
    int64_t at, lines;
  };
  std::vector<Definition> definitions;
  int64_t inserted = 0;
  auto define = [&](const char *prefix, const std::vector<std::string> &texts,
                    const std::vector<int64_t> &at) {
    for (size_t i = 0; i < texts.size(); ++i) {
      std::string symbol = prefix + IntText(static_cast<int64_t>(i));
      std::string lines = ConstantLines(symbol, texts[i]);
      int64_t count = std::count(lines.begin(), lines.end(), '\n');
      definitions.push_back({symbol, i < at.size() ? at[i] : 0, count});
      inserted += count;
    }
  };
  define("_msg", MsgConsts, messageAt);
  define("_str", StrConsts, stringAt);
  constexpr int64_t kBefore = 4;
  std::vector<Span> final;
  auto add = [&](Span span) {
    if (!final.empty() && final.back().kind == span.kind && final.back().index == span.index &&
        final.back().to + 1 == span.from)
      final.back().to = span.to;
    else
      final.push_back(span);
  };
  bool defined = false;
  auto addDefinitions = [&] {
    if (defined) return;
    defined = true;
    int64_t line = kBefore + 1;
    for (size_t d = 0; d < definitions.size(); line += definitions[d].lines, ++d)
      add({line, line + definitions[d].lines - 1, MapKind::kConstant, static_cast<int>(d)});
  };
  for (const Span &span : spans) {
    if (span.from <= kBefore) add({span.from, std::min(span.to, kBefore), span.kind, span.index});
    if (span.to > kBefore) {
      addDefinitions();
      add({std::max(span.from, kBefore + 1) + inserted, span.to + inserted, span.kind, span.index});
    }
  }
  addDefinitions();

  int fd = OpenForReading(SourceName.c_str());
  Places places;
  for (const Construct &c : constructs) {
    places.Want(c.start);
    places.Want(c.end);
  }
  for (const Variable &v : variables) places.Want(v.at);
  for (const Definition &d : definitions) places.Want(d.at);
  places.Find(fd);

  std::string json = "{\n  \"version\": " + IntText(kFormatVersion) +
                     ",\n  \"source\": " + Quoted(SourceName) +
                     ",\n  \"asm\": \"out1.asm\",\n  \"lines\": " + IntText(total + inserted) +
                     ",\n  \"ranges\": [";
  for (size_t i = 0; i < final.size(); ++i) {
    const Span &s = final[i];
    json += i == 0 ? "\n    " : ",\n    ";
    json += "{\"asm\": [" + IntText(s.from) + ", " + IntText(s.to) + "], \"kind\": \"" +
            std::string(kKindName[static_cast<size_t>(s.kind)]) + "\"";
    if (s.kind == MapKind::kVariable) {
      json += ", \"variable\": " + IntText(s.index);
    } else if (s.kind == MapKind::kConstant) {
      json += ", \"constant\": " + IntText(s.index);
    } else if (s.index >= 0) {
      const Construct &c = constructs[static_cast<size_t>(s.index)];
      json += ", \"construct\": " + IntText(s.index) + ", " + PlaceText(places, c.start);
    }
    json += "}";
  }
  json += "\n  ],\n  \"constructs\": [";
  for (size_t i = 0; i < constructs.size(); ++i) {
    const Construct &c = constructs[i];
    Place end = places.Of(c.end);
    json += i == 0 ? "\n    " : ",\n    ";
    json += "{\"id\": " + IntText(static_cast<int64_t>(i)) + ", \"kind\": \"" +
            std::string(kKindName[static_cast<size_t>(c.kind)]) + "\", " +
            PlaceText(places, c.start) + ", \"end\": [" + IntText(end.line) + ", " +
            IntText(end.column) +
            "], \"parent\": " + (c.parent < 0 ? std::string("null") : IntText(c.parent)) + "}";
  }
  json += "\n  ],\n  \"variables\": [";
  for (size_t i = 0; i < variables.size(); ++i) {
    const Variable &v = variables[i];
    std::string_view tag = SymTabType[v.slot];
    int64_t line = v.line > kBefore ? v.line + inserted : v.line;
    json += i == 0 ? "\n    " : ",\n    ";
    json += "{\"name\": " + Quoted(SpelledName(fd, v.at)) + ", \"type\": \"" +
            (tag == kIntegerTag ? "INTEGER" : "STRING") +
            "\", \"symbol\": " + Quoted("_" + SymTabName[v.slot]) + ", \"line\": " + IntText(line) +
            ", \"source\": {" + PlaceText(places, v.at) + "}}";
  }
  json += "\n  ],\n  \"constants\": [";
  int64_t line = kBefore + 1;
  for (size_t i = 0; i < definitions.size(); line += definitions[i].lines, ++i) {
    const Definition &d = definitions[i];
    json += i == 0 ? "\n    " : ",\n    ";
    json += "{\"symbol\": " + Quoted(d.symbol) + ", \"line\": " + IntText(line) +
            ", \"lines\": " + IntText(d.lines) + ", \"source\": {" + PlaceText(places, d.at) + "}}";
  }
  json += "\n  ]\n}\n";
  CloseFile(fd, SourceName);

  int out = CreateForWriting(name.c_str());
  SetPartialFile(name.c_str());
  WriteFile(out, json, name);
  CloseFile(out, name);
  SetPartialFile(nullptr);
}
