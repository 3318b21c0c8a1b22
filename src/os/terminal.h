// The terminal under the listing's colours and the stepper's screen: whether a stream is a
// terminal that wants colours, text painted in a colour, and the screen of the stepper: keys one
// at a time, its size, and all its rows drawn at once. The escape sequences are the same on both
// systems (a Windows console takes them once asked to); the modes, the size and the keys are each
// system's own (terminal_posix.cpp, terminal_win32.cpp).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "os/process.h"

bool IsTerminal(Stream stream);
bool InputIsTerminal();
// A terminal, with NO_COLOR unset and TERM not "dumb"; on Windows, a console that takes escape
// sequences.
bool WantsColours(Stream stream);

enum class Paint : unsigned char { Plain, Red, Green, Yellow, Blue, Magenta, Cyan, Bold, Inverse };
// `text` in a paint, back to plain after it. The visible width is the text's alone.
std::string Painted(std::string_view text, Paint paint);
// The width a row shows: its bytes, but those of the escape sequences.
size_t VisibleWidth(std::string_view row);

// The stepper's screen: standard input a key at a time, unechoed, and the terminal's alternate
// screen with the cursor hidden, until EndScreen. False when either is no terminal.
bool BeginScreen();
void EndScreen();
void ScreenSize(int &columns, int &rows);
// Every row of the screen from the top, each CP866 text with paints, converted for the terminal
// when `unicode`. The cursor is left at the end of row `cursorRow` when it is 0 or more, shown.
bool DrawScreen(const std::vector<std::string> &rows, bool unicode, int cursorRow = -1);

enum class KeyCode : unsigned char {
  None,      // nothing that means a key (an unknown sequence)
  Character, // a printable character, in `ch`
  Enter,
  Backspace,
  Escape,
  F7,
  F8,
  F9,
  Interrupt,  // Ctrl-C
  EndOfInput, // Ctrl-D (Ctrl-Z on Windows), or the input closed
};
struct Key {
  KeyCode code = KeyCode::None;
  char ch = 0;
};
// Waits for the next key.
Key ReadKey();
