#include <gtest/gtest.h>

#include "platform/kivCodePage.h"
#include "platform/kivIniFile.h"
#include "support/kivTestSupport.h"

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

// As the system's profile functions read an ini file, which the Windows plug-in uses.
TEST(PortableIniFile, AnIntegerAsTheProfileFunctionsReadIt) {
  const struct {
    std::string Text;
    int32_t Value;
  } Cases[] = {
      {"[kivMrkWLX]\r\nExtended=1\r\n", 1},
      {"[KIVMRKWLX]\nEXTENDED=1", 1},
      {"  [ kivMrkWLX ]  \n\t Extended\t=  42 days\n", 42},
      {"[kivMrkWLX]\nExtended=yes\n", 0},
      {"[kivMrkWLX]\nExtended=-3\n", -3},
      {"[kivMrkWLX]\nExtended=99999999999\n", 2147483647},
      {"[kivMrkWLX]\n;Extended=1\nExtended=2\nExtended=3\n", 2},
      {"[Other]\nExtended=1\n[kivMrkWLX]\nOther=1\n", 7},
      {"Extended=1\n", 7},
      {"[kivMrkWLX\nExtended=1\n", 7},
      {"", 7},
  };
  kivTest::TTempDir Dir;
  const auto File = Dir.Path() / "plugins.ini";
  for (const auto& Case : Cases) {
    kivTest::WriteFileBytes(File, Case.Text);
    EXPECT_EQ(kivPlatform::ReadIniInteger(File.string(), "kivMrkWLX", "Extended", 7), Case.Value)
        << Case.Text;
  }
  EXPECT_EQ(
      kivPlatform::ReadIniInteger((Dir.Path() / "none.ini").string(), "kivMrkWLX", "Extended", 7),
      7);
}

TEST(PortableCodePage, CharactersOfTheCodePageThePageDeclares) {
  const struct {
    char32_t C;
    int Byte;
  } Cases[] = {{U'A', 0x41}, {0x0416, 0xC6}, {0x20AC, 0x88}, {0x2116, 0xB9}, {0x00A0, 0xA0},
               {0x00E9, -1}, {0x0098, -1},   {0x1F600, -1},  {0xD800, -1}};
  for (const auto& Case : Cases)
    EXPECT_EQ(kivPlatform::CharToWindows1251(Case.C), Case.Byte) << uint32_t(Case.C);
}
