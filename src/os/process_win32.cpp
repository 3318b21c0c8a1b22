// The runner's system calls on Windows.
#include "os/process.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "os/console.h"

namespace {
std::wstring Wide(const std::string &text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Narrow(const std::wstring &wide) {
  if (wide.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                      nullptr, nullptr);
  return text;
}

std::string LastError() {
  wchar_t *text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, GetLastError(), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
  std::string message = text ? Narrow(text) : "system error";
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

// One argument as the C runtime of the child splits its command line.
std::wstring Quoted(const std::wstring &arg) {
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      slashes++;
      continue;
    }
    out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(2 * slashes, L'\\');
  return out + L"\"";
}

HANDLE Inheritable(const std::wstring &path, DWORD access, DWORD creation) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, creation,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE StreamHandle(Stream stream) {
  return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
  DWORD mode;
  return GetConsoleMode(handle, &mode) != 0;
}
} // namespace

void PrepareStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool RunInFolder(const std::string &program, const std::vector<std::string> &args,
                 const std::string &folder, const std::string &outFile, const std::string &errFile,
                 int &exitCode, std::string &error) {
  std::wstring dir = Wide(folder);
  HANDLE in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = Inheritable(dir + L"\\" + Wide(outFile), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = Inheritable(dir + L"\\" + Wide(errFile), GENERIC_WRITE, CREATE_ALWAYS);
  bool ok =
      in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE;
  std::wstring command = Quoted(Wide(program));
  for (const std::string &a : args) command += L" " + Quoted(Wide(a));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  if (ok)
    ok = CreateProcessW(Wide(program).c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        dir.c_str(), &si, &pi) != 0;
  if (!ok) error = LastError();
  for (HANDLE h : {in, out, err})
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  if (!ok) return false;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  exitCode = static_cast<int>(code);
  return true;
}

std::string MakeTemporaryFolder(std::string &error) {
  wchar_t base[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, base);
  if (n == 0) {
    error = "cannot find the temporary folder: " + LastError();
    return "";
  }
  for (unsigned attempt = 0; attempt < 100; attempt++) {
    std::wstring name = std::wstring(base) + L"pas2asm-run-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    if (CreateDirectoryW(name.c_str(), nullptr)) return Narrow(name);
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  error = "cannot make a temporary folder: " + LastError();
  return "";
}

std::string OwnFolder() {
  wchar_t path[32768];
  DWORD n = GetModuleFileNameW(nullptr, path, 32768);
  if (n == 0 || n >= 32768) return "";
  std::wstring own(path, n);
  return Narrow(own.substr(0, own.find_last_of(L"\\/")));
}

bool IsExecutable(const std::string &path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ExecutableName(const std::string &stem) {
  return stem + ".exe";
}

std::string FindOnPath(const std::string &name) {
  wchar_t found[32768];
  std::wstring file = Wide(name);
  DWORD n = SearchPathW(nullptr, file.c_str(), L".exe", 32768, found, nullptr);
  return n > 0 && n < 32768 ? Narrow(std::wstring(found, n)) : "";
}

bool WantsUnicode(Stream stream) {
  return IsConsole(StreamHandle(stream));
}

bool WriteStream(Stream stream, std::string_view bytes, bool unicode) {
  HANDLE handle = StreamHandle(stream);
  if (unicode && IsConsole(handle)) {
    std::u16string text = Cp866ToUtf16(bytes);
    DWORD written;
    return text.empty() ||
           WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  std::string converted;
  if (unicode) {
    converted = Cp866ToUtf8(bytes);
    bytes = converted;
  }
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0)
      return false;
    bytes.remove_prefix(written);
  }
  return true;
}
