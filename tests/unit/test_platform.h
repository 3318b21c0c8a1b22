// What the unit tests need of the process they run in and that differs between systems: a scratch
// directory of their own, and standard streams laid out for death tests. One implementation per
// system, as in the runtime: test_platform_posix.cpp or test_platform_win32.cpp. Also a helper
// that the death tests share.
#pragma once

#include <string>

// A fresh directory, unique to this process, under the system's temporary directory.
std::string NewScratchDirectory();

// Standard input at its end, so that every wait for Enter returns at once.
void InputAtEnd();

// Standard output sent where standard error goes, where a death test can see it.
void ConsoleToErrorStream();

// How a CR LF the compiler wrote reads in the output a death test captured: GoogleTest reads it
// through the C runtime, which on Windows opens it in text mode.
extern const char *const kCapturedLineEnd;

// `text` as a regular expression that matches it alone, for the message a death test expects.
inline std::string EscapeForRegex(const std::string &text) {
  std::string pattern;
  for (char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}
