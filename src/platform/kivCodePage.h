#pragma once
// UTF-16 text to 8-bit text in the system's ANSI code page, and characters to Windows-1251, the
// code page the report page declares.

#include <string>

namespace kivPlatform {
std::string WideToAnsi(const std::u16string& W);
// The Windows-1251 byte of the character C (a code point), or -1 when the code page has none.
int CharToWindows1251(char32_t C);
} // namespace kivPlatform
