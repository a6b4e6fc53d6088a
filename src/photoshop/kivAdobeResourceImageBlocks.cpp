// The decoded block classes of kivAdobeResourceInfo that describe the image: halftone screens,
// transfer curves, grids and guides, and the thumbnail.

#include <algorithm>

#include "base/kivException.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "photoshop/kivAdobeBlockSupport.h"
#include "photoshop/kivAdobeResourceInfo.h"
#include "platform/kivCodePage.h"

using namespace kivAdobeBlocks;

// ---- Colour halftoning (1013) ----

const TkivAdobeBlock::TClass& TkivAdobeColorHalftoningBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeColorHalftoningBlock, 1013> Class(
      "TkivAdobeColorHalftoningBlock");
  return Class;
}

namespace {
const char* const ChannelLabels[4] = {"C", "M", "Y", "B"};
}

void TkivAdobeColorHalftoningBlock::SetCustomShape(size_t Screen, const std::string& Shape) {
  CustomShapes.at(Screen) = Shape;
  if (!Shape.empty()) Screens.at(Screen).ShapeCode = static_cast<int16_t>(-int32_t(Shape.size()));
}

void TkivAdobeColorHalftoningBlock::DecodeData() {
  for (TScreen& S : Screens) {
    S.Frequency = ReadFixed(Data);
    S.Units = ReadWord(Data, true);
    S.Angle = ReadFixed(Data);
    S.ShapeCode = static_cast<int16_t>(ReadWord(Data, true));
    S.Mics = ReadLong(Data, true);
    S.Accurate = ReadByte(Data) != 0;
    S.Default = ReadByte(Data) != 0;
  }
  for (size_t I = 0; I < Screens.size(); ++I) {
    if (Screens[I].ShapeCode < 0)
      SetCustomShape(I, ReadString(Data, -int32_t(Screens[I].ShapeCode)));
    else
      CustomShapes[I].clear();
  }
}

void TkivAdobeColorHalftoningBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  for (const TScreen& S : Screens) {
    WriteFixed(Data, S.Frequency);
    WriteWord(Data, S.Units, true);
    WriteFixed(Data, S.Angle);
    WriteWord(Data, static_cast<uint16_t>(S.ShapeCode), true);
    WriteLong(Data, S.Mics, true);
    WriteByte(Data, S.Accurate ? 1 : 0);
    WriteByte(Data, S.Default ? 1 : 0);
  }
  for (size_t I = 0; I < Screens.size(); ++I)
    if (Screens[I].ShapeCode < 0) WriteString(Data, CustomShapes[I]);
}

uint32_t TkivAdobeColorHalftoningBlock::GetDataSize() {
  uint32_t Size = 72;
  for (const std::string& Shape : CustomShapes)
    Size += uint32_t(Shape.size());
  return Size;
}

void TkivAdobeColorHalftoningBlock::WriteDataHTML(TkivHTMLTR& Row) {
  TkivHTMLTABLE& Table = AddFieldTable(
      Row, {"Field", "Frequency", "Units", "Angle", "ShapeCode", "Mics", "Accurate", "Default"});
  for (size_t I = 0; I < Screens.size(); ++I) {
    const TScreen& S = Screens[I];
    TkivHTMLTR& ScreenRow = AddRow(Table);
    AddTextCell(ScreenRow, ChannelLabels[I]);
    AddTextCell(ScreenRow, FormatFixed(S.Frequency, 3));
    AddTextCell(ScreenRow, UnitName(S.Units), RedColorIf(!IsResolutionUnit(S.Units)));
    const long double Angle = FixedToFloat(S.Angle);
    AddTextCell(ScreenRow, FormatFixed(S.Angle, 4), RedColorIf(Angle < -180 || Angle > 180));
    if (S.ShapeCode >= 0)
      AddTextCell(ScreenRow, ShapeName(S.ShapeCode), RedColorIf(!IsShape(S.ShapeCode)));
    else
      AddText(AddPre(AddCell(ScreenRow)), CustomShapes[I]);
    AddTextCell(ScreenRow, std::to_string(S.Mics));
    AddTextCell(ScreenRow, BooleanText(S.Accurate));
    AddTextCell(ScreenRow, BooleanText(S.Default));
  }
}

// ---- Colour transfer (1016) ----

const TkivAdobeBlock::TClass& TkivAdobeColorTransferBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeColorTransferBlock, 1016> Class(
      "TkivAdobeColorTransferBlock");
  return Class;
}

