#include "serve/server.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "os/net.h"
#include "os/process.h"

#ifndef PAS2ASM_VERSION
#define PAS2ASM_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace {
constexpr uint16_t kDefaultPort = 8866;

const char kHelp[] =
    "usage: pas2asm-play [--host ADDRESS] [--port N] [--site FOLDER]\n"
    "\n"
    "Serves the pas2asm playground to a browser on this machine and prints its address; open\n"
    "that address in the browser. The page compiles, runs and steps programs itself: nothing but\n"
    "its files comes from this server, which answers only GET and HEAD for files of the site.\n"
    "Ctrl+C ends it.\n"
    "\n"
    "options:\n"
    "  --host ADDRESS  the address to listen on (default 127.0.0.1: this machine only)\n"
    "  --port N        the port (default 8866; 0: any free port)\n"
    "  --site FOLDER   the site's folder (default: the one installed with pas2asm-play)\n"
    "  --help, --version\n";

// The types of the site's files, by their endings.
constexpr struct {
  std::string_view ending, type;
} kTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".wasm", "application/wasm"},
    {".json", "application/json"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".ico", "image/x-icon"},
    {".txt", "text/plain; charset=utf-8"},
};

std::string_view TypeOf(std::string_view name) {
  for (const auto &t : kTypes)
    if (name.size() >= t.ending.size() && name.substr(name.size() - t.ending.size()) == t.ending)
      return t.type;
  return "application/octet-stream";
}

std::string Response(std::string_view status, std::string_view type, const std::string &body,
                     bool withBody, std::string_view extra = "") {
  std::string r = "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: " + std::string(type) +
                  "\r\nContent-Length: " + std::to_string(body.size()) +
                  "\r\nConnection: close\r\nCache-Control: no-cache\r\n"
                  "X-Content-Type-Options: nosniff\r\n" +
                  std::string(extra) + "\r\n";
  return withBody ? r + body : r;
}

std::string Refusal(std::string_view status, bool withBody, std::string_view extra = "") {
  return Response(status, "text/plain; charset=utf-8", std::string(status) + "\n", withBody, extra);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path of the request target as a name relative to the site, or "" for one that is refused:
// percent-escapes decoded; no NUL, backslash, empty or dot segment ("."/".."), or hidden name.
std::string RelativeName(std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  if (target.empty() || target[0] != '/') return "";
  std::string path;
  for (size_t i = 0; i < target.size(); ++i) {
    if (target[i] != '%') {
      path += target[i];
      continue;
    }
    int hi = i + 2 < target.size() ? HexDigit(target[i + 1]) : -1;
    int lo = hi >= 0 ? HexDigit(target[i + 2]) : -1;
    if (lo < 0) return "";
    path += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  if (path.back() == '/') path += "index.html";
  std::string name;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string_view part = std::string_view(path).substr(start, end - start);
    if (part.empty() || part[0] == '.' || part.find('\0') != std::string_view::npos ||
        part.find('\\') != std::string_view::npos)
      return "";
    name += (name.empty() ? "" : "/") + std::string(part);
    start = end + 1;
  }
  return name;
}

std::string Site;

std::string Answer(std::string_view head) {
  return AnswerRequest(head, Site);
}
} // namespace

std::string AnswerRequest(std::string_view head, const std::string &site) {
  std::string_view line = head.substr(0, head.find("\r\n"));
  size_t space = line.find(' ');
  size_t second = space == std::string_view::npos ? space : line.find(' ', space + 1);
  if (second == std::string_view::npos || line.substr(second + 1).substr(0, 5) != "HTTP/")
    return Refusal("400 Bad Request", true);
  std::string_view method = line.substr(0, space);
  bool get = method == "GET";
  if (!get && method != "HEAD")
    return Refusal("405 Method Not Allowed", true, "Allow: GET, HEAD\r\n");
  std::string name = RelativeName(line.substr(space + 1, second - space - 1));
  if (name.empty()) return Refusal("404 Not Found", get);

  // The file must lie in the site once every link on the way is followed.
  std::error_code e;
  fs::path root = fs::canonical(site, e);
  fs::path file = e ? fs::path() : fs::canonical(root / name, e);
  auto [rootEnd, fileAt] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
  if (e || rootEnd != root.end() || !fs::is_regular_file(file, e))
    return Refusal("404 Not Found", get);
  std::ifstream in(file, std::ios::binary);
  std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return Refusal("500 Internal Server Error", get);
  return Response("200 OK", TypeOf(name), body, get);
}

int RunServer(int argc, char **argv) {
  std::string host = "127.0.0.1";
  long port = kDefaultPort;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::puts("pas2asm-play " PAS2ASM_VERSION);
      return 0;
    }
    if ((arg == "--host" || arg == "--port" || arg == "--site") && i + 1 < argc) {
      std::string value = argv[++i];
      if (arg == "--host") host = value;
      if (arg == "--site") Site = value;
      if (arg == "--port") {
        char *end = nullptr;
        port = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || port < 0 || port > 65535) {
          std::fprintf(stderr, "pas2asm-play: --port takes a number from 0 to 65535: %s\n",
                       value.c_str());
          return 64;
        }
      }
      continue;
    }
    std::fprintf(stderr, "pas2asm-play: %s: %s (pas2asm-play --help lists the options)\n",
                 arg.rfind("--", 0) == 0 ? "unknown option or one without its value"
                                         : "an argument that is not an option",
                 arg.c_str());
    return 64;
  }
  // Beside the program in a build, under share/pas2asm/play where it is installed.
  if (Site.empty()) {
    std::string own = OwnFolder();
    Site = fs::is_regular_file(own + "/site/index.html") ? own + "/site"
                                                         : own + "/../share/pas2asm/play";
  }
  std::error_code e;
  if (!fs::is_regular_file(fs::path(Site) / "index.html", e)) {
    std::fprintf(stderr, "pas2asm-play: %s: no playground there (index.html is missing)\n",
                 Site.c_str());
    return 66;
  }
  uint16_t bound = 0;
  std::string error;
  if (!Listen(host, static_cast<uint16_t>(port), bound, error)) {
    std::fprintf(stderr, "pas2asm-play: cannot listen: %s\n", error.c_str());
    return 69;
  }
  std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  std::printf("pas2asm playground: http://%s:%u/\n", shown.c_str(), bound);
  std::fflush(stdout);
  ServeForever(Answer);
}
