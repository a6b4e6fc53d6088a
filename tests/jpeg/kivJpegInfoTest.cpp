#include <gtest/gtest.h>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"
#include "jpeg/kivJpegTestSupport.h"

using namespace kivTest;

namespace {

// The class that reads Bytes; the classes asked leave the position where it was.
std::string ReaderName(const std::string& Bytes) {
  TMemoryStream Stream(Bytes);
  const TkivSegment::TClass* Class = JpegSegmentClassList.FindReader(Stream);
  EXPECT_EQ(Stream.GetPosition(), 0);
  return Class ? Class->ClassName() : "(none)";
}

const TkivSegment::TClass& ClassNamed(const std::string& Name) {
  for (int32_t I = 0; I < JpegSegmentClassList.Count(); ++I)
    if (JpegSegmentClassList[I].ClassName() == Name) return JpegSegmentClassList[I];
  throw std::runtime_error("no class " + Name);
}

const TkivJpegSegment::TClass& JpegClassNamed(const std::string& Name) {
  return dynamic_cast<const TkivJpegSegment::TClass&>(ClassNamed(Name));
}

// A decoded segment with an identifier, as the decoded units write them.
class TTestIdSegment : public TkivJpegInfoSegment {
public:
  using TkivJpegInfoSegment::TkivJpegInfoSegment;
  void ReadFields() override { Field = ReadByte(Data); }
  void WriteFields(TStream& Stream) override { WriteByte(Stream, 0x2A); }
  uint8_t Field = 0;
};

class TTestIdClass : public TkivClassOf<TTestIdSegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE0; }
  std::string GetIdentifier() const override { return std::string("JFIF\0", 5); }
};
const TTestIdClass TestIdClass("TTestIdSegment");

// A thumbnail segment whose limits are set, so that the clamp can be seen.
class TTestThumbSegment : public TkivJpegThumbnailSegment {
public:
  using TkivJpegThumbnailSegment::TkivJpegThumbnailSegment;
  int32_t MaxThumbnailWidth() const override { return 4; }
  int32_t MaxThumbnailHeight() const override { return 3; }
};

class TTestThumbClass : public TkivClassOf<TTestThumbSegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE5; }
};
const TTestThumbClass TestThumbClass("TTestThumbSegment");

class TOtherBitmap : public kivInfo::TBitmap {
public:
  using TBitmap::TBitmap;
  std::string GetCompression() const override { return "Other"; }
  int64_t GetDataSize() override { return 3 * Width() * Height(); }
};
const TkivClassOf<TOtherBitmap> OtherBitmapClass("TOtherBitmap");

} // namespace

TEST(JpegPages, Pages) {
  const char* Bare = "host/empty.html"; // what the data class takes has no segment text
  ExpectPages({
      // A whole JPEG file shows only the signature.
      {"jpeg/signature.html",
       Hex("FF D8 FF E0 00 10") + "JFIF" + Hex("00 01 01 00 00 01 00 01 00 00 FF DB 00 43 00")},
      {"jpeg/dqt-short.html", Hex("FF DB 00 43 00 01 02 03 04 05 06 07 08 09")},
      // Bytes after the segment are not read.
      {"jpeg/dht-then-more.html", Hex("FF C4 00 04 41 3C") + std::string(98, '\x55')},
      {"jpeg/sof7.html", Hex("FF C7 00 05 01 02 03")}, // texts from the table
      // A lower-case identifier makes a generic application segment.
      {"jpeg/app0-lowercase-jfif.html",
       Hex("FF E0 00 10") + "jfif" + Hex("00 01 01 00 00 01 00 01 00 00")},
      {Bare, Hex("FF C0 00 01")}, // length below 2
      {Bare, Hex("FF")},
      {Bare, Hex("FF EA 00 04 01 02")}, // APP10
      {Bare, Hex("FF FA 00 04 01 02")}, // JPG10
      {Bare, Hex("FF 01")},             // no length-bearing class
      {Bare, "not a segment"},
  });
}

