// The translator's one way of failing: the first error is printed, the open files are closed, the
// user presses Enter, and the run ends. The scanner's two errors take the same road in either pass.
#pragma once

#include <string>

// "Ошибка в строке " and the current line number: the prefix of most messages.
std::string LinePrefix();

void ReportError(const std::string &message);
[[noreturn]] void FatalError(const std::string &message);
[[noreturn]] void ExpectedError(const std::string &text);

// Nesting of parenthesised factors and of statements, bounded so that no source can exhaust the
// stack; each pass keeps a count of its own.
constexpr int kMaxNesting = 1000;
void OpenNesting(int &level);
void CloseNesting(int &level);
