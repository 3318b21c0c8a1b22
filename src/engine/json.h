// A JSON text read into a tree of values, for the source map: objects, arrays, texts (UTF-8, the
// escapes decoded), numbers, true, false and null. ReadJson refuses anything else, nesting past
// 64 levels and text after the value, saying where.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct JsonValue {
  enum Type : uint8_t { Null, Bool, Number, Text, Array, Object } type = Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;                           // an array's
  std::vector<std::pair<std::string, JsonValue>> members; // an object's, in their order

  // The member named `name`; null when there is none or this is not an object.
  const JsonValue *Find(std::string_view name) const;
  // A number that is a whole number in [min, max], into `out`.
  bool Whole(int64_t min, int64_t max, int64_t &out) const;
};

bool ReadJson(std::string_view text, JsonValue &value, std::string &error);
