// The command line of a run: the options a user may give, answered or refused here before anything
// is read or written, and the name of the one source file to compile.
#pragma once

// Takes the arguments in order. --help and --version are answered on standard output and end the
// run; an unknown option or a second source file is refused with one line on standard error and
// exit code 1. After "--" the next argument is the source whatever its first character. Returns
// the source's name; with none given the run ends with the I/O error it has always ended with.
const char *SourceFromCommandLine(int argc, char **argv);
// The file that --map names, or null.
extern const char *MapFile;
