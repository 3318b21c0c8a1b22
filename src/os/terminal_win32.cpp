// The terminal on Windows: the console API for the modes, the size and the keys.
#include "os/terminal.h"

#include <cstdlib>
#include <windows.h>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {
DWORD SavedIn, SavedOut;
bool Raw = false;

HANDLE Handle(DWORD which) {
  return GetStdHandle(which);
}

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return GetConsoleMode(handle, &mode) != 0;
}

// Escape sequences, where the console takes them (Windows 10 and later).
bool TakesSequences(HANDLE handle) {
  DWORD mode;
  if (!GetConsoleMode(handle, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
         SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}
} // namespace

bool IsTerminal(Stream stream) {
  return IsConsole(Handle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE));
}

bool InputIsTerminal() {
  return IsConsole(Handle(STD_INPUT_HANDLE));
}

bool WantsColours(Stream stream) {
  const char *noColour = std::getenv("NO_COLOR");
  return !(noColour && *noColour) &&
         TakesSequences(Handle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE));
}

bool BeginScreen() {
  HANDLE in = Handle(STD_INPUT_HANDLE), out = Handle(STD_OUTPUT_HANDLE);
  if (!GetConsoleMode(in, &SavedIn) || !GetConsoleMode(out, &SavedOut) || !TakesSequences(out))
    return false;
  SetConsoleMode(in, ENABLE_WINDOW_INPUT);
  Raw = true;
  WriteStream(Stream::Out, "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J", true);
  return true;
}

void EndScreen() {
  if (!Raw) return;
  WriteStream(Stream::Out, "\x1b[0m\x1b[?25h\x1b[?1049l", true);
  SetConsoleMode(Handle(STD_INPUT_HANDLE), SavedIn);
  SetConsoleMode(Handle(STD_OUTPUT_HANDLE), SavedOut);
  Raw = false;
}

void ScreenSize(int &columns, int &rows) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  columns = 80;
  rows = 24;
  if (GetConsoleScreenBufferInfo(Handle(STD_OUTPUT_HANDLE), &info)) {
    columns = info.srWindow.Right - info.srWindow.Left + 1;
    rows = info.srWindow.Bottom - info.srWindow.Top + 1;
  }
}

Key ReadKey() {
  HANDLE in = Handle(STD_INPUT_HANDLE);
  while (true) {
    INPUT_RECORD record;
    DWORD n = 0;
    if (!ReadConsoleInputW(in, &record, 1, &n) || n == 0) return {KeyCode::EndOfInput, 0};
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
    const KEY_EVENT_RECORD &k = record.Event.KeyEvent;
    switch (k.wVirtualKeyCode) {
    case VK_F7:
      return {KeyCode::F7, 0};
    case VK_F8:
      return {KeyCode::F8, 0};
    case VK_F9:
      return {KeyCode::F9, 0};
    case VK_RETURN:
      return {KeyCode::Enter, 0};
    case VK_BACK:
      return {KeyCode::Backspace, 0};
    case VK_ESCAPE:
      return {KeyCode::Escape, 0};
    default:
      break;
    }
    wchar_t c = k.uChar.UnicodeChar;
    if (c == 3) return {KeyCode::Interrupt, 0};
    if (c == 26 || c == 4) return {KeyCode::EndOfInput, 0};
    if (c >= 32 && c < 127) return {KeyCode::Character, static_cast<char>(c)};
  }
}
