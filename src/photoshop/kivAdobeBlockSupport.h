#pragma once
// What the decoded block classes of kivAdobeResourceInfo share: their class template and the
// field tables of their reports.

#include <initializer_list>
#include <string>

#include "framework/kivInfo.h"
#include "photoshop/kivAdobeResourceInfo.h"

namespace kivAdobeBlocks {

// The class of a decoded block: it takes the blocks of its IDs.
template <class TBlock, uint16_t... IDs> class TDecodedBlockClass : public TkivClassOf<TBlock> {
public:
  explicit TDecodedBlockClass(std::string Name) : TkivClassOf<TBlock>(std::move(Name)) {}
  bool AcceptsID(uint16_t ID) const override { return ((ID == IDs) || ...); }
};

inline std::string BooleanText(bool Value) {
  return Value ? "True" : "False";
}

// The table of a block with several fields, in the block's data cell, with its captions.
inline TkivHTMLTABLE& AddFieldTable(TkivHTMLTR& Row, std::initializer_list<std::string> Captions) {
  TkivHTMLTABLE& Table = AddReportTable(AddCell(Row));
  AddTextRow(Table, Captions);
  return Table;
}

inline void AddFieldRow(TkivHTMLTABLE& Table, const std::string& Label, const std::string& Value,
                        const std::string& BgColor = {}) {
  TkivHTMLTR& Row = AddRow(Table);
  AddTextCell(Row, Label);
  AddTextCell(Row, Value, BgColor);
}

} // namespace kivAdobeBlocks
