#include <gtest/gtest.h>

#include <functional>

#include "base/kivException.h"
#include "base/kivStream.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivUtf8.h"
#include "support/kivTestSupport.h"

using kivTest::Hex;

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
  const std::pair<std::string, std::function<void(TStream&)>> Cases[] = {
      {Hex("AA BB CC"), [](TStream& S) { ReadLong(S, true); }},
      {Hex("AA"), [](TStream& S) { ReadWord(S, false); }},
      {Hex("AA"), [](TStream& S) { ReadByte(S), ReadByte(S); }},
      {"abc", [](TStream& S) { ReadString(S, 10); }},
      {Hex("05") + "ab", [](TStream& S) { ReadCountedString(S); }}, // promises more than there is
      {"no zero here", [](TStream& S) { ReadZString(S); }},
      {std::string(300, 'x'), [](TStream& S) { ReadZString(S); }}, // longer than a read block
      {Hex("41 00 42"), [](TStream& S) { ReadWideString(S, 4, false); }},
  };
  for (const auto& [Bytes, Read] : Cases) {
    TMemoryStream S(Bytes);
    try {
      Read(S);
      ADD_FAILURE() << "no read error on " << Bytes;
    } catch (const EReadError& E) {
      EXPECT_STREQ(E.what(), "Stream read error");
    }
    EXPECT_EQ(S.GetPosition(), S.GetSize()) << Bytes;
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
  const std::string Long(300, 'x'); // longer than a read block
  TMemoryStream S(Hex("03") + "abc" + "xy" + Hex("00") + Long + Hex("00") + "z");
  EXPECT_EQ(ReadCountedString(S), "abc");
  EXPECT_EQ(ReadZString(S), "xy");
  EXPECT_EQ(ReadZString(S), Long);
  EXPECT_EQ(S.GetPosition(), 308);
  EXPECT_EQ(ReadString(S, 1), "z");

  TMemoryStream Out;
  WriteCountedString(Out, std::string(300, 'q'));
  EXPECT_EQ(Out.ToString(), "\xFF" + std::string(255, 'q'));
  Out.Clear();
  WriteHTMLEscaped(Out, "a<b&c>\"d\" \xE9;"); // no semicolons
  EXPECT_EQ(Out.ToString(), "a&ltb&ampc&gt&quotd&quot \xE9;");
}

TEST(InfoStream, PageTextIsReadAsItWasWritten) {
  // A segment's report closes an entity only where the letters after it would be read as a
  // longer name.
  TMemoryStream Out;
  WriteHTMLEscaped(Out, "A<imes;B >rsim; >1; x<y; \"q\"; &amp;");
  EXPECT_EQ(Out.ToString(), "A&lt;imes;B &gt;rsim; &gt1; x&lty; &quotq&quot; &ampamp;");
  // Our own parts close every entity and show control bytes, keeping tabs and line ends;
  // characters the code page lacks become references.
  EXPECT_EQ(Utf8ToPageHtml(std::string("a\0b\x1B\x7F\tc\r\n<;", 11)),
            "a\\x00b\\x1B\\x7F\tc\r\n&lt;;");
  EXPECT_EQ(Utf8ToPageHtml("\xD0\x96<\\ \xC3\xA4\"&"), "\xC6&lt;\\ &#228;&quot;&amp;");
  EXPECT_EQ(PageHtml("\xE9\x01>"), "\xE9\\x01&gt;");
  EXPECT_EQ(ShowControlBytes("\x01\n\\", "\n"), "\\x01\n\\");
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

TEST(MemoryStream, WritesAnywhereAndGrows) {
  TMemoryStream S;
  S.Reserve(4); // room, no bytes
  EXPECT_EQ(S.GetSize(), 0);
  WriteString(S, "abc");
  S.SetPosition(5);
  WriteString(S, "z"); // the gap reads as zeros
  EXPECT_EQ(S.ToString(), std::string("abc\0\0z", 6));
  S.SetPosition(1);
  WriteString(S, "XY"); // overwritten in place
  S.SetSize(8);         // grown with zeros
  EXPECT_EQ(S.ToString(), std::string("aXY\0\0z\0\0", 8));
  S.SetSize(2);
  EXPECT_EQ(S.GetPosition(), 2);
  const std::string Big(100000, 'b');
  WriteString(S, Big);
  EXPECT_EQ(S.ToString(), "aX" + Big);
  S.Clear();
  WriteString(S, "again");
  EXPECT_EQ(S.ToString(), "again");
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
  In.SetPosition(Far - 1);
  EXPECT_EQ(ReadByte(In), 0);
  EXPECT_EQ(ReadByte(In), 'x');
  EXPECT_EQ(In.GetPosition(), Far + 1);
}

TEST(FileStream, ReadsAnywhereAsTheBytesStand) {
  // Reads that start inside, across and beyond the edges of the read window, small and large,
  // in any order.
  kivTest::TTempDir Dir;
  const std::string Path = (Dir.Path() / "bytes").string();
  std::string Bytes(300000, '\0');
  for (size_t I = 0; I < Bytes.size(); ++I)
    Bytes[I] = char(I * 7 + I / 251);
  {
    TFileStream Out(Path, TFileMode::Create);
    WriteString(Out, Bytes);
  }
  TFileStream In(Path, TFileMode::OpenRead);
  const struct {
    int64_t At, Count;
  } Reads[] = {{0, 4},       {65530, 12},   {3, 70000},  {65536, 1},     {131071, 2},
               {299990, 10}, {100, 200000}, {299999, 1}, {65535, 65537}, {5, 1}};
  for (const auto& R : Reads) {
    In.SetPosition(R.At);
    EXPECT_EQ(ReadString(In, R.Count), Bytes.substr(size_t(R.At), size_t(R.Count))) << R.At;
    EXPECT_EQ(In.GetPosition(), R.At + R.Count);
  }
  In.SetPosition(299998);
  EXPECT_THROW(ReadString(In, 5), EReadError);
  EXPECT_EQ(In.GetPosition(), 300000);
}

TEST(StreamRange, ReadsItsBytesAloneWhereverTheWholeStands) {
  TMemoryStream Whole(std::string("0123456789"));
  TStreamRange Range(Whole, 3, 4);
  EXPECT_EQ(Range.GetSize(), 4);
  Whole.SetPosition(9);
  EXPECT_EQ(ReadString(Range, 2), "34");
  Whole.SetPosition(0);
  EXPECT_EQ(ReadString(Range, BytesLeft(Range)), "56");
  EXPECT_THROW(ReadByte(Range), EReadError);
  // A range cut at the end of the whole holds what is there.
  TStreamRange Past(Whole, 8, 100);
  EXPECT_EQ(ReadString(Past, BytesLeft(Past)), "89");
  EXPECT_EQ(TStreamRange(Whole, 20, 5).GetSize(), 0);
}
