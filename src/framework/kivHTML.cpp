#include "framework/kivHTML.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "framework/kivInfoStream.h"

namespace {
// Attributes are appended in place, each after a blank, to a std::string or to the text of a
// run: a page writes tens of thousands of them.
template <class TString> void AppendAlign(TString& S, TkivHTMLAlign Align) {
  static constexpr std::string_view Texts[] = {"", " ALIGN=\"LEFT\"", " ALIGN=\"RIGHT\"",
                                               " ALIGN=\"CENTER\""};
  if (Align != haNone && Align <= haCenter) S += Texts[Align];
}

template <class TString> void AppendVAlign(TString& S, TkivHTMLVAlign VAlign) {
  static constexpr std::string_view Texts[] = {"", " VALIGN=\"TOP\"", " VALIGN=\"BOTTOM\"",
                                               " VALIGN=\"MIDDLE\""};
  if (VAlign != vaNone && VAlign <= vaMiddle) S += Texts[VAlign];
}

template <class TString>
void AppendNonZero(TString& S, std::string_view Name, int32_t Value, bool InPercent) {
  S += Name;
  char Digits[16];
  S.append(Digits, size_t(std::to_chars(Digits, Digits + sizeof Digits, Value).ptr - Digits));
  if (InPercent) S += '%';
}

template <class TString>
inline void AppendNumber(TString& S, std::string_view Name, int32_t Value, bool InPercent = false) {
  if (Value != 0) AppendNonZero(S, Name, Value, InPercent);
}

template <class TString>
void AppendQuoted(TString& S, std::string_view Name, const std::string& Value) {
  if (Value.empty()) return;
  S += Name;
  S += '"';
  S += Value;
  S += '"';
}

// The attributes that cells and tables share, in the order both write them.
template <class TString, class TOptions> void AppendColorAlignSize(TString& S, const TOptions& O) {
  AppendQuoted(S, " BGCOLOR=", O.BgColor);
  AppendAlign(S, O.Align);
  AppendVAlign(S, O.VAlign);
  AppendNumber(S, " WIDTH=", O.Size.Width, O.Size.WidthInPercent);
  AppendNumber(S, " HEIGHT=", O.Size.Height, O.Size.HeightInPercent);
}

// The attributes of a cell, for TD elements and for the cells of runs alike.
template <class TString> void AppendCellAttributes(TString& S, const TkivHTMLCellOptions& O) {
  AppendNumber(S, " COLSPAN=", O.ColSpan);
  AppendNumber(S, " ROWSPAN=", O.RowSpan);
  AppendColorAlignSize(S, O);
  if (O.NoWrap) S += " NOWRAP";
  AppendQuoted(S, " BACKGROUNF=", O.Background);
}

// Two blanks for the element and two for each of its ancestors.
int64_t IndentWidth(const TkivHTMLItem& Item) {
  int64_t Width = 2;
  for (const TkivHTMLItem* P = Item.Parent; P; P = P->Parent)
    Width += 2;
  return Width;
}

} // namespace

// ---- The writer ----

void TkivHTMLWriter::AppendEscaped(std::string_view S) {
  EscapeHTML(S, [this](std::string_view Piece) { *this << Piece; });
}

void TkivHTMLWriter::AppendBlanks(int64_t N) {
  static constexpr std::string_view Blanks = "                                ";
  for (; N > 0; N -= int64_t(Blanks.size()))
    *this << Blanks.substr(0, size_t(std::min<int64_t>(N, int64_t(Blanks.size()))));
}

void TkivHTMLWriter::AppendNameAndAttributes(const TkivHTMLItem& Item) {
  Attributes.clear();
  Item.GetAttributes(Attributes);
  *this << Item.GetTagName() << Attributes;
}

void TkivHTMLWriter::AppendLong(std::string_view S) {
  Flush();
  if (S.size() < sizeof Buffer) {
    *this << S;
    return;
  }
  Stream.WriteBuffer(S.data(), int64_t(S.size()));
}

void TkivHTMLWriter::Flush() {
  Stream.WriteBuffer(Buffer, int64_t(Length));
  Length = 0;
}

// ---- Elements ----

void TkivHTMLItem::WriteToStream(TStream& Stream) const {
  TkivHTMLWriter Out(Stream);
  WriteTo(Out);
  Out.Flush();
}

void TkivHTMLItem::WriteTo(TkivHTMLWriter& Out) const {
  WriteOpenTag(Out);
  for (int32_t I = 0; I < Count(); ++I)
    GetChild(I).WriteTo(Out);
  WriteCloseTag(Out);
}

void TkivHTMLItem::WriteOpenTag(TkivHTMLWriter& Out) const {
  Out << "\r";
  Out.AppendBlanks(IndentWidth(*this));
  Out << "<";
  Out.AppendNameAndAttributes(*this);
  Out << ">" << GetOpenTagSuffix();
}

