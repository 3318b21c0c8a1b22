// pas2asm-play: the playground's folder served over HTTP to a browser on this machine. RunServer
// takes the command line and serves until the process ends; AnswerRequest is the answer to one
// request's head, for the server's loop and for tests.
#pragma once

#include <string>
#include <string_view>

int RunServer(int argc, char **argv);

// The response to a request whose head (request line and header lines, up to the blank line) is
// `head`, from the files of the folder `site`: only GET and HEAD, only files inside the folder
// (no "..", no link that leads out, nothing hidden), "/" as index.html.
std::string AnswerRequest(std::string_view head, const std::string &site);
