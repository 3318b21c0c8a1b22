// Puts a text into a temporary file and opens it as the source, as a pass does.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "lex/source.h"
#include "test_platform.h"

// Names a file holding `text` as the source, in a directory of this process's own; nothing is
// opened yet. The file of the text before is closed and removed.
inline void NameText(const std::string &text) {
  static const std::string path = NewScratchDirectory() + "/source.pas";
  if (SourceIsOpen()) CloseSource();
  std::filesystem::remove(path);
  std::ofstream file(path, std::ios::binary);
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  if (!file) std::abort();
  SourceName = path;
}

// Opens it and reads the first character, as the pre-check pass starts.
inline void OpenText(const std::string &text) {
  NameText(text);
  OpenSource();
  SetCharPos(0);
  ReadChar();
}
