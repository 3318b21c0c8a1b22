// The run of one compilation, in its fixed order: the pre-check pass, the translating pass writing
// "out.asm", and the building of "out1.asm".
#pragma once

// Compiles the source named by the first argument and ends the process; never returns.
[[noreturn]] void RunCompiler(int argc, char **argv);
void ResetTranslatorState();
