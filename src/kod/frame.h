// The fixed text around every generated program, each part written into "out.asm" by one call: the
// data header with its buffers, the start of the code, the exit to DOS, and the runtime routines
// that the instruction templates call.
#pragma once

void EmitDataHeader();
void EmitCodeStart();
void EmitProgramExit();
void EmitRuntimeLibrary();
