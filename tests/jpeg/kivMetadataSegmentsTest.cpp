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
const std::string XmpPacket("<x:xmpmeta a=\"1\"/>\0\n", 20);

std::string Fpxr(int First) {
  std::string Content;
  for (int I = First; I < First + 12; ++I)
    Content += char(I);
  return Segment(0xE2, "FPXR" + Content);
}

} // namespace

// Consecutive FPXR segments are one; the next of another kind is left.
TEST(MetadataSegments, Pages) {
  ExpectPages({
      {"jpeg/icc.html", Segment(0xE2, IccId + Hex("01 01") + "abcd")},
      {"jpeg/icc-no-zero.html", Segment(0xE2, "ICC_PROFILE" + Hex("01 01") + "abcd")},
      {"jpeg/fpxr-three.html", Fpxr(0) + Fpxr(12) + Fpxr(24)},
      {"jpeg/fpxr-then-icc.html", Fpxr(0) + Segment(0xE2, IccId + Hex("01 01") + "abcd")},
      {"jpeg/adobe-7.html", Segment(0xEE, std::string("Adobe\0", 6) + Hex("64 00 00 80 00 00 01"))},
      {"jpeg/xmp.html", Segment(0xE1, XmpId + XmpPacket)},
  });
}

TEST(MetadataSegments, SizesAndWriteBack) {
  auto Three = Load<TkivJpegFPXRSegment>(Fpxr(0) + Fpxr(12) + Fpxr(24));
  EXPECT_EQ(Three->GetSize(), 8);
  EXPECT_EQ(Three->ExtraData.GetSize(), 52);
  EXPECT_EQ(Three->Info->Count(), 2); // the size and the notice

  // The XMP packet is kept whole.
  const std::string XmpBytes = Segment(0xE1, XmpId + XmpPacket);
  auto Xmp = Load<TkivJpegXMPSegment>(XmpBytes);
  EXPECT_EQ(Xmp->XMP, XmpPacket);
  EXPECT_EQ(InfoNames(*Xmp), (std::vector<std::string>{"Segment size:=53", "XMP=" + XmpPacket}));
  EXPECT_EQ(Xmp->GetSize(), 53);
  Xmp->InitDefault();
  EXPECT_EQ(Xmp->Data.ToString(), XmpBytes);
  EXPECT_EQ(Load<TkivJpegXMPSegment>(Segment(0xE1, XmpId))->GetSize(), 0);

  // Undecoded segments: the size is their bytes, and a default is the identifier.
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

// The real segments render whole: the heading and the size of the file; a thumbnail on the page
// has its file; the hex dump of an undecoded segment runs down to its last line, and what follows
// its identifier (of the given size) is extra data.
TEST(DecodedSegments, CorpusSegmentsRender) {
  if (CorpusDir().empty()) GTEST_SKIP() << "no corpus";
  const std::map<std::string, std::pair<std::string, int>> Kinds = {
      {"TkivJpegCommentSegment", {"Comment segment", -1}},
      {"TkivJpegJfifSegment", {"JFIF segment", -1}},
      {"TkivJpegXMPSegment", {"XMP segment", 0}},
      {"TkivJpegICCProfileSegment", {"ICC Profile segment", 12}},
      {"TkivJpegAdobeSegment", {"Adobe segment", 6}},
      {"TkivJpegDuckySegment", {"Ducky segment", 6}},
  };
  std::map<std::string, int> Rendered;
  for (const TCorpusSegment& File : CorpusSegments()) {
    const auto Kind = File.Class ? Kinds.find(File.Class->ClassName()) : Kinds.end();
    if (Kind == Kinds.end()) continue;
    SCOPED_TRACE(File.Path.string());
    const auto& [Heading, IdSize] = Kind->second;
    const size_t Size = File.Bytes.size();
    TTempDir Dir;
    const std::string Page = Render(File.Bytes, Dir);
    EXPECT_NE(Page.find("<H2>" + Heading + "</H2>Segment size: "), std::string::npos);
    EXPECT_EQ(Page.find("<IMG") != std::string::npos,
              std::filesystem::exists(Dir.Path() / "kivBMP0.bmp"));
    EXPECT_NE(Page.rfind("</HTML>\r"), std::string::npos);
    ++Rendered[Kind->first];
    if (IdSize < 0) continue;
    EXPECT_NE(Page.find("</H2>Segment size: " + std::to_string(Size) + "<BR><BR>"),
              std::string::npos);
    EXPECT_NE(Page.find(Format("%.8X</PRE>", int((Size - 1) / 16 * 16))), std::string::npos);
    const size_t ExtraSize = IdSize ? Size - 4 - size_t(IdSize) : 0;
    EXPECT_EQ(Page.find("<P>Extra info") != std::string::npos, ExtraSize > 0);
    if (ExtraSize > 0) {
      EXPECT_NE(Page.find(Format("%.8X</PRE>", int((ExtraSize - 1) / 16 * 16)),
                          Page.find("<P>Extra info")),
                std::string::npos);
    }
  }
  for (const auto& Kind : Kinds)
    EXPECT_GT(Rendered[Kind.first], 0) << Kind.first << " not in the corpus";
}
