#include <gtest/gtest.h>

#include "framework/kivException.h"
#include "framework/kivInfoStream.h"
#include "framework/kivStream.h"
#include "support/kivTestSupport.h"

using kivTest::Hex;

namespace {

// Runs Read and expects the stream read error with the stream left at its end.
template <class F> void ExpectReadErrorAtEnd(TMemoryStream& Stream, F Read) {
  try {
    Read();
    ADD_FAILURE() << "no read error";
  } catch (const EReadError& E) {
    EXPECT_STREQ(E.what(), "Stream read error");
  }
  EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());
}

} // namespace

TEST(InfoStream, ByteOrderOfWordsAndLongs) {
  TMemoryStream S(Hex("12 34 01 02 03 04 01 02 03 04"));
  EXPECT_EQ(ReadWord(S, false), 0x3412);
  EXPECT_EQ(ReadLong(S, true), 0x01020304u);
  EXPECT_EQ(ReadLong(S, false), 0x04030201u);
  S.SetPosition(0);
  EXPECT_EQ(ReadWord(S, true), 0x1234);

  TMemoryStream Out;
  WriteWord(Out, 0x1234, true);
  WriteWord(Out, 0x1234, false);
  WriteLong(Out, 0x01020304, true);
  WriteLong(Out, 0x01020304, false);
  EXPECT_EQ(Out.ToString(), Hex("12 34 34 12 01 02 03 04 04 03 02 01"));
}

TEST(InfoStream, ShortReadsConsumeWhatIsLeftAndFail) {
  {
    TMemoryStream S(Hex("AA BB CC"));
    ExpectReadErrorAtEnd(S, [&] { ReadLong(S, true); });
  }
  {
    TMemoryStream S(Hex("AA"));
    ExpectReadErrorAtEnd(S, [&] { ReadWord(S, false); });
  }
  {
    TMemoryStream S(Hex("AA"));
    ReadByte(S);
    ExpectReadErrorAtEnd(S, [&] { ReadByte(S); });
  }
  {
    TMemoryStream S("abc");
    ExpectReadErrorAtEnd(S, [&] { ReadString(S, 10); });
  }
  {
    // A length byte promising more than there is.
    TMemoryStream S(Hex("05") + "ab");
    ExpectReadErrorAtEnd(S, [&] { ReadCountedString(S); });
  }
  {
    TMemoryStream S("no zero here");
    ExpectReadErrorAtEnd(S, [&] { ReadZString(S); });
  }
  {
    TMemoryStream S(Hex("41 00 42"));
    ExpectReadErrorAtEnd(S, [&] { ReadWideString(S, 4, false); });
  }
}

TEST(InfoStream, ReadsAtTheEnd) {
  TMemoryStream S(Hex("07"));
  EXPECT_EQ(ReadByteOr(S, 9), 7);
  EXPECT_EQ(ReadByteOr(S, 9), 9);
  EXPECT_EQ(S.GetPosition(), 1);
  EXPECT_TRUE(HasBytes(S, 0));
  EXPECT_FALSE(HasBytes(S, 1));
  EXPECT_EQ(BytesLeft(S), 0);
  EXPECT_EQ(ReadString(S, 0), "");
  EXPECT_EQ(S.GetPosition(), 1);
}

TEST(InfoStream, Strings) {
  TMemoryStream S(Hex("03") + "abc" + "xy" + Hex("00") + "z");
  EXPECT_EQ(ReadCountedString(S), "abc");
  EXPECT_EQ(ReadZString(S), "xy");
  EXPECT_EQ(ReadString(S, 1), "z");

  TMemoryStream Out;
  const std::string Long(300, 'q');
  WriteCountedString(Out, Long);
  EXPECT_EQ(Out.ToString(), "\xFF" + std::string(255, 'q'));
}

TEST(InfoStream, WideStrings) {
  // Five bytes give two code units; the odd fifth byte stays unread.
  TMemoryStream S(Hex("41 00 00 42 99"));
  EXPECT_EQ(ReadWideString(S, 5, false), std::u16string(u"A\u4200"));
  EXPECT_EQ(S.GetPosition(), 4);
  S.SetPosition(0);
  EXPECT_EQ(ReadWideString(S, 5, true), std::u16string(u"\u4100B"));

  TMemoryStream Out;
  WriteWideString(Out, u"AB", true);
  WriteWideString(Out, u"A", false);
  EXPECT_EQ(Out.ToString(), Hex("00 41 00 42 41 00"));
  EXPECT_EQ(SwapWideString(u"\u1234"), std::u16string(u"\u3412"));
}

TEST(InfoStream, HTMLEscapingHasNoSemicolons) {
  TMemoryStream Out;
  WriteHTMLEscaped(Out, "a<b&c>\"d\" \xE9;");
  EXPECT_EQ(Out.ToString(), "a&ltb&ampc&gt&quotd&quot \xE9;");
}

TEST(FileStream, PositionsBeyondFourGigabytes) {
  // A sparse file: only its last byte is written.
  kivTest::TTempDir Dir;
  const std::string Path = (Dir.Path() / "big").string();
  const int64_t Far = (int64_t(5) << 30) + 7;
  {
    TFileStream Out(Path, TFileMode::Create);
    Out.SetPosition(Far);
    Out.WriteBuffer("x", 1);
  }
  TFileStream In(Path, TFileMode::OpenRead);
  EXPECT_EQ(In.GetSize(), Far + 1);
  In.SetPosition(Far);
  EXPECT_EQ(ReadByte(In), 'x');
  In.SetPosition(Far - 1);
  EXPECT_EQ(ReadByte(In), 0);
  EXPECT_EQ(In.GetPosition(), Far);
}
