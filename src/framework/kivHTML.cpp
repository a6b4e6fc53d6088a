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
  AppendNumber(S, "COLSPAN=", ColSpan);
  AppendNumber(S, "ROWSPAN=", RowSpan);
  AppendQuoted(S, "BGCOLOR=", BgColor);
  AppendAlign(S, Align);
  AppendVAlign(S, VAlign);
  AppendNumber(S, "WIDTH=", Width, WidthInPercent);
  AppendNumber(S, "HEIGHT=", Height, HeightInPercent);
  if (NoWrap) Append(S, "NOWRAP");
  AppendQuoted(S, "BACKGROUNF=", Background);
  return S;
}

std::string TkivHTMLTR::GetAttributes() const {
  std::string S;
  AppendAlign(S, Align);
  AppendVAlign(S, VAlign);
  AppendQuoted(S, "BGCOLOR=", BgColor);
  return S;
}

std::string TkivHTMLTABLE::GetAttributes() const {
  std::string S;
  AppendNumber(S, "BORDER=", Border);
  AppendNumber(S, "CELLPADDING=", CellPadding);
  AppendNumber(S, "CELLSPACING=", CellSpacing);
  AppendQuoted(S, "BGCOLOR=", BgColor);
  AppendAlign(S, Align);
  AppendVAlign(S, VAlign);
  AppendNumber(S, "WIDTH=", Width, WidthInPercent);
  AppendNumber(S, "HEIGHT=", Height, HeightInPercent);
  AppendQuoted(S, "BACKGROUNF=", Background);
  return S;
}

std::string TkivHTMLIMG::GetAttributes() const {
  std::string S;
  AppendQuoted(S, "SRC=", Src);
  AppendQuoted(S, "ALT=", Alt);
  AppendNumber(S, "WIDTH=", Width);
  AppendNumber(S, "HEIGHT=", Height);
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

TkivHTMLTR& AddRow(TkivHTMLTABLE& Table, const std::string& BgColor, TkivHTMLAlign Align,
                   TkivHTMLVAlign VAlign) {
  return Table.Create<TkivHTMLTR>(Align, VAlign, BgColor);
}

TkivHTMLTD& AddCell(TkivHTMLTR& Row, int32_t ColSpan, int32_t RowSpan, bool NoWrap,
                    const std::string& BgColor, TkivHTMLAlign Align, TkivHTMLVAlign VAlign,
                    int32_t Width, bool WidthInPercent, int32_t Height, bool HeightInPercent,
                    const std::string& Background) {
  return Row.Create<TkivHTMLTD>(ColSpan, RowSpan, NoWrap, BgColor, Align, VAlign, Width,
                                WidthInPercent, Height, HeightInPercent, Background);
}

TkivHTMLTD& AddColorCell(TkivHTMLTR& Row, const std::string& BgColor, int32_t ColSpan,
                         int32_t RowSpan, bool NoWrap, TkivHTMLAlign Align, TkivHTMLVAlign VAlign,
                         int32_t Width, bool WidthInPercent, int32_t Height, bool HeightInPercent,
                         const std::string& Background) {
  return AddCell(Row, ColSpan, RowSpan, NoWrap, BgColor, Align, VAlign, Width, WidthInPercent,
                 Height, HeightInPercent, Background);
}

TkivHTMLIMG& AddImage(TkivHTMLItem& Parent, const std::string& Src, const std::string& Alt,
                      int32_t Width, int32_t Height) {
  return Parent.Create<TkivHTMLIMG>(Src, Alt, Width, Height);
}

std::string YellowColorIf(bool Flag) {
  return Flag ? "Yellow" : "";
}

std::string RedColorIf(bool Flag) {
  return Flag ? "Red" : "";
}
