#include "framework/kivHTML.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <memory>
#include <memory_resource>
#include <string_view>
#include <vector>

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

// Collects the pieces of one tag and hands them to the stream as one write: a page has tens
// of thousands of tags. A tag longer than the buffer goes in more writes.
class TTagWriter {
public:
  explicit TTagWriter(TStream& Stream) : Stream(Stream) {}

  TTagWriter& operator<<(std::string_view S) {
    if (S.size() > sizeof Buffer - Length) {
      Flush();
      if (S.size() > sizeof Buffer) {
        WriteString(Stream, S);
        return *this;
      }
    }
    std::copy(S.begin(), S.end(), Buffer + Length);
    Length += S.size();
    return *this;
  }

  TTagWriter& Indent(const TkivHTMLItem& Item) {
    static constexpr std::string_view Blanks = "                                ";
    for (int64_t Left = IndentWidth(Item); Left > 0; Left -= int64_t(Blanks.size()))
      *this << Blanks.substr(0, size_t(std::min<int64_t>(Left, int64_t(Blanks.size()))));
    return *this;
  }

  // The tag name, then a blank and the attribute text when there is one.
  TTagWriter& NameAndAttributes(const TkivHTMLItem& Item) {
    *this << Item.GetTagName();
    const std::string Attributes = Item.GetAttributes();
    if (!Attributes.empty()) *this << " " << Attributes;
    return *this;
  }

  void Flush() {
    WriteString(Stream, std::string_view(Buffer, Length));
    Length = 0;
  }

private:
  TStream& Stream;
  char Buffer[256];
  size_t Length = 0;
};
// The memory of the elements. A report makes its elements in one go and frees them in one
// go: they are carved from large blocks, a freed element's memory is reused for the next of
// its size, and the blocks go back to the heap when the last element is freed. Elements are
// made and freed on one thread, as every framework object is; each thread has its own pool.
class TElementMemory : public std::pmr::memory_resource {
public:
  void* Allocate(size_t Size) {
    const size_t Class = SizeClass(Size);
    if (Class >= std::size(FreeLists)) return ::operator new(Size);
    ++Live;
    if (TFreeItem* Item = FreeLists[Class]) {
      FreeLists[Class] = Item->Next;
      return Item;
    }
    const size_t Bytes = Class * Granule;
    if (Bytes > size_t(End - Next)) AddBlock();
    void* Item = Next;
    Next += Bytes;
    return Item;
  }

  void Free(void* Item, size_t Size) noexcept {
    const size_t Class = SizeClass(Size);
    if (Class >= std::size(FreeLists)) return ::operator delete(Item, Size);
    auto* Freed = static_cast<TFreeItem*>(Item);
    Freed->Next = FreeLists[Class];
    FreeLists[Class] = Freed;
    if (--Live == 0) Release();
  }

private:
  // The lists of the elements keep their references to the children here too.
  void* do_allocate(size_t Size, size_t Alignment) override {
    return Alignment <= Granule ? Allocate(Size)
                                : ::operator new(Size, std::align_val_t(Alignment));
  }
  void do_deallocate(void* Item, size_t Size, size_t Alignment) override {
    if (Alignment <= Granule) return Free(Item, Size);
    ::operator delete(Item, Size, std::align_val_t(Alignment));
  }
  bool do_is_equal(const std::pmr::memory_resource& Other) const noexcept override {
    return this == &Other;
  }

  struct TFreeItem {
    TFreeItem* Next;
  };
  static constexpr size_t Granule = alignof(std::max_align_t);
  static constexpr size_t BlockSize = 64 * 1024;

  static size_t SizeClass(size_t Size) { return (Size + Granule - 1) / Granule; }

  void AddBlock() {
    Blocks.push_back(std::make_unique_for_overwrite<std::byte[]>(BlockSize));
    Next = Blocks.back().get();
    End = Next + BlockSize;
  }

  // Keeps the first block: a report always needs one.
  void Release() noexcept {
    Blocks.resize(std::min<size_t>(Blocks.size(), 1));
    Next = Blocks.empty() ? nullptr : Blocks[0].get();
    End = Blocks.empty() ? nullptr : Next + BlockSize;
    std::fill(std::begin(FreeLists), std::end(FreeLists), nullptr);
  }

  std::vector<std::unique_ptr<std::byte[]>> Blocks;
  std::byte* Next = nullptr;
  std::byte* End = nullptr;
  TFreeItem* FreeLists[512 / Granule] = {};
  int64_t Live = 0;
};

TElementMemory& ElementMemory() {
  static thread_local TElementMemory Memory;
  return Memory;
}
} // namespace

TkivHTMLItem::TkivHTMLItem() : TkivObjectList(&ElementMemory()) {}

void* TkivHTMLItem::operator new(size_t Size) {
  return ElementMemory().Allocate(Size);
}

void TkivHTMLItem::operator delete(void* Item, size_t Size) noexcept {
  ElementMemory().Free(Item, Size);
}

void TkivHTMLItem::WriteToStream(TStream& Stream) const {
  WriteOpenTag(Stream);
  for (int32_t I = 0; I < Count(); ++I)
    GetChild(I).WriteToStream(Stream);
  WriteCloseTag(Stream);
}

void TkivHTMLItem::WriteOpenTag(TStream& Stream) const {
  TTagWriter Tag(Stream);
  (Tag << "\r").Indent(*this) << "<";
  Tag.NameAndAttributes(*this) << ">" << GetOpenTagSuffix();
  Tag.Flush();
}

void TkivHTMLItem::WriteCloseTag(TStream& Stream) const {
  TTagWriter Tag(Stream);
  Tag.Indent(*this) << "</" << GetTagName() << ">\r";
  Tag.Flush();
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
  TTagWriter Tag(Stream);
  (Tag << "<").NameAndAttributes(*this) << ">";
  Tag.Flush();
}

void TkivHTMLSimple::WriteCloseTag(TStream& Stream) const {
  TTagWriter Tag(Stream);
  Tag << "</" << GetTagName() << ">";
  Tag.Flush();
}

std::string TkivHTMLH1::GetAttributes() const {
  std::string S;
  AppendAlign(S, Align);
  return S;
}

void TkivHTMLTD::WriteToStream(TStream& Stream) const {
  WriteOpenTag(Stream);
  WriteHTMLEscaped(Stream, Text);
  for (int32_t I = 0; I < Count(); ++I)
    GetChild(I).WriteToStream(Stream);
  WriteCloseTag(Stream);
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