TEST(JpegClasses, TheChosenClass) {
  const std::string Siemens("<SIEMENS THUMBNAIL>\x01\x20\x20\x08", 23), JfifId("JFIF\0", 5);
  const struct {
    std::string Bytes;
    const char* Class;
  } Cases[] = {
      {Hex("FF C0 00 01"), "TkivJpegDataSegmemt"},
      {Hex("FF C0 00 02"), "TkivJpegSOF0SegmentC0"},
      {Hex("FF C0 00"), "TkivJpegDataSegmemt"}, // fewer than 4 bytes
      {Hex("FF D8"), "TkivJpegSignatireSegment"},
      {Hex("FF"), "TkivJpegDataSegmemt"},
      {"", "TkivJpegDataSegmemt"},
      // The length field is not compared with what the file holds.
      {Hex("FF ED FF FF"), "TkivJpegAPPSegment13"},
      // JPG14 shares its code with the comment marker, whose decoder is asked first.
      {Hex("FF FE 00 02"), "TkivJpegCommentSegment"},
      {Hex("FF FD 00 02"), "TkivJpegJPGSegment13"},
      {Hex("FF CA 00 02"), "TkivJpegSOF10SegmentCA"},
      {Hex("FF C8 00 02"), "TkivJpegSOF8SegmentC8"},
      {Hex("FE C0 00 02"), "TkivJpegDataSegmemt"},
      // The decoded classes take their identifiers only, whole and within the length.
      {Hex("FF E0 00 07") + JfifId, "TkivJpegJfifSegment"},
      {Hex("FF E0 00 06") + JfifId, "TkivJpegAPPSegment00"},
      {Hex("FF E0 00 07") + "JFIF", "TkivJpegAPPSegment00"},
      {Hex("FF E0 00 07") + "JFIFX", "TkivJpegAPPSegment00"},
      {Hex("FF E1 00 07") + JfifId, "TkivJpegAPPSegment01"},
      {Segment(0xE4, "HPSC"), "TkivJpegHPSCSegment"},
      {Segment(0xE4, "HPSc"), "TkivJpegAPPSegment04"},
      {Segment(0xE4, "H3X0"), "TkivJpegH3X0Segment"},
      {Segment(0xE4, "H3XO"), "TkivJpegAPPSegment04"},
      {Segment(0xE7, Siemens), "TkivJpegSiemensSegment"},
      {Segment(0xE7, Siemens.substr(0, 22) + "\x09"), "TkivJpegAPPSegment07"},
      {Segment(0xEA, std::string("UNICODE\0", 8)), "TkivJpegUnicodeCommentSegment"},
      {Segment(0xEA, "UNICODE"), "TkivJpegDataSegmemt"}, // no generic class for APP10
      {Segment(0xE3, "MSOFFICE9.0"), "TkivJpegMSOFFICESegment"},
      {Segment(0xE3, "MSOFFICE8.0"), "TkivJpegAPPSegment03"},
      {Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29)), "TkivJpegXMPSegment"},
      {Segment(0xE1, "http://ns.adobe.com/xap/1.0/"), "TkivJpegAPPSegment01"},
      {Segment(0xE1, std::string("Exif\0\0", 6)), "TkivJpegExifSegment"},
      {Segment(0xE2, std::string("ICC_PROFILE\0", 12)), "TkivJpegICCProfileSegment"},
      {Segment(0xE2, "ICC_PROFILE"), "TkivJpegAPPSegment02"},
      {Segment(0xE2, "FPXR"), "TkivJpegFPXRSegment"},
      {Segment(0xEE, std::string("Adobe\0", 6)), "TkivJpegAdobeSegment"},
      {Segment(0xEE, "Adobe!"), "TkivJpegAPPSegment14"},
      {Segment(0xEC, std::string("Ducky\0", 6)), "TkivJpegDuckySegment"},
      {Segment(0xED, std::string("Ducky\0", 6)), "TkivJpegAPPSegment13"},
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(ReaderName(Case.Bytes), Case.Class) << Case.Bytes;
}

