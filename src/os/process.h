// What the runner needs of its operating system: a child process started in a folder with empty
// standard input and its output kept in files, a temporary folder, its own path, whole files read
// and written, standard input read a line at a time, and standard output and error written as
// bytes or, on a terminal that wants it, as Unicode. The compiler itself uses none of it.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Standard streams in binary mode, and a closed pipe reported by the write that meets it.
void PrepareStreams();

// Starts `program` with `args` in `folder`, standard input empty, standard output and error into
// the files `outFile` and `errFile` there; waits for it. False with `error` when it cannot start.
bool RunInFolder(const std::string &program, const std::vector<std::string> &args,
                 const std::string &folder, const std::string &outFile, const std::string &errFile,
                 int &exitCode, std::string &error);

// A new empty folder of this user's in the system's temporary folder; empty when none is made.
std::string MakeTemporaryFolder(std::string &error);
void RemoveFolder(const std::string &folder);

// The folder of the running program, the absolute form of a path, an executable's path on PATH
// ("" when none), and whether a file can be run.
std::string OwnFolder();
std::string AbsolutePath(const std::string &path);
std::string FindOnPath(const std::string &name);
bool IsExecutable(const std::string &path);
// The name of an executable file: "pas2asm" here, "pas2asm.exe" on Windows.
std::string ExecutableName(const std::string &stem);

bool ReadWholeFile(const std::string &path, std::string &bytes, std::string &error);
bool WriteWholeFile(const std::string &path, std::string_view bytes, std::string &error);
bool MakeFolder(const std::string &path, std::string &error);

// The next line of `stream` with its "\n" if it has one; false at the end (or on an error).
bool ReadLine(std::FILE *stream, std::string &line);

enum class Stream { Out, Err };
// Whether the stream is a terminal that shows CP866 text only converted: on POSIX systems a
// terminal whose locale names UTF-8, on Windows a console.
bool WantsUnicode(Stream stream);
// Writes CP866 bytes; converted for the terminal when `unicode`, as UTF-8 or (to a Windows
// console) UTF-16. False when the write fails.
bool WriteStream(Stream stream, std::string_view bytes, bool unicode);
