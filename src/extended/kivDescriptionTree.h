#pragma once
// The information tree back-end of a description: groups become items with children, fields
// name/value items, a table one item with an item per row, whose further cells are children
// named by the header. Texts are converted to the code page the tree holds.

#include <memory>
#include <vector>

#include "extended/kivDescription.h"
#include "framework/kivInfo.h"

class TkivDescriptionTree : public TkivDescription {
public:
  // Items go under Root; pictures are handed to Keep, which must outlive the tree.
  TkivDescriptionTree(TkivTreeItem& Root, TOwningList& Keep);

  void BeginGroup(std::string_view Title) override;
  void EndGroup() override;
  using TkivDescription::Field;
  void Field(std::string_view Name, std::string_view Value, std::string_view Note = {},
             TkivMark Mark = TkivMark::None) override;
  void BeginTable(std::string_view Title, const std::vector<std::string>& Header) override;
  void Row(const std::vector<std::string>& Cells, TkivMark Mark = TkivMark::None,
           std::string_view Link = {}) override;
  void EndTable() override;
  void Text(std::string_view Title, std::string_view Text) override;
  void Picture(std::string_view Title, std::unique_ptr<kivInfo::TBitmap> Bitmap) override;
  bool WantsPixels() const override { return false; }
  void Hex(std::string_view Title, TStream& Stream, int64_t Count) override;
  void Problem(std::string_view Text) override;

private:
  TkivTreeItem& Add(std::string_view Name, std::string_view Value, TkivMark Mark = TkivMark::None);
  TOwningList& Keep;
  std::vector<TkivTreeItem*> Open; // the root, then each open group or table
  std::vector<std::string> Header; // of the open table
};
