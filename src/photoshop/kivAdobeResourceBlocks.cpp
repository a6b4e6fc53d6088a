// The decoded block classes of kivAdobeResourceInfo: values, resolution, print flags, names,
// halftone screens, transfer curves, grids and guides, and the thumbnail.

#include <algorithm>

#include "framework/kivException.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "photoshop/kivAdobeResourceInfo.h"
#include "platform/kivCodePage.h"

namespace {

// The class of a decoded block: it takes the blocks of its IDs.
template <class TBlock, uint16_t... IDs> class TDecodedBlockClass : public TkivClassOf<TBlock> {
public:
  explicit TDecodedBlockClass(std::string Name) : TkivClassOf<TBlock>(std::move(Name)) {}
  bool AcceptsID(uint16_t ID) const override { return ((ID == IDs) || ...); }
};

std::string BooleanText(bool Value) {
  return Value ? "True" : "False";
}

// The table of a block with several fields, in the block's data cell, with its captions.
TkivHTMLTABLE& AddFieldTable(TkivHTMLTR& Row, std::initializer_list<std::string> Captions) {
  TkivHTMLTABLE& Table = AddReportTable(AddCell(Row));
  AddTextRow(Table, Captions);
  return Table;
}

void AddFieldRow(TkivHTMLTABLE& Table, const std::string& Label, const std::string& Value,
                 const std::string& BgColor = {}) {
  TkivHTMLTR& Row = AddRow(Table);
  AddTextCell(Row, Label);
  AddTextCell(Row, Value, BgColor);
}

std::string HTMLEscaped(const std::string& S) {
  TMemoryStream Out;
  WriteHTMLEscaped(Out, S);
  return Out.ToString();
}

// The schemes whose URLs open a page or a mail; the others (script and local ones) get no
// link.
bool IsLinkURL(const std::string& URL) {
  for (const char* Scheme : {"http:", "https:", "ftp:", "mailto:"}) {
    const std::string S(Scheme);
    if (URL.size() >= S.size() && std::equal(S.begin(), S.end(), URL.begin(), [](char A, char B) {
          return A == (B >= 'A' && B <= 'Z' ? char(B - 'A' + 'a') : B);
        }))
      return true;
  }
  return false;
}

} // namespace

// ---- Values ----

void TkivAdobeCardinalBlock::DecodeData() {
  Value = ReadLong(Data, true);
}

void TkivAdobeCardinalBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  WriteLong(Data, Value, true);
}

void TkivAdobeCardinalBlock::WriteDataHTML(TkivHTMLTR& Row) {
  AddText(AddCell(Row), std::to_string(Value));
}

void TkivAdobeStringBlock::DecodeData() {
  Value = ReadString(Data, BytesLeft(Data));
}

void TkivAdobeStringBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  WriteString(Data, Value);
}

void TkivAdobeStringBlock::WriteDataHTML(TkivHTMLTR& Row) {
  AddText(AddCell(Row), Value);
}

void TkivAdobeBooleanBlock::DecodeData() {
  Value = ReadByte(Data) != 0;
}

void TkivAdobeBooleanBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  WriteByte(Data, Value ? 1 : 0);
}

void TkivAdobeBooleanBlock::WriteDataHTML(TkivHTMLTR& Row) {
  AddText(AddCell(Row), BooleanText(Value));
}

void TkivAdobeListBlock::WriteDataHTML(TkivHTMLTR& Row) {
  TkivHTMLTD& Cell = AddCell(Row);
  for (size_t I = 0; I < Strings.size(); ++I) {
    if (I > 0) AddLineBreak(Cell);
    AddText(Cell, Strings[I]);
  }
}

// ---- Print flags information (10000) ----

const TkivAdobeBlock::TClass& TkivAdobePrintFlagsInfoBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobePrintFlagsInfoBlock, 10000> Class(
      "TkivAdobePrintFlagsInfoBlock");
  return Class;
}

TkivAdobePrintFlagsInfoBlock::TkivAdobePrintFlagsInfoBlock(const TClass& Class)
    : TkivAdobeKnown8BIMBlock(Class) {
  SetDefaults();
}

void TkivAdobePrintFlagsInfoBlock::SetDefaults() {
  Version = 1;
  CenterCropMarks = false;
  Reserved = 0;
  BleedWidth = 0;
  BleedUnit = 1;
}

void TkivAdobePrintFlagsInfoBlock::DecodeData() {
  SetDefaults();
  Version = ReadWord(Data, true);
  CenterCropMarks = ReadByte(Data) != 0;
  Reserved = ReadByte(Data);
  BleedWidth = ReadLong(Data, true);
  BleedUnit = ReadWord(Data, true);
}

void TkivAdobePrintFlagsInfoBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  WriteWord(Data, Version, true);
  WriteByte(Data, CenterCropMarks ? 1 : 0);
  WriteByte(Data, Reserved);
  WriteLong(Data, BleedWidth, true);
  WriteWord(Data, BleedUnit, true);
}

