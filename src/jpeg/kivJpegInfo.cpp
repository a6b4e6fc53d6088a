#include "jpeg/kivJpegInfo.h"

#include <algorithm>

#include "base/kivException.h"
#include "framework/kivInfoStream.h"
#include "jpeg/kivJpegFile.h"

const TkivIntSegmentDesc IntSegmentDescs[22] = {
    {0xC0, "Baseline DCT", "SOF0"},
    {0xC1, "Extended sequential DCT", "SOF1"},
    {0xC2, "Progressive DCT", "SOF2"},
    {0xC3, "Lossless (sequential)", "SOF3"},
    {0xC5, "Differential sequential DCT", "SOF5"},
    {0xC6, "Differential progressive DCT", "SOF6"},
    {0xC7, "Differential lossless (sequential)", "SOF7"},
    {0xC8, "JPEG extensions", "JPG"},
    {0xC9, "Extended sequential DCT", "SOF9"},
    {0xCA, "Progressive DCT", "SOF10"},
    {0xCB, "Lossless (sequential)", "SOF11"},
    {0xCD, "Differential sequential DCT", "SOF13"},
    {0xCE, "Differential progressive DCT", "SOF14"},
    {0xCF, "Differential lossless (sequential)", "SOF15"},
    {0xC4, "Define Huffman table(s)", "DHT"},
    {0xCC, "Define arithmetic coding conditioning(s)", "DAC"},
    {0xDA, "Start of scan", "SOS"},
    {0xDB, "Define quantization table(s)", "DQT"},
    {0xDC, "Define number of lines", "DNL"},
    {0xDD, "Define restart interval", "DRI"},
    {0xDE, "Define hierarchical progression", "DHP"},
    {0xDF, "Expand reference component(s)", "EXP"},
};

TkivSegmentClassList JpegSegmentClassList;

void RegisterJpegSegmentClass(const TkivSegment::TClass& Class) {
  JpegSegmentClassList.Insert(0, Class);
}

