#include "framework/kivFormat.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

std::string Format(const char* Pattern, ...) {
  va_list Args;
  va_start(Args, Pattern);
  va_list Copy;
  va_copy(Copy, Args);
  const int N = std::vsnprintf(nullptr, 0, Pattern, Copy);
  va_end(Copy);
  std::string S(N > 0 ? size_t(N) : 0, '\0');
  if (N > 0) std::vsnprintf(S.data(), S.size() + 1, Pattern, Args);
  va_end(Args);
  return S;
}

std::string ShowControlBytes(std::string_view S, std::string_view Kept) {
  std::string Shown;
  Shown.reserve(S.size());
  for (const char C : S) {
    const auto B = static_cast<uint8_t>(C);
    if ((B < 0x20 || B == 0x7F) && Kept.find(C) == std::string_view::npos)
      Shown += Format("\\x%02X", B);
    else
      Shown += C;
  }
  return Shown;
}