TEST(JpegClasses, CanReadLooksAtThePositionAndLeavesIt) {
  TMemoryStream Stream(Hex("00 00 FF DB 00 43"));
  Stream.SetPosition(2);
  EXPECT_TRUE(JpegClassNamed("TkivJpegDQTSegmentDB").CanRead(Stream));
  EXPECT_EQ(Stream.GetPosition(), 2);
  EXPECT_FALSE(JpegClassNamed("TkivJpegDHTSegmentC4").CanRead(Stream));
  EXPECT_EQ(Stream.GetPosition(), 2);
  EXPECT_FALSE(TkivJpegSignatireSegment::ClassObject().CanRead(Stream));
  EXPECT_EQ(Stream.GetPosition(), 2);
  Stream.SetPosition(0);
  EXPECT_FALSE(JpegClassNamed("TkivJpegDQTSegmentDB").CanRead(Stream));
  EXPECT_EQ(Stream.GetPosition(), 0);
}

TEST(JpegClasses, ClassLevelAnswers) {
  // Flags: structure (8) for signature, system, extension and data; info (2) for APP.
  const auto FlagsOf = [](const TkivSegment::TClass& Class) {
    TkivSegmentFlags Flags = 0;
    Class.GetFlags(Flags);
    return int(Flags);
  };
  const auto& Sof7 = JpegClassNamed("TkivJpegSOF7SegmentC7");
  EXPECT_EQ(FlagsOf(TkivJpegSignatireSegment::ClassObject()), 8);
  EXPECT_EQ(FlagsOf(Sof7), 8);
  EXPECT_EQ(FlagsOf(JpegClassNamed("TkivJpegJPGSegment14")), 8);
  EXPECT_EQ(FlagsOf(TkivJpegDataSegmemt::ClassObject()), 8);
  EXPECT_EQ(FlagsOf(JpegClassNamed("TkivJpegAPPSegment13")), 2);
  EXPECT_EQ(FlagsOf(TestIdClass), 2);
  EXPECT_EQ(Sof7.Create()->Flags, 8);

  // Short names come from the class names; every system class finds its texts in the table.
  EXPECT_EQ(JpegClassNamed("TkivJpegAPPSegment00").GetShortName(), "APP0");
  EXPECT_EQ(JpegClassNamed("TkivJpegJPGSegment03").GetShortName(), "JPG3");
  for (const TkivIntSegmentDesc& Desc : IntSegmentDescs) {
    const auto& Class =
        ClassNamed(ReaderName(std::string("\xFF") + char(Desc.Marker) + Hex("00 02")));
    EXPECT_EQ(Class.GetDescription(), Desc.Description);
    EXPECT_EQ(Class.GetShortName(), Desc.ShortName);
  }
}

TEST(JpegClasses, TheClassListReadsFrontToBackInTheOrderClassesAreAsked) {
  // The decoded classes, asked before the generic ones.
  std::vector<std::string> Expected = {"TkivJpegJfifSegment",     "TkivJpegJfxxSegment",
                                       "TkivJpegCommentSegment",  "TkivJpegExifSegment",
                                       "TkivJpegHPSCSegment",     "TkivJpegH3X0Segment",
                                       "TkivJpegSiemensSegment",  "TkivJpegUnicodeCommentSegment",
                                       "TkivJpegMSOFFICESegment", "TkivJpegAdobeResourceSegment",
                                       "TkivJpegXMPSegment",      "TkivJpegICCProfileSegment",
                                       "TkivJpegAdobeSegment",    "TkivJpegDuckySegment",
                                       "TkivJpegFPXRSegment"};
  // The generic classes, in the reverse of their registration (there is no APP10 or JPG10).
  for (const char* Kind : {"JPG", "APP"})
    for (int N = Kind[0] == 'J' ? 14 : 15; N >= 0; --N)
      if (N != 10) Expected.push_back(Format("TkivJpeg%sSegment%02d", Kind, N));
  for (const char* Sys :
       {"EXPSegmentDF",   "DHPSegmentDE",   "DRISegmentDD",   "DNLSegmentDC",   "DQTSegmentDB",
        "SOSSegmentDA",   "DACSegmentCC",   "DHTSegmentC4",   "SOF15SegmentCF", "SOF14SegmentCE",
        "SOF13SegmentCD", "SOF11SegmentCB", "SOF10SegmentCA", "SOF9SegmentC9",  "SOF8SegmentC8",
        "SOF7SegmentC7",  "SOF6SegmentC6",  "SOF5SegmentC5",  "SOF3SegmentC3",  "SOF2SegmentC2",
        "SOF1SegmentC1",  "SOF0SegmentC0"})
    Expected.push_back(std::string("TkivJpeg") + Sys);
  Expected.push_back("TkivJpegSignatireSegment");
  Expected.push_back("TkivJpegDataSegmemt");

  std::vector<std::string> Actual;
  for (int32_t I = 0; I < JpegSegmentClassList.Count(); ++I)
    Actual.push_back(JpegSegmentClassList[I].ClassName());
  EXPECT_EQ(Actual, Expected);
}

