// pas2asm SOURCE: compiles one program into "out1.asm" in the current directory; pas2asm --help
// tells the rest.
#include "driver/driver.h"

int main(int argc, char **argv) {
  RunCompiler(argc, argv);
}
