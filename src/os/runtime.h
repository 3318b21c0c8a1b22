// The compiler's contact with its operating system: the console, the wait for Enter, checked file
// operations that end a run on any failure, and the one place where a run ends. It stands below
// every other module and calls none of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Makes sure the standard streams are taken, so that a closed console stream cannot be mistaken for
// a file the compiler opens later (writes and reads on such a stream then fail as they should), and
// that a console gone away or a file at its size limit is reported by the write that fails, not by
// a signal that ends the run halfway through a file.
void PrepareRun();

// Checked file operations: every failure is an I/O error naming `what` (the file or the stream).
// The source must be a regular file, as the re-parse moves back in it; its size is returned.
// A file that is created gets the mode 0666 less the umask, and replaces one of the same name.
int OpenSourceFile(const char *name, int64_t &size);
int OpenForReading(const char *name);
int CreateForWriting(const char *name);
// Reads `length` bytes at `offset`; fewer only at the end of the file.
size_t ReadFileAt(int fd, void *into, size_t length, int64_t offset, std::string_view what);
void WriteFile(int fd, std::string_view bytes, std::string_view what);
void CloseFile(int fd, std::string_view what);
// Copies what `from` holds from `offset` on to the end of `to`.
void CopyRestOfFile(int from, int64_t offset, const char *fromName, int to, const char *toName);
// A failure names `to`, unless `from` is missing.
void RenameFile(const char *from, const char *to);
void RemoveFile(const char *name);

// Writes bytes to standard output as they are; a failure is an I/O error.
void WriteConsole(std::string_view bytes);

// Reads one line from standard input and discards it; returns at once when the input has ended.
void WaitForEnter();

// The I/O error report on standard error, then the end of the run with exit code 1.
// `err` is an errno value; `what` names the file or stream.
[[noreturn]] void IoError(int err, std::string_view what);
[[noreturn]] void NoSourceNamed();
// A command line that is not run: `line` as it is on standard error, then the end of the run with
// exit code 1.
[[noreturn]] void RefuseCommandLine(std::string_view line);

// A file that is removed if the run ends with an I/O error before it is finished.
void SetPartialFile(const char *name);

// The files that a fatal end of the run must close, each by the routine of the module that opened
// it: registered when the file is opened, withdrawn when it is closed, closed in the order they
// were opened.
void CloseAtFatalEnd(void (*close)());
void NoLongerOpen(void (*close)());
void CloseOpenFiles();

// The single exit point of every run.
[[noreturn]] void EndRun(int exitCode);
