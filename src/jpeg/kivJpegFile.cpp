#include "jpeg/kivJpegFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/kivException.h"
#include "extended/kivDescriptionHTML.h"
#include "extended/kivDescriptionTree.h"
#include "extended/kivJpegSummary.h"
#include "extended/kivMultiPicture.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegBitmap.h"
#include "framework/kivUtf8.h"

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

const TkivSegment::TClass& TkivJpegTrailingData::SamsungClassObject() {
  static const TPieceClass<TkivJpegTrailingData> Class("TkivJpegSamsungTrailer", "Samsung trailer",
                                                       "SEFT");
  return Class;
}

const TkivSegment::TClass& TkivJpegTrailingData::VideoClassObject() {
  static const TPieceClass<TkivJpegTrailingData> Class("TkivJpegVideo", "Video (MP4)", "Video");
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

void TkivJpegTrailingData::LoadPart(TStream& Stream, int64_t Start, int64_t Count) {
  Modified = false;
  Data.Clear();
  FileOffset = Start;
  Stream.SetPosition(Start);
  Data.CopyFrom(Stream, std::min({Count, DumpSize, BytesLeft(Stream)}));
  Data.SetPosition(0);
  FileSize = Count;
  Refresh();
}

void TkivJpegTrailingData::FillInfo() {
  if (Samsung || Video) {
    TkivDescriptionTree Out(*Info, ReportObjects);
    if (Samsung) DescribeSamsungTrailer(*Samsung, Out);
    if (Video) DescribeMp4(*Video, Out);
    return;
  }
  AddInfoInt(*Info, 0, "Bytes shown", static_cast<int32_t>(Data.GetSize()));
}

void TkivJpegTrailingData::WriteHTML(TkivHTMLItem& Parent) {
  const std::string What = Samsung ? "Samsung trailer" : Video ? "MP4 video" : "Trailing data";
  AddText(Parent, What + " at offset " + OffsetText(FileOffset) + ": " + BytesText(FileSize));
  if (Samsung || Video) {
    AddLineBreak(Parent);
    TkivDescriptionHTML Out(Parent, ReportObjects, WorkBudget());
    if (Samsung) DescribeSamsungTrailer(*Samsung, Out);
    if (Video) DescribeMp4(*Video, Out);
    Out.Finish();
    return;
  }
  if (FileSize > Data.GetSize())
    AddText(Parent, Format(", the first %lld shown", static_cast<long long>(Data.GetSize())));
  AddLineBreak(Parent);
  Data.SetPosition(0);
  Parent.AddChild(CreateHexDumpTable(Data, true, Data.GetSize(), WorkBudget()));
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
  // Read over, never zeroed first.
  const auto Chunk = std::make_unique_for_overwrite<uint8_t[]>(ChunkSize);
  TScanEnd End{Stream.GetPosition(), 0, false};
  int64_t ChunkStart = End.Position;
  bool PendingFF = false; // the previous chunk ended in FF
  for (int64_t N; (N = Stream.Read(Chunk.get(), ChunkSize)) > 0; ChunkStart += N) {
    const uint8_t* const First = Chunk.get();
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
    // As in the viewer, a segment that cannot be read shows no report of its own.
    const auto Unreadable = [&](const Exception& E) {
      const std::string Why = "the " + Class->GetDescription() + " could not be read: " + E.what();
      Delete(Count() - 1);
      LoadAsData(Stream, Start, End - Start);
      AddError(Start, Why, false);
    };
    try {
      LoadSegment(*Class, Stream);
    } catch (const EReadError& E) {
      Unreadable(E);
    } catch (const EkivDecodeError& E) {
      Unreadable(E);
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

bool TkivJpegFile::LoadImage(TStream& Stream, int32_t Entry) {
  TImage Image;
  Image.Offset = Stream.GetPosition();
  Image.First = Count();
  Image.Entry = Entry;
  LoadSegment(GetFirstSegmentClass(), Stream);
  const auto Done = [&](bool Ended) {
    Image.Ended = Ended;
    Image.Last = Count();
    Image.Size = (Ended ? Stream.GetPosition() : FileSize) - Image.Offset;
    Images.push_back(std::move(Image));
    return Ended;
  };
  for (;;) {
    const int64_t Position = Stream.GetPosition();
    if (!HasBytes(Stream, 1)) {
      AddError(Position, "the file ends without an end-of-image marker", false);
      return Done(false);
    }
    if (Count() >= MaxSegments) {
      AddError(Position,
               Format("more than %d pieces; the remaining ", MaxSegments) +
                   BytesText(FileSize - Position) + " are not read",
               true);
      return Done(false);
    }
    const uint8_t First = ReadByte(Stream);
    if (First != 0xFF) {
      AddError(Position,
               Format("the byte %02X stands where a segment should start; the remaining ", First) +
                   BytesText(FileSize - Position) + " are not read",
               true);
      return Done(false);
    }
    // Fill bytes: any number of FF may stand before a marker code.
    uint8_t Code = 0xFF;
    while (HasBytes(Stream, 1) && (Code = ReadByte(Stream)) == 0xFF) {
    }
    if (Code == 0xFF) {
      AddError(Position, "the file ends inside a marker", true);
      return Done(false);
    }
    const int64_t Start = Stream.GetPosition() - 2;
    Stream.SetPosition(Start);
    if (!LoadMarkerSegment(Stream, Start, Code)) return Done(false);
    if (Code == 0xD9) return Done(true);
  }
}

namespace {

// Whether the bytes at Position start a JPEG image: FF D8 and the first byte of a marker.
bool StartsImage(TStream& Stream, int64_t Position) {
  Stream.SetPosition(Position);
  return TkivJpegFile::ClassObject().CanRead(Stream);
}

// The multi-picture index of the image's pieces, and where its offsets count from.
bool FindIndex(const TkivJpegFile& File, const TkivJpegFile::TImage& Image, TkivMpIndex& Index,
               int64_t& Base) {
  static constexpr uint8_t Identifier[] = {'M', 'P', 'F', 0};
  for (int32_t I = Image.First; I < Image.Last; ++I) {
    const TkivSegment& Segment = File.Segment(I);
    const uint8_t* Bytes = Segment.Data.Memory();
    if (Segment.Data.GetSize() < 8 || Bytes[0] != 0xFF || Bytes[1] != 0xE2 ||
        !std::equal(Identifier, Identifier + 4, Bytes + 4))
      continue;
    // The length field bounds the payload as the segment's bytes do.
    const int64_t Size =
        std::min<int64_t>(Segment.Data.GetSize(), 2 + ((Bytes[2] << 8) | Bytes[3]));
    TkivBytesView Payload(Bytes + 8, Size - 8);
    Index = {};
    try {
      if (!ReadMpIndex(Payload, const_cast<TkivJpegFile&>(File).WorkBudget(), Index)) continue;
    } catch (const EReadError&) {
      continue;
    }
    Base = Segment.FileOffset + 8;
    return true;
  }
  return false;
}

std::string GroupedText(int64_t N) {
  const std::string Digits = std::to_string(N < 0 ? -N : N);
  std::string S = N < 0 ? "-" : "";
  for (size_t I = 0; I < Digits.size(); ++I) {
    if (I > 0 && (Digits.size() - I) % 3 == 0) S += ',';
    S += Digits[I];
  }
  return S;
}

std::string GroupedBytes(int64_t N) {
  return GroupedText(N) + (N == 1 ? " byte" : " bytes");
}

// What the segments of an image say it is, beyond its index entry's type.
std::string KindFromSegments(const TkivJpegFile& File, const TkivJpegFile::TImage& Image) {
  // The namespaces and identifiers of gain-map metadata, as the bytes hold them.
  static constexpr std::string_view GainMapSigns[] = {
      "http://ns.adobe.com/hdr-gain-map/1.0/",
      "urn:com:apple:photo:2020:aux:hdrgainmap",
      {"urn:iso:std:iso:ts:21496:-1\0", 28},
  };
  for (int32_t I = Image.First; I < Image.Last; ++I) {
    const TkivSegment& Segment = File.Segment(I);
    if (Segment.Data.GetSize() < 4 || Segment.Data.Memory()[0] != 0xFF) continue;
    const uint8_t Marker = Segment.Data.Memory()[1];
    if (Marker != 0xE1 && Marker != 0xE2) continue;
    const std::string_view Bytes(reinterpret_cast<const char*>(Segment.Data.Memory()),
                                 size_t(Segment.Data.GetSize()));
    for (const std::string_view Sign : GainMapSigns) {
      const size_t At = Bytes.find(Sign);
      // The ISO block names itself at the start; the primary's short form has no fields.
      if (At == std::string_view::npos) continue;
      if (Sign.back() == '\0' && (At != 4 || Bytes.size() <= 4 + Sign.size() + 4)) continue;
      return "gain map";
    }
  }
  return {};
}

} // namespace

TkivJpegFile::~TkivJpegFile() = default;

TkivJpegFile::TEntryCheck TkivJpegFile::CheckOfEntry(int32_t Entry) const {
  if (Entry < 0 || size_t(Entry) >= EntryChecks.size()) return {};
  return EntryChecks[size_t(Entry)];
}

void TkivJpegFile::LoadFurtherImages(TStream& Stream) {
  Index = {};
  int64_t Base = 0;
  const bool HasIndex = FindIndex(*this, Images[0], Index, Base);
  IndexBase = HasIndex ? Base : -1;
  NamedImages = HasIndex ? int64_t(Index.Entries.size()) : 0;
  EntryChecks.assign(Index.Entries.size(), {});
  // Where the named images start: checked now, walked in file order.
  struct TNamed {
    int64_t Position;
    int32_t Entry;
  };
  std::vector<TNamed> Named;
  for (size_t I = 0; I < Index.Entries.size(); ++I) {
    const TkivMpEntry& E = Index.Entries[I];
    TEntryCheck& Check = EntryChecks[I];
    if (I == 0) {
      Images[0].Entry = 0;
      Images[0].Type = E.Type();
      Check = {"image 1 at " + OffsetText(Images[0].Offset), false};
      if (Images[0].Ended && E.Size != Images[0].Size) {
        Images[0].SizeProblem = "The index gives " + GroupedBytes(E.Size) + "; the image runs " +
                                GroupedBytes(Images[0].Size);
        Check = {Check.Text + "; it runs " + GroupedBytes(Images[0].Size), true};
      }
      continue;
    }
    const int64_t Position = Base + E.Offset;
    if (E.Offset == 0) {
      Check = {"offset 0 names the first image", true};
    } else if (Position + 2 > FileSize) {
      Check = {"0x" + Format("%08llX", static_cast<unsigned long long>(Position)) +
                   " lies outside the file",
               true};
    } else if (!StartsImage(Stream, Position)) {
      Stream.SetPosition(Position);
      const std::string Two = ReadString(Stream, 2);
      Check = {Format("no start-of-image marker at %s: the bytes there are %02X %02X",
                      OffsetText(Position).c_str(), uint8_t(Two[0]), uint8_t(Two[1])),
               true};
    } else {
      Named.push_back({Position, int32_t(I)});
    }
  }
  std::stable_sort(Named.begin(), Named.end(),
                   [](const TNamed& A, const TNamed& B) { return A.Position < B.Position; });
  // Names an entry's check after the images are walked: inside which image a position lies.
  const auto Inside = [&](int64_t Position) -> std::string {
    for (size_t K = 0; K < Images.size(); ++K)
      if (Position >= Images[K].Offset && Position < Images[K].Offset + Images[K].Size)
        return Format("%s lies inside image %zu", OffsetText(Position).c_str(), K + 1);
    return OffsetText(Position) + " lies inside the data before it";
  };
  size_t Next = 0;
  int64_t Position = Images.back().Offset + Images.back().Size;
  while (Position < FileSize) {
    for (; Next < Named.size() && Named[Next].Position < Position; ++Next)
      EntryChecks[size_t(Named[Next].Entry)] = {Inside(Named[Next].Position), true};
    int64_t Start = -1;
    int32_t Entry = -1;
    if (Next < Named.size() && Named[Next].Position == Position) {
      Start = Position;
      Entry = Named[Next++].Entry;
    } else if (StartsImage(Stream, Position)) {
      Start = Position;
    } else if (Next < Named.size()) {
      Start = Named[Next].Position;
      Entry = Named[Next++].Entry;
    } else {
      break;
    }
    // Two entries of one image: the second names what the first does.
    for (; Next < Named.size() && Named[Next].Position == Start; ++Next)
      EntryChecks[size_t(Named[Next].Entry)] = {Format("the image that entry %d names", Entry + 1),
                                                true};
    if (int32_t(Images.size()) >= MaxImages) {
      AddError(Position,
               Format("more than %d images; the rest of the file is shown as data", MaxImages),
               false);
      break;
    }
    if (Start > Position) {
      auto& Data = static_cast<TkivJpegTrailingData&>(
          TkivJpegTrailingData::ClassObject().Create(*this, true));
      Data.LoadPart(Stream, Position, Start - Position);
    }
    Stream.SetPosition(Start);
    const bool Ended = LoadImage(Stream, Entry);
    TImage& Image = Images.back();
    if (Entry >= 0) {
      const TkivMpEntry& E = Index.Entries[size_t(Entry)];
      Image.Type = E.Type();
      EntryChecks[size_t(Entry)] = {Format("image %zu at ", Images.size()) + OffsetText(Start),
                                    false};
      if (Ended && E.Size != Image.Size) {
        Image.SizeProblem = "The index gives " + GroupedBytes(E.Size) + "; the image runs " +
                            GroupedBytes(Image.Size);
        EntryChecks[size_t(Entry)].Text += "; it runs " + GroupedBytes(Image.Size);
        EntryChecks[size_t(Entry)].Wrong = true;
      }
    }
    if (!Ended) return;
    Position = Stream.GetPosition();
  }
  for (; Next < Named.size(); ++Next)
    EntryChecks[size_t(Named[Next].Entry)] = {Inside(Named[Next].Position), true};
  if (Position < FileSize) LoadTrailers(Stream, Position);
}

void TkivJpegFile::LoadTrailers(TStream& Stream, int64_t Position) {
  const auto Add = [&](const TkivSegment::TClass& Class, int64_t Start, int64_t End) {
    auto& Piece = static_cast<TkivJpegTrailingData&>(Class.Create(*this, true));
    Piece.LoadPart(Stream, Start, End - Start);
    return &Piece;
  };
  // Samsung's directory ends the file and says where its blocks start.
  auto Samsung = std::make_unique<TkivSamsungTrailer>();
  int64_t End = FileSize;
  try {
    if (!ReadSamsungTrailer(Stream, Position, *Samsung)) Samsung.reset();
  } catch (const EReadError&) {
    Samsung.reset();
  }
  if (Samsung) End = Samsung->Start;
  while (Position < End) {
    if (StartsMp4(Stream, Position, End)) {
      auto Video = std::make_unique<TkivMp4Video>();
      try {
        ReadMp4(Stream, Position, End, *Video);
      } catch (const EReadError&) {
        Video->Size = 0;
      }
      if (Video->Size > 0) {
        const int64_t VideoEnd = Position + Video->Size;
        TkivJpegTrailingData* Piece =
            Add(TkivJpegTrailingData::VideoClassObject(), Position, VideoEnd);
        Piece->Video = std::move(Video);
        Piece->Refresh();
        Position = VideoEnd;
        continue;
      }
    }
    Add(TkivJpegTrailingData::ClassObject(), Position, End);
    Position = End;
  }
  if (Samsung) {
    TkivJpegTrailingData* Piece =
        Add(TkivJpegTrailingData::SamsungClassObject(), Samsung->Start, FileSize);
    Piece->Samsung = std::move(Samsung);
    Piece->Refresh();
  }
}

void TkivJpegFile::LoadFromStream(TStream& Stream) {
  Clear();
  Images.clear();
  EntryChecks.clear();
  Index = {};
  IndexBase = -1;
  NamedImages = 0;
  FileSize = Stream.GetSize();
  if (!GetFirstSegmentClass().CanRead(Stream)) {
    AddError(Stream.GetPosition(), "no start-of-image marker (FF D8); the file is not read", true);
    return;
  }
  if (!LoadImage(Stream, -1)) return;
  LoadFurtherImages(Stream);
  // What each image is: as its index entry names it, or as its own segments say.
  for (size_t K = 0; K < Images.size(); ++K) {
    TImage& Image = Images[K];
    // The primary's own metadata names the gain map too: only the others are asked.
    if (K > 0) Image.Kind = KindFromSegments(*this, Image);
    if (Image.Kind.empty() && Image.Entry >= 0 && Image.Type != 0)
      Image.Kind = MpTypeText(Image.Type);
    if (Image.Kind.empty() && K == 0) Image.Kind = "primary image";
    if (Image.Kind == "baseline primary image") Image.Kind = "primary image";
  }
}

void TkivJpegFile::DecodePicture(TImage& Image) {
  if (Image.Picture || !Image.Ended || !Source) return;
  TStreamRange Bytes(*Source, Image.Offset, Image.Size);
  auto Bitmap = TkivJpegBitmap::ClassObject().Create();
  static_cast<TkivJpegBitmap&>(*Bitmap).MaxSide = SummaryPictureSide;
  try {
    Bitmap->ReadThumbnail(Bytes, WorkBudget());
  } catch (const EReadError&) {
    // What was decoded is shown; a refusal says so.
  }
  Image.Picture = std::move(Bitmap);
}

std::string TkivJpegFile::MarkerText(const TkivSegment& Segment) {
  if (Segment.Data.GetSize() < 2 || Segment.Data.Memory()[0] != 0xFF) return {};
  return Format("FF%02X", Segment.Data.Memory()[1]);
}

void TkivJpegFile::WriteContents(TkivHTMLItem& Parent, int32_t First, int32_t Last) {
  TkivHTMLTABLE& Contents = AddReportTable(Parent);
  AddTextRow(Contents, {"\xB9", "Offset", "Marker", "Description", "Size"});
  for (int32_t I = First; I < Last; ++I) {
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
}

void TkivJpegFile::WriteHTML(TkivHTMLItem& Parent) {
  AddText(Parent.Create<TkivHTMLH1>(), PageHtml(FileName), true);
  AddText(Parent, "File size: " + BytesText(FileSize));
  AddLineBreak(Parent);
  if (ReportExtension) ReportExtension->WriteListSummaryHTML(*this, Parent);
  const auto Reports = [&](int32_t First, int32_t Last) {
    for (int32_t I = First; I < Last; ++I) {
      Parent.Create<TkivHTMLA>("", Format("segment%d", I));
      WriteSegmentHTML(Segment(I), Parent);
    }
  };
  if (Images.size() <= 1) {
    WriteContents(Parent, 0, Count());
    Reports(0, Count());
    return;
  }
  // A section per image, and one for each run of pieces between or after them.
  const auto Outside = [&](int32_t First, int32_t Last) {
    if (First >= Last) return;
    int64_t Bytes = 0;
    for (int32_t I = First; I < Last; ++I)
      Bytes += Segment(I).FileSize;
    AddText(Parent.Create<TkivHTMLH1>(), "Outside the images: " + GroupedBytes(Bytes) + " at " +
                                             OffsetText(Segment(First).FileOffset));
    WriteContents(Parent, First, Last);
    Reports(First, Last);
  };
  int32_t Done = 0;
  std::string Named;
  if (NamedImages > int64_t(Images.size()))
    Named = Format(" (the index names %lld)", static_cast<long long>(NamedImages));
  for (size_t K = 0; K < Images.size(); ++K) {
    TImage& Image = Images[K];
    // The pictures of the images after the first (the summary shows the first) are decoded
    // for the page alone, at a reduced scale, read from the file in pieces.
    if (K > 0) DecodePicture(Image);
    Outside(Done, Image.First);
    Parent.Create<TkivHTMLA>("", Format("image%zu", K + 1));
    AddText(Parent.Create<TkivHTMLH1>(), Format("Image %zu of %zu", K + 1, Images.size()) + Named +
                                             ": " + (Image.Kind.empty() ? "" : Image.Kind + ", ") +
                                             GroupedBytes(Image.Size) + " at " +
                                             OffsetText(Image.Offset));
    if (!Image.SizeProblem.empty())
      AddTextCell(AddRow(AddReportTable(Parent)), Image.SizeProblem, "Red");
    if (Image.Picture) {
      TkivHTMLTABLE& Rows = AddReportTable(Parent);
      if (int64_t(Image.Picture->Width()) * Image.Picture->Height() <= 0 &&
          !Image.Picture->Refused())
        AddTextRow(
            Rows, {"Image", "No picture: " + static_cast<TkivJpegBitmap&>(*Image.Picture).Failure});
      else
        WriteThumbnailRows(Rows, *Image.Picture, false);
    }
    WriteContents(Parent, Image.First, Image.Last);
    Reports(Image.First, Image.Last);
    Done = Image.Last;
  }
  Outside(Done, Count());
}
