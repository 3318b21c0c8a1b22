// What the unit tests need of the process they run in and that differs between systems: a scratch
// directory of their own, and standard streams laid out for death tests. One implementation per
// system, as in the runtime: test_platform_posix.cpp or test_platform_win32.cpp. Also helpers
// that several tests share.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A fresh directory, unique to this process, under the system's temporary directory. It is
// removed, with what it holds, when the process that made it ends.
std::string NewScratchDirectory();

// Runs `body` in a new scratch directory and gives what it left in the file `name` there.
template <typename Body> std::string FileMadeIn(const char *name, Body body) {
  std::filesystem::path here = std::filesystem::current_path();
  std::filesystem::current_path(NewScratchDirectory());
  body();
  std::stringstream text;
  text << std::ifstream(name, std::ios::binary).rdbuf();
  std::filesystem::current_path(here);
  return text.str();
}

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
