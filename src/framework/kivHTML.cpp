#include "framework/kivHTML.h"

#include <algorithm>

#include "framework/kivInfoStream.h"

namespace {
// Appends one attribute, separated from the previous by a space.
void Append(std::string& S, const std::string& Attribute) {
  if (!S.empty()) S += ' ';
  S += Attribute;
}

void AppendAlign(std::string& S, TkivHTMLAlign Align) {
  static const char* const Texts[] = {"", "ALIGN=\"LEFT\"", "ALIGN=\"RIGHT\"", "ALIGN=\"CENTER\""};
  if (Align != haNone && Align <= haCenter) Append(S, Texts[Align]);
}

void AppendVAlign(std::string& S, TkivHTMLVAlign VAlign) {
  static const char* const Texts[] = {"", "VALIGN=\"TOP\"", "VALIGN=\"BOTTOM\"",
                                      "VALIGN=\"MIDDLE\""};
  if (VAlign != vaNone && VAlign <= vaMiddle) Append(S, Texts[VAlign]);
}

void AppendNumber(std::string& S, const char* Name, int32_t Value, bool InPercent = false) {
  if (Value != 0) Append(S, Name + std::to_string(Value) + (InPercent ? "%" : ""));
}

void AppendQuoted(std::string& S, const char* Name, const std::string& Value) {
  if (!Value.empty()) Append(S, Name + ("\"" + Value + "\""));
}

std::string WithLeadingSpace(const std::string& Attributes) {
  return Attributes.empty() ? Attributes : " " + Attributes;
}

// The attributes that cells and tables share, in the order both write them.
template <class TOptions> void AppendColorAlignSize(std::string& S, const TOptions& O) {
  AppendQuoted(S, "BGCOLOR=", O.BgColor);
  AppendAlign(S, O.Align);
  AppendVAlign(S, O.VAlign);
  AppendNumber(S, "WIDTH=", O.Size.Width, O.Size.WidthInPercent);
  AppendNumber(S, "HEIGHT=", O.Size.Height, O.Size.HeightInPercent);
}
} // namespace

void TkivHTMLItem::WriteToStream(TStream& Stream) const {
  WriteOpenTag(Stream);
  for (int32_t I = 0; I < Count(); ++I)
    GetChild(I).WriteToStream(Stream);
  WriteCloseTag(Stream);
}

void TkivHTMLItem::WriteOpenTag(TStream& Stream) const {
  std::string S = "\r";
  S.append(Indent()).append("<").append(GetTagName()).append(WithLeadingSpace(GetAttributes()));
  S.append(">").append(GetOpenTagSuffix());
  WriteString(Stream, S);
}

void TkivHTMLItem::WriteCloseTag(TStream& Stream) const {
  std::string S = Indent();
  S.append("</").append(GetTagName()).append(">\r");
  WriteString(Stream, S);
}

int32_t TkivHTMLItem::IndexOfClass(const std::type_info& Class, int32_t StartIndex) const {
  for (int32_t I = std::max(StartIndex, 0); I < Count(); ++I) {
    const TkivHTMLItem& Child = GetChild(I);
    if (typeid(Child) == Class) return I;
  }
  return -1;
}

std::string TkivHTMLItem::Indent() const {
  std::string S = "  ";
  for (const TkivHTMLItem* P = Parent; P; P = P->Parent)
    S += "  ";
  return S;
}

void TkivHTMLText::WriteToStream(TStream& Stream) const {
  if (IsHTML)
    WriteString(Stream, Text);
  else
    WriteHTMLEscaped(Stream, Text);
}

void TkivHTMLSimple::WriteOpenTag(TStream& Stream) const {
  std::string S = "<";
  S.append(GetTagName()).append(WithLeadingSpace(GetAttributes())).append(">");
  WriteString(Stream, S);
}

void TkivHTMLSimple::WriteCloseTag(TStream& Stream) const {
  std::string S = "</";
  S.append(GetTagName()).append(">");
  WriteString(Stream, S);
}

