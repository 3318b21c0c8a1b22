#include "os/text.h"

#include <charconv>

NumberText DecimalOf(int64_t value) {
  NumberText number;
  char *end = std::to_chars(number.bytes, number.bytes + sizeof number.bytes, value).ptr;
  number.size = static_cast<size_t>(end - number.bytes);
  return number;
}

std::string IntText(int64_t value) {
  NumberText number = DecimalOf(value);
  return std::string(number.bytes, number.size);
}
