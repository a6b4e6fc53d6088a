#include "framework/kivUtf8.h"

#include <cstdint>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
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

namespace {
// Calls Each with every code point of W; an unpaired surrogate is U+FFFD.
template <class TEach> void ForEachCodePoint(std::u16string_view W, TEach&& Each) {
  for (size_t I = 0; I < W.size(); ++I) {
    const char32_t U = W[I];
    if (U >= 0xD800 && U <= 0xDBFF && I + 1 < W.size() && W[I + 1] >= 0xDC00 &&
        W[I + 1] <= 0xDFFF) {
      Each(0x10000 + ((U - 0xD800) << 10) + (char32_t(W[I + 1]) - 0xDC00));
      ++I;
    } else {
      Each(U >= 0xD800 && U < 0xE000 ? char32_t(0xFFFD) : U);
    }
  }
}
} // namespace

std::string WideToUtf8(std::u16string_view Wide) {
  std::string S;
  S.reserve(Wide.size());
  ForEachCodePoint(Wide, [&S](char32_t C) {
    if (C < 0x80) {
      S += char(C);
    } else if (C < 0x800) {
      S += char(0xC0 | (C >> 6));
      S += char(0x80 | (C & 0x3F));
    } else if (C < 0x10000) {
      S += char(0xE0 | (C >> 12));
      S += char(0x80 | ((C >> 6) & 0x3F));
      S += char(0x80 | (C & 0x3F));
    } else {
      S += char(0xF0 | (C >> 18));
      S += char(0x80 | ((C >> 12) & 0x3F));
      S += char(0x80 | ((C >> 6) & 0x3F));
      S += char(0x80 | (C & 0x3F));
    }
  });
  return S;
}

std::string PageHtml(std::string_view Text) {
  std::string Html;
  AppendHTMLEscaped(Html, ShowControlBytes(Text, "\t\n\r"), TkivEntities::Closed);
  return Html;
}

std::string Utf8ToPageHtml(std::string_view Utf8) {
  bool Ascii = true;
  for (const char C : Utf8)
    Ascii = Ascii && static_cast<uint8_t>(C) < 0x80;
  if (Ascii) return PageHtml(Utf8);
  // A control byte is one byte in UTF-8 as well.
  const std::string Text = ShowControlBytes(Utf8, "\t\n\r");
  std::string Html;
  Html.reserve(Text.size());
  ForEachCodePoint(Utf8ToWide(Text), [&Html](char32_t C) {
    const int B = kivPlatform::CharToWindows1251(C);
    if (B < 0) {
      Html += "&#" + std::to_string(uint32_t(C)) + ";";
    } else {
      const char Byte = static_cast<char>(B);
      AppendHTMLEscaped(Html, std::string_view(&Byte, 1), TkivEntities::Closed);
    }
  });
  return Html;
}
