#pragma once
// The HTML element tree every report is built in, and its writer. Block elements stand on
// indented lines of their own; inline elements are written without line breaks.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <typeinfo>

#include "base/kivStream.h"
#include "framework/kivObjectList.h"

enum TkivHTMLAlign : uint8_t { haNone, haLeft, haRight, haCenter };
enum TkivHTMLVAlign : uint8_t { vaNone, vaTop, vaBottom, vaMiddle };

class TkivHTMLItem;

// What a page is written into: the tags and texts are tens of thousands of small pieces, which
// this buffer takes without a call each and hands to the stream in large blocks.
class TkivHTMLWriter {
public:
  explicit TkivHTMLWriter(TStream& Stream) : Stream(Stream) {}
  TkivHTMLWriter(const TkivHTMLWriter&) = delete;
  TkivHTMLWriter& operator=(const TkivHTMLWriter&) = delete;

  TkivHTMLWriter& operator<<(std::string_view S) {
    if (S.size() > sizeof Buffer - Length) {
      AppendLong(S);
    } else if (!S.empty()) {
      std::memcpy(Buffer + Length, S.data(), S.size());
      Length += S.size();
    }
    return *this;
  }
  // S escaped as page text.
  void AppendEscaped(std::string_view S);
  // N blanks.
  void AppendBlanks(int64_t N);
  // The element's tag name and its attribute text.
  void AppendNameAndAttributes(const TkivHTMLItem& Item);
  // Writes what is held to the stream; whatever is not flushed is not written.
  void Flush();

private:
  void AppendLong(std::string_view S);
  TStream& Stream;
  std::string Attributes; // reused from tag to tag
  size_t Length = 0;
  char Buffer[16384];
};

class TkivHTMLItem : public TkivObjectList {
public:
  TkivHTMLItem() = default;

  TkivHTMLItem* Parent = nullptr;

  // Writes the element and everything in it.
  void WriteToStream(TStream& Stream) const;
  virtual void WriteTo(TkivHTMLWriter& Out) const;
  // The tag name; a constant of the class.
  virtual std::string_view GetTagName() const { return "Item"; }
  // Appends the attribute text to S: each attribute that is set, after a blank.
  virtual void GetAttributes(std::string&) const {}
  virtual std::string GetOpenTagSuffix() const { return "\r"; }
  virtual void WriteOpenTag(TkivHTMLWriter& Out) const;
  virtual void WriteCloseTag(TkivHTMLWriter& Out) const;

  // Appends a child built detached and returns it.
  template <class T> T& AddChild(std::unique_ptr<T> Child) {
    Child->Parent = this;
    return Add(std::move(Child));
  }
  // Creates a child of class T at the end of this element.
  template <class T, class... Args> T& Create(Args&&... A) {
    return AddChild(std::make_unique<T>(std::forward<Args>(A)...));
  }
  TkivHTMLItem& GetChild(int32_t Index) const { return static_cast<TkivHTMLItem&>(*Item(Index)); }
  // The first child from StartIndex on whose class is exactly Class; -1 when there is none.
  int32_t IndexOfClass(const std::type_info& Class, int32_t StartIndex = 0) const;
  std::string Indent() const;
};

class TkivHTMLText : public TkivHTMLItem {
public:
  explicit TkivHTMLText(std::string Text = {}, bool IsHTML = false)
      : Text(std::move(Text)), IsHTML(IsHTML) {}
  std::string Text;
  bool IsHTML;
  void WriteTo(TkivHTMLWriter& Out) const override;
};

class TkivHTMLSimple : public TkivHTMLItem {
public:
  std::string_view GetTagName() const override { return "Simple"; }
  void WriteOpenTag(TkivHTMLWriter& Out) const override;
  void WriteCloseTag(TkivHTMLWriter& Out) const override;
};

class TkivHTMLH1 : public TkivHTMLSimple {
public:
  explicit TkivHTMLH1(TkivHTMLAlign Align = haNone) : Align(Align) {}
  TkivHTMLAlign Align;
  std::string_view GetTagName() const override { return "H1"; }
  void GetAttributes(std::string& S) const override;
};

class TkivHTMLH2 : public TkivHTMLH1 {
public:
  using TkivHTMLH1::TkivHTMLH1;
  std::string_view GetTagName() const override { return "H2"; }
};

class TkivHTMLH3 : public TkivHTMLH1 {
public:
  using TkivHTMLH1::TkivHTMLH1;
  std::string_view GetTagName() const override { return "H3"; }
};

class TkivHTMLP : public TkivHTMLH1 {
public:
  using TkivHTMLH1::TkivHTMLH1;
  std::string_view GetTagName() const override { return "P"; }
  void WriteCloseTag(TkivHTMLWriter&) const override {}
};

class TkivHTMLBR : public TkivHTMLP {
public:
  using TkivHTMLP::TkivHTMLP;
  std::string_view GetTagName() const override { return "BR"; }
};

class TkivHTMLPRE : public TkivHTMLSimple {
public:
  std::string_view GetTagName() const override { return "PRE"; }
};

// A width and a height, each in pixels or in percent of the space there is; 0 is not set.
struct TkivHTMLSize {
  int32_t Width = 0;
  bool WidthInPercent = false;
  int32_t Height = 0;
  bool HeightInPercent = false;
};

