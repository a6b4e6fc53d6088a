#pragma once
// The HTML element tree every report is built in, and its writer. Block elements stand on
// indented lines of their own; inline elements are written without line breaks.

#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>

#include "framework/kivObjectList.h"
#include "framework/kivStream.h"

enum TkivHTMLAlign : uint8_t { haNone, haLeft, haRight, haCenter };
enum TkivHTMLVAlign : uint8_t { vaNone, vaTop, vaBottom, vaMiddle };

class TkivHTMLItem : public TkivObjectList {
public:
  TkivHTMLItem() = default;

  TkivHTMLItem* Parent = nullptr;

  virtual void WriteToStream(TStream& Stream) const;
  virtual std::string GetTagName() const { return "Item"; }
  virtual std::string GetAttributes() const { return {}; }
  virtual std::string GetOpenTagSuffix() const { return "\r"; }
  virtual void WriteOpenTag(TStream& Stream) const;
  virtual void WriteCloseTag(TStream& Stream) const;

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
  void WriteToStream(TStream& Stream) const override;
};

class TkivHTMLSimple : public TkivHTMLItem {
public:
  std::string GetTagName() const override { return "Simple"; }
  void WriteOpenTag(TStream& Stream) const override;
  void WriteCloseTag(TStream& Stream) const override;
};

class TkivHTMLH1 : public TkivHTMLSimple {
public:
  explicit TkivHTMLH1(TkivHTMLAlign Align = haNone) : Align(Align) {}
  TkivHTMLAlign Align;
  std::string GetTagName() const override { return "H1"; }
  std::string GetAttributes() const override;
};

class TkivHTMLH2 : public TkivHTMLH1 {
public:
  using TkivHTMLH1::TkivHTMLH1;
  std::string GetTagName() const override { return "H2"; }
};

class TkivHTMLP : public TkivHTMLH1 {
public:
  using TkivHTMLH1::TkivHTMLH1;
  std::string GetTagName() const override { return "P"; }
  void WriteCloseTag(TStream&) const override {}
};

class TkivHTMLBR : public TkivHTMLP {
public:
  using TkivHTMLP::TkivHTMLP;
  std::string GetTagName() const override { return "BR"; }
};

class TkivHTMLPRE : public TkivHTMLSimple {
public:
  std::string GetTagName() const override { return "PRE"; }
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
  std::string GetTagName() const override { return "TD"; }
  std::string GetAttributes() const override;
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
  std::string GetTagName() const override { return "TR"; }
  std::string GetAttributes() const override;
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
  std::string GetTagName() const override { return "TABLE"; }
  std::string GetAttributes() const override;
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
  std::string GetTagName() const override { return "IMG"; }
  std::string GetAttributes() const override;
  void WriteCloseTag(TStream&) const override {}
};

// An anchor: a link to HRef, or a place named Name that links lead to.
class TkivHTMLA : public TkivHTMLSimple {
public:
  explicit TkivHTMLA(std::string HRef = {}, std::string Name = {})
      : HRef(std::move(HRef)), Name(std::move(Name)) {}
  std::string HRef, Name;
  std::string GetTagName() const override { return "A"; }
  std::string GetAttributes() const override;
};

class TkivHTMLHEAD : public TkivHTMLItem {
public:
  std::string GetTagName() const override { return "HEAD"; }
};

class TkivHTMLBODY : public TkivHTMLItem {
public:
  std::string GetTagName() const override { return "BODY"; }
};

class TkivHTMLHTML : public TkivHTMLItem {
public:
  TkivHTMLHTML();
  std::string GetTagName() const override { return "HTML"; }
  void WriteOpenTag(TStream& Stream) const override;
  TkivHTMLBODY& Body() const;
};

TkivHTMLText& AddText(TkivHTMLItem& Parent, const std::string& Text, bool IsHTML = false);
TkivHTMLP& AddParagraph(TkivHTMLItem& Parent);
TkivHTMLBR& AddLineBreak(TkivHTMLItem& Parent);
TkivHTMLPRE& AddPre(TkivHTMLItem& Parent);
TkivHTMLTR& AddRow(TkivHTMLTABLE& Table, TkivHTMLRowOptions Options = {});
TkivHTMLTD& AddCell(TkivHTMLTR& Row, TkivHTMLCellOptions Options = {});
// AddCell with BgColor set.
TkivHTMLTD& AddColorCell(TkivHTMLTR& Row, const std::string& BgColor,
                         TkivHTMLCellOptions Options = {});
TkivHTMLIMG& AddImage(TkivHTMLItem& Parent, const std::string& Src, const std::string& Alt,
                      int32_t Width, int32_t Height);
std::string YellowColorIf(bool Flag);
std::string RedColorIf(bool Flag);