TEST(JpegClasses, SegmentListClasses) {
  // Each registration goes to the front: the TIFF file format registers after the JPEG one.
  ASSERT_EQ(SegmentListClassList.Count(), 3);
  EXPECT_EQ(SegmentListClassList[0].ClassName(), "TkivTiffSegmentList");
  EXPECT_EQ(SegmentListClassList[1].ClassName(), "TkivJpegFile");
  EXPECT_EQ(SegmentListClassList[2].ClassName(), "TkivSegmentList");
  auto File = TkivJpegFile::ClassObject().Create();
  EXPECT_EQ(&File->GetFirstSegmentClass(), &TkivJpegSignatireSegment::ClassObject());
  EXPECT_EQ(&File->GetSegmentClassList(), &JpegSegmentClassList);
  TkivSegmentList Plain(TkivSegmentList::ClassObject());
  EXPECT_EQ(&Plain.GetFirstSegmentClass(), &TkivSegment::ClassObject());
}

TEST(JpegSegments, Loading) {
  const auto& Dht = ClassNamed("TkivJpegDHTSegmentC4");
  const auto& Sig = TkivJpegSignatireSegment::ClassObject();
  const struct {
    const TkivSegment::TClass& Class;
    std::string Bytes, Data;
    int64_t End;
  } Cases[] = {
      {Dht, Hex("FF C4 00 04 01 02 03 04"), Hex("FF C4 00 04 01 02"), 6},
      {Dht, Hex("FF C4 00 08 01"), Hex("FF C4 00 08 01"), 5},
      {Dht, Hex("FF C4 00"), Hex("FF C4 00"), 3},
      {Dht, Hex("FF"), Hex("FF"), 1},
      {Dht, "", "", 0},
      {Sig, Hex("FF D8 FF E0"), Hex("FF D8"), 2},
      {Sig, Hex("FF"), "", 0},
      {TkivJpegDataSegmemt::ClassObject(), "abc", "abc", 3},
  };
  for (const auto& Case : Cases) {
    TMemoryStream Stream(Case.Bytes);
    auto Segment = Case.Class.Create();
    Segment->LoadFromStream(Stream);
    EXPECT_FALSE(Segment->Modified);
    EXPECT_EQ(Segment->Data.ToString(), Case.Data);
    EXPECT_EQ(Stream.GetPosition(), Case.End);
  }
}

TEST(JpegSegments, InfoTreeIsFilledForApplicationSegmentsOnly) {
  TMemoryStream App(Hex("FF E3 00 03 07"));
  auto AppSegment = ClassNamed("TkivJpegAPPSegment03").Create();
  AppSegment->LoadFromStream(App);
  ASSERT_EQ(AppSegment->Info->Count(), 1);
  EXPECT_EQ(AppSegment->Info->GetChild(0).Value, "5");
  EXPECT_EQ(AppSegment->Info->Name, "Application segment 3");

  TMemoryStream Sys(Hex("FF DD 00 04 00 10"));
  auto SysSegment = ClassNamed("TkivJpegDRISegmentDD").Create();
  SysSegment->LoadFromStream(Sys);
  EXPECT_EQ(SysSegment->Info->Count(), 0);
  EXPECT_EQ(SysSegment->Data.GetPosition(), 0);
}

