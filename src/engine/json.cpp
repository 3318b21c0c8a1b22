#include "engine/json.h"

#include <cmath>
#include <cstdlib>

namespace {
constexpr int kMaxDepth = 64;

struct Reader {
  std::string_view text;
  size_t at = 0;
  std::string error;

  bool Fail(const std::string &what) {
    if (error.empty()) error = what + " at byte " + std::to_string(at);
    return false;
  }
  void Blanks() {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
      at++;
  }
  bool Word(std::string_view word) {
    if (text.substr(at, word.size()) != word) return Fail("unknown word");
    at += word.size();
    return true;
  }

  static void PutUtf8(std::string &out, uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  bool Hex4(uint32_t &c) {
    if (at + 4 > text.size()) return Fail("a \\u escape cut short");
    c = 0;
    for (int i = 0; i < 4; i++) {
      char h = text[at++];
      int digit = h >= '0' && h <= '9'   ? h - '0'
                  : h >= 'a' && h <= 'f' ? h - 'a' + 10
                  : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                         : -1;
      if (digit < 0) return Fail("a \\u escape that is not hexadecimal");
      c = c << 4 | static_cast<uint32_t>(digit);
    }
    return true;
  }

  bool String(std::string &out) {
    at++; // the opening quote
    while (true) {
      if (at >= text.size()) return Fail("a text without its closing quote");
      char c = text[at++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character in a text");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at >= text.size()) return Fail("an escape cut short");
      char e = text[at++];
      switch (e) {
      case '"':
      case '\\':
      case '/':
        out += e;
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        uint32_t code;
        if (!Hex4(code)) return false;
        // A surrogate pair makes one character; a lone half stands as it is.
        if (code >= 0xD800 && code < 0xDC00 && text.substr(at, 2) == "\\u") {
          size_t back = at;
          at += 2;
          uint32_t low;
          if (!Hex4(low)) return false;
          if (low >= 0xDC00 && low < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          else
            at = back;
        }
        PutUtf8(out, code);
        break;
      }
      default:
        return Fail("an unknown escape");
      }
    }
  }

  bool Number(double &out) {
    size_t start = at;
    if (at < text.size() && text[at] == '-') at++;
    auto digits = [&] {
      size_t from = at;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') at++;
      return at > from;
    };
    if (!digits()) return Fail("a number without digits");
    if (at < text.size() && text[at] == '.' && (at++, !digits()))
      return Fail("a fraction without digits");
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
      at++;
      if (at < text.size() && (text[at] == '+' || text[at] == '-')) at++;
      if (!digits()) return Fail("an exponent without digits");
    }
    out = std::strtod(std::string(text.substr(start, at - start)).c_str(), nullptr);
    return true;
  }

  bool Value(JsonValue &v, int depth) {
    if (depth >= kMaxDepth) return Fail("nesting deeper than 64");
    Blanks();
    if (at >= text.size()) return Fail("a value missing");
    char c = text[at];
    if (c == '{') {
      v.type = JsonValue::Object;
      at++;
      Blanks();
      if (at < text.size() && text[at] == '}') return at++, true;
      while (true) {
        Blanks();
        if (at >= text.size() || text[at] != '"') return Fail("a member name missing");
        std::string name;
        if (!String(name)) return false;
        Blanks();
        if (at >= text.size() || text[at] != ':') return Fail("\":\" missing");
        at++;
        v.members.emplace_back(std::move(name), JsonValue{});
        if (!Value(v.members.back().second, depth + 1)) return false;
        Blanks();
        if (at < text.size() && text[at] == ',') {
          at++;
          continue;
        }
        if (at < text.size() && text[at] == '}') return at++, true;
        return Fail("\",\" or \"}\" missing");
      }
    }
    if (c == '[') {
      v.type = JsonValue::Array;
      at++;
      Blanks();
      if (at < text.size() && text[at] == ']') return at++, true;
      while (true) {
        v.items.emplace_back();
        if (!Value(v.items.back(), depth + 1)) return false;
        Blanks();
        if (at < text.size() && text[at] == ',') {
          at++;
          continue;
        }
        if (at < text.size() && text[at] == ']') return at++, true;
        return Fail("\",\" or \"]\" missing");
      }
    }
    if (c == '"') {
      v.type = JsonValue::Text;
      return String(v.text);
    }
    if (c == 't' || c == 'f') {
      v.type = JsonValue::Bool;
      v.boolean = c == 't';
      return Word(c == 't' ? "true" : "false");
    }
    if (c == 'n') {
      v.type = JsonValue::Null;
      return Word("null");
    }
    v.type = JsonValue::Number;
    return Number(v.number);
  }
};
} // namespace

const JsonValue *JsonValue::Find(std::string_view name) const {
  for (const auto &[key, value] : members)
    if (key == name) return &value;
  return nullptr;
}

bool JsonValue::Whole(int64_t min, int64_t max, int64_t &out) const {
  if (type != Number ||
      !(number >= static_cast<double>(min) && number <= static_cast<double>(max)) ||
      std::floor(number) != number)
    return false;
  out = static_cast<int64_t>(number);
  return true;
}

bool ReadJson(std::string_view text, JsonValue &value, std::string &error) {
  Reader reader;
  reader.text = text;
  value = JsonValue{};
  bool ok = reader.Value(value, 0);
  if (ok) {
    reader.Blanks();
    if (reader.at != text.size()) ok = reader.Fail("text after the value");
  }
  if (!ok) error = reader.error;
  return ok;
}
