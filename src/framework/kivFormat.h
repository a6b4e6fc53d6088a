#pragma once
// printf-style formatting into a std::string, for the report's fixed format strings.

#include <string>
#include <string_view>

// The C99 conversions (long double, 64-bit integers) on every platform; on Windows the build
// asks mingw for its own C99 printf instead of the system runtime's.
#if defined(__MINGW32__)
#define KIV_PRINTF_FORMAT gnu_printf
#else
#define KIV_PRINTF_FORMAT printf
#endif

std::string Format(const char* Pattern, ...) __attribute__((format(KIV_PRINTF_FORMAT, 1, 2)));

// S with each control byte (below 0x20, and 0x7F) written as "\xHH", as the text outputs show
// them, so that what a browser or a terminal would drop or act on is seen; the bytes listed in
// Kept (the line ends of a block of text) stay as they are.
std::string ShowControlBytes(std::string_view S, std::string_view Kept = {});
