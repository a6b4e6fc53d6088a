// The decoded block classes of kivAdobeResourceInfo: values, resolution, print flags, border,
// names, URL, copyright, angle and altitude.

#include <algorithm>

#include "base/kivException.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "photoshop/kivAdobeBlockSupport.h"
#include "photoshop/kivAdobeResourceInfo.h"
#include "platform/kivCodePage.h"

using namespace kivAdobeBlocks;

namespace {

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
  if (ValuesLeftOut == 0) return;
  if (!Strings.empty()) AddLineBreak(Cell);
  AddText(Cell, ValuesNotShownText(ValuesLeftOut, "names"));
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
  // As many flags as there are bytes: the count is the data's own size. The eight named ones
  // are always held, those after them as the list allows.
  const int64_t Size = Data.GetSize();
  const int64_t Held = std::min<int64_t>(Size, 8) + TakeValues(Size - 8);
  Flags.assign(size_t(Held), 0);
  for (uint8_t& F : Flags)
    F = ReadByte(Data);
  ValuesLeftOut = Size - Held;
  Data.SetPosition(Size);
}

void TkivAdobePrintFlagsBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  if (ValuesLeftOut > 0) return;
  Data.Clear();
  if (Flags.size() < 8) Flags.resize(8, 0);
  Data.WriteBuffer(Flags.data(), int64_t(Flags.size()));
}

uint32_t TkivAdobePrintFlagsBlock::GetDataSize() {
  return uint32_t(std::max<int64_t>(8, int64_t(Flags.size()) + ValuesLeftOut));
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
  if (ValuesLeftOut > 0)
    AddTextCell(AddRow(Table), ValuesNotShownText(ValuesLeftOut, "flags"), {.ColSpan = 2});
}

// ---- Channel names (1006, 1045) ----

const TkivAdobeBlock::TClass& TkivAdobeAlphaChannelNamesBlock::ClassObject() {
  static const TDecodedBlockClass<TkivAdobeAlphaChannelNamesBlock, 1006> Class(
      "TkivAdobeAlphaChannelNamesBlock");
  return Class;
}

void TkivAdobeAlphaChannelNamesBlock::DecodeData() {
  Strings.clear();
  while (HasBytes(Data, 1)) {
    if (TakeValues(1) == 1) {
      Strings.push_back(ReadCountedString(Data));
      continue;
    }
    // Passed over as reading it would: a length beyond the data fails at the data's end.
    ++ValuesLeftOut;
    const uint8_t Length = ReadByte(Data);
    if (Length > BytesLeft(Data)) {
      Data.SetPosition(Data.GetSize());
      throw EReadError();
    }
    Data.SetPosition(Data.GetPosition() + Length);
  }
}

void TkivAdobeAlphaChannelNamesBlock::PrepareSave() {
  TkivAdobeKnown8BIMBlock::PrepareSave();
  if (ValuesLeftOut > 0) return;
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
    if (TakeValues(1) == 1) {
      Strings.push_back(kivPlatform::WideToAnsi(ReadWideString(Data, int64_t(Length) * 2, true)));
    } else {
      ++ValuesLeftOut;
      Data.SetPosition(Data.GetPosition() + int64_t(Length) * 2);
    }
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
