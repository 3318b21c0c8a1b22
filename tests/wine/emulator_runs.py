"""Runs of the Windows build under Wine that Wine, not the compiler, ended. Both the golden tests
and fuzz/compare repeat such a run once, and say so, rather than take it as the compiler's answer.
"""


def emulator_failed(code, out, err, touched):
    """A run that failed and left nothing (no output on either stream, no file `touched`): the
    compiler never ends so (a compiled program leaves out1.asm, an error is printed), Wine does now
    and then when it cannot start the program on a busy machine. Or a run that Wine's loader ended
    with an assertion of the system's dynamic linker as the process went down (seen once in about
    fifty thousand runs): exit 127 and those words are never the compiler's."""
    return ((code != 0 and not out and not err and not touched) or
            (code == 127 and err.startswith(b"Inconsistency detected by ld.so")))
