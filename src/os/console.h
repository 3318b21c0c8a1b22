// What the console shows: the compiler's CP866 texts turned into Unicode for a terminal that does
// not speak CP866, and the test of whether a POSIX locale asks for UTF-8. Used by the platform
// parts of the runtime only; files and pipes always get the CP866 bytes as they are.
#pragma once

#include <string>
#include <string_view>

// The Unicode code point that a CP866 console shows for `byte`. Bytes below 128 are ASCII and
// stay as they are, control characters (BEL, CR, LF) included.
char32_t Cp866CodePoint(unsigned char byte);

std::string Cp866ToUtf8(std::string_view bytes);
std::u16string Cp866ToUtf16(std::string_view bytes);

// Whether the locale named by the values of LC_ALL, LC_CTYPE and LANG (null or empty when unset)
// has the character set UTF-8: the first one set decides, as the C library decides.
bool LocaleIsUtf8(const char *lcAll, const char *lcCtype, const char *lang);
