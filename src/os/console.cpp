#include "os/console.h"

namespace {
// The upper half of code page 866: Cyrillic letters, box drawing, Ё ё and a few signs.
constexpr char16_t kUpperHalf[128] = {
    // 0x80: А..П, Р..Я
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B,
    0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    // 0xA0: а..п
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F,
    // 0xB0: shades and box drawing
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    // 0xE0: р..я
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B,
    0x044C, 0x044D, 0x044E, 0x044F,
    // 0xF0: Ё ё Є є Ї ї Ў ў ° ∙ · √ № ¤ ■ and the no-break space
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E, 0x00B0, 0x2219, 0x00B7, 0x221A,
    0x2116, 0x00A4, 0x25A0, 0x00A0};

bool IsUtf8Name(std::string_view codeset) {
  std::string lower;
  for (char c : codeset)
    if (c != '-' && c != '_') lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "utf8";
}
} // namespace

char32_t Cp866CodePoint(unsigned char byte) {
  return byte < 0x80 ? byte : kUpperHalf[byte - 0x80];
}

std::string Cp866ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    char32_t cp = Cp866CodePoint(byte);
    if (cp < 0x80) {
      text += static_cast<char>(cp);
    } else if (cp < 0x800) {
      text += static_cast<char>(0xC0 | (cp >> 6));
      text += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | (cp >> 12));
      text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return text;
}

// Every CP866 character lies in the Basic Multilingual Plane: one UTF-16 unit each.
std::u16string Cp866ToUtf16(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (unsigned char byte : bytes) text += static_cast<char16_t>(Cp866CodePoint(byte));
  return text;
}

// A locale name reads language_territory.codeset@modifier; "C" and "POSIX" name no codeset.
bool LocaleIsUtf8(const char *lcAll, const char *lcCtype, const char *lang) {
  const char *name = nullptr;
  for (const char *value : {lcAll, lcCtype, lang}) {
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  if (name == nullptr) return false;
  std::string_view locale(name);
  size_t dot = locale.find('.');
  if (dot == std::string_view::npos) return false;
  std::string_view codeset = locale.substr(dot + 1);
  return IsUtf8Name(codeset.substr(0, codeset.find('@')));
}
