#include "framework/kivUtf8.h"

#include <cstdint>

#include "platform/kivCodePage.h"

std::u16string Utf8ToWide(std::string_view Utf8) {
  std::u16string W;
  W.reserve(Utf8.size());
  size_t I = 0;
  while (I < Utf8.size()) {
    const auto B = static_cast<uint8_t>(Utf8[I]);
    if (B < 0x80) {
      W += char16_t(B);
      ++I;
      continue;
    }
    // The sequence's length and the smallest code point it may stand for (no overlong forms).
    const int Length = B >= 0xF0 && B <= 0xF4 ? 4 : B >= 0xE0 ? 3 : B >= 0xC2 && B < 0xE0 ? 2 : 0;
    const char32_t Least = Length == 4 ? 0x10000 : Length == 3 ? 0x800 : 0x80;
    char32_t C = Length == 4 ? B & 0x07 : Length == 3 ? B & 0x0F : B & 0x1F;
    int Taken = 1;
    while (Length > 0 && Taken < Length && I + size_t(Taken) < Utf8.size() &&
           (static_cast<uint8_t>(Utf8[I + size_t(Taken)]) & 0xC0) == 0x80) {
      C = (C << 6) | (static_cast<uint8_t>(Utf8[I + size_t(Taken)]) & 0x3F);
      ++Taken;
    }
    I += size_t(Taken);
    if (Length == 0 || Taken < Length || C < Least || C > 0x10FFFF || (C >= 0xD800 && C < 0xE000)) {
      W += u'\xFFFD';
    } else if (C >= 0x10000) {
      C -= 0x10000;
      W += char16_t(0xD800 + (C >> 10));
      W += char16_t(0xDC00 + (C & 0x3FF));
    } else {
      W += char16_t(C);
    }
  }
  return W;
}

std::string Utf8ToAnsiText(std::string_view Utf8) {
  // ASCII needs no conversion, and most metadata is ASCII.
  for (const char C : Utf8)
    if (static_cast<uint8_t>(C) >= 0x80) return kivPlatform::WideToAnsi(Utf8ToWide(Utf8));
  return std::string(Utf8);
}
