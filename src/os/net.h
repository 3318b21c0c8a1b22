// A listening socket and the loop that serves it, for pas2asm-play: the caller hands over the
// head of each request and gets back the bytes to answer; the connections themselves, many at a
// time, are this module's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Listens on `host` (an IPv4 or IPv6 address, or a name) at `port` (0: a free one, whose number
// `bound` gets). False with `error` when it cannot.
bool Listen(const std::string &host, uint16_t port, uint16_t &bound, std::string &error);

// Serves the listening socket until the process ends: a request's head, up to its blank line
// (at most 16 KiB), goes to `answer`, whose bytes are sent before the connection is closed. A
// connection that sends no whole head within 10 seconds, or too long a one, is closed unanswered.
[[noreturn]] void ServeForever(std::string (*answer)(std::string_view head));