namespace {

const TkivIntSegmentDesc* FindDesc(uint8_t Marker) {
  for (const TkivIntSegmentDesc& Desc : IntSegmentDescs)
    if (Desc.Marker == Marker) return &Desc;
  return nullptr;
}

class TSignatureClass : public TkivJpegStructureClass<TkivClassOf<TkivJpegSignatireSegment>> {
public:
  using TkivJpegStructureClass::TkivJpegStructureClass;
  uint8_t Marker() const override { return 0xD8; }
  uint8_t Order() const override { return 0; }
  std::string GetDescription() const override { return "Jpeg signature segment"; }
  std::string GetShortName() const override { return "Signature"; }
  bool CanRead(TStream& Stream) const override {
    if (!HasBytes(Stream, 2)) return false;
    const int64_t Position = Stream.GetPosition();
    const bool Result = ReadByte(Stream) == 0xFF && ReadByte(Stream) == Marker();
    Stream.SetPosition(Position);
    return Result;
  }
};

// A class of a generic family: the number in the last two characters of its class name, read
// once, gives its marker.
template <class TSegment, int Radix, uint8_t FirstMarker>
class TNumberedClass : public TkivClassOf<TSegment> {
public:
  explicit TNumberedClass(std::string Name)
      : TkivClassOf<TSegment>(std::move(Name)),
        Number(std::stoi(this->ClassName().substr(this->ClassName().size() - 2), nullptr, Radix)) {}
  uint8_t Marker() const override { return static_cast<uint8_t>(FirstMarker + Number); }

protected:
  const int Number;
};

class TSysClass : public TkivJpegStructureClass<TNumberedClass<TkivJpegSysSegment, 16, 0>> {
public:
  explicit TSysClass(std::string Name)
      : TkivJpegStructureClass(std::move(Name)), Desc(FindDesc(Marker())) {}
  uint8_t Order() const override { return 200; }
  std::string GetDescription() const override { return Found().Description; }
  std::string GetShortName() const override { return Found().ShortName; }

private:
  const TkivIntSegmentDesc* Desc;
  const TkivIntSegmentDesc& Found() const {
    if (!Desc) throw Exception("IntSegmentDesc not found");
    return *Desc;
  }
};

class TAPPClass : public TNumberedClass<TkivJpegAPPSegment, 10, 0xE0> {
public:
  using TNumberedClass::TNumberedClass;
  bool IsInfoSegment() const override { return true; }
  std::string GetDescription() const override {
    return "Application segment " + std::to_string(Number);
  }
  std::string GetShortName() const override { return "APP" + std::to_string(Number); }
};

class TJPGClass : public TkivJpegStructureClass<TNumberedClass<TkivJpegJPGSegment, 10, 0xF0>> {
public:
  using TkivJpegStructureClass::TkivJpegStructureClass;
  std::string GetDescription() const override {
    return "Jpeg extension segment " + std::to_string(Number);
  }
  std::string GetShortName() const override { return "JPG" + std::to_string(Number); }
};

using TDataClass = TkivJpegStructureClass<TkivClassOf<TkivJpegDataSegmemt>>;

// In registration order.
const TSysClass SysClasses[] = {
    TSysClass("TkivJpegSOF0SegmentC0"),  TSysClass("TkivJpegSOF1SegmentC1"),
    TSysClass("TkivJpegSOF2SegmentC2"),  TSysClass("TkivJpegSOF3SegmentC3"),
    TSysClass("TkivJpegSOF5SegmentC5"),  TSysClass("TkivJpegSOF6SegmentC6"),
    TSysClass("TkivJpegSOF7SegmentC7"),  TSysClass("TkivJpegSOF8SegmentC8"),
    TSysClass("TkivJpegSOF9SegmentC9"),  TSysClass("TkivJpegSOF10SegmentCA"),
    TSysClass("TkivJpegSOF11SegmentCB"), TSysClass("TkivJpegSOF13SegmentCD"),
    TSysClass("TkivJpegSOF14SegmentCE"), TSysClass("TkivJpegSOF15SegmentCF"),
    TSysClass("TkivJpegDHTSegmentC4"),   TSysClass("TkivJpegDACSegmentCC"),
    TSysClass("TkivJpegSOSSegmentDA"),   TSysClass("TkivJpegDQTSegmentDB"),
    TSysClass("TkivJpegDNLSegmentDC"),   TSysClass("TkivJpegDRISegmentDD"),
    TSysClass("TkivJpegDHPSegmentDE"),   TSysClass("TkivJpegEXPSegmentDF"),
};

const TAPPClass APPClasses[] = {
    TAPPClass("TkivJpegAPPSegment00"), TAPPClass("TkivJpegAPPSegment01"),
    TAPPClass("TkivJpegAPPSegment02"), TAPPClass("TkivJpegAPPSegment03"),
    TAPPClass("TkivJpegAPPSegment04"), TAPPClass("TkivJpegAPPSegment05"),
    TAPPClass("TkivJpegAPPSegment06"), TAPPClass("TkivJpegAPPSegment07"),
    TAPPClass("TkivJpegAPPSegment08"), TAPPClass("TkivJpegAPPSegment09"),
    TAPPClass("TkivJpegAPPSegment11"), TAPPClass("TkivJpegAPPSegment12"),
    TAPPClass("TkivJpegAPPSegment13"), TAPPClass("TkivJpegAPPSegment14"),
    TAPPClass("TkivJpegAPPSegment15"),
};

const TJPGClass JPGClasses[] = {
    TJPGClass("TkivJpegJPGSegment00"), TJPGClass("TkivJpegJPGSegment01"),
    TJPGClass("TkivJpegJPGSegment02"), TJPGClass("TkivJpegJPGSegment03"),
    TJPGClass("TkivJpegJPGSegment04"), TJPGClass("TkivJpegJPGSegment05"),
    TJPGClass("TkivJpegJPGSegment06"), TJPGClass("TkivJpegJPGSegment07"),
    TJPGClass("TkivJpegJPGSegment08"), TJPGClass("TkivJpegJPGSegment09"),
    TJPGClass("TkivJpegJPGSegment11"), TJPGClass("TkivJpegJPGSegment12"),
    TJPGClass("TkivJpegJPGSegment13"), TJPGClass("TkivJpegJPGSegment14"),
};

} // namespace