void TkivAdobeColorTransferBlock::DecodeData() {
  for (auto& Curve : Points) {
    for (uint16_t& Point : Curve) {
      const uint16_t V = ReadWord(Data, true);
      Point = V > 1000 && V < 65535 ? 1000 : V;
    }
    (void)ReadWord(Data, true); // the override word
  }
}

void TkivAdobeColorTransferBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  for (const auto& Curve : Points) {
    for (uint16_t Point : Curve)
      WriteWord(Data, Point, true);
    WriteWord(Data, 0, true);
  }
}

void TkivAdobeColorTransferBlock::WriteDataHTML(TkivHTMLTR& Row) {
  static const int Positions[13] = {0, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 95, 100};
  TkivHTMLTABLE& Table = AddReportTable(AddCell(Row));
  TkivHTMLTR& Heading = AddRow(Table);
  AddTextCell(Heading, "Position");
  for (int P : Positions)
    AddTextCell(Heading, std::to_string(P));
  const auto AddCurveRow = [&](const char* Label, const std::array<uint16_t, 13>& Curve) {
    TkivHTMLTR& CurveRow = AddRow(Table);
    AddTextCell(CurveRow, Label);
    for (uint16_t Point : Curve) {
      TkivHTMLTD& Cell = AddCell(CurveRow);
      if (Point != 65535) AddText(Cell, FormatReal(3, Point / 10.0L));
    }
  };
  if (std::all_of(Points.begin(), Points.end(), [&](const auto& C) { return C == Points[0]; })) {
    AddCurveRow("CMYB", Points[0]);
  } else {
    for (size_t I = 0; I < Points.size(); ++I)
      AddCurveRow(ChannelLabels[I], Points[I]);
  }
}

// ---- Grid and guides (1032) ----

const TkivAdobeBlock::TClass& TkivAdobeGridGuidesInfoBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeGridGuidesInfoBlock, 1032> Class(
      "TkivAdobeGridGuidesInfoBlock");
  return Class;
}

void TkivAdobeGridGuidesInfoBlock::DecodeData() {
  Version = 1;
  GridCycle1 = GridCycle2 = 576;
  Guides.clear();
  Version = ReadLong(Data, true);
  GridCycle1 = ReadLong(Data, true);
  GridCycle2 = ReadLong(Data, true);
  const uint32_t Count = ReadLong(Data, true);
  // The whole guides the data hold, of which those the list allows are held; the rest are
  // passed over and counted. A count larger than the data then stops at the data's end.
  const int64_t Whole = std::min<int64_t>(Count, BytesLeft(Data) / 5);
  const int64_t Held = TakeValues(Whole);
  Guides.reserve(size_t(Held));
  for (int64_t I = 0; I < Held; ++I) {
    TGuide Guide;
    Guide.Location = ReadLong(Data, true);
    Guide.Direction = ReadByte(Data);
    Guides.push_back(Guide);
  }
  ValuesLeftOut = Whole - Held;
  Data.SetPosition(Data.GetPosition() + 5 * ValuesLeftOut);
  if (Count > Whole) {
    Data.SetPosition(Data.GetSize());
    throw EReadError();
  }
}

void TkivAdobeGridGuidesInfoBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  if (ValuesLeftOut > 0) return;
  Data.Clear();
  WriteLong(Data, Version, true);
  WriteLong(Data, GridCycle1, true);
  WriteLong(Data, GridCycle2, true);
  WriteLong(Data, Count(), true);
  for (const TGuide& Guide : Guides) {
    WriteLong(Data, Guide.Location, true);
    WriteByte(Data, Guide.Direction);
  }
}

void TkivAdobeGridGuidesInfoBlock::WriteDataHTML(TkivHTMLTR& Row) {
  TkivHTMLTD& Cell = AddCell(Row);
  TkivHTMLTABLE& Fields = AddReportTable(Cell);
  AddTextRow(Fields, {"Field", "Value"});
  AddFieldRow(Fields, "Version", std::to_string(Version));
  AddFieldRow(Fields, "GridCycle1", std::to_string(GridCycle1));
  AddFieldRow(Fields, "GridCycle2", std::to_string(GridCycle2));
  AddFieldRow(Fields, "Count", std::to_string(Count()));
  if (Count() == 0) return;
  TkivHTMLTABLE& Table = AddReportTable(Cell);
  AddTextRow(Table, {"\xB9", "Location", "Direction"});
  for (size_t I = 0; I < Guides.size(); ++I) {
    TkivHTMLTR& GuideRow = AddRow(Table);
    AddTextCell(GuideRow, std::to_string(I));
    AddTextCell(GuideRow, std::to_string(Guides[I].Location));
    switch (Guides[I].Direction) {
    case 0:
      AddTextCell(GuideRow, "Vertical");
      break;
    case 1:
      AddTextCell(GuideRow, "Horizontal");
      break;
    default:
      AddTextCell(GuideRow, FormatCannotDecode(std::to_string(Guides[I].Direction)), "Yellow");
    }
  }
  if (ValuesLeftOut > 0)
    AddTextCell(AddRow(Table), ValuesNotShownText(ValuesLeftOut, "guides"), {.ColSpan = 3});
}

