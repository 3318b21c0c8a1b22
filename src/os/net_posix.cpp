// The listening socket and its loop on POSIX systems: poll() over the connections, each
// non-blocking with its own buffers, so that one slow or idle connection (a browser opens some
// ahead of need) holds up no other.
#include "os/net.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {
constexpr size_t kMaxHead = 16 * 1024;
constexpr int kIdleSeconds = 10;

int Listening = -1;

struct Connection {
  int fd;
  std::string in, out;
  size_t sent = 0;
  bool answered = false;
  time_t since;
};
} // namespace

bool Listen(const std::string &host, uint16_t port, uint16_t &bound, std::string &error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo *found = nullptr;
  std::string service = std::to_string(port);
  if (int e = getaddrinfo(host.c_str(), service.c_str(), &hints, &found)) {
    error = host + ": " + gai_strerror(e);
    return false;
  }
  error = host + ": no address to listen on";
  for (addrinfo *a = found; a; a = a->ai_next) {
    int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 64) == 0) {
      sockaddr_storage local{};
      socklen_t size = sizeof local;
      getsockname(fd, reinterpret_cast<sockaddr *>(&local), &size);
      bound = ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 &>(local).sin6_port
                                                : reinterpret_cast<sockaddr_in &>(local).sin_port);
      fcntl(fd, F_SETFL, O_NONBLOCK);
      Listening = fd;
      freeaddrinfo(found);
      return true;
    }
    error = host + " port " + service + ": " + std::strerror(errno);
    close(fd);
  }
  freeaddrinfo(found);
  return false;
}

void ServeForever(std::string (*answer)(std::string_view head)) {
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<Connection> connections;
  for (;;) {
    std::vector<pollfd> polled{{Listening, POLLIN, 0}};
    for (const Connection &c : connections)
      polled.push_back({c.fd, static_cast<short>(c.answered ? POLLOUT : POLLIN), 0});
    if (poll(polled.data(), polled.size(), 1000) < 0 && errno != EINTR) continue;
    time_t now = time(nullptr);
    // The connections that were polled, each with its events; those it ends are closed after.
    std::vector<Connection> kept;
    for (size_t i = 0; i < connections.size(); ++i) {
      Connection &c = connections[i];
      short events = polled[i + 1].revents;
      bool done = false;
      if (!c.answered && (events & (POLLIN | POLLHUP | POLLERR))) {
        char buffer[4096];
        ssize_t n = read(c.fd, buffer, sizeof buffer);
        if (n > 0) {
          c.in.append(buffer, static_cast<size_t>(n));
          size_t end = c.in.find("\r\n\r\n");
          if (end != std::string::npos && end + 4 <= kMaxHead) {
            c.out = answer(std::string_view(c.in).substr(0, end + 4));
            c.answered = true;
          } else if (c.in.size() > kMaxHead) {
            done = true;
          }
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
          done = true;
        }
      }
      if (c.answered && !done) {
        ssize_t n = write(c.fd, c.out.data() + c.sent, c.out.size() - c.sent);
        if (n > 0) c.sent += static_cast<size_t>(n);
        if (c.sent == c.out.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) done = true;
      }
      if (!done && now - c.since > kIdleSeconds) done = true;
      if (done)
        close(c.fd);
      else
        kept.push_back(std::move(c));
    }
    connections = std::move(kept);
    if (polled[0].revents & POLLIN) {
      int fd;
      while ((fd = accept(Listening, nullptr, nullptr)) >= 0) {
        fcntl(fd, F_SETFL, O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        connections.push_back({fd, {}, {}, 0, false, now});
      }
    }
  }
}
