#include "photoshop/kivJpegAdobeResourceSegment.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "framework/kivInfoStream.h"

namespace {

// Marker, length and identifier of a piece.
constexpr int64_t PieceHeaderSize = 18;

// The payloads of the pieces a segment's data holds, read as one stream without being copied:
// a payload of many pieces is then held once, in the data. Each read seeks the data first.
class TJoinedPayloads : public TStream {
public:
  // Finds the pieces of Data from its position on, which it leaves after the last piece.
  TJoinedPayloads(TMemoryStream& Data, const TkivSegment::TClass& Class) : Data(Data) {
    while (Class.CanRead(Data)) {
      (void)ReadWord(Data, true);
      const uint16_t Length = ReadWord(Data, true);
      (void)ReadString(Data, 14);
      const int64_t N = std::min<int64_t>(uint16_t(Length - 16), BytesLeft(Data));
      Pieces.push_back({Size, Data.GetPosition()});
      Size += N;
      Data.SetPosition(Data.GetPosition() + N);
    }
  }
  int64_t GetSize() const override { return Size; }
  int64_t GetPosition() const override { return Position; }
  void SetPosition(int64_t NewPosition) override { Position = std::max<int64_t>(0, NewPosition); }
  int64_t Read(void* Buffer, int64_t Count) override {
    int64_t Done = 0;
    while (Done < Count && Position < Size) {
      // The last piece that starts at or before the position.
      const auto Piece =
          std::prev(std::upper_bound(Pieces.begin(), Pieces.end(), Position,
                                     [](int64_t P, const TPiece& Each) { return P < Each.Start; }));
      const int64_t End = std::next(Piece) != Pieces.end() ? std::next(Piece)->Start : Size;
      Data.SetPosition(Piece->Offset + (Position - Piece->Start));
      const int64_t N =
          Data.Read(static_cast<uint8_t*>(Buffer) + Done, std::min(Count - Done, End - Position));
      if (N <= 0) break;
      Done += N;
      Position += N;
    }
    return Done;
  }
  int64_t Write(const void*, int64_t) override { return 0; }

private:
  struct TPiece {
    int64_t Start;  // in the joined payload
    int64_t Offset; // in the data
  };
  TMemoryStream& Data;
  std::vector<TPiece> Pieces;
  int64_t Size = 0, Position = 0;
};

} // namespace

const TkivJpegInfoSegment::TClass& TkivJpegAdobeResourceSegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegAdobeResourceSegment> Class(
      "TkivJpegAdobeResourceSegment",
      {0xED, {"Photoshop 3.0\0", 14}, "Adobe Photoshop Resource segment", "Adobe resource"});
  return Class;
}

TkivJpegAdobeResourceSegment::TkivJpegAdobeResourceSegment(const TClass& Class)
    : TkivJpegInfoSegment(Class), Blocks(std::make_unique<TkivAdobeBlockList>()) {}

TkivJpegAdobeResourceSegment::~TkivJpegAdobeResourceSegment() {
  Blocks.reset();
}

int64_t TkivJpegAdobeResourceSegment::GetSize() const {
  const int64_t Size = Blocks->GetSize();
  const int64_t Pieces = (Size + MaxPiecePayload - 1) / MaxPiecePayload;
  return Size + Pieces * PieceHeaderSize;
}

void TkivJpegAdobeResourceSegment::LoadFromStream(TStream& Stream) {
  Modified = false;
  Data.Clear();
  // The pieces' size first, so that the data is held once, in room of its size.
  const int64_t Start = Stream.GetPosition();
  int64_t Total = 0;
  // CanRead saw the whole piece header, so every pass takes at least those 18 bytes.
  while (ClassType().CanRead(Stream)) {
    (void)ReadWord(Stream, true);
    const uint16_t Length = ReadWord(Stream, true);
    const int64_t N = std::clamp<int64_t>(Length - 2, 0, BytesLeft(Stream));
    Total += 4 + N;
    Stream.SetPosition(Stream.GetPosition() + N);
  }
  Stream.SetPosition(Start);
  Data.Reserve(Total);
  while (ClassType().CanRead(Stream)) {
    WriteWord(Data, ReadWord(Stream, true), true);
    const uint16_t Length = ReadWord(Stream, true);
    WriteWord(Data, Length, true);
    Data.CopyFrom(Stream, std::min<int64_t>(Length - 2, BytesLeft(Stream)));
  }
  ParseData();
}

void TkivJpegAdobeResourceSegment::ParseData() {
  Data.SetPosition(0);
  TJoinedPayloads Payload(Data, ClassType());
  const int64_t End = Data.GetPosition();
  Left = {};
  // The resource segment before this one in the file, if any, passed on what is left: found
  // walking back to it, so that the walks of a file's segments cover it once.
  if (Owner && Owner->Count() > 0) {
    int32_t I = Owner->Count() - 1;
    if (&Owner->Segment(I) != this) I = Owner->IndexOf(this);
    for (--I; I >= 0; --I)
      if (const auto* Before =
              dynamic_cast<const TkivJpegAdobeResourceSegment*>(&Owner->Segment(I))) {
        Left = Before->Left;
        break;
      }
  }
  Blocks->LoadFromStream(Payload, true, WorkBudget(), Left);
  Data.SetPosition(End);
  ExtraData.TakeRest();
}

void TkivJpegAdobeResourceSegment::InitDefault() {
  Modified = true;
  Data.Clear();
  ExtraData.Clear();
  TMemoryStream Payload;
  Blocks->SaveToStream(Payload);
  Payload.SetPosition(0);
  const std::string Identifier = JpegClass().GetIdentifier();
  for (int64_t Left = Payload.GetSize(); Left > 0;) {
    const int64_t Piece = std::min(MaxPiecePayload, Left);
    WriteByte(Data, 0xFF);
    WriteByte(Data, JpegClass().Marker());
    WriteWord(Data, uint16_t(int64_t(Identifier.size()) + Piece + 2), true);
    WriteString(Data, Identifier);
    Data.CopyFrom(Payload, Piece);
    Left -= Piece;
  }
}

void TkivJpegAdobeResourceSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  Blocks->WriteHTML(Parent, WorkBudget());
}

void kivJpegAdobeResourceSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegAdobeResourceSegment::ClassObject());
}
