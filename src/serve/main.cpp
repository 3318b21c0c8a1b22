// pas2asm-play: serves the playground to a browser on this machine; --help tells the rest.
#include "serve/server.h"

int main(int argc, char **argv) {
  return RunServer(argc, argv);
}
