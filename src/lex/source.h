// The source reader: the source file and the one-character lookahead through which both passes see
// the program. Brace comments are removed here, below the level of tokens, so they may stand
// anywhere, even inside a word or a string literal.
//
// Every byte of the source passes here in both passes, so the common byte costs no more than a
// look: the file is read in windows, ReadChar takes a byte from the window inline and calls out
// only for a "{" or the window's end (a "{" put after the window's last byte, so that one test
// finds both), and the scanner takes whole runs of bytes (blanks, word bytes) straight from the
// window through reader_fast. Nothing is counted per line while reading:
// a message that needs the line of the current character counts the line breaks before it then
// (LineNumber), on from where the last such count stopped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

extern std::string SourceName; // the source file named on the command line
extern unsigned char CurChar;  // the lookahead; 0 once the source has ended
extern int32_t CharPos; // ReadChar calls since last set; in the pre-check, offset of the next byte
// CharPos is a 32-bit counter that wraps, as the reader's counter always has.
inline void AdvanceCharPos(size_t bytes) {
  CharPos = static_cast<int32_t>(static_cast<uint32_t>(CharPos) + static_cast<uint32_t>(bytes));
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

constexpr bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t';
}
constexpr bool IsLineBreak(unsigned char c) {
  return c == '\n' || c == '\r';
}

// The bytes of the current window after CurChar: next..limit. CurChar, when it was read from the
// file, is the byte before next. Any of them but "{" may be taken without a call, as long as
// CharPos is advanced by as many. The byte at limit is a "{" put there as a sentinel, so a run of
// bytes of any class without "{" stops at the limit by itself, and one test for "{" sends both a
// comment and the window's end to the reader. The kLookAhead bytes from any byte up to limit may be
// loaded at once; those past limit are no part of the source.
namespace reader_fast {
constexpr size_t kLookAhead = 8;
extern const unsigned char *next;
extern const unsigned char *limit;
// Takes the bytes from next up to p, as if each had been read with ReadChar.
inline void TakeUpTo(const unsigned char *p) {
  AdvanceCharPos(static_cast<size_t>(p - next));
  next = p;
}
} // namespace reader_fast
void ReadCharSlow();

// Advances by one character; a "{" starts a comment, which is skipped at once.
inline void ReadChar() {
  using namespace reader_fast;
  if (*next != '{') {
    CurChar = *next++;
    AdvanceCharPos(1);
    return;
  }
  ReadCharSlow();
}
// Blank, tab, LF or CR, tested as one bit of a mask.
constexpr bool IsBlankOrBreak(unsigned char c) {
  return c <= ' ' && ((uint64_t{1} << ' ' | 1u << '\t' | 1u << '\n' | 1u << '\r') >> c & 1u);
}
void SkipBlankRun();
// Skips blanks and line breaks. Most tokens are followed by one blank or none: the test is inline.
inline void SkipBlanks() {
  if (IsBlankOrBreak(CurChar)) SkipBlankRun();
}
// Entered with CurChar = "{": skips the comment with all comments nested in it, then reads on.
void SkipComment();
// Moves the source so that the next ReadChar takes the byte at `offset`.
void SeekSource(int64_t offset);
