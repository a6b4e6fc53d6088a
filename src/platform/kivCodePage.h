#pragma once
// UTF-16 text to 8-bit text in the system's ANSI code page.

#include <string>

namespace kivPlatform {
std::string WideToAnsi(const std::u16string& W);
}
