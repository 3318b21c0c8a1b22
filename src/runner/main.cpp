// pas2asm-run [options] SOURCE: compiles a program and runs it on a DOS machine of its own.
#include "runner/runner.h"

int main(int argc, char **argv) {
  return RunRunner(argc, argv);
}
