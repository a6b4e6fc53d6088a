#include "extended/kivDescriptionHTML.h"

#include <algorithm>

#include "framework/kivInfoStream.h"
#include "framework/kivUtf8.h"

std::string MarkColor(TkivMark Mark) {
  switch (Mark) {
  case TkivMark::Unknown:
    return "Yellow";
  case TkivMark::Wrong:
    return "Red";
  case TkivMark::None:
    break;
  }
  return {};
}

namespace {
// A cell holding UTF-8 text.
void AddUtf8Cell(TkivHTMLTR& Row, std::string_view Utf8, const std::string& Color) {
  static const TkivHTMLCellOptions Plain;
  AddTextCell(Row, {}, Color.empty() ? Plain : TkivHTMLCellOptions{.BgColor = Color},
              Utf8ToPageHtml(Utf8));
}
} // namespace

TkivDescriptionHTML::TkivDescriptionHTML(TkivHTMLItem& Parent, TOwningList& Keep,
                                         TkivWorkBudget& Budget)
    : Parent(Parent), Keep(Keep), Budget(Budget) {}

void TkivDescriptionHTML::FlushFields() {
  if (Fields.empty()) return;
  const bool Notes =
      std::any_of(Fields.begin(), Fields.end(), [](const TField& F) { return !F.Note.empty(); });
  TkivHTMLTABLE& Run = AddReportTable(Parent);
  for (const TField& F : Fields) {
    TkivHTMLTR& Row = AddRow(Run);
    const std::string Color = MarkColor(F.Mark);
    AddUtf8Cell(Row, F.Name, {});
    AddUtf8Cell(Row, F.Value, Color);
    if (Notes) AddUtf8Cell(Row, F.Note, F.Note.empty() ? std::string() : Color);
  }
  Fields.clear();
}

void TkivDescriptionHTML::WriteTitle(std::string_view Title) {
  if (Title.empty()) return;
  std::string Path;
  for (const std::string& Group : Groups)
    if (!Group.empty()) Path.append(Group).append(" / ");
  Path.append(Title);
  AddParagraph(Parent);
  AddText(Parent, Utf8ToPageHtml(Path), true);
}

void TkivDescriptionHTML::BeginGroup(std::string_view Title) {
  EndTable();
  FlushFields();
  WriteTitle(Title);
  Groups.emplace_back(Title);
}

void TkivDescriptionHTML::EndGroup() {
  EndTable();
  FlushFields();
  if (!Groups.empty()) Groups.pop_back();
}

void TkivDescriptionHTML::Field(std::string_view Name, std::string_view Value,
                                std::string_view Note, TkivMark Mark) {
  EndTable();
  Fields.push_back({std::string(Name), std::string(Value), std::string(Note), Mark});
}

void TkivDescriptionHTML::BeginTable(std::string_view Title,
                                     const std::vector<std::string>& Header) {
  EndTable();
  FlushFields();
  WriteTitle(Title);
  Table = &AddReportTable(Parent);
  if (Header.empty()) return;
  TkivHTMLTR& Row = AddRow(*Table);
  for (const std::string& Cell : Header)
    AddUtf8Cell(Row, Cell, {});
}

void TkivDescriptionHTML::Row(const std::vector<std::string>& Cells, TkivMark Mark,
                              std::string_view Link) {
  if (!Table) {
    // A row outside a table still shows: in a table of its own.
    FlushFields();
    Table = &AddReportTable(Parent);
  }
  TkivHTMLTR& Row = AddRow(*Table);
  const std::string Color = MarkColor(Mark);
  std::string Href;
  if (!Link.empty()) Href.append("#").append(Link);
  for (size_t I = 0; I < Cells.size(); ++I) {
    if (I == 0 && !Href.empty())
      AddText(AddCell(Row, {.BgColor = Color}).Create<TkivHTMLA>(Href), Utf8ToPageHtml(Cells[I]),
              true);
    else
      AddUtf8Cell(Row, Cells[I], Color);
  }
}

void TkivDescriptionHTML::EndTable() {
  Table = nullptr;
}

void TkivDescriptionHTML::Text(std::string_view Title, std::string_view Text) {
  EndTable();
  FlushFields();
  WriteTitle(Title);
  TkivHTMLTABLE& Block = AddReportTable(Parent);
  AddText(AddPre(AddCell(AddRow(Block))), Utf8ToPageHtml(Text), true);
}

void TkivDescriptionHTML::Picture(std::string_view Title,
                                  std::unique_ptr<kivInfo::TBitmap> Bitmap) {
  EndTable();
  FlushFields();
  WriteTitle(Title);
  kivInfo::TBitmap& Picture = Keep.Add(std::move(Bitmap));
  TkivHTMLTABLE& Rows = AddReportTable(Parent);
  if (int64_t(Picture.Width()) * Picture.Height() <= 0 && !Picture.Refused())
    AddTextRow(Rows, {"Image", "No picture"});
  else
    WriteThumbnailRows(Rows, Picture, false);
}

void TkivDescriptionHTML::Hex(std::string_view Title, TStream& Stream, int64_t Count) {
  EndTable();
  FlushFields();
  WriteTitle(Title);
  Parent.AddChild(
      CreateHexDumpTable(Stream, true, std::clamp<int64_t>(Count, 0, BytesLeft(Stream)), Budget));
}

void TkivDescriptionHTML::Problem(std::string_view Text) {
  EndTable();
  FlushFields();
  TkivHTMLTABLE& Line = AddReportTable(Parent);
  AddUtf8Cell(AddRow(Line), Text, "Red");
}

void TkivDescriptionHTML::Finish() {
  EndTable();
  FlushFields();
}
