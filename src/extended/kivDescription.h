#pragma once
// What an extended decoder finds, described once. A decoder calls these operations in reading
// order; two back-ends render the same calls: the page (kivDescriptionHTML, our HTML elements
// in the report's own style) and the information tree (kivDescriptionTree, behind --text and
// --json). No extended decoder writes HTML or tree items itself.
//
// Texts are UTF-8. The page shows them in its 8-bit code page, with the characters that the
// code page lacks as character references; the tree holds them in the code page.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/kivStream.h"

namespace kivInfo {
class TBitmap;
}

// How a field or a row stands against what the data should be: unknown to us (a code without
// a name), or wrong (contradicts the rest of the data, or could not be read).
enum class TkivMark : uint8_t { None, Unknown, Wrong };

class TkivDescription {
public:
  TkivDescription() = default;
  TkivDescription(const TkivDescription&) = delete;
  TkivDescription& operator=(const TkivDescription&) = delete;
  virtual ~TkivDescription() = default;

  // A titled group; groups nest, and everything until the matching EndGroup belongs to it.
  virtual void BeginGroup(std::string_view Title) = 0;
  virtual void EndGroup() = 0;

  // A name and its value, with an optional note (a meaning, a unit, what is wrong).
  virtual void Field(std::string_view Name, std::string_view Value, std::string_view Note = {},
                     TkivMark Mark = TkivMark::None) = 0;

  // A table: a header row, then rows of as many cells, then EndTable. Rows and cells are not
  // nested in anything else.
  // A row's first cell may link to a place of the page (Link: the anchor's name).
  virtual void BeginTable(std::string_view Title, const std::vector<std::string>& Header) = 0;
  virtual void Row(const std::vector<std::string>& Cells, TkivMark Mark = TkivMark::None,
                   std::string_view Link = {}) = 0;
  virtual void EndTable() = 0;

  // A block of text shown as it stands, line breaks kept (XML, JSON, CBOR diagnostics).
  virtual void Text(std::string_view Title, std::string_view Text) = 0;

  // A picture that decoded itself (or says why it did not: its Refusal). The back-end keeps
  // the bitmap for as long as the report lives, since the page refers to its file.
  virtual void Picture(std::string_view Title, std::unique_ptr<kivInfo::TBitmap> Bitmap) = 0;
  // False for a back-end that tells a picture by its size alone: a decoder may then describe
  // it as a field, "W x H pixels", from its headers, and spare the decoding.
  virtual bool WantsPixels() const { return true; }

  // Count bytes of Stream from its position shown as a hex dump; the position moves past them.
  virtual void Hex(std::string_view Title, TStream& Stream, int64_t Count) = 0;

  // Something wrong with the data as a whole, said where it was found.
  virtual void Problem(std::string_view Text) = 0;

  // Shorthands.
  void Field(std::string_view Name, int64_t Value, std::string_view Note = {},
             TkivMark Mark = TkivMark::None) {
    Field(Name, std::to_string(Value), Note, Mark);
  }
};

// Begins a group on construction and ends it when it goes out of scope, so that a decoder left
// by a read error still closes what it opened.
class TkivDescriptionGroup {
public:
  TkivDescriptionGroup(TkivDescription& Out, std::string_view Title) : Out(Out) {
    Out.BeginGroup(Title);
  }
  ~TkivDescriptionGroup() { Out.EndGroup(); }
  TkivDescriptionGroup(const TkivDescriptionGroup&) = delete;
  TkivDescriptionGroup& operator=(const TkivDescriptionGroup&) = delete;

private:
  TkivDescription& Out;
};

// The same for a table.
class TkivDescriptionTable {
public:
  TkivDescriptionTable(TkivDescription& Out, std::string_view Title,
                       const std::vector<std::string>& Header)
      : Out(Out) {
    Out.BeginTable(Title, Header);
  }
  ~TkivDescriptionTable() { Out.EndTable(); }
  void Row(const std::vector<std::string>& Cells, TkivMark Mark = TkivMark::None,
           std::string_view Link = {}) {
    Out.Row(Cells, Mark, Link);
  }
  TkivDescriptionTable(const TkivDescriptionTable&) = delete;
  TkivDescriptionTable& operator=(const TkivDescriptionTable&) = delete;

private:
  TkivDescription& Out;
};
