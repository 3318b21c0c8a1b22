// Two hints on inlining for the few routines that run once per token or per output piece: the
// compilers differ in how they are spelt, so they are spelt here once.
#pragma once

#if defined(_MSC_VER)
#define OUT_OF_LINE __declspec(noinline)
#define IN_LINE __forceinline
#else
// A seldom path kept out of line, so that the common one around it stays small.
#define OUT_OF_LINE [[gnu::noinline, gnu::cold]]
// A small routine inlined wherever it is called, whatever the compiler's own estimate.
#define IN_LINE [[gnu::always_inline]] inline
#endif
