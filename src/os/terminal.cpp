#include "os/terminal.h"

#include <cstdlib>

namespace {
// The SGR codes of the paints, in their order.
constexpr const char *kCode[] = {"0", "31", "32", "33", "34", "35", "36", "1", "7"};
} // namespace

std::string Painted(std::string_view text, Paint paint) {
  if (paint == Paint::Plain) return std::string(text);
  return std::string("\x1b[") + kCode[static_cast<int>(paint)] + "m" + std::string(text) +
         "\x1b[0m";
}

size_t VisibleWidth(std::string_view row) {
  size_t width = 0;
  for (size_t i = 0; i < row.size(); i++) {
    if (row[i] == '\x1b' && i + 1 < row.size() && row[i + 1] == '[') {
      i += 2;
      while (i < row.size() && !(row[i] >= '@' && row[i] <= '~')) i++;
      continue;
    }
    width++;
  }
  return width;
}

bool DrawScreen(const std::vector<std::string> &rows, bool unicode, int cursorRow) {
  std::string out = "\x1b[?25l\x1b[H";
  for (size_t i = 0; i < rows.size(); i++) {
    out += rows[i];
    out += "\x1b[0m\x1b[K";
    if (i + 1 < rows.size()) out += "\r\n";
  }
  if (cursorRow >= 0 && static_cast<size_t>(cursorRow) < rows.size())
    out += "\x1b[" + std::to_string(cursorRow + 1) + ";" +
           std::to_string(VisibleWidth(rows[static_cast<size_t>(cursorRow)]) + 1) + "H\x1b[?25h";
  return WriteStream(Stream::Out, out, unicode);
}
