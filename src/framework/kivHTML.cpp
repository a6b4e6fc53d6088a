#include "framework/kivHTML.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "framework/kivInfoStream.h"

namespace {
// Attributes are appended in place: a page writes tens of thousands of them.
void Separate(std::string& S) {
  if (!S.empty()) S += ' ';
}

void AppendAlign(std::string& S, TkivHTMLAlign Align) {
  static const char* const Texts[] = {"", "ALIGN=\"LEFT\"", "ALIGN=\"RIGHT\"", "ALIGN=\"CENTER\""};
  if (Align == haNone || Align > haCenter) return;
  Separate(S);
  S += Texts[Align];
}

void AppendVAlign(std::string& S, TkivHTMLVAlign VAlign) {
  static const char* const Texts[] = {"", "VALIGN=\"TOP\"", "VALIGN=\"BOTTOM\"",
                                      "VALIGN=\"MIDDLE\""};
  if (VAlign == vaNone || VAlign > vaMiddle) return;
  Separate(S);
  S += Texts[VAlign];
}

void AppendNumber(std::string& S, const char* Name, int32_t Value, bool InPercent = false) {
  if (Value == 0) return;
  Separate(S);
  S += Name;
  char Digits[16];
  S.append(Digits, std::to_chars(Digits, Digits + sizeof Digits, Value).ptr);
  if (InPercent) S += '%';
}

void AppendQuoted(std::string& S, const char* Name, const std::string& Value) {
  if (Value.empty()) return;
  Separate(S);
  S += Name;
  S += '"';
  S += Value;
  S += '"';
}

// The attributes that cells and tables share, in the order both write them.
template <class TOptions> void AppendColorAlignSize(std::string& S, const TOptions& O) {
  AppendQuoted(S, "BGCOLOR=", O.BgColor);
  AppendAlign(S, O.Align);
  AppendVAlign(S, O.VAlign);
  AppendNumber(S, "WIDTH=", O.Size.Width, O.Size.WidthInPercent);
  AppendNumber(S, "HEIGHT=", O.Size.Height, O.Size.HeightInPercent);
}

// Two blanks for the element and two for each of its ancestors.
int64_t IndentWidth(const TkivHTMLItem& Item) {
  int64_t Width = 2;
  for (const TkivHTMLItem* P = Item.Parent; P; P = P->Parent)
    Width += 2;
  return Width;
}

void WriteIndent(TStream& Stream, const TkivHTMLItem& Item) {
  static constexpr std::string_view Blanks = "                                ";
  for (int64_t Left = IndentWidth(Item); Left > 0; Left -= int64_t(Blanks.size()))
    WriteString(Stream, Blanks.substr(0, size_t(std::min<int64_t>(Left, int64_t(Blanks.size())))));
}

// The tag name, then a blank and the attribute text when there is one.
void WriteNameAndAttributes(TStream& Stream, const TkivHTMLItem& Item) {
  WriteString(Stream, Item.GetTagName());
  const std::string Attributes = Item.GetAttributes();
  if (Attributes.empty()) return;
  WriteString(Stream, " ");
  WriteString(Stream, Attributes);
}
} // namespace

void TkivHTMLItem::WriteToStream(TStream& Stream) const {
  WriteOpenTag(Stream);
  for (int32_t I = 0; I < Count(); ++I)
    GetChild(I).WriteToStream(Stream);
  WriteCloseTag(Stream);
}

void TkivHTMLItem::WriteOpenTag(TStream& Stream) const {
  WriteString(Stream, "\r");
  WriteIndent(Stream, *this);
  WriteString(Stream, "<");
  WriteNameAndAttributes(Stream, *this);
  WriteString(Stream, ">");
  WriteString(Stream, GetOpenTagSuffix());
}

void TkivHTMLItem::WriteCloseTag(TStream& Stream) const {
  WriteIndent(Stream, *this);
  WriteString(Stream, "</");
  WriteString(Stream, GetTagName());
  WriteString(Stream, ">\r");
}

int32_t TkivHTMLItem::IndexOfClass(const std::type_info& Class, int32_t StartIndex) const {
  for (int32_t I = std::max(StartIndex, 0); I < Count(); ++I) {
    const TkivHTMLItem& Child = GetChild(I);
    if (typeid(Child) == Class) return I;
  }
  return -1;
}

std::string TkivHTMLItem::Indent() const {
  return std::string(size_t(IndentWidth(*this)), ' ');
}

void TkivHTMLText::WriteToStream(TStream& Stream) const {
  if (IsHTML)
    WriteString(Stream, Text);
  else
    WriteHTMLEscaped(Stream, Text);
}

void TkivHTMLSimple::WriteOpenTag(TStream& Stream) const {
  WriteString(Stream, "<");
  WriteNameAndAttributes(Stream, *this);
  WriteString(Stream, ">");
}

void TkivHTMLSimple::WriteCloseTag(TStream& Stream) const {
  WriteString(Stream, "</");
  WriteString(Stream, GetTagName());
  WriteString(Stream, ">");
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
  if (Options.NoWrap) {
    Separate(S);
    S += "NOWRAP";
  }
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