// ---- TkivJpegSegment ----

void TkivJpegSegment::WriteHTML(TkivHTMLItem& Parent) {
  AddText(Parent.Create<TkivHTMLH2>(), ClassType().GetDescription());
  AddText(Parent, "Segment size: " + std::to_string(Data.GetSize()));
  AddLineBreak(Parent);
  WriteDataHTML(Parent);
}

void TkivJpegSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  Data.SetPosition(0);
  AddLineBreak(Parent);
  Parent.AddChild(CreateHexDumpTable(Data, true, Data.GetSize(), WorkBudget()));
}

// ---- Signature ----

const TkivJpegSegment::TClass& TkivJpegSignatireSegment::ClassObject() {
  static const TSignatureClass Class("TkivJpegSignatireSegment");
  return Class;
}

void TkivJpegSignatireSegment::InitDefault() {
  Modified = true;
  Data.Clear();
  WriteByte(Data, 0xFF);
  WriteByte(Data, 0xD8);
}

void TkivJpegSignatireSegment::LoadFromStream(TStream& Stream) {
  Modified = false;
  Data.Clear();
  if (HasBytes(Stream, 2)) Data.CopyFrom(Stream, 2);
}

// ---- Length-bearing segments ----

bool TkivJpegNormalSegment::TClass::CanRead(TStream& Stream) const {
  const std::string Identifier = GetIdentifier();
  const int64_t IdLength = static_cast<int64_t>(Identifier.size());
  if (!HasBytes(Stream, IdLength + 4)) return false;
  const int64_t Position = Stream.GetPosition();
  const bool Result = ReadByte(Stream) == 0xFF && ReadByte(Stream) == Marker() &&
                      IdLength + 2 <= ReadWord(Stream, true) &&
                      (Identifier.empty() || ReadString(Stream, IdLength) == Identifier);
  Stream.SetPosition(Position);
  return Result;
}

void TkivJpegNormalSegment::LoadFromStream(TStream& Stream) {
  Modified = false;
  Data.Clear();
  AppendSegment(Stream);
  ParseData();
}

void TkivJpegNormalSegment::AppendSegment(TStream& Stream) {
  uint16_t N = 4;
  if (!HasBytes(Stream, 1)) return;
  if (HasBytes(Stream, 2)) {
    Data.CopyFrom(Stream, 2);
    if (HasBytes(Stream, 2)) {
      const uint16_t L = ReadWord(Stream, true);
      WriteWord(Data, L, true);
      N = static_cast<uint16_t>(L - 2);
    }
  }
  if (N != 0) Data.CopyFrom(Stream, std::min<int64_t>(N, BytesLeft(Stream)));
}

// Each segment the class accepts holds at least its identifier, so every round moves on.
void TkivJpegNormalSegment::LoadConsecutiveSegments(TStream& Stream) {
  Modified = false;
  Data.Clear();
  // The pieces are measured first: the bytes of hundreds of them are then held in room of
  // their size, not in room doubled while it grows.
  const int64_t Start = Stream.GetPosition();
  int64_t Size = 0;
  while (JpegClass().CanRead(Stream)) {
    Stream.SetPosition(Stream.GetPosition() + 2);
    const uint16_t Length = ReadWord(Stream, true);
    const int64_t Payload = std::min<int64_t>(Length - 2, BytesLeft(Stream));
    Size += 4 + Payload;
    Stream.SetPosition(Stream.GetPosition() + Payload);
  }
  Stream.SetPosition(Start);
  Data.Reserve(Size);
  while (JpegClass().CanRead(Stream))
    AppendSegment(Stream);
  ParseData();
}

void TkivJpegAPPSegment::ParseData() {
  Data.SetPosition(0);
  Refresh();
}

