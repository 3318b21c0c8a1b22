// RunRunner(argc, argv) delivers the pas2asm-run command: a program compiled (or an out1.asm
// taken as it is), assembled and run on the DOS machine, with the runner's exit code returned.
#pragma once

int RunRunner(int argc, char **argv);
