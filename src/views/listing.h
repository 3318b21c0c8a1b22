// The listing of pas2asm-run --listing: the source line by line, each construct that begins on a
// line after it with the lines of out1.asm it wrote, numbered; the frame and the runtime folded
// to a line each unless `all`. CP866 text, painted when `colours`: a construct and its lines
// share a paint, the paints taken in turn.
#pragma once

#include <string>

std::string ListingText(bool all, bool colours);
