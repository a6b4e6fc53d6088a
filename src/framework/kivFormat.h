#pragma once
// printf-style formatting into a std::string, for the report's fixed format strings.

#include <string>

// The C99 conversions (long double, 64-bit integers) on every platform; on Windows the build
// asks mingw for its own C99 printf instead of the system runtime's.
#if defined(__MINGW32__)
#define KIV_PRINTF_FORMAT gnu_printf
#else
#define KIV_PRINTF_FORMAT printf
#endif

std::string Format(const char* Pattern, ...) __attribute__((format(KIV_PRINTF_FORMAT, 1, 2)));
