// The compiler's contact with its operating system: the console, the wait for Enter, the I/O check
// that ends a run on any failed file or console operation, and the one place where a run ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Makes sure descriptors 0, 1 and 2 are taken, so that a closed console stream cannot be mistaken
// for a file the compiler opens later; writes and reads on such a stream then fail as they should.
void PrepareStandardStreams();

// Checked file operations: every failure is an I/O error naming `what` (the file or the stream).
// Open with the mode 0666 for a file it creates; read `length` bytes at `offset` (fewer only at the
// end of the file); write all bytes; close.
int OpenFile(const char *name, int flags);
size_t ReadFileAt(int fd, void *into, size_t length, int64_t offset, std::string_view what);
void WriteFile(int fd, std::string_view bytes, std::string_view what);
void CloseFile(int fd, std::string_view what);

// Writes bytes to standard output as they are; a failure is an I/O error.
void WriteConsole(std::string_view bytes);

// Reads one line from standard input and discards it; returns at once when the input has ended.
void WaitForEnter();

// The I/O error report on standard error, then the end of the run with exit code 1.
// `err` is an errno value; `what` names the file or stream.
[[noreturn]] void IoError(int err, std::string_view what);
[[noreturn]] void NoSourceNamed();

// A file that is removed if the run ends with an I/O error before it is finished.
void SetPartialFile(const char *name);

// The single exit point of every run.
[[noreturn]] void EndRun(int exitCode);
