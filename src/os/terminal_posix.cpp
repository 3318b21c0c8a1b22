// The terminal on POSIX systems: termios for the keys, ioctl for the size.
#include "os/terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
termios Saved;
bool Raw = false;

bool Read1(char &c, int timeoutMs) {
  if (timeoutMs >= 0) {
    pollfd p{0, POLLIN, 0};
    int n;
    while ((n = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (n <= 0) return false;
  }
  ssize_t n;
  while ((n = read(0, &c, 1)) < 0 && errno == EINTR) {
  }
  return n == 1;
}
} // namespace

bool IsTerminal(Stream stream) {
  return isatty(stream == Stream::Out ? 1 : 2);
}

bool InputIsTerminal() {
  return isatty(0);
}

bool WantsColours(Stream stream) {
  const char *noColour = std::getenv("NO_COLOR"), *term = std::getenv("TERM");
  return IsTerminal(stream) && !(noColour && *noColour) &&
         !(term && std::strcmp(term, "dumb") == 0);
}

bool BeginScreen() {
  if (!isatty(0) || !isatty(1) || tcgetattr(0, &Saved) != 0) return false;
  termios raw = Saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(0, TCSAFLUSH, &raw) != 0) return false;
  Raw = true;
  WriteStream(Stream::Out, "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J", false);
  return true;
}

void EndScreen() {
  if (!Raw) return;
  WriteStream(Stream::Out, "\x1b[0m\x1b[?25h\x1b[?1049l", false);
  tcsetattr(0, TCSAFLUSH, &Saved);
  Raw = false;
}

void ScreenSize(int &columns, int &rows) {
  winsize size{};
  columns = 80;
  rows = 24;
  if (ioctl(1, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
    columns = size.ws_col;
    rows = size.ws_row;
  }
}

// The keys as terminals send them: F7 to F9 as "ESC [ 18 ~" to "ESC [ 20 ~" (xterm, tmux,
// the Linux console), a letter, Enter, Backspace.
Key ReadKey() {
  Key key;
  char c;
  if (!Read1(c, -1)) return {KeyCode::EndOfInput, 0};
  if (c == '\r' || c == '\n') return {KeyCode::Enter, 0};
  if (c == 127 || c == 8) return {KeyCode::Backspace, 0};
  if (c == 3) return {KeyCode::Interrupt, 0};
  if (c == 4) return {KeyCode::EndOfInput, 0};
  if (c != 27) {
    if (static_cast<unsigned char>(c) >= 32) return {KeyCode::Character, c};
    return key;
  }
  // An escape alone, or the start of a sequence: the rest follows at once.
  std::string seq;
  while (Read1(c, 30)) {
    seq += c;
    if (seq.size() > 1 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '~')) break;
    if (seq.size() > 8) break;
  }
  if (seq.empty()) return {KeyCode::Escape, 0};
  if (seq == "[18~") return {KeyCode::F7, 0};
  if (seq == "[19~") return {KeyCode::F8, 0};
  if (seq == "[20~") return {KeyCode::F9, 0};
  return key;
}
