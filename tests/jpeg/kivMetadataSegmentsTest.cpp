#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "framework/kivFormat.h"
#include "jpeg/kivJpegAdobeSegment.h"
#include "jpeg/kivJpegDuckySegment.h"
#include "jpeg/kivJpegFPXRSegment.h"
#include "jpeg/kivJpegICCProfileSegment.h"
#include "jpeg/kivJpegTestSupport.h"
#include "jpeg/kivJpegXMPSegment.h"

using namespace kivTest;

namespace {

const std::string XmpId("http://ns.adobe.com/xap/1.0/\0", 29);
const std::string IccId("ICC_PROFILE\0", 12);

std::string Fpxr(int First) {
  std::string Content;
  for (int I = First; I < First + 12; ++I)
    Content += char(I);
  return Segment(0xE2, "FPXR" + Content);
}

} // namespace

TEST(ICCProfileSegment, PagesWithAndWithoutTheZeroByte) {
  TTempDir Dir;
  EXPECT_EQ(Render(Segment(0xE2, IccId + Hex("01 01") + "abcd"), Dir), Expected("icc.html", Dir));
  EXPECT_EQ(Render(Segment(0xE2, "ICC_PROFILE" + Hex("01 01") + "abcd"), Dir),
            Expected("icc-no-zero.html", Dir));
}

TEST(FPXRSegment, ConsecutiveSegmentsAreOneAndOthersAreLeft) {
  TTempDir Dir;
  EXPECT_EQ(Render(Fpxr(0) + Fpxr(12) + Fpxr(24), Dir), Expected("fpxr-three.html", Dir));
  EXPECT_EQ(Render(Fpxr(0) + Segment(0xE2, IccId + Hex("01 01") + "abcd"), Dir),
            Expected("fpxr-then-icc.html", Dir));
  auto Three = Load<TkivJpegFPXRSegment>(Fpxr(0) + Fpxr(12) + Fpxr(24));
  EXPECT_EQ(Three->GetSize(), 8);
  EXPECT_EQ(Three->ExtraData.GetSize(), 52);
  EXPECT_EQ(Three->Info->Count(), 2); // the size and the notice
}

TEST(AdobeSegment, SevenBytesOfExtraInfo) {
  TTempDir Dir;
  EXPECT_EQ(Render(Segment(0xEE, std::string("Adobe\0", 6) + Hex("64 00 00 80 00 00 01")), Dir),
            Expected("adobe-7.html", Dir));
}

TEST(XMPSegment, WholeSegmentShownAndThePacketKept) {
  const std::string Packet = std::string("<x:xmpmeta a=\"1\"/>\0\n", 20);
  const std::string Bytes = Segment(0xE1, XmpId + Packet);
  TTempDir Dir;
  EXPECT_EQ(Render(Bytes, Dir), Expected("xmp.html", Dir));

  auto Xmp = Load<TkivJpegXMPSegment>(Bytes);
  EXPECT_EQ(Xmp->XMP, Packet);
  EXPECT_EQ(InfoNames(*Xmp), (std::vector<std::string>{"Segment size:=53", "XMP=" + Packet}));
  EXPECT_EQ(Xmp->GetSize(), 53);
  Xmp->InitDefault();
  EXPECT_EQ(Xmp->Data.ToString(), Bytes);
  EXPECT_EQ(Load<TkivJpegXMPSegment>(Segment(0xE1, XmpId))->GetSize(), 0);
}

TEST(UndecodedSegments, SizeIsTheirBytesAndADefaultIsTheIdentifier) {
  const std::string Icc = Segment(0xE2, IccId + Hex("01 01 00"));
  auto Profile = Load<TkivJpegICCProfileSegment>(Icc);
  EXPECT_EQ(Profile->GetSize(), int64_t(Icc.size()));
  TMemoryStream Out;
  Profile->SaveToStream(Out);
  EXPECT_EQ(Out.ToString(), Icc);

  const auto Default = [](const TkivSegment::TClass& Class) {
    auto Segment = Class.Create();
    Segment->InitDefault();
    EXPECT_EQ(Segment->GetSize(), Segment->Data.GetSize());
    return Segment->Data.ToString();
  };
  EXPECT_EQ(Default(TkivJpegICCProfileSegment::ClassObject()), Segment(0xE2, IccId));
  EXPECT_EQ(Default(TkivJpegAdobeSegment::ClassObject()), Segment(0xEE, std::string("Adobe\0", 6)));
  EXPECT_EQ(Default(TkivJpegDuckySegment::ClassObject()), Segment(0xEC, std::string("Ducky\0", 6)));
}

// The real XMP, ICC profile, Adobe and Ducky segments render whole: the heading, the size of
// the file, the hex dump down to its last line, and what follows the identifier as extra data.
TEST(MetadataSegments, CorpusSegmentsRender) {
  if (CorpusDir().empty()) GTEST_SKIP() << "no corpus";
  const std::map<std::string, std::pair<std::string, size_t>> Kinds = {
      {"TkivJpegXMPSegment", {"XMP segment", 0}},
      {"TkivJpegICCProfileSegment", {"ICC Profile segment", 12}},
      {"TkivJpegAdobeSegment", {"Adobe segment", 6}},
      {"TkivJpegDuckySegment", {"Ducky segment", 6}},
  };
  std::map<std::string, int> Rendered;
  for (const auto& Image : std::filesystem::directory_iterator(CorpusDir() / "segments")) {
    if (!Image.is_directory()) continue;
    for (const auto& File : std::filesystem::directory_iterator(Image.path())) {
      const std::string Bytes = ReadFileBytes(File.path());
      TMemoryStream Stream(Bytes);
      const TkivSegment::TClass* Class = JpegSegmentClassList.FindReader(Stream);
      const auto Kind = Class ? Kinds.find(Class->ClassName()) : Kinds.end();
      if (Kind == Kinds.end()) continue;
      SCOPED_TRACE(File.path().string());
      TTempDir Dir;
      const std::string Page = Render(Bytes, Dir);
      EXPECT_NE(Page.find("<H2>" + Kind->second.first +
                          "</H2>Segment size: " + std::to_string(Bytes.size()) + "<BR><BR>"),
                std::string::npos);
      EXPECT_NE(Page.find(Format("%.8X</PRE>", int((Bytes.size() - 1) / 16 * 16))),
                std::string::npos);
      const size_t ExtraSize = Kind->second.second ? Bytes.size() - 4 - Kind->second.second : 0;
      EXPECT_EQ(Page.find("<P>Extra info") != std::string::npos, ExtraSize > 0);
      if (ExtraSize > 0) {
        EXPECT_NE(Page.find(Format("%.8X</PRE>", int((ExtraSize - 1) / 16 * 16)),
                            Page.find("<P>Extra info")),
                  std::string::npos);
      }
      EXPECT_NE(Page.rfind("</HTML>\r"), std::string::npos);
      ++Rendered[Class->ClassName()];
    }
  }
  for (const auto& Kind : Kinds)
    EXPECT_GT(Rendered[Kind.first], 0) << Kind.first << " not in the corpus";
}
