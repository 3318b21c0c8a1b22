// Puts a text into a temporary file and opens it as the source, as a pass does.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "lex/source.h"

// Names a file holding `text` as the source; nothing is opened yet.
inline void NameText(const std::string &text) {
  static std::string path;
  if (!path.empty()) unlink(path.c_str());
  char name[] = "/tmp/pas2asm-unit-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
    std::abort();
  close(fd);
  path = name;
  if (SourceIsOpen()) CloseSource();
  SourceName = path;
}

// Opens it and reads the first character, as the pre-check pass starts.
inline void OpenText(const std::string &text) {
  NameText(text);
  OpenSource();
  CharPos = 0;
  ReadChar();
}
