#pragma once

// Lets the compiler check printf-style formats. GCC is told the GNU flavour, so that the
// mingw-w64 build accepts %zu and %lld as the C runtime we link formats them; clang knows only
// the plain printf flavour, which checks the same conversions on Linux.
#if defined(__clang__)
#define FISCORA_PRINTF(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define FISCORA_PRINTF(formatIndex, firstArgument) __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#endif