void TkivAdobePrintFlagsInfoBlock::WriteDataHTML(TkivHTMLTR& Row) {
  TkivHTMLTABLE& Table = AddFieldTable(Row, {"Field", "Value"});
  AddFieldRow(Table, "Version", std::to_string(Version));
  AddFieldRow(Table, "Center crop marks", BooleanText(CenterCropMarks));
  std::string Bleed;
  switch (BleedUnit) {
  case 1:
    Bleed = FormatReal(3, BleedWidth / 65536.0L);
    break;
  case 2:
    Bleed = FormatReal(2, BleedWidth / 2580.0L);
    break;
  case 3:
    Bleed = FormatReal(2, BleedWidth / 910.0L);
    break;
  default:
    Bleed = std::to_string(BleedWidth);
  }
  AddFieldRow(Table, "Bleed width", Bleed);
  AddFieldRow(Table, "Bleed Unit", UnitName(BleedUnit), YellowColorIf(!IsUnit(BleedUnit)));
}

// ---- Resolution (1005) ----

const TkivAdobeBlock::TClass& TkivAdobeResolutionInfoBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeResolutionInfoBlock, 1005> Class(
      "TkivAdobeResolutionInfoBlock");
  return Class;
}

TkivAdobeResolutionInfoBlock::TkivAdobeResolutionInfoBlock(const TClass& Class)
    : TkivAdobeKnown8BIMBlock(Class) {
  SetDefaults();
}

void TkivAdobeResolutionInfoBlock::SetDefaults() {
  hRes = vRes = FloatToFixed(72.0L);
  hResUnit = widthUnit = vResUnit = heightUnit = 1;
}

void TkivAdobeResolutionInfoBlock::DecodeData() {
  SetDefaults();
  hRes = ReadFixed(Data);
  hResUnit = ReadWord(Data, true);
  widthUnit = ReadWord(Data, true);
  vRes = ReadFixed(Data);
  vResUnit = ReadWord(Data, true);
  heightUnit = ReadWord(Data, true);
}

void TkivAdobeResolutionInfoBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  WriteFixed(Data, hRes);
  WriteWord(Data, hResUnit, true);
  WriteWord(Data, widthUnit, true);
  WriteFixed(Data, vRes);
  WriteWord(Data, vResUnit, true);
  WriteWord(Data, heightUnit, true);
}

void TkivAdobeResolutionInfoBlock::WriteDataHTML(TkivHTMLTR& Row) {
  TkivHTMLTABLE& Table = AddFieldTable(Row, {"Field", "Value"});
  AddFieldRow(Table, "hRes", FormatFixed(hRes, 3));
  AddFieldRow(Table, "hResUnit", UnitName(hResUnit), YellowColorIf(!IsResolutionUnit(hResUnit)));
  AddFieldRow(Table, "widthUnit", UnitName(widthUnit), YellowColorIf(!IsUnit(widthUnit)));
  AddFieldRow(Table, "vRes", FormatFixed(vRes, 3));
  AddFieldRow(Table, "vResUnit", UnitName(vResUnit), YellowColorIf(!IsResolutionUnit(vResUnit)));
  AddFieldRow(Table, "heightUnit", UnitName(heightUnit), YellowColorIf(!IsUnit(heightUnit)));
}

// ---- Border (1009) ----

const TkivAdobeBlock::TClass& TkivAdobeBorderInfoBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeBorderInfoBlock, 1009> Class("TkivAdobeBorderInfoBlock");
  return Class;
}

void TkivAdobeBorderInfoBlock::DecodeData() {
  Width = 0;
  Unit = 1;
  Width = ReadFixed(Data);
  Unit = ReadWord(Data, true);
}

void TkivAdobeBorderInfoBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  WriteFixed(Data, Width);
  WriteWord(Data, Unit, true);
}

void TkivAdobeBorderInfoBlock::WriteDataHTML(TkivHTMLTR& Row) {
  TkivHTMLTABLE& Table = AddFieldTable(Row, {"Field", "Value"});
  AddFieldRow(Table, "Width", FormatFixed(Width, 3));
  AddFieldRow(Table, "Unit", UnitName(Unit), YellowColorIf(!IsUnit(Unit)));
}

// ---- Print flags (1011) ----

const TkivAdobeBlock::TClass& TkivAdobePrintFlagsBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobePrintFlagsBlock, 1011> Class("TkivAdobePrintFlagsBlock");
  return Class;
}

uint8_t TkivAdobePrintFlagsBlock::Flag(size_t I) {
  if (I >= Flags.size()) Flags.resize(I + 1, 0);
  return Flags[I];
}

void TkivAdobePrintFlagsBlock::DecodeData() {
  // As many flags as there are bytes: the count is the data's own size.
  Flags.assign(size_t(Data.GetSize()), 0);
  for (uint8_t& F : Flags)
    F = ReadByte(Data);
}

void TkivAdobePrintFlagsBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  if (Flags.size() < 8) Flags.resize(8, 0);
  Data.WriteBuffer(Flags.data(), int64_t(Flags.size()));
}

uint32_t TkivAdobePrintFlagsBlock::GetDataSize() {
  return uint32_t(std::max<size_t>(8, Flags.size()));
}

void TkivAdobePrintFlagsBlock::WriteDataHTML(TkivHTMLTR& Row) {
  static const char* const Labels[8] = {
      "Labels",   "Corner Crop Marks", "Calibration Bars", "Registration Marks",
      "Negitive", "Emulsion Down",     "Interpolation",    "Caption"};
  TkivHTMLTABLE& Table = AddFieldTable(Row, {"Field", "Value"});
  for (size_t I = 0; I < 8; ++I)
    AddFieldRow(Table, Labels[I], BooleanText(Flag(I) != 0));
  for (size_t I = 8; I < Flags.size(); ++I) {
    TkivHTMLTR& FlagRow = AddRow(Table);
    AddTextCell(FlagRow, "Field " + std::to_string(I), "Yellow");
    AddTextCell(FlagRow, BooleanText(Flags[I] != 0));
  }
}

// ---- Channel names (1006, 1045) ----

const TkivAdobeBlock::TClass& TkivAdobeAlphaChannelNamesBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeAlphaChannelNamesBlock, 1006> Class(
      "TkivAdobeAlphaChannelNamesBlock");
  return Class;
}

void TkivAdobeAlphaChannelNamesBlock::DecodeData() {
  Strings.clear();
  while (HasBytes(Data, 1))
    Strings.push_back(ReadCountedString(Data));
}

void TkivAdobeAlphaChannelNamesBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  Data.Clear();
  for (const std::string& S : Strings)
    WriteCountedString(Data, S);
}

const TkivAdobeBlock::TClass& TkivAdobeUnicodeAlphaChannelNamesBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeUnicodeAlphaChannelNamesBlock, 1045> Class(
      "TkivAdobeUnicodeAlphaChannelNamesBlock");
  return Class;
}

void TkivAdobeUnicodeAlphaChannelNamesBlock::DecodeData() {
  Strings.clear();
  while (HasBytes(Data, 1)) {
    const uint32_t Length = ReadLong(Data, true);
    // A length the data cannot hold fails at once, at the end of the data.
    if (int64_t(Length) * 2 > BytesLeft(Data)) {
      Data.SetPosition(Data.GetSize());
      throw EReadError();
    }
    Strings.push_back(kivPlatform::WideToAnsi(ReadWideString(Data, int64_t(Length) * 2, true)));
  }
}

// ---- URL (1035), copyright (1034), angle (1037), altitude (1049) ----

const TkivAdobeBlock::TClass& TkivAdobeURLBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeURLBlock, 1035> Class("TkivAdobeURLBlock");
  return Class;
}

void TkivAdobeURLBlock::WriteDataHTML(TkivHTMLTR& Row) {
  TkivHTMLTD& Cell = AddCell(Row);
  if (!IsLinkURL(Value)) {
    AddText(Cell, Value);
    return;
  }
  // The attribute value is escaped like every text of the page, so that no quote of the URL
  // ends it.
  AddText(Cell, "<A HREF=\"" + HTMLEscaped(Value) + "\" TARGET=_blank>", true);
  AddText(Cell, Value);
  AddText(Cell, "</A>", true);
}

const TkivAdobeBlock::TClass& TkivAdobeCopyRightBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeCopyRightBlock, 1034> Class("TkivAdobeCopyRightBlock");
  return Class;
}

const TkivAdobeBlock::TClass& TkivAdobeGlobalAngleBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeGlobalAngleBlock, 1037> Class(
      "TkivAdobeGlobalAngleBlock");
  return Class;
}

TkivAdobeGlobalAngleBlock::TkivAdobeGlobalAngleBlock(const TClass& Class)
    : TkivAdobeCardinalBlock(Class) {
  Value = 30;
}

void TkivAdobeGlobalAngleBlock::WriteDataHTML(TkivHTMLTR& Row) {
  TkivHTMLTD& Cell = AddColorCell(Row, RedColorIf(Value >= 360));
  AddText(Cell, std::to_string(Value));
  AddText(Cell, "&#176", true);
}

const TkivAdobeBlock::TClass& TkivAdobeGlobalAltitudeBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeGlobalAltitudeBlock, 1049> Class(
      "TkivAdobeGlobalAltitudeBlock");
  return Class;
}

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
  // Each guide is read before it is stored, so a count larger than the data stops at the
  // data's end, having held only what was there.
  for (uint32_t I = 0; I < Count; ++I) {
    TGuide Guide;
    Guide.Location = ReadLong(Data, true);
    Guide.Direction = ReadByte(Data);
    Guides.push_back(Guide);
  }
}

void TkivAdobeGridGuidesInfoBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
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
  if (Guides.empty()) return;
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
