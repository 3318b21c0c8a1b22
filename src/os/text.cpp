#include "os/text.h"

#include <charconv>

std::string IntText(int64_t value) {
  char digits[20];
  char *end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return std::string(digits, end);
}
