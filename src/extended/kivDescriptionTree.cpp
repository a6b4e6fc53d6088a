#include "extended/kivDescriptionTree.h"

#include <algorithm>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivUtf8.h"

namespace {
uint32_t IconOf(TkivMark Mark) {
  switch (Mark) {
  case TkivMark::Unknown:
    return WarningIcon;
  case TkivMark::Wrong:
    return ErrorIcon;
  case TkivMark::None:
    break;
  }
  return 0;
}
} // namespace

TkivDescriptionTree::TkivDescriptionTree(TkivTreeItem& Root, TOwningList& Keep)
    : Keep(Keep), Open{&Root} {}

TkivTreeItem& TkivDescriptionTree::Add(std::string_view Name, std::string_view Value,
                                       TkivMark Mark) {
  return AddInfoItem(*Open.back(), IconOf(Mark), Utf8ToAnsiText(Name), Utf8ToAnsiText(Value));
}

void TkivDescriptionTree::BeginGroup(std::string_view Title) {
  Open.push_back(&Add(Title, {}));
}

void TkivDescriptionTree::EndGroup() {
  // The root stays: a decoder that ends more than it began changes nothing above it.
  if (Open.size() > 1) Open.pop_back();
}

void TkivDescriptionTree::Field(std::string_view Name, std::string_view Value,
                                std::string_view Note, TkivMark Mark) {
  std::string Shown(Value);
  if (!Note.empty()) Shown.append(Shown.empty() ? "" : " ").append("(").append(Note).append(")");
  Add(Name, Shown, Mark);
}

void TkivDescriptionTree::BeginTable(std::string_view Title,
                                     const std::vector<std::string>& TableHeader) {
  Open.push_back(&Add(Title, {}));
  Header = TableHeader;
}

void TkivDescriptionTree::Row(const std::vector<std::string>& Cells, TkivMark Mark,
                              std::string_view) {
  if (Cells.empty()) return;
  TkivTreeItem& Item = Add(Cells[0], {}, Mark);
  for (size_t I = 1; I < Cells.size(); ++I)
    AddInfoItem(Item, 0, Utf8ToAnsiText(I < Header.size() ? Header[I] : std::to_string(I)),
                Utf8ToAnsiText(Cells[I]));
}

void TkivDescriptionTree::EndTable() {
  Header.clear();
  EndGroup();
}

void TkivDescriptionTree::Text(std::string_view Title, std::string_view Text) {
  Add(Title, Text);
}

void TkivDescriptionTree::Picture(std::string_view Title,
                                  std::unique_ptr<kivInfo::TBitmap> Bitmap) {
  kivInfo::TBitmap& Picture = Keep.Add(std::move(Bitmap));
  TkivTreeItem& Item = Add(Title, {});
  if (Picture.Refused()) {
    Item.Value = PictureRefusalText(Picture.Refusal);
    return;
  }
  Item.Value = Format("%d x %d pixels", Picture.Width(), Picture.Height());
  Item.Object = &Picture;
}

void TkivDescriptionTree::Hex(std::string_view Title, TStream& Stream, int64_t Count) {
  const int64_t Shown = std::clamp<int64_t>(Count, 0, BytesLeft(Stream));
  Add(Title, Format("%lld bytes", static_cast<long long>(Shown)));
  Stream.SetPosition(Stream.GetPosition() + Shown);
}

void TkivDescriptionTree::Problem(std::string_view Text) {
  Add("Problem", Text, TkivMark::Wrong);
}
