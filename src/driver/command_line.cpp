#include "driver/command_line.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "os/runtime.h"

namespace {
[[noreturn]] void ShowHelp();
[[noreturn]] void ShowVersion();
bool TakeMapFile(const char *next);

// The options, as the command line takes them and the help lists them. `take` is handed the
// argument after the option (null after the last one) and says whether it used it as the option's
// value: an option that names a file takes it so.
struct Option {
  std::string_view name;
  std::string_view value; // how the help names the value an option takes; empty for none
  bool (*take)(const char *next);
  std::string_view help;
};
constexpr Option kOptions[] = {
    {"--help", "", [](const char *) -> bool { ShowHelp(); }, "show this help and exit"},
    {"--version", "", [](const char *) -> bool { ShowVersion(); }, "show the version and exit"},
    {"--map", "FILE", TakeMapFile, "also write where each line of out1.asm came from to FILE"},
};

constexpr std::string_view kUsage =
    "Usage: pas2asm [OPTION]... [--] SOURCE\r\n"
    "\r\n"
    "Compiles the program in the file SOURCE into out1.asm in the current directory:\r\n"
    "16-bit DOS assembly in the MASM dialect. Its messages are Russian, in code page\r\n"
    "866; a terminal whose locale is UTF-8 is given them in UTF-8.\r\n"
    "\r\n"
    "Options:\r\n";

constexpr std::string_view kHelpEnd =
    "  --          the next argument is SOURCE, even if it begins with \"-\"\r\n"
    "\r\n"
    "Exit codes:\r\n"
    "  0  compiled: out1.asm is written (the syntax check may have printed its\r\n"
    "     dialogue about an IF without ELSE or a WRITE with text on the way)\r\n"
    "  1  not compiled: an error in the program (printed; then the compiler waits\r\n"
    "     for Enter), a command line refused, or an I/O error (\"pas2asm: I/O error:\r\n"
    "     ...\" on standard error)\r\n"
    "\r\n"
    "The compiler waits for Enter after an error and in the syntax check's dialogue;\r\n"
    "with standard input at its end (pas2asm SOURCE </dev/null, or <NUL on Windows)\r\n"
    "every wait returns at once.\r\n"
    "\r\n"
    "The guide for learners, in English and in Russian: guide.md and guide.ru.md in\r\n"
    "the documentation (share/doc/pas2asm/, on Windows beside pas2asm.exe).\r\n"
    "The manual page: man pas2asm.\r\n";

// Where the help of an option begins, after the option and its value.
constexpr size_t kHelpColumn = 12;

void ShowHelp() {
  std::string text(kUsage);
  for (const Option &option : kOptions) {
    std::string left = std::string(option.name);
    if (!option.value.empty()) left += " " + std::string(option.value);
    text += "  " + left + std::string(std::max<size_t>(kHelpColumn - left.size(), 1), ' ') +
            std::string(option.help) + "\r\n";
  }
  text += kHelpEnd;
  WriteConsole(text);
  EndRun(0);
}

void ShowVersion() {
  WriteConsole("pas2asm " PAS2ASM_VERSION "\r\n");
  EndRun(0);
}

[[noreturn]] void Refuse(std::string_view problem, std::string_view argument,
                         std::string_view hint) {
  RefuseCommandLine("pas2asm: " + std::string(problem) + ": " + std::string(argument) + " (" +
                    std::string(hint) + ")\r\n");
}

bool TakeMapFile(const char *next) {
  if (next == nullptr) Refuse("an option without its file", "--map", "pas2asm --map FILE SOURCE");
  MapFile = next;
  return true;
}

const Option *OptionNamed(std::string_view name) {
  for (const Option &option : kOptions)
    if (option.name == name) return &option;
  return nullptr;
}
} // namespace

const char *MapFile = nullptr;

const char *SourceFromCommandLine(int argc, char **argv) {
  const char *source = nullptr;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view argument = argv[i];
    // A lone "-" is a file name, as it has always been.
    if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
      if (argument == "--") {
        optionsEnded = true;
        continue;
      }
      const Option *option = OptionNamed(argument);
      if (option == nullptr) Refuse("unknown option", argument, "pas2asm --help lists the options");
      if (option->take(i + 1 < argc ? argv[i + 1] : nullptr)) ++i;
      continue;
    }
    if (source != nullptr)
      Refuse("a second source file", argument, "one file is compiled at a time");
    source = argv[i];
  }
  if (source == nullptr) NoSourceNamed();
  if (MapFile != nullptr) {
    std::string_view map = MapFile;
    if (map == "out.asm" || map == "out1.asm" || map == source)
      Refuse("a map in place of a file of the run", map, "name another file");
  }
  return source;
}