std::string TkivHTMLH1::GetAttributes() const {
  std::string S;
  AppendAlign(S, Align);
  return S;
}

std::string TkivHTMLTD::GetAttributes() const {
  std::string S;
  AppendNumber(S, "COLSPAN=", Options.ColSpan);
  AppendNumber(S, "ROWSPAN=", Options.RowSpan);
  AppendColorAlignSize(S, Options);
  if (Options.NoWrap) Append(S, "NOWRAP");
  AppendQuoted(S, "BACKGROUNF=", Options.Background);
  return S;
}

std::string TkivHTMLTR::GetAttributes() const {
  std::string S;
  AppendAlign(S, Options.Align);
  AppendVAlign(S, Options.VAlign);
  AppendQuoted(S, "BGCOLOR=", Options.BgColor);
  return S;
}

std::string TkivHTMLTABLE::GetAttributes() const {
  std::string S;
  AppendNumber(S, "BORDER=", Options.Border);
  AppendNumber(S, "CELLPADDING=", Options.CellPadding);
  AppendNumber(S, "CELLSPACING=", Options.CellSpacing);
  AppendColorAlignSize(S, Options);
  AppendQuoted(S, "BACKGROUNF=", Options.Background);
  return S;
}

std::string TkivHTMLIMG::GetAttributes() const {
  std::string S;
  AppendQuoted(S, "SRC=", Options.Src);
  AppendQuoted(S, "ALT=", Options.Alt);
  AppendNumber(S, "WIDTH=", Options.Width);
  AppendNumber(S, "HEIGHT=", Options.Height);
  return S;
}

std::string TkivHTMLA::GetAttributes() const {
  std::string S;
  AppendQuoted(S, "HREF=", HRef);
  AppendQuoted(S, "NAME=", Name);
  return S;
}

TkivHTMLHTML::TkivHTMLHTML() {
  Create<TkivHTMLHEAD>();
  Create<TkivHTMLBODY>();
}

void TkivHTMLHTML::WriteOpenTag(TStream& Stream) const {
  WriteString(Stream, "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r"
                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                      "CHARSET=windows-1251\">\r");
  TkivHTMLItem::WriteOpenTag(Stream);
}

TkivHTMLBODY& TkivHTMLHTML::Body() const {
  return static_cast<TkivHTMLBODY&>(GetChild(IndexOfClass(typeid(TkivHTMLBODY))));
}

TkivHTMLText& AddText(TkivHTMLItem& Parent, const std::string& Text, bool IsHTML) {
  return Parent.Create<TkivHTMLText>(Text, IsHTML);
}

TkivHTMLP& AddParagraph(TkivHTMLItem& Parent) {
  return Parent.Create<TkivHTMLP>();
}

TkivHTMLBR& AddLineBreak(TkivHTMLItem& Parent) {
  return Parent.Create<TkivHTMLBR>();
}

TkivHTMLPRE& AddPre(TkivHTMLItem& Parent) {
  return Parent.Create<TkivHTMLPRE>();
}

TkivHTMLTR& AddRow(TkivHTMLTABLE& Table, TkivHTMLRowOptions Options) {
  return Table.Create<TkivHTMLTR>(std::move(Options));
}

TkivHTMLTD& AddCell(TkivHTMLTR& Row, TkivHTMLCellOptions Options) {
  return Row.Create<TkivHTMLTD>(std::move(Options));
}

TkivHTMLTD& AddColorCell(TkivHTMLTR& Row, const std::string& BgColor, TkivHTMLCellOptions Options) {
  Options.BgColor = BgColor;
  return AddCell(Row, std::move(Options));
}

TkivHTMLIMG& AddImage(TkivHTMLItem& Parent, const std::string& Src, const std::string& Alt,
                      int32_t Width, int32_t Height) {
  return Parent.Create<TkivHTMLIMG>(TkivHTMLImageOptions{Src, Alt, Width, Height});
}

std::string YellowColorIf(bool Flag) {
  return Flag ? "Yellow" : "";
}

std::string RedColorIf(bool Flag) {
  return Flag ? "Red" : "";
}
