#include <gtest/gtest.h>

#include "platform/kivCodePage.h"

TEST(PortableCodePage, UnmappableCharactersBecomeQuestionMarks) {
  struct TCase {
    std::u16string Wide;
    std::string Ansi;
  };
  const TCase Cases[] = {
      {u"Az", "Az"},
      {std::u16string(1, u'\0'), std::string(1, '\0')},
      {u"\u0410\u044F\u0401\u2116\u2122", "\xC0\xFF\xA8\xB9\x99"},
      // 0x98 has no character: neither its empty slot nor anything else maps to it.
      {u"\uFFFF\u0098\u00E9", "???"},
      {u"\U0001F600", "?"},
      {std::u16string(1, char16_t(0xD800)), "?"},
  };
  for (const TCase& C : Cases)
    EXPECT_EQ(kivPlatform::WideToAnsi(C.Wide), C.Ansi);
}
