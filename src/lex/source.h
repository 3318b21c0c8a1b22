// The source reader: ReadChar delivers the next character of the source in CurChar, with brace
// comments already removed (so they may stand anywhere, even inside a word or a string literal);
// SkipBlanks passes blanks and line breaks; LineNumber tells the line of CurChar for a message.
//
// Every byte of the source passes ReadChar in both passes, so it is inline and the common byte
// costs a load and a compare: the file is read in windows of 64 KiB, and a "{" is put after the
// last byte of each, so that the one test for a comment also finds the window's end. The same
// sentinel ends a run of bytes that the scanner takes straight from the window (WindowNext): no
// byte class holds "{".
#pragma once

#include <array>
#include <cstdint>
#include <string>

extern std::string SourceName; // the source file named on the command line
extern unsigned char CurChar;  // the lookahead; 0 once the source has ended
// The ReadChar calls since SetCharPos, a 32-bit count that wraps; in the pre-check, the offset of
// the next byte. It is kept as the distance from an offset, not counted byte by byte.
int32_t CharPos();
void SetCharPos(int32_t value);

// The classes of source bytes, one table for the reader and the scanner.
enum CharClass : uint8_t {
  kOtherChar = 0,
  kBlankChar = 1,    // blank, tab, LF, CR
  kLetterChar = 2,   // the 52 ASCII letters
  kDigitChar = 4,    // 0 to 9
  kOperatorChar = 8, // ' ( ) * + , - . / : ; < = >
  kWordChar = kLetterChar | kDigitChar,
};
extern const std::array<CharClass, 256> kClassOf;
inline bool IsDigit(unsigned char c) {
  return kClassOf[c] == kDigitChar;
}

void OpenSource();
void CloseSource();
bool SourceIsOpen();
// True when the last ReadChar found the end of the source (a byte 0 inside the file is not the
// end).
bool AtEndOfSource();
// The line of CurChar, counted from 1. A line break is LF, CR LF (one break) or a CR that no LF
// follows; the bytes of comments count like any other.
int32_t LineNumber();

// The window's next byte; the sentinel "{" stands after its last.
extern const unsigned char *WindowNext;
// A comment or the window's end.
void ReadCharSlow();

// Advances by one character.
inline void ReadChar() {
  if (*WindowNext != '{') {
    CurChar = *WindowNext++;
    return;
  }
  ReadCharSlow();
}

// The offset of CurChar in the source; the size of the source at its end.
int64_t CurCharOffset();
// Skips blanks and line breaks.
void SkipBlanks();
// Moves the source so that the next ReadChar takes the byte at `offset`.
void SeekSource(int64_t offset);