const TkivSegment::TClass& TkivJpegDataSegmemt::ClassObject() {
  static const TDataClass Class("TkivJpegDataSegmemt");
  return Class;
}

// ---- Decoded segments ----

int64_t TkivJpegKnownSegment::GetSize() const {
  return static_cast<int64_t>(JpegClass().GetIdentifier().size()) + 4;
}

void TkivJpegKnownSegment::ParseData() {
  Data.SetPosition(0);
  if (Data.GetSize() >= 4) {
    Data.SetPosition(4);
    ReadString(Data, std::min<int64_t>(static_cast<int64_t>(JpegClass().GetIdentifier().size()),
                                       BytesLeft(Data)));
    ReadFields();
  }
  ExtraData.TakeRest();
  Refresh();
}

void TkivJpegKnownSegment::InitDefault() {
  Modified = true;
  Data.Clear();
  WriteByte(Data, 0xFF);
  WriteByte(Data, JpegClass().Marker());
  WriteWord(Data, static_cast<uint16_t>(GetSize() - 2), true);
  WriteString(Data, JpegClass().GetIdentifier());
  WriteFields(Data);
}

void TkivJpegKnownSegment::WriteHTML(TkivHTMLItem& Parent) {
  TkivJpegSegment::WriteHTML(Parent);
  WriteExtraInfo(Parent, ExtraData, WorkBudget());
}

// ---- Thumbnail segments ----

const kivInfo::TBitmap::TClass& TkivJpegThumbnailSegment::TClass::GetThumbnailClass() const {
  return kivInfo::TBitmap::ClassObject();
}

TkivJpegThumbnailSegment::TkivJpegThumbnailSegment(const TClass& Class)
    : TkivJpegInfoSegment(Class) {
  Install(Class.GetThumbnailClass().Create());
}

TkivJpegThumbnailSegment::~TkivJpegThumbnailSegment() = default;

void TkivJpegThumbnailSegment::Install(std::unique_ptr<kivInfo::TBitmap> Bitmap) {
  FThumbnail = std::move(Bitmap);
  FThumbnail->Owner = this;
  FThumbnail->OnChange = [this] { ThumbnailChanged(); };
}

int32_t TkivJpegThumbnailSegment::MaxThumbnailPixels(int32_t) const {
  return -1;
}

void TkivJpegThumbnailSegment::ThumbnailChanged() {
  if (MaxThumbnailWidth() > 0 && FThumbnail->Width() > MaxThumbnailWidth())
    FThumbnail->SetWidth(MaxThumbnailWidth());
  if (MaxThumbnailHeight() > 0 && FThumbnail->Height() > MaxThumbnailHeight())
    FThumbnail->SetHeight(MaxThumbnailHeight());
}

void TkivJpegThumbnailSegment::SetThumbnailClass(const kivInfo::TBitmap::TClass& BitmapClass) {
  if (&BitmapClass == &FThumbnail->ClassType()) return;
  std::unique_ptr<kivInfo::TBitmap> Bitmap = BitmapClass.Create();
  Bitmap->CopyFrom(*FThumbnail);
  Install(std::move(Bitmap));
}

int64_t TkivJpegThumbnailSegment::GetSize() const {
  return TkivJpegInfoSegment::GetSize() + FThumbnail->GetDataSize();
}

void TkivJpegThumbnailSegment::ReadFields() {
  kivInfo::ClearPicture(*FThumbnail);
}

void kivJpegInfo_Initialize() {
  RegisterSegmentListClass(TkivJpegFile::ClassObject());
  RegisterJpegSegmentClass(TkivJpegDataSegmemt::ClassObject());
  RegisterJpegSegmentClass(TkivJpegSignatireSegment::ClassObject());
  for (const auto& Class : SysClasses)
    RegisterJpegSegmentClass(Class);
  for (const auto& Class : APPClasses)
    RegisterJpegSegmentClass(Class);
  for (const auto& Class : JPGClasses)
    RegisterJpegSegmentClass(Class);
}

void kivJpegInfo_Finalize() {
  JpegSegmentClassList.Clear();
}