void TkivHTMLItem::WriteCloseTag(TkivHTMLWriter& Out) const {
  Out.AppendBlanks(IndentWidth(*this));
  Out << "</" << GetTagName() << ">\r";
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

void TkivHTMLText::WriteTo(TkivHTMLWriter& Out) const {
  if (IsHTML)
    Out << Text;
  else
    Out.AppendEscaped(Text);
}

void TkivHTMLSimple::WriteOpenTag(TkivHTMLWriter& Out) const {
  Out << "<";
  Out.AppendNameAndAttributes(*this);
  Out << ">";
}

void TkivHTMLSimple::WriteCloseTag(TkivHTMLWriter& Out) const {
  Out << "</" << GetTagName() << ">";
}

void TkivHTMLH1::GetAttributes(std::string& S) const {
  AppendAlign(S, Align);
}

void TkivHTMLTD::GetAttributes(std::string& S) const {
  AppendCellAttributes(S, Options);
}

void TkivHTMLTR::GetAttributes(std::string& S) const {
  AppendAlign(S, Options.Align);
  AppendVAlign(S, Options.VAlign);
  AppendQuoted(S, " BGCOLOR=", Options.BgColor);
}

void TkivHTMLTABLE::GetAttributes(std::string& S) const {
  AppendNumber(S, " BORDER=", Options.Border);
  AppendNumber(S, " CELLPADDING=", Options.CellPadding);
  AppendNumber(S, " CELLSPACING=", Options.CellSpacing);
  AppendColorAlignSize(S, Options);
  AppendQuoted(S, " BACKGROUNF=", Options.Background);
}

void TkivHTMLIMG::GetAttributes(std::string& S) const {
  AppendQuoted(S, " SRC=", Options.Src);
  AppendQuoted(S, " ALT=", Options.Alt);
  AppendNumber(S, " WIDTH=", Options.Width);
  AppendNumber(S, " HEIGHT=", Options.Height);
}

void TkivHTMLA::GetAttributes(std::string& S) const {
  AppendQuoted(S, " HREF=", HRef);
  AppendQuoted(S, " NAME=", Name);
}

TkivHTMLHTML::TkivHTMLHTML() {
  Create<TkivHTMLHEAD>();
  Create<TkivHTMLBODY>();
}

void TkivHTMLHTML::WriteOpenTag(TkivHTMLWriter& Out) const {
  Out << "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r"
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
         "CHARSET=windows-1251\">\r";
  TkivHTMLItem::WriteOpenTag(Out);
}

TkivHTMLBODY& TkivHTMLHTML::Body() const {
  return static_cast<TkivHTMLBODY&>(GetChild(IndexOfClass(typeid(TkivHTMLBODY))));
}

void TkivHTMLRun::WriteTo(TkivHTMLWriter& Out) const {
  Out << Html;
}

TkivHTMLRun& TrailingRun(TkivHTMLItem& Parent) {
  if (Parent.Count() > 0) {
    TkivHTMLItem& Last = Parent.GetChild(Parent.Count() - 1);
    if (typeid(Last) == typeid(TkivHTMLRun)) return static_cast<TkivHTMLRun&>(Last);
  }
  TkivHTMLRun& Run = Parent.Create<TkivHTMLRun>();
  Run.Html.reserve(240); // a row of a few cells at once
  return Run;
}

void AppendCell(TkivHTMLRun& Run, const TkivHTMLCellOptions& Options, std::string_view Html,
                std::string_view Text) {
  std::pmr::string& S = Run.Html;
  const TkivHTMLCellOptions& O = Options;
  // Most cells have no attributes: they take one append less.
  if (O.ColSpan == 0 && O.RowSpan == 0 && !O.NoWrap && O.Align == haNone && O.VAlign == vaNone &&
      O.Size.Width == 0 && O.Size.Height == 0 && O.BgColor.empty() && O.Background.empty()) {
    S += "<TD>";
  } else {
    S += "<TD";
    AppendCellAttributes(S, Options);
    S += '>';
  }
  if (!Html.empty()) S += Html;
  EscapeHTML(Text, [&S](std::string_view Piece) { S += Piece; });
  S += "</TD>";
}

TkivHTMLText& AddText(TkivHTMLItem& Parent, std::string Text, bool IsHTML) {
  return Parent.Create<TkivHTMLText>(std::move(Text), IsHTML);
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

TkivHTMLIMG& AddImage(TkivHTMLItem& Parent, std::string Src, const std::string& Alt, int32_t Width,
                      int32_t Height) {
  return Parent.Create<TkivHTMLIMG>(TkivHTMLImageOptions{std::move(Src), Alt, Width, Height});
}

std::string YellowColorIf(bool Flag) {
  return Flag ? "Yellow" : "";
}

std::string RedColorIf(bool Flag) {
  return Flag ? "Red" : "";
}
