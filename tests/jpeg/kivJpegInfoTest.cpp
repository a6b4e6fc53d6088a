#include <gtest/gtest.h>

#include "framework/kivInfoStream.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"
#include "support/kivTestSupport.h"

using kivTest::Golden;
using kivTest::Hex;
using kivTest::RenderPage;

namespace {

const TkivSegment::TClass* Reader(const std::string& Bytes) {
  TMemoryStream Stream(Bytes);
  return JpegSegmentClassList.FindReader(Stream);
}

std::string ReaderName(const std::string& Bytes) {
  const TkivSegment::TClass* Class = Reader(Bytes);
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

TEST(JpegPages, WholeJpegFileShowsOnlyTheSignature) {
  EXPECT_EQ(RenderPage(Hex("FF D8 FF E0 00 10") + "JFIF" + Hex("00 01 01 00 00 01 00 01 00 00") +
                       Hex("FF DB 00 43 00")),
            Golden("jpeg/signature.html"));
}

TEST(JpegPages, PayloadShorterThanItsLength) {
  EXPECT_EQ(RenderPage(Hex("FF DB 00 43 00 01 02 03 04 05 06 07 08 09")),
            Golden("jpeg/dqt-short.html"));
}

TEST(JpegPages, BytesAfterTheSegmentAreNotRead) {
  EXPECT_EQ(RenderPage(Hex("FF C4 00 04 41 3C") + std::string(98, '\x55')),
            Golden("jpeg/dht-then-more.html"));
}

TEST(JpegPages, SystemMarkerTakesItsTextsFromTheTable) {
  EXPECT_EQ(RenderPage(Hex("FF C7 00 05 01 02 03")), Golden("jpeg/sof7.html"));
}

TEST(JpegPages, LowerCaseIdentifierIsAGenericApplicationSegment) {
  EXPECT_EQ(RenderPage(Hex("FF E0 00 10") + "jfif" + Hex("00 01 01 00 00 01 00 01 00 00")),
            Golden("jpeg/app0-lowercase-jfif.html"));
}

TEST(JpegPages, WhatTheDataClassTakesHasNoSegmentText) {
  const std::string Bare = Golden("host/empty.html");
  EXPECT_EQ(RenderPage(Hex("FF C0 00 01")), Bare); // length below 2
  EXPECT_EQ(RenderPage(Hex("FF")), Bare);
  EXPECT_EQ(RenderPage(Hex("FF EA 00 04 01 02")), Bare); // APP10
  EXPECT_EQ(RenderPage(Hex("FF FA 00 04 01 02")), Bare); // JPG10
  EXPECT_EQ(RenderPage(Hex("FF 01")), Bare);             // no length-bearing class
  EXPECT_EQ(RenderPage("not a segment"), Bare);
}

TEST(JpegClasses, TheChosenClass) {
  EXPECT_EQ(ReaderName(Hex("FF C0 00 01")), "TkivJpegDataSegmemt");
  EXPECT_EQ(ReaderName(Hex("FF C0 00 02")), "TkivJpegSOF0SegmentC0");
  EXPECT_EQ(ReaderName(Hex("FF C0 00")), "TkivJpegDataSegmemt"); // fewer than 4 bytes
  EXPECT_EQ(ReaderName(Hex("FF D8")), "TkivJpegSignatireSegment");
  EXPECT_EQ(ReaderName(Hex("FF")), "TkivJpegDataSegmemt");
  EXPECT_EQ(ReaderName(""), "TkivJpegDataSegmemt");
  // The length field is not compared with what the file holds.
  EXPECT_EQ(ReaderName(Hex("FF ED FF FF")), "TkivJpegAPPSegment13");
  // JPG14 shares its code with the comment marker, whose decoder is asked first.
  EXPECT_EQ(ReaderName(Hex("FF FE 00 02")), "TkivJpegCommentSegment");
  EXPECT_EQ(ReaderName(Hex("FF FD 00 02")), "TkivJpegJPGSegment13");
  EXPECT_EQ(ReaderName(Hex("FF CA 00 02")), "TkivJpegSOF10SegmentCA");
  EXPECT_EQ(ReaderName(Hex("FF C8 00 02")), "TkivJpegSOF8SegmentC8");
  EXPECT_EQ(ReaderName(Hex("FE C0 00 02")), "TkivJpegDataSegmemt");
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

TEST(JpegClasses, IdentifierMustMatchExactly) {
  const std::string Id("JFIF\0", 5);
  const auto CanRead = [](const std::string& Bytes) {
    TMemoryStream Stream(Bytes);
    const bool Result = TestIdClass.CanRead(Stream);
    EXPECT_EQ(Stream.GetPosition(), 0);
    return Result;
  };
  EXPECT_TRUE(CanRead(Hex("FF E0 00 07") + Id));
  EXPECT_FALSE(CanRead(Hex("FF E0 00 06") + Id)); // length below identifier + 2
  EXPECT_FALSE(CanRead(Hex("FF E0 00 07") + "JFIF"));
  EXPECT_FALSE(CanRead(Hex("FF E0 00 07") + "JFIFX"));
  EXPECT_FALSE(CanRead(Hex("FF E0 00 07") + "jfif" + Hex("00")));
  EXPECT_FALSE(CanRead(Hex("FF E1 00 07") + Id));
}

TEST(JpegClasses, ClassLevelAnswers) {
  // Markers and numbers come from the class names.
  const auto& Sig = TkivJpegSignatireSegment::ClassObject();
  const auto& Sof7 = JpegClassNamed("TkivJpegSOF7SegmentC7");
  const auto& App13 = JpegClassNamed("TkivJpegAPPSegment13");
  const auto& Jpg14 = JpegClassNamed("TkivJpegJPGSegment14");
  const auto& Data = TkivJpegDataSegmemt::ClassObject();
  EXPECT_EQ(JpegClassNamed("TkivJpegSOF10SegmentCA").Marker(), 0xCA);
  EXPECT_EQ(App13.Marker(), 0xED);
  EXPECT_EQ(App13.GetDescription(), "Application segment 13");
  EXPECT_EQ(JpegClassNamed("TkivJpegAPPSegment00").GetShortName(), "APP0");
  EXPECT_EQ(Jpg14.Marker(), 0xFE);
  EXPECT_EQ(JpegClassNamed("TkivJpegJPGSegment03").GetShortName(), "JPG3");

  // Flags: structure (8) for signature, system, extension and data; info (2) for APP.
  const auto FlagsOf = [](const TkivSegment::TClass& Class) {
    TkivSegmentFlags Flags = 0;
    Class.GetFlags(Flags);
    return int(Flags);
  };
  EXPECT_EQ(FlagsOf(Sig), 8);
  EXPECT_EQ(FlagsOf(Sof7), 8);
  EXPECT_EQ(FlagsOf(Jpg14), 8);
  EXPECT_EQ(FlagsOf(Data), 8);
  EXPECT_EQ(FlagsOf(App13), 2);
  EXPECT_EQ(FlagsOf(TestIdClass), 2);
  EXPECT_EQ(Sof7.Create()->Flags, 8);

  // Every system class finds its texts in the table.
  for (const TkivIntSegmentDesc& Desc : IntSegmentDescs) {
    const TkivSegment::TClass* Class =
        Reader(std::string("\xFF") + char(Desc.Marker) + Hex("00 02"));
    ASSERT_NE(Class, nullptr);
    EXPECT_EQ(Class->GetDescription(), Desc.Description);
    EXPECT_EQ(Class->GetShortName(), Desc.ShortName);
  }
}

TEST(JpegClasses, TheClassListReadsFrontToBackInTheOrderClassesAreAsked) {
  // The decoded classes, asked before the generic ones.
  std::vector<std::string> Expected = {
      "TkivJpegJfifSegment",
      "TkivJpegJfxxSegment",
      "TkivJpegCommentSegment",
      "TkivJpegExifSegment",
      "TkivJpegHPSCSegment",
      "TkivJpegH3X0Segment",
      "TkivJpegSiemensSegment",
      "TkivJpegUnicodeCommentSegment",
      "TkivJpegMSOFFICESegment",
      "TkivJpegAdobeResourceSegment",
      "TkivJpegXMPSegment",
      "TkivJpegICCProfileSegment",
      "TkivJpegAdobeSegment",
      "TkivJpegDuckySegment",
      "TkivJpegFPXRSegment",
  };
  // The generic classes, in the reverse of their registration.
  for (const char* N :
       {"14", "13", "12", "11", "09", "08", "07", "06", "05", "04", "03", "02", "01", "00"})
    Expected.push_back(std::string("TkivJpegJPGSegment") + N);
  for (const char* N :
       {"15", "14", "13", "12", "11", "09", "08", "07", "06", "05", "04", "03", "02", "01", "00"})
    Expected.push_back(std::string("TkivJpegAPPSegment") + N);
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

TEST(JpegClasses, DecodedClassesTakeTheirIdentifiersOnly) {
  const auto Bytes = [](uint8_t Marker, const std::string& Identifier) {
    const size_t L = Identifier.size() + 2;
    return std::string{char(0xFF), char(Marker), char(L >> 8), char(L)} + Identifier;
  };
  const std::string Siemens("<SIEMENS THUMBNAIL>\x01\x20\x20\x08", 23);
  const struct {
    uint8_t Marker;
    std::string Identifier;
    const char* Class;
  } Cases[] = {
      {0xE4, "HPSC", "TkivJpegHPSCSegment"},
      {0xE4, "HPSc", "TkivJpegAPPSegment04"},
      {0xE4, "H3X0", "TkivJpegH3X0Segment"},
      {0xE4, "H3XO", "TkivJpegAPPSegment04"},
      {0xE7, Siemens, "TkivJpegSiemensSegment"},
      {0xE7, Siemens.substr(0, 22) + "\x09", "TkivJpegAPPSegment07"},
      {0xEA, std::string("UNICODE\0", 8), "TkivJpegUnicodeCommentSegment"},
      {0xEA, "UNICODE", "TkivJpegDataSegmemt"}, // no generic class for APP10
      {0xE3, "MSOFFICE9.0", "TkivJpegMSOFFICESegment"},
      {0xE3, "MSOFFICE8.0", "TkivJpegAPPSegment03"},
      {0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29), "TkivJpegXMPSegment"},
      {0xE1, "http://ns.adobe.com/xap/1.0/", "TkivJpegAPPSegment01"},
      {0xE1, std::string("Exif\0\0", 6), "TkivJpegExifSegment"},
      {0xE2, std::string("ICC_PROFILE\0", 12), "TkivJpegICCProfileSegment"},
      {0xE2, "ICC_PROFILE", "TkivJpegAPPSegment02"},
      {0xE2, "FPXR", "TkivJpegFPXRSegment"},
      {0xEE, std::string("Adobe\0", 6), "TkivJpegAdobeSegment"},
      {0xEE, "Adobe!", "TkivJpegAPPSegment14"},
      {0xEC, std::string("Ducky\0", 6), "TkivJpegDuckySegment"},
      {0xED, std::string("Ducky\0", 6), "TkivJpegAPPSegment13"},
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(ReaderName(Bytes(Case.Marker, Case.Identifier)), Case.Class) << Case.Identifier;
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
  const auto Load = [](const TkivSegment::TClass& Class, const std::string& Bytes) {
    TMemoryStream Stream(Bytes);
    auto Segment = Class.Create();
    Segment->LoadFromStream(Stream);
    EXPECT_FALSE(Segment->Modified);
    return std::make_pair(Segment->Data.ToString(), Stream.GetPosition());
  };
  const auto& Dht = ClassNamed("TkivJpegDHTSegmentC4");
  EXPECT_EQ(Load(Dht, Hex("FF C4 00 04 01 02 03 04")),
            std::make_pair(Hex("FF C4 00 04 01 02"), int64_t(6)));
  EXPECT_EQ(Load(Dht, Hex("FF C4 00 08 01")), std::make_pair(Hex("FF C4 00 08 01"), int64_t(5)));
  EXPECT_EQ(Load(Dht, Hex("FF C4 00")), std::make_pair(Hex("FF C4 00"), int64_t(3)));
  EXPECT_EQ(Load(Dht, Hex("FF")), std::make_pair(Hex("FF"), int64_t(1)));
  EXPECT_EQ(Load(Dht, ""), std::make_pair(std::string(), int64_t(0)));
  EXPECT_EQ(Load(TkivJpegSignatireSegment::ClassObject(), Hex("FF D8 FF E0")),
            std::make_pair(Hex("FF D8"), int64_t(2)));
  EXPECT_EQ(Load(TkivJpegSignatireSegment::ClassObject(), Hex("FF")),
            std::make_pair(std::string(), int64_t(0)));
  EXPECT_EQ(Load(TkivJpegDataSegmemt::ClassObject(), "abc"),
            std::make_pair(std::string("abc"), int64_t(3)));
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
