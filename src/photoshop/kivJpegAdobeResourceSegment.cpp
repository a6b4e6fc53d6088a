#include "photoshop/kivJpegAdobeResourceSegment.h"

#include <algorithm>
#include <string>

#include "framework/kivInfoStream.h"

namespace {

// Marker, length and identifier of a piece.
constexpr int64_t PieceHeaderSize = 18;

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
  // CanRead saw the whole piece header, so every pass takes at least those 18 bytes.
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
  TMemoryStream Payload;
  while (ClassType().CanRead(Data)) {
    (void)ReadWord(Data, true);
    const uint16_t Length = ReadWord(Data, true);
    (void)ReadString(Data, 14);
    Payload.CopyFrom(Data, std::min<int64_t>(uint16_t(Length - 16), BytesLeft(Data)));
  }
  Payload.SetPosition(0);
  Blocks->LoadFromStream(Payload, true, WorkBudget());
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
