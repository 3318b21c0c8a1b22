// The conversion of console text for a terminal that does not show CP866, and the choice of it by
// the locale. The expected characters are the code page's printed table, row by row.
#include <gtest/gtest.h>

#include <string>

#include "os/console.h"

namespace {
// The upper half of code page 866, 16 characters a row from byte 0x80 on.
const char16_t kTableRows[8][17] = {
    u"АБВГДЕЖЗИЙКЛМНОП", u"РСТУФХЦЧШЩЪЫЬЭЮЯ", u"абвгдежзийклмноп", u"░▒▓│┤╡╢╖╕╣║╗╝╜╛┐",
    u"└┴┬├─┼╞╟╚╔╩╦╠═╬╧", u"╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀", u"рстуфхцчшщъыьэюя", u"ЁёЄєЇїЎў°∙·√№¤■\u00A0",
};
} // namespace

TEST(ConsoleText, EveryByteHasItsCharacter) {
  for (int byte = 0; byte < 256; ++byte) {
    char32_t expected = byte < 0x80 ? static_cast<char32_t>(byte)
                                    : kTableRows[(byte - 0x80) / 16][(byte - 0x80) % 16];
    EXPECT_EQ(Cp866CodePoint(static_cast<unsigned char>(byte)), expected) << "byte " << byte;
  }
}

TEST(ConsoleText, Utf8AndUtf16OfAnErrorLine) {
  // "\r\n\aError: Ошибка в строке 4: := Expected.\r\n" as the compiler writes it.
  std::string cp866 = "\r\n\aError: \x8e\xe8\xa8\xa1\xaa\xa0 \xa2 4: := Expected.\r\n";
  EXPECT_EQ(Cp866ToUtf8(cp866), std::string(reinterpret_cast<const char *>(
                                    u8"\r\n\aError: Ошибка в 4: := Expected.\r\n")));
  EXPECT_EQ(Cp866ToUtf16(cp866), u"\r\n\aError: Ошибка в 4: := Expected.\r\n");
  // Three bytes in UTF-8 for box drawing, two for a letter, one for the rest.
  EXPECT_EQ(Cp866ToUtf8("\xc4\xf1\xff\x7f"), "\xe2\x94\x80\xd1\x91\xc2\xa0\x7f");
  EXPECT_EQ(Cp866ToUtf8(std::string("\0", 1)), std::string("\0", 1));
}

TEST(ConsoleText, FirstLocaleVariableSetDecides) {
  EXPECT_TRUE(LocaleIsUtf8(nullptr, nullptr, "ru_RU.UTF-8"));
  EXPECT_TRUE(LocaleIsUtf8(nullptr, "C.utf8", "C"));
  EXPECT_TRUE(LocaleIsUtf8("en_US.utf-8@euro", "C", nullptr));
  EXPECT_FALSE(LocaleIsUtf8("C", "ru_RU.UTF-8", "ru_RU.UTF-8"));
  EXPECT_FALSE(LocaleIsUtf8(nullptr, "ru_RU.CP866", "ru_RU.UTF-8"));
  EXPECT_FALSE(LocaleIsUtf8(nullptr, nullptr, "ru_RU.KOI8-R"));
  // An empty value counts as unset.
  EXPECT_TRUE(LocaleIsUtf8("", "", "C.UTF-8"));
  EXPECT_FALSE(LocaleIsUtf8(nullptr, nullptr, nullptr));
  EXPECT_FALSE(LocaleIsUtf8(nullptr, nullptr, "POSIX"));
  EXPECT_FALSE(LocaleIsUtf8(nullptr, nullptr, "UTF-8"));
}
