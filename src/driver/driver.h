// RunCompiler compiles the source named on the command line and ends the process, in the fixed
// order of a run: the pre-check pass, the translating pass writing "out.asm", and the building of
// "out1.asm".
#pragma once

[[noreturn]] void RunCompiler(int argc, char **argv);
// The state the translating pass starts from, set between the two passes.
void ResetTranslatorState();
