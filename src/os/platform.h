// What the runtime's common part needs from the part written for one operating system
// (runtime_posix.cpp, runtime_wasi.cpp or runtime_win32.cpp, of which CMake builds one; the first
// two share runtime_fd.cpp). Nothing outside src/os/ includes this header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The report of an I/O error: `failure` names what went wrong, `what` the file or stream; then the
// end of the run with exit code 1.
[[noreturn]] void IoFailure(std::string_view failure, std::string_view what);

// Best effort, on the way out: the report on standard error, and the removal of a partial file.
void WriteToErrorStream(std::string_view bytes);
void RemoveIfPossible(const char *name);

// Copies the rest of `from`, from `offset` on, to `to` without passing the bytes through this
// process, where the system can. Returns false when the rest, from `offset` as it was moved, must
// be copied through the process instead. Failures end the run.
bool CopyBySystem(int from, int64_t &offset, int to, const char *toName);
