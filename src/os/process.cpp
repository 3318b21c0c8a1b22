#include "os/process.h"

#include <filesystem>
#include <fstream>
#include <system_error>

bool ReadWholeFile(const std::string &path, std::string &bytes, std::string &error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open the file";
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": cannot read the file";
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string &path, std::string_view bytes, std::string &error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    error = path + ": cannot write the file";
    return false;
  }
  return true;
}

bool MakeFolder(const std::string &path, std::string &error) {
  std::error_code code;
  std::filesystem::create_directories(path, code);
  if (code || !std::filesystem::is_directory(path)) {
    error = path + ": " + (code ? code.message() : "not a folder");
    return false;
  }
  return true;
}

void RemoveFolder(const std::string &folder) {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

std::string AbsolutePath(const std::string &path) {
  std::error_code ignored;
  std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.string();
}

bool ReadLine(std::FILE *stream, std::string &line) {
  line.clear();
  int c;
  while ((c = std::getc(stream)) != EOF) {
    line += static_cast<char>(c);
    if (c == '\n') return true;
  }
  return !line.empty();
}