// ---- Thumbnail (1036, 1033) ----

const TkivAdobeBlock::TClass& TkivAdobeThumbnailBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeThumbnailBlock, 1036, 1033> Class(
      "TkivAdobeThumbnailBlock");
  return Class;
}

TkivAdobeThumbnailBlock::TkivAdobeThumbnailBlock(const TClass& Class)
    : TkivAdobeKnown8BIMBlock(Class),
      Bitmap(std::make_unique<TkivJpegBitmap>(TkivJpegBitmap::ClassObject())) {
  Bitmap->Owner = this;
  SetDefaults();
}

TkivAdobeThumbnailBlock::~TkivAdobeThumbnailBlock() = default;

uint32_t TkivAdobeThumbnailBlock::RowBytes() const {
  return uint32_t((uint64_t(BitPixel) * uint64_t(Bitmap->Width()) + 31) / 32 * 4);
}

void TkivAdobeThumbnailBlock::SetDefaults() {
  Format = 1;
  Width = uint32_t(Bitmap->Width());
  Height = uint32_t(Bitmap->Height());
  BitPixel = 24;
  Planes = 1;
  WidthBytes = RowBytes();
  Size = WidthBytes * Height * Planes;
  CompressedSize = uint32_t(Bitmap->GetDataSize());
}

void TkivAdobeThumbnailBlock::DecodeData() {
  Format = ReadLong(Data, true);
  Width = ReadLong(Data, true);
  Height = ReadLong(Data, true);
  WidthBytes = ReadLong(Data, true);
  Size = ReadLong(Data, true);
  CompressedSize = ReadLong(Data, true);
  BitPixel = ReadWord(Data, true);
  Planes = ReadWord(Data, true);
  if (Format == 1) {
    Bitmap->BlueRedOrder = ID == 1033;
    // A block read on its own is a report of its own.
    TkivWorkBudget Own;
    kivInfo::LoadThumbnail(*Bitmap, Data, Budget ? *Budget : Own);
  } else {
    kivInfo::ClearPicture(*Bitmap);
  }
}

void TkivAdobeThumbnailBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  SetDefaults();
  for (uint32_t Field : {Format, Width, Height, WidthBytes, Size, CompressedSize})
    WriteLong(Data, Field, true);
  WriteWord(Data, BitPixel, true);
  WriteWord(Data, Planes, true);
  kivInfo::SaveThumbnail(*Bitmap, Data);
}

uint32_t TkivAdobeThumbnailBlock::GetDataSize() {
  return 28 + uint32_t(Bitmap->GetDataSize());
}

void TkivAdobeThumbnailBlock::WriteDataHTML(TkivHTMLTR& Row) {
  const uint64_t PictureWidth = uint64_t(Bitmap->Width()),
                 PictureHeight = uint64_t(Bitmap->Height());
  const uint64_t Stride = (uint64_t(BitPixel) * PictureWidth + 31) / 32 * 4;
  TkivHTMLTABLE& Table = AddFieldTable(Row, {"Tag", "Value"});
  AddFieldRow(Table, "Format", ThumbnailFormatName(Format), YellowColorIf(Format > 1));
  AddFieldRow(Table, "Width", std::to_string(Width), RedColorIf(Width != PictureWidth));
  AddFieldRow(Table, "Height", std::to_string(Height), RedColorIf(Height != PictureHeight));
  AddFieldRow(Table, "WidthBytes", std::to_string(WidthBytes), RedColorIf(WidthBytes != Stride));
  AddFieldRow(Table, "Size", std::to_string(Size),
              RedColorIf(Size != Stride * PictureHeight * Planes));
  AddFieldRow(Table, "CompressedSize", std::to_string(CompressedSize),
              RedColorIf(int64_t(CompressedSize) != Bitmap->GetDataSize()));
  AddFieldRow(Table, "BitPixel", std::to_string(BitPixel));
  AddFieldRow(Table, "Planes", std::to_string(Planes));
  WriteThumbnailRows(Table, *Bitmap, true);
}
