// The translating pass: TranslateProgram parses the program from its header to its final "." and
// writes "out.asm" as it goes, with no tree in between: the data declarations, comment lines around
// each statement, labels and jumps, the counting code of FOR and the READ and WRITE templates.
// The first error ends the run.
#pragma once

void TranslateProgram();