// The attributes of a cell, set by name: AddCell(Row, {.ColSpan = 2, .BgColor = "Yellow"}).
// Designated initialisers follow the order of the fields; every field has an initialiser so
// that any may be left out.
struct TkivHTMLCellOptions {
  int32_t ColSpan = 0;
  int32_t RowSpan = 0;
  bool NoWrap = false;
  TkivHTMLAlign Align = haNone;
  TkivHTMLVAlign VAlign = vaNone;
  TkivHTMLSize Size{};
  std::string BgColor{};
  std::string Background{};
};

class TkivHTMLTD : public TkivHTMLSimple {
public:
  explicit TkivHTMLTD(TkivHTMLCellOptions Options = {}) : Options(std::move(Options)) {}
  TkivHTMLCellOptions Options;
  std::string_view GetTagName() const override { return "TD"; }
  void GetAttributes(std::string& S) const override;
};

struct TkivHTMLRowOptions {
  TkivHTMLAlign Align = haNone;
  TkivHTMLVAlign VAlign = vaNone;
  std::string BgColor{};
};

class TkivHTMLTR : public TkivHTMLItem {
public:
  explicit TkivHTMLTR(TkivHTMLRowOptions Options = {}) : Options(std::move(Options)) {}
  TkivHTMLRowOptions Options;
  std::string_view GetTagName() const override { return "TR"; }
  void GetAttributes(std::string& S) const override;
};

struct TkivHTMLTableOptions {
  int32_t Border = 0;
  int32_t CellPadding = 0;
  int32_t CellSpacing = 0;
  TkivHTMLAlign Align = haNone;
  TkivHTMLVAlign VAlign = vaNone;
  TkivHTMLSize Size{};
  std::string BgColor{};
  std::string Background{};
};

class TkivHTMLTABLE : public TkivHTMLItem {
public:
  explicit TkivHTMLTABLE(TkivHTMLTableOptions Options = {}) : Options(std::move(Options)) {}
  TkivHTMLTableOptions Options;
  std::string_view GetTagName() const override { return "TABLE"; }
  void GetAttributes(std::string& S) const override;
};

// Width and Height in pixels.
struct TkivHTMLImageOptions {
  std::string Src{};
  std::string Alt{};
  int32_t Width = 0;
  int32_t Height = 0;
};

class TkivHTMLIMG : public TkivHTMLItem {
public:
  explicit TkivHTMLIMG(TkivHTMLImageOptions Options = {}) : Options(std::move(Options)) {}
  TkivHTMLImageOptions Options;
  std::string_view GetTagName() const override { return "IMG"; }
  void GetAttributes(std::string& S) const override;
  void WriteCloseTag(TkivHTMLWriter&) const override {}
};

// An anchor: a link to HRef, or a place named Name that links lead to.
class TkivHTMLA : public TkivHTMLSimple {
public:
  explicit TkivHTMLA(std::string HRef = {}, std::string Name = {})
      : HRef(std::move(HRef)), Name(std::move(Name)) {}
  std::string HRef, Name;
  std::string_view GetTagName() const override { return "A"; }
  void GetAttributes(std::string& S) const override;
};

class TkivHTMLHEAD : public TkivHTMLItem {
public:
  std::string_view GetTagName() const override { return "HEAD"; }
};

class TkivHTMLBODY : public TkivHTMLItem {
public:
  std::string_view GetTagName() const override { return "BODY"; }
};

class TkivHTMLHTML : public TkivHTMLItem {
public:
  TkivHTMLHTML();
  std::string_view GetTagName() const override { return "HTML"; }
  void WriteOpenTag(TkivHTMLWriter& Out) const override;
  TkivHTMLBODY& Body() const;
};

// Page text kept in one piece where there would otherwise be many small elements: the plain
// cells of a table row (AddTextCell), which are the bulk of every report.
class TkivHTMLRun : public TkivHTMLItem {
public:
  std::pmr::string Html{&ListMemory()};
  void WriteTo(TkivHTMLWriter& Out) const override;
};

// The run that Parent's children end with; a new one when they end with something else.
TkivHTMLRun& TrailingRun(TkivHTMLItem& Parent);
// Appends to Run the text of a TD element with Options that holds the page text Html and then
// Text, escaped.
void AppendCell(TkivHTMLRun& Run, const TkivHTMLCellOptions& Options, std::string_view Html,
                std::string_view Text);

TkivHTMLText& AddText(TkivHTMLItem& Parent, std::string Text, bool IsHTML = false);
TkivHTMLP& AddParagraph(TkivHTMLItem& Parent);
TkivHTMLBR& AddLineBreak(TkivHTMLItem& Parent);
TkivHTMLPRE& AddPre(TkivHTMLItem& Parent);
TkivHTMLTR& AddRow(TkivHTMLTABLE& Table, TkivHTMLRowOptions Options = {});
TkivHTMLTD& AddCell(TkivHTMLTR& Row, TkivHTMLCellOptions Options = {});
// AddCell with BgColor set.
TkivHTMLTD& AddColorCell(TkivHTMLTR& Row, const std::string& BgColor,
                         TkivHTMLCellOptions Options = {});
TkivHTMLIMG& AddImage(TkivHTMLItem& Parent, std::string Src, const std::string& Alt,
                      int32_t Width, int32_t Height);
std::string YellowColorIf(bool Flag);
std::string RedColorIf(bool Flag);
