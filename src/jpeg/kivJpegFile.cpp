#include "jpeg/kivJpegFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/kivException.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"

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

class TMarkerClass : public TkivJpegStructureClass<TkivClassOf<TkivJpegMarkerSegment>> {
public:
  explicit TMarkerClass(const TkivIntSegmentDesc& Desc)
      : TkivJpegStructureClass(std::string("TkivJpeg") + Desc.ShortName + "Segment"), Desc(Desc) {}
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
  if (ReportExtension) ReportExtension->WriteListSummaryHTML(*this, Parent);
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
