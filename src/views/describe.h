// The texts that every view of a run shows alike: a variable's value, a statement shortened to a
// line, where the program stopped and the loop a used-up budget was spent in. CP866 bytes, as
// the source and out1.asm have them; the caller converts them for a terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine.h"

// At most `max` bytes of `text`, its end replaced by "..." when it is longer.
std::string Shorten(std::string_view text, size_t max);
// `n` in decimal, right-aligned in `width`; a word in hex, four digits.
std::string RightAligned(uint32_t n, size_t width);
// `text` filled with blanks to `column`, or two blanks after it when it is as long already.
void PadTo(std::string &text, size_t column);
std::string Hex4(uint16_t value);

// A variable's value at the last stop: an INTEGER in signed decimal; a STRING as a Pascal text
// up to its "$", control characters as #13, a quote doubled, shortened past `max` characters.
std::string ValueText(size_t variable, size_t max = 40);
// "A = 3, S = 'ab'" for the variables that changed since the stop before; "" for none.
std::string ChangesText();

// "line 5: IF A > 2" for a statement; the start and the exit by their names.
std::string StatementText(int32_t statement, size_t max = 60);

// Where the machine stopped, for its message: "in line 7: A := A / Z (assignment)", or inside a
// runtime routine "in ToOct for line 5: WRITE(A) (WRITE item A)"; "" when it is not known.
std::string SiteText();
// After a used-up budget: "in the FOR loop of line 5: FOR I := 1 TO N"; "" when the last part of
// the run lay in no loop.
std::string HangingLoopText();
