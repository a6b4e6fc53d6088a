#include "jpeg/kivHPBitmap.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

#include "framework/kivInfoStream.h"

namespace {

// Clamped to a byte and rounded to the nearest integer, ties to even (by hand: the library's
// rounding costs more than the rest of a pixel).
uint8_t Channel(double Value) {
  const double Clamped = std::clamp(Value, 0.0, 255.0);
  int Result = int(Clamped);
  const double Fraction = Clamped - Result;
  if (Fraction > 0.5 || (Fraction == 0.5 && Result % 2 == 1)) ++Result;
  return static_cast<uint8_t>(Result);
}

double Luma(TkivColor C) {
  return 0.299 * C.R + 0.587 * C.G + 0.114 * C.B;
}

// W x H x 2 of a header; sizes that no data can fill are kept from overflowing.
int64_t PictureBytes(uint32_t Width, uint32_t Height) {
  const uint64_t Pixels = uint64_t(Width) * Height;
  return Pixels > (uint64_t(1) << 61) ? int64_t(1) << 62 : int64_t(Pixels * 2);
}

} // namespace

// ---- The bitmap ----

const kivInfo::TBitmap::TClass& TkivHPBitmap::ClassObject() {
  static const TkivClassOf<TkivHPBitmap> Class("TkivHPBitmap");
  return Class;
}

int64_t TkivHPBitmap::GetDataSize() {
  return int64_t(Width()) * Height() * 2;
}

bool TkivHPBitmap::SizePicture(uint32_t Width, uint32_t Height, TkivWorkBudget& Budget) {
  kivInfo::ClearPicture(*this);
  if (!TakePicture(Budget, Width, Height)) return false;
  SetPixelFormat(TkivPixelFormat::pf24bit);
  SetSize(int32_t(Width), int32_t(Height));
  return true;
}

void TkivHPBitmap::ResetCoder() {
  State = 0;
  Cr = 128;
  Cb = 128;
  PixelCounter = 0;
}

void TkivHPBitmap::EmitPixel() {
  const int64_t W = Width();
  if (W > 0 && PixelCounter < W * Height()) {
    const double R = Y + 1.402 * (Cr - 128), B = Y + 1.772 * (Cb - 128);
    const double G = (Y - 0.114 * B - 0.299 * R) / 0.587;
    SetPixel(int32_t(PixelCounter % W), int32_t(PixelCounter / W),
             {Channel(R), Channel(G), Channel(B)});
  }
  ++PixelCounter;
}

void TkivHPBitmap::DecodeBytes(TStream& Stream, int64_t Count) {
  const std::string Bytes = ReadString(Stream, std::clamp<int64_t>(Count, 0, BytesLeft(Stream)));
  // One change notification for the run, not one a pixel.
  std::function<void()> Notify = std::exchange(OnChange, nullptr);
  for (const char Byte : Bytes) {
    const uint8_t B = uint8_t(Byte);
    switch (State) {
    case 0:
      Cb = B;
      break;
    case 1:
      Y = B;
      break;
    case 2:
      Cr = B;
      break;
    default:
      EmitPixel();
      Y = B;
      EmitPixel();
    }
    State = (State + 1) % 4;
  }
  OnChange = std::move(Notify);
  Changed();
}

void TkivHPBitmap::EncodeBytes(TStream& Stream, int64_t Count) {
  const int64_t W = Width();
  const auto PixelAt = [&](int64_t I) {
    return W > 0 ? GetPixel(int32_t(I % W), int32_t(I / W)) : TkivColor{};
  };
  std::string Bytes;
  for (int64_t I = 0; I < Count; ++I) {
    switch (State) {
    case 0: {
      const TkivColor P0 = PixelAt(PixelCounter), P1 = PixelAt(PixelCounter + 1);
      PixelCounter += 2;
      const double Y0 = Luma(P0), Y1Value = Luma(P1);
      Cb = Channel(((P0.B - Y0) / 1.772 + (P1.B - Y1Value) / 1.772) / 2 + 128);
      Cr = Channel(((P0.R - Y0) / 1.402 + (P1.R - Y1Value) / 1.402) / 2 + 128);
      Y = Channel(Y0);
      Y1 = Channel(Y1Value);
      Bytes += char(Cb);
      break;
    }
    case 1:
      Bytes += char(Y);
      break;
    case 2:
      Bytes += char(Cr);
      break;
    default:
      Bytes += char(Y1);
    }
    State = (State + 1) % 4;
  }
  WriteString(Stream, Bytes);
}

// ---- The segments ----

TkivHPSegment::TkivHPSegment(const TClass& Class, std::vector<uint32_t> DefaultHeader,
                             int64_t PiecePixelBytes)
    : TkivJpegThumbnailSegment(Class), Header(DefaultHeader),
      DefaultHeader(std::move(DefaultHeader)), PiecePixelBytes(PiecePixelBytes) {}

