// The source reader: the source file and the one-character lookahead through which both passes see
// the program. Brace comments are removed here, below the level of tokens, so they may stand
// anywhere, even inside a word or a string literal.
#pragma once

#include <cstdint>
#include <string>

extern std::string SourceName; // the first command-line argument
extern unsigned char CurChar;  // the lookahead; 0 once the source has ended
extern int32_t LineNo;         // line of CurChar, counted from 1
extern int32_t CharPos; // ReadChar calls since last set; in the pre-check, offset of the next byte

void OpenSource();
void CloseSource();
bool SourceIsOpen();
// True when the last ReadChar found the end of the source (a byte 0 inside the file is not the
// end).
bool AtEndOfSource();

inline bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t';
}
inline bool IsLineBreak(unsigned char c) {
  return c == '\n' || c == '\r';
}

// The bytes of the current window that ReadChar may take without the bookkeeping of line
// breaks, comments and the end: next..limit, valid while `plain` (the byte before is no CR or LF).
namespace reader_fast {
extern const unsigned char *next;
extern const unsigned char *limit;
extern bool plain;
} // namespace reader_fast
void ReadCharSlow();

// Advances by one character; a "{" starts a comment, which is skipped at once.
inline void ReadChar() {
  using namespace reader_fast;
  if (next < limit && plain) {
    unsigned char byte = *next;
    if (!IsLineBreak(byte) && byte != '{') {
      ++next;
      CurChar = byte;
      CharPos = static_cast<int32_t>(static_cast<uint32_t>(CharPos) + 1u);
      return;
    }
  }
  ReadCharSlow();
}
// Skips blanks and line breaks.
inline void SkipBlanks() {
  while (IsBlank(CurChar) || IsLineBreak(CurChar)) ReadChar();
}
// Entered with CurChar = "{": skips the comment with all comments nested in it, then reads on.
void SkipComment();
// Moves the source so that the next ReadChar takes the byte at `offset`, with LineNo kept right.
void SeekSource(int64_t offset);
