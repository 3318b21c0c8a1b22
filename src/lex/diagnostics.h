// The error line of both passes and the one way a run fails on the program it reads: the error
// line, with the line number the reader keeps; then the open files are closed, the user presses
// Enter, and the run ends. The scanner's two errors and every error of the translating pass take
// this road; the pre-check prints the same line and decides for itself what follows.
#pragma once

#include <string>
#include <string_view>

// "Ошибка в строке " and the current line number: the prefix of most messages.
std::string LinePrefix();
// The console line of a message: an empty line, BEL, "Error: ", the message and ".".
void ReportError(const std::string &message);

[[noreturn]] void ExpectedError(const std::string &text);
// The fatal end with LinePrefix() + text + token, and " Expected" after it for ExpectedInLine. The
// message is put together in here, so that a routine that may fail builds no string on its way
// when it does not.
[[noreturn]] void FatalInLine(std::string_view text, std::string_view token = {});
[[noreturn]] void ExpectedInLine(std::string_view text, std::string_view token = {});

// Nesting of parenthesised factors and of statements, bounded so that no source can exhaust the
// stack; each pass keeps a count of its own.
constexpr int kMaxNesting = 1000;
[[noreturn]] void NestingTooDeep();
inline void OpenNesting(int &level) {
  if (level >= kMaxNesting) NestingTooDeep();
  ++level;
}
inline void CloseNesting(int &level) {
  --level;
}
