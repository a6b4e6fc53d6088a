#pragma once
// The page back-end of a description: our HTML elements in the report's own style. A run of
// fields is one report table (name, value and, when any field of the run has one, a note); a
// group or a table opens with its title as a paragraph, as "Extra info" does; a table is a
// report table with its header row; a text block a preformatted cell; a picture the rows of a
// thumbnail, through its temporary file; a byte range a hex dump; a problem a red cell. Texts
// are UTF-8 and are written in the page's code page, the characters it lacks as character
// references; marked values are in the page's yellow and red cells.

#include <string>
#include <vector>

#include "extended/kivDescription.h"
#include "framework/kivInfo.h"

class TkivDescriptionHTML : public TkivDescription {
public:
  // Elements go at the end of Parent; pictures are handed to Keep, which must live as long as
  // the page is shown (their files go with them); hex dumps are asked of Budget, the report's.
  TkivDescriptionHTML(TkivHTMLItem& Parent, TOwningList& Keep, TkivWorkBudget& Budget);

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
  void Hex(std::string_view Title, TStream& Stream, int64_t Count) override;
  void Problem(std::string_view Text) override;

  // Writes the fields still held back; call when the description is complete.
  void Finish();

private:
  struct TField {
    std::string Name, Value, Note;
    TkivMark Mark;
  };
  void FlushFields();
  // A paragraph with Title (and the titles of the groups around it), unless Title is empty.
  void WriteTitle(std::string_view Title);
  TkivHTMLItem& Parent;
  TOwningList& Keep;
  TkivWorkBudget& Budget;
  std::vector<std::string> Groups; // the titles of the open groups
  std::vector<TField> Fields;      // the run of fields not yet written
  TkivHTMLTABLE* Table = nullptr;  // the open table
};

// The page colour of a mark: "Yellow", "Red" or none.
std::string MarkColor(TkivMark Mark);
