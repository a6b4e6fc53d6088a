#include "framework/kivFormat.h"

#include <cstdarg>
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