TEST(JpegSegments, DecodedSegmentKeepsWhatItsFieldsLeave) {
  TMemoryStream Stream(Hex("FF E0 00 0A") + std::string("JFIF\0", 5) + Hex("2A 3C 3E"));
  auto Segment = TestIdClass.Create();
  Segment->LoadFromStream(Stream);
  auto& Decoded = static_cast<TTestIdSegment&>(*Segment);
  EXPECT_EQ(Decoded.Field, 0x2A);
  EXPECT_EQ(Decoded.ExtraData.ToString(), "<>");
  EXPECT_EQ(Decoded.GetSize(), 9);
  ASSERT_EQ(Decoded.Info->Count(), 1); // rebuilt by Refresh

  TkivHTMLBODY Body;
  Decoded.WriteHTML(Body);
  TMemoryStream Out;
  Body.WriteToStream(Out);
  const std::string Page = Out.ToString();
  EXPECT_NE(Page.find("Segment size: 12<BR><BR>"), std::string::npos);
  EXPECT_NE(Page.find("<P>Extra info\r    <TABLE BORDER=1 CELLPADDING=5>"), std::string::npos);
  EXPECT_NE(Page.find("<TD><PRE>3C 3E</PRE></TD><TD><PRE>&lt&gt</PRE></TD>"), std::string::npos);

  Decoded.InitDefault();
  EXPECT_TRUE(Decoded.Modified);
  EXPECT_EQ(Decoded.Data.ToString(), Hex("FF E0 00 07") + std::string("JFIF\0", 5) + Hex("2A"));

  // Too short to hold even the marker and length: nothing is decoded.
  TMemoryStream Short(Hex("FF E0 00"));
  Decoded.LoadFromStream(Short);
  EXPECT_EQ(Decoded.ExtraData.ToString(), Hex("FF E0 00"));
}

TEST(JpegSegments, ThumbnailSegment) {
  const int32_t Traced = TraceObjectCount;
  {
    auto Segment = TestThumbClass.Create();
    auto& Thumb = static_cast<TTestThumbSegment&>(*Segment);
    EXPECT_EQ(&Thumb.Thumbnail().ClassType(), &kivInfo::TBitmap::ClassObject());
    EXPECT_EQ(Thumb.Thumbnail().Owner, &Thumb);
    EXPECT_EQ(Thumb.MaxThumbnailPixels(0), -1);
    // The limits clamp the picture on every change.
    Thumb.SetThumbnailWidth(10);
    Thumb.SetThumbnailHeight(2);
    EXPECT_EQ(Thumb.ThumbnailWidth(), 4);
    EXPECT_EQ(Thumb.ThumbnailHeight(), 2);
    Thumb.Thumbnail().SetPixel(1, 1, {1, 2, 3});

    Thumb.SetThumbnailClass(OtherBitmapClass);
    EXPECT_EQ(Thumb.Thumbnail().GetCompression(), "Other");
    EXPECT_EQ(Thumb.Thumbnail().Owner, &Thumb);
    EXPECT_EQ(Thumb.Thumbnail().GetPixel(1, 1), (TkivColor{1, 2, 3}));
    EXPECT_EQ(Thumb.GetSize(), 4 + 3 * 4 * 2);
    Thumb.SetThumbnailHeight(9);
    EXPECT_EQ(Thumb.ThumbnailHeight(), 3);

    TMemoryStream Stream(Hex("FF E5 00 04 01 02"));
    Thumb.LoadFromStream(Stream);
    EXPECT_EQ(Thumb.ThumbnailWidth() * Thumb.ThumbnailHeight(), 0);
  }
  EXPECT_EQ(TraceObjectCount, Traced);
}