TkivHPBitmap& TkivHPSegment::Bitmap() {
  if (!dynamic_cast<TkivHPBitmap*>(&Thumbnail())) SetThumbnailClass(TkivHPBitmap::ClassObject());
  return static_cast<TkivHPBitmap&>(Thumbnail());
}

int64_t TkivHPSegment::ReadPiece(TStream& Source, TStream* Destination,
                                 std::vector<uint32_t>& PieceHeader) const {
  PieceHeader = DefaultHeader;
  const std::string Identifier = JpegClass().GetIdentifier();
  const int64_t IdAndHeader = int64_t(Identifier.size()) + 4 * int64_t(PieceHeader.size());
  int64_t N = 4, Result = 0;
  if (HasBytes(Source, 4)) {
    const uint16_t MarkerWord = ReadWord(Source, true), Length = ReadWord(Source, true);
    if (Destination) {
      WriteWord(*Destination, MarkerWord, true);
      WriteWord(*Destination, Length, true);
    }
    N = int64_t(Length) - 2;
  }
  // Only a piece whose length holds the header has one: the bytes after a shorter piece
  // belong to the next.
  if (N >= IdAndHeader && HasBytes(Source, IdAndHeader)) {
    N -= IdAndHeader;
    const std::string Id = ReadString(Source, int64_t(Identifier.size()));
    if (Destination) WriteString(*Destination, Id);
    for (uint32_t& Word : PieceHeader) {
      Word = ReadLong(Source, true);
      if (Destination) WriteLong(*Destination, Word, true);
    }
    Result = N;
  }
  if (N > 0) {
    const int64_t Count = std::min(N, BytesLeft(Source));
    if (Destination)
      Destination->CopyFrom(Source, Count);
    else if (Result == 0)
      Source.SetPosition(Source.GetPosition() + Count);
  }
  return Result;
}

void TkivHPSegment::LoadFromStream(TStream& Stream) {
  Modified = false;
  Data.Clear();
  const int64_t First = ReadPiece(Stream, &Data, Header);
  int64_t Remaining = PictureBytes(PictureWidth(), PictureHeight()) - First;
  std::vector<uint32_t> PieceHeader;
  while (Remaining > 0 && JpegClass().CanRead(Stream))
    Remaining -= ReadPiece(Stream, &Data, PieceHeader);
  ParseData();
}

void TkivHPSegment::ParseData() {
  Data.SetPosition(0);
  ExtraData.Clear();
  const int64_t First = ReadPiece(Data, nullptr, Header);
  TkivHPBitmap& Picture = Bitmap();
  Picture.SizePicture(PictureWidth(), PictureHeight(), WorkBudget());
  int64_t Remaining = PictureBytes(PictureWidth(), PictureHeight()) - First;
  Picture.ResetCoder();
  Picture.DecodeBytes(Data, First);
  std::vector<uint32_t> PieceHeader;
  while (Remaining > 0 && JpegClass().CanRead(Data)) {
    const int64_t N = ReadPiece(Data, nullptr, PieceHeader);
    Remaining -= N;
    Picture.DecodeBytes(Data, N);
  }
  Refresh();
}

void TkivHPSegment::InitDefault() {
  Modified = true;
  Data.Clear();
  ExtraData.Clear();
  TkivHPBitmap& Picture = Bitmap();
  const std::string Identifier = JpegClass().GetIdentifier();
  std::vector<uint32_t> PieceHeader = Header;
  PieceHeader[1] = uint32_t(Picture.Width());
  PieceHeader[2] = uint32_t(Picture.Height());
  int64_t Total = Picture.GetDataSize();
  Picture.ResetCoder();
  for (uint32_t Piece = 1; Total > 0; ++Piece) {
    const int64_t N = std::min(Total, PiecePixelBytes);
    WriteByte(Data, 0xFF);
    WriteByte(Data, JpegClass().Marker());
    WriteWord(Data, uint16_t(int64_t(Identifier.size()) + 4 * int64_t(PieceHeader.size()) + 2 + N),
              true);
    WriteString(Data, Identifier);
    PieceHeader[4] = Piece;
    for (const uint32_t Word : PieceHeader)
      WriteLong(Data, Word, true);
    Picture.EncodeBytes(Data, N);
    Total -= N;
  }
}

void TkivHPSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  TkivHTMLTABLE& Table = AddReportTable(Parent);
  AddTextRow(Table, {"Tag", "Value"});
  WriteThumbnailRows(Table, Thumbnail(), true);
}

void TkivHPSegment::FillInfo() {
  TkivJpegThumbnailSegment::FillInfo();
  AddThumbnailInfo(*Info, Thumbnail());
  AddMailNotice(*Info);
}
