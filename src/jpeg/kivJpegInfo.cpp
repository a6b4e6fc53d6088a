#include "jpeg/kivJpegInfo.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "framework/kivException.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"

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

// The classes of the structure segments add flag element 3.
template <class TClassBase> class TStructureClass : public TClassBase {
public:
  using TClassBase::TClassBase;
  void GetFlags(TkivSegmentFlags& Flags) const override {
    TClassBase::GetFlags(Flags);
    Flags |= sfStructure;
  }
};

class TSignatureClass : public TStructureClass<TkivClassOf<TkivJpegSignatireSegment>> {
public:
  using TStructureClass::TStructureClass;
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

class TSysClass : public TStructureClass<TNumberedClass<TkivJpegSysSegment, 16, 0>> {
public:
  explicit TSysClass(std::string Name)
      : TStructureClass(std::move(Name)), Desc(FindDesc(Marker())) {}
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

class TJPGClass : public TStructureClass<TNumberedClass<TkivJpegJPGSegment, 10, 0xF0>> {
public:
  using TStructureClass::TStructureClass;
  std::string GetDescription() const override {
    return "Jpeg extension segment " + std::to_string(Number);
  }
  std::string GetShortName() const override { return "JPG" + std::to_string(Number); }
};

using TDataClass = TStructureClass<TkivClassOf<TkivJpegDataSegmemt>>;

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
  Parent.AddChild(CreateHexDumpTable(Data, true, Data.GetSize()));
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
  ExtraData.Clear();
  const int64_t Left = BytesLeft(Data);
  if (Left > 0) ExtraData.CopyFrom(Data, Left);
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
  WriteExtraInfo(Parent, ExtraData);
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

// ---- Whole files ----

namespace {

// The markers that carry no length, in the order of their codes.
const TkivIntSegmentDesc MarkerOnlyDescs[] = {
    {0x01, "Temporary private use", "TEM"},
    {0xD0, "Restart 0", "RST0"},
    {0xD1, "Restart 1", "RST1"},
    {0xD2, "Restart 2", "RST2"},
    {0xD3, "Restart 3", "RST3"},
    {0xD4, "Restart 4", "RST4"},
    {0xD5, "Restart 5", "RST5"},
    {0xD6, "Restart 6", "RST6"},
    {0xD7, "Restart 7", "RST7"},
    {0xD9, "End of image", "EOI"},
};

class TMarkerClass : public TStructureClass<TkivClassOf<TkivJpegMarkerSegment>> {
public:
  explicit TMarkerClass(const TkivIntSegmentDesc& Desc)
      : TStructureClass(std::string("TkivJpeg") + Desc.ShortName + "Segment"), Desc(Desc) {}
  uint8_t Marker() const override { return Desc.Marker; }
  uint8_t Order() const override { return 200; }
  std::string GetDescription() const override { return Desc.Description; }
  std::string GetShortName() const override { return Desc.ShortName; }

private:
  const TkivIntSegmentDesc& Desc;
};

const TMarkerClass MarkerClasses[] = {
    TMarkerClass(MarkerOnlyDescs[0]), TMarkerClass(MarkerOnlyDescs[1]),
    TMarkerClass(MarkerOnlyDescs[2]), TMarkerClass(MarkerOnlyDescs[3]),
    TMarkerClass(MarkerOnlyDescs[4]), TMarkerClass(MarkerOnlyDescs[5]),
    TMarkerClass(MarkerOnlyDescs[6]), TMarkerClass(MarkerOnlyDescs[7]),
    TMarkerClass(MarkerOnlyDescs[8]), TMarkerClass(MarkerOnlyDescs[9]),
};

// A class of the whole-file pieces: a fixed description and short name.
template <class TPiece> class TPieceClass : public TkivClassOf<TPiece> {
public:
  TPieceClass(const char* Name, const char* Description, const char* ShortName)
      : TkivClassOf<TPiece>(Name), Description(Description), ShortName(ShortName) {}
  std::string GetDescription() const override { return Description; }
  std::string GetShortName() const override { return ShortName; }

private:
  const char* Description;
  const char* ShortName;
};

std::string OffsetText(int64_t Offset) {
  return Format("0x%08llX", static_cast<unsigned long long>(Offset));
}

std::string BytesText(int64_t Count) {
  return Format("%lld %s", static_cast<long long>(Count), Count == 1 ? "byte" : "bytes");
}

} // namespace

const TkivJpegSegment::TClass* TkivJpegMarkerSegment::ClassOf(uint8_t Marker) {
  for (const TMarkerClass& Class : MarkerClasses)
    if (Class.Marker() == Marker) return &Class;
  return nullptr;
}

void TkivJpegMarkerSegment::LoadFromStream(TStream& Stream) {
  Modified = false;
  Data.Clear();
  if (HasBytes(Stream, 2)) Data.CopyFrom(Stream, 2);
}

const TkivSegment::TClass& TkivJpegEntropyData::ClassObject() {
  static const TPieceClass<TkivJpegEntropyData> Class("TkivJpegEntropyData", "Entropy-coded data",
                                                      "ECS");
  return Class;
}

void TkivJpegEntropyData::FillInfo() {
  AddInfoInt(*Info, 0, "Restart markers", RestartMarkers);
}

void TkivJpegEntropyData::WriteHTML(TkivHTMLItem& Parent) {
  std::string Line =
      "Entropy-coded data at offset " + OffsetText(FileOffset) + ": " + BytesText(FileSize);
  if (RestartMarkers > 0) Line += Format(", %d restart markers", RestartMarkers);
  AddText(Parent, Line);
  AddLineBreak(Parent);
}

const TkivSegment::TClass& TkivJpegTrailingData::ClassObject() {
  static const TPieceClass<TkivJpegTrailingData> Class("TkivJpegTrailingData", "Trailing data",
                                                       "Trailer");
  return Class;
}

void TkivJpegTrailingData::LoadFromStream(TStream& Stream) {
  Modified = false;
  Data.Clear();
  const int64_t Left = BytesLeft(Stream);
  Data.CopyFrom(Stream, std::min(Left, DumpSize));
  Stream.SetPosition(Stream.GetSize());
  Data.SetPosition(0);
  FileSize = Left;
  Refresh();
}

void TkivJpegTrailingData::FillInfo() {
  AddInfoInt(*Info, 0, "Bytes shown", static_cast<int32_t>(Data.GetSize()));
}

void TkivJpegTrailingData::WriteHTML(TkivHTMLItem& Parent) {
  AddText(Parent, "Trailing data at offset " + OffsetText(FileOffset) + ": " + BytesText(FileSize));
  if (FileSize > Data.GetSize())
    AddText(Parent, Format(", the first %lld shown", static_cast<long long>(Data.GetSize())));
  AddLineBreak(Parent);
  Data.SetPosition(0);
  Parent.AddChild(CreateHexDumpTable(Data, true, Data.GetSize()));
}

const TkivSegment::TClass& TkivJpegFileError::ClassObject() {
  static const TPieceClass<TkivJpegFileError> Class("TkivJpegFileError", "File structure error",
                                                    "Error");
  return Class;
}

void TkivJpegFileError::FillInfo() {
  AddInfoItem(*Info, 0, "Problem", Message);
}

void TkivJpegFileError::WriteHTML(TkivHTMLItem& Parent) {
  TkivHTMLTABLE& Table = AddReportTable(Parent);
  AddTextCell(AddRow(Table), "At offset " + OffsetText(FileOffset) + ": " + Message, "Red");
}

// ---- JPEG file ----

namespace {
class TJpegFileClass : public TkivClassOf<TkivJpegFile> {
public:
  using TkivClassOf::TkivClassOf;
  // The start-of-image marker and the first byte of the next marker.
  bool CanRead(TStream& Stream) const override {
    if (!HasBytes(Stream, 3)) return false;
    const int64_t Position = Stream.GetPosition();
    const bool Result =
        ReadByte(Stream) == 0xFF && ReadByte(Stream) == 0xD8 && ReadByte(Stream) == 0xFF;
    Stream.SetPosition(Position);
    return Result;
  }
};

struct TScanEnd {
  int64_t Position;       // the marker's first byte, or the end of the stream
  int32_t RestartMarkers; // passed on the way
  bool AtMarker;
};

// Passes over entropy-coded data from the stream's position to the next marker that is
// neither a stuffed zero (FF 00), a fill byte nor a restart marker, in large chunks: the
// data is most of a JPEG file and is only looked at, never kept.
TScanEnd ScanEntropyData(TStream& Stream) {
  static constexpr int64_t ChunkSize = 1 << 16;
  std::vector<uint8_t> Chunk(ChunkSize);
  TScanEnd End{Stream.GetPosition(), 0, false};
  int64_t ChunkStart = End.Position;
  bool PendingFF = false; // the previous chunk ended in FF
  for (int64_t N; (N = Stream.Read(Chunk.data(), ChunkSize)) > 0; ChunkStart += N) {
    const uint8_t* const First = Chunk.data();
    const uint8_t* const Last = First + N;
    const uint8_t* P = First;
    // Each step looks at one FF and the code after it; FF at Code is Code - 1.
    const auto Examine = [&](const uint8_t* Code) {
      if (*Code == 0x00 || (*Code >= 0xD0 && *Code <= 0xD7)) {
        End.RestartMarkers += *Code != 0x00;
        P = Code + 1;
        return false;
      }
      if (*Code == 0xFF) { // a fill byte: the next FF may begin the marker
        P = Code;
        return false;
      }
      End.Position = ChunkStart + (Code - First) - 1;
      End.AtMarker = true;
      return true;
    };
    if (PendingFF) {
      PendingFF = false;
      if (Examine(P)) break;
    }
    while (P < Last) {
      const auto* FF = static_cast<const uint8_t*>(std::memchr(P, 0xFF, size_t(Last - P)));
      if (!FF) {
        P = Last;
        break;
      }
      if (FF + 1 == Last) {
        PendingFF = true;
        P = Last;
        break;
      }
      if (Examine(FF + 1)) break;
    }
    if (End.AtMarker) break;
  }
  if (!End.AtMarker) End.Position = Stream.GetSize();
  Stream.SetPosition(End.Position);
  return End;
}

} // namespace

const TkivSegmentList::TClass& TkivJpegFile::ClassObject() {
  static const TJpegFileClass Class("TkivJpegFile");
  return Class;
}

const TkivSegment::TClass& TkivJpegFile::GetFirstSegmentClass() const {
  return TkivJpegSignatireSegment::ClassObject();
}

const TkivSegmentClassList& TkivJpegFile::GetSegmentClassList() const {
  return JpegSegmentClassList;
}

void TkivJpegFile::AddError(int64_t Offset, const std::string& Message, bool Lost) {
  auto& Error =
      static_cast<TkivJpegFileError&>(TkivJpegFileError::ClassObject().Create(*this, true));
  Error.FileOffset = Offset;
  Error.Message = Message;
  Error.Lost = Lost;
  Error.Refresh();
}

void TkivJpegFile::LoadAsData(TStream& Stream, int64_t Start, int64_t Count) {
  TMemoryStream Bytes;
  Stream.SetPosition(Start);
  Bytes.CopyFrom(Stream, std::min(Count, BytesLeft(Stream)));
  Bytes.SetPosition(0);
  TkivSegment& Segment = LoadSegment(TkivJpegDataSegmemt::ClassObject(), Bytes);
  Segment.FileOffset = Start;
}

bool TkivJpegFile::ReadEntropyData(TStream& Stream) {
  const int64_t Start = Stream.GetPosition();
  const TScanEnd End = ScanEntropyData(Stream);
  if (End.Position > Start) {
    auto& Data =
        static_cast<TkivJpegEntropyData&>(TkivJpegEntropyData::ClassObject().Create(*this, true));
    Data.FileOffset = Start;
    Data.FileSize = End.Position - Start;
    Data.RestartMarkers = End.RestartMarkers;
    Data.Refresh();
  }
  if (!End.AtMarker)
    AddError(End.Position,
             "the file ends inside the entropy-coded data, without an end-of-image marker", false);
  return End.AtMarker;
}

// Loads the segment of marker Code at Start (the stream stands there); false ends the walk.
bool TkivJpegFile::LoadMarkerSegment(TStream& Stream, int64_t Start, uint8_t Code) {
  if (Code == 0xD8) {
    LoadSegment(TkivJpegSignatireSegment::ClassObject(), Stream);
    return true;
  }
  if (const TkivJpegSegment::TClass* Marker = TkivJpegMarkerSegment::ClassOf(Code)) {
    LoadSegment(*Marker, Stream);
    return true;
  }
  if (Code == 0x00) {
    AddError(Start,
             "the bytes FF 00 stand where a segment should start; the remaining " +
                 BytesText(FileSize - Start) + " are not read",
             true);
    return false;
  }
  if (!HasBytes(Stream, 4)) {
    AddError(Start,
             "the file ends inside the header of a segment (marker FF" + Format("%02X", Code) + ")",
             true);
    return false;
  }
  Stream.SetPosition(Start + 2);
  const uint16_t Length = ReadWord(Stream, true);
  Stream.SetPosition(Start);
  if (Length < 2) {
    AddError(Start,
             Format("the segment of marker FF%02X has the length %u, below the 2 bytes of the "
                    "length itself; the remaining ",
                    Code, Length) +
                 BytesText(FileSize - Start) + " are not read",
             true);
    return false;
  }
  const int64_t End = Start + 2 + Length;
  const TkivSegment::TClass* Class = GetSegmentClassList().FindReader(Stream);
  if (!Class || Class == &TkivJpegDataSegmemt::ClassObject()) {
    // A marker that no class knows: its bytes, as the data class keeps them.
    LoadAsData(Stream, Start, End - Start);
  } else {
    try {
      LoadSegment(*Class, Stream);
    } catch (...) {
      // As in the viewer, a segment that cannot be read shows no report of its own.
      const std::string Why =
          "the " + Class->GetDescription() + " could not be read: " + ExceptionText();
      Delete(Count() - 1);
      LoadAsData(Stream, Start, End - Start);
      AddError(Start, Why, false);
    }
  }
  if (End > FileSize) {
    AddError(Start,
             Format("the segment of marker FF%02X is cut short: its length asks for %lld bytes, "
                    "the file holds ",
                    Code, static_cast<long long>(End - Start)) +
                 BytesText(FileSize - Start),
             true);
    return false;
  }
  // A class that gathers the pieces that follow it may have read on; none reads less.
  if (Stream.GetPosition() < End) Stream.SetPosition(End);
  if (Code == 0xDA) return ReadEntropyData(Stream);
  return true;
}

void TkivJpegFile::LoadFromStream(TStream& Stream) {
  Clear();
  FileSize = Stream.GetSize();
  if (!GetFirstSegmentClass().CanRead(Stream)) {
    AddError(Stream.GetPosition(), "no start-of-image marker (FF D8); the file is not read", true);
    return;
  }
  LoadSegment(GetFirstSegmentClass(), Stream);
  for (;;) {
    const int64_t Position = Stream.GetPosition();
    if (!HasBytes(Stream, 1)) {
      AddError(Position, "the file ends without an end-of-image marker", false);
      return;
    }
    if (Count() >= MaxSegments) {
      AddError(Position,
               Format("more than %d pieces; the remaining ", MaxSegments) +
                   BytesText(FileSize - Position) + " are not read",
               true);
      return;
    }
    const uint8_t First = ReadByte(Stream);
    if (First != 0xFF) {
      AddError(Position,
               Format("the byte %02X stands where a segment should start; the remaining ", First) +
                   BytesText(FileSize - Position) + " are not read",
               true);
      return;
    }
    // Fill bytes: any number of FF may stand before a marker code.
    uint8_t Code = 0xFF;
    while (HasBytes(Stream, 1) && (Code = ReadByte(Stream)) == 0xFF) {
    }
    if (Code == 0xFF) {
      AddError(Position, "the file ends inside a marker", true);
      return;
    }
    const int64_t Start = Stream.GetPosition() - 2;
    Stream.SetPosition(Start);
    if (!LoadMarkerSegment(Stream, Start, Code)) return;
    if (Code == 0xD9) {
      if (HasBytes(Stream, 1)) LoadSegment(TkivJpegTrailingData::ClassObject(), Stream);
      return;
    }
  }
}

std::string TkivJpegFile::MarkerText(const TkivSegment& Segment) {
  if (Segment.Data.GetSize() < 2 || Segment.Data.Memory()[0] != 0xFF) return {};
  return Format("FF%02X", Segment.Data.Memory()[1]);
}

void TkivJpegFile::WriteHTML(TkivHTMLItem& Parent) {
  AddText(Parent.Create<TkivHTMLH1>(), FileName);
  AddText(Parent, "File size: " + BytesText(FileSize));
  AddLineBreak(Parent);
  TkivHTMLTABLE& Contents = AddReportTable(Parent);
  AddTextRow(Contents, {"\xB9", "Offset", "Marker", "Description", "Size"});
  for (int32_t I = 0; I < Count(); ++I) {
    const TkivSegment& Piece = Segment(I);
    const bool IsError = dynamic_cast<const TkivJpegFileError*>(&Piece) != nullptr;
    TkivHTMLTR& Row = AddRow(Contents);
    AddTextCell(Row, std::to_string(I));
    AddTextCell(Row, Format("%08llX", static_cast<unsigned long long>(Piece.FileOffset)));
    AddTextCell(Row, MarkerText(Piece));
    AddText(
        AddCell(Row, {.BgColor = RedColorIf(IsError)}).Create<TkivHTMLA>(Format("#segment%d", I)),
        Piece.ClassType().GetDescription());
    AddTextCell(Row, IsError ? "" : std::to_string(Piece.FileSize));
  }
  for (int32_t I = 0; I < Count(); ++I) {
    Parent.Create<TkivHTMLA>("", Format("segment%d", I));
    WriteSegmentHTML(Segment(I), Parent);
  }
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
