// Texts that every module builds: IntText gives the decimal text of a number; Cp866 gives a
// Russian text of the compiler in code page 866, the console's code page, from the UTF-8 of the
// source, while the compiler itself is being compiled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The decimal digits of a number, no sign for zero or more, no padding: line numbers in messages,
// label numbers, the numbers in constant names and in the generated code.
std::string IntText(int64_t value);

namespace cp866_detail {
// Called only for a character that has no CP866 form: calling it makes the conversion fail to
// compile.
inline char NoCp866Form() {
  return '?';
}

consteval char FromCodePoint(unsigned cp) {
  if (cp >= 0x410 && cp <= 0x43F) return static_cast<char>(0x80 + (cp - 0x410)); // А..п
  if (cp >= 0x440 && cp <= 0x44F) return static_cast<char>(0xE0 + (cp - 0x440)); // р..я
  if (cp == 0x401) return static_cast<char>(0xF0);                               // Ё
  if (cp == 0x451) return static_cast<char>(0xF1);                               // ё
  return NoCp866Form();
}
} // namespace cp866_detail

template <std::size_t N> struct Cp866 {
  char bytes[N] = {};
  std::size_t size = 0;

  consteval Cp866(const char8_t (&utf8)[N]) {
    for (std::size_t i = 0; i + 1 < N;) {
      unsigned c = utf8[i];
      if (c < 0x80) {
        bytes[size++] = static_cast<char>(c);
        i += 1;
      } else if ((c & 0xE0) == 0xC0) {
        unsigned cp = ((c & 0x1F) << 6) | (static_cast<unsigned>(utf8[i + 1]) & 0x3F);
        bytes[size++] = cp866_detail::FromCodePoint(cp);
        i += 2;
      } else {
        bytes[size++] = cp866_detail::NoCp866Form();
        i += 1;
      }
    }
  }

  constexpr std::string_view view() const { return {bytes, size}; }
  std::string str() const { return std::string(bytes, size); }
};
