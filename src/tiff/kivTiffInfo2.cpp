#include "tiff/kivTiffInfo2.h"

#include <algorithm>
#include <cstring>

#include "base/kivException.h"
#include "framework/kivInfoStream.h"
#include "framework/kivNumberText.h"

namespace kivTiffInfo2 {

namespace {

// Directories nested deeper than this are not followed: real files nest three levels, and
// the readers and writers recurse once per level.
constexpr int32_t MaxIFDLevel = 32;

// A value of a one-byte type: Ascii, SByte, and Byte, Undefined and every invalid type.
TkivTiffValue ByteValue(uint16_t FieldType, uint8_t B) {
  switch (FieldType) {
  case ftAscii:
    return std::string(1, static_cast<char>(B));
  case ftSByte:
    return static_cast<int8_t>(B);
  default:
    return B;
  }
}

// A cell holding Text after the indentation of a name at Level of the structure: "&#160"
// 4 * Level - Shift times.
void AddIndentedCell(TkivHTMLTR& Row, const TkivHTMLCellOptions& Options, int32_t Level,
                     int32_t Shift, std::string_view Text) {
  static const std::string Spaces = [] {
    std::string S;
    for (int32_t I = 0; I < 4 * (MaxIFDLevel + 2); ++I)
      S += "&#160";
    return S;
  }();
  const auto Count = size_t(std::clamp(4 * Level - Shift, 0, 4 * (MaxIFDLevel + 2)));
  AddTextCell(Row, Text, Options, std::string_view(Spaces).substr(0, Count * 5));
}

} // namespace

void ReadEntryFields(const TkivBoundedReader& Reader, int64_t At, uint16_t& Tag,
                     uint16_t& FieldType, uint32_t& Count) {
  Tag = Reader.Word(At);
  FieldType = Reader.Word(At + 2);
  Count = Reader.Long(At + 4);
}

std::optional<TkivTiffEntryFields> PeekEntryFields(const TkivBoundedReader& Reader, int64_t At) {
  if (!Reader.Holds(At, EntrySize)) return std::nullopt;
  TkivTiffEntryFields Fields;
  ReadEntryFields(Reader, At, Fields.Tag, Fields.FieldType, Fields.Count);
  return Fields;
}

int64_t EntryValuesAt(const TkivBoundedReader& Reader, int64_t At, bool OutOfLine) {
  return OutOfLine ? Reader.Long(At + 8) : At + 8;
}

TkivTiffValue ReadValue(const TkivBoundedReader& Reader, int64_t At, uint16_t FieldType) {
  switch (FieldType) {
  case ftShort:
  case ftUnicode:
    return Reader.Word(At);
  case ftLong:
  case ftIFD:
    return Reader.Long(At);
  case ftRational:
    return RationalText(Reader.Long(At), Reader.Long(At + 4));
  case ftSShort:
    return static_cast<int16_t>(Reader.Word(At));
  case ftSLong:
    return static_cast<int32_t>(Reader.Long(At));
  case ftSRational:
    return RationalText(static_cast<int32_t>(Reader.Long(At)),
                        static_cast<int32_t>(Reader.Long(At + 4)));
  case ftFloat: {
    const uint32_t Bits = Reader.Long(At);
    float F;
    std::memcpy(&F, &Bits, sizeof F);
    return static_cast<double>(F);
  }
  case ftDouble: {
    const uint32_t First = Reader.Long(At);
    const uint32_t Second = Reader.Long(At + 4);
    const uint64_t Bits =
        Reader.BigEndian() ? (uint64_t(First) << 32) | Second : (uint64_t(Second) << 32) | First;
    double D;
    std::memcpy(&D, &Bits, sizeof D);
    return D;
  }
  default:
    return ByteValue(FieldType, Reader.Byte(At));
  }
}

// ---- The read context ----

void TkivTiffReadContext::Start(const TkivBoundedReader& Source) {
  Reader = &Source;
  Motorola = Source.BigEndian();
  Base = static_cast<uint32_t>(Source.Start());
  Offsets.clear();
  Visited.clear();
  // Directories and values that do not overlap never come near these.
  EntriesLeft = Source.Size() + 1;
  ValuesLeft = 2 * Source.Size();
}

bool TkivTiffReadContext::IsNewOffset(uint32_t Offset) const {
  return Offset >= 8 && !Visited.contains(Offset);
}

int32_t TkivTiffReadContext::AddOffset(uint32_t Offset) {
  Offsets.push_back(Offset);
  Visited.insert(Offset);
  return static_cast<int32_t>(Offsets.size()) - 1;
}

bool TkivTiffReadContext::TakeEntries(int64_t Count) {
  if (Count > EntriesLeft || (Budget && Budget->Take(TkivWork::Entries, Count) < Count))
    return false;
  EntriesLeft -= Count;
  return true;
}

int64_t TkivTiffReadContext::TakeValues(int64_t Count) {
  int64_t Granted = std::clamp<int64_t>(Count, 0, ValuesLeft);
  if (Budget) Granted = Budget->Take(TkivWork::Values, Granted);
  ValuesLeft -= Granted;
  return Granted;
}

// ---- Directories ----

TkivTiffIFD& TkivTiffIFDClass::Create(TkivTiffCustomItem& Parent) const {
  std::unique_ptr<TkivTiffIFD> IFD = Create();
  IFD->Parent = &Parent;
  IFD->Context = Parent.Context;
  return Parent.Add(std::move(IFD));
}

const TkivTiffIFD::TClass& TkivTiffIFD::ClassObject() {
  static const TkivClassOf<TkivTiffIFD> Class("TkivTiffIFD");
  return Class;
}

TkivTiffIFD::~TkivTiffIFD() = default;

TkivTiffEntry& TkivTiffIFD::Entry(int32_t Index) const {
  return static_cast<TkivTiffEntry&>(*Item(Index));
}

const TkivTiffEntryClass& TkivTiffIFD::GetEntryClass(const TkivTiffReadContext& Context,
                                                     int64_t At) const {
  // The tag, read once, rules out most classes before they look at the entry.
  const TkivBoundedReader& Reader = *Context.Reader;
  const uint16_t Tag = Reader.Holds(At, 2) ? Reader.Word(At) : 0;
  const TkivTiffEntryClass* Class = TiffEntryClassList.FindFirst(
      [&](const TkivTiffEntryClass& C) { return C.AcceptsTag(Tag) && C.CanRead(Reader, At); });
  return Class ? *Class : TkivTiffEntry::ClassObject();
}

void TkivTiffIFD::GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const {
  Rec = TTagNameRec{};
  Rec.Tag = Entry.Tag;
}

std::string TkivTiffIFD::GetName() const {
  return "IFD" + std::to_string(Parent ? Parent->IndexOf(this) : 0);
}

bool TkivTiffIFD::Load(TkivTiffReadContext& Context, int64_t At) {
  Clear();
  Thumbnail.reset();
  this->Context = &Context;
  const TkivBoundedReader& Reader = *Context.Reader;
  if (!Reader.Holds(At, 2)) return false;
  const uint16_t N = Reader.Word(At);
  if (N > 100) return false;
  // The directory itself counts as one, so that even empty ones are bounded.
  if (!Context.TakeEntries(int64_t(N) + 1)) return false;
  for (uint16_t I = 0; I < N; ++I) {
    const int64_t EntryOffset = EntryAt(At, I);
    TkivTiffEntry& Item = GetEntryClass(Context, EntryOffset).Create(*this);
    Item.Load(Context, EntryOffset);
    TTagNameRec Rec;
    GetTagRec(Item, Rec);
    Item.TagRec = Rec;
  }
  // Pictures are drawn only within a report's budget.
  if (Context.Budget && TkivTiffJpegBitmap::ClassObject().CanLoad(*this)) {
    try {
      std::unique_ptr<TkivCustomTiffBitmap> Bitmap =
          TkivTiffJpegBitmap::ClassObject().CreateFromIFD(*this, Reader, *Context.Budget);
      if (int64_t(Bitmap->Width()) * Bitmap->Height() != 0 || Bitmap->Refused())
        Thumbnail.reset(static_cast<TkivTiffJpegBitmap*>(Bitmap.release()));
    } catch (const EReadError&) {
      Thumbnail.reset();
    }
  }
  return true;
}

int32_t TkivTiffIFD::IndexOfTag(uint16_t Tag) const {
  for (int32_t I = 0; I < Count(); ++I)
    if (Entry(I).Tag == Tag) return I;
  return -1;
}

TkivTiffEntry* TkivTiffIFD::FindEntry(uint16_t Tag) const {
  const int32_t Index = IndexOfTag(Tag);
  return Index < 0 ? nullptr : &Entry(Index);
}

int32_t TkivTiffIFD::Level() const {
  return Parent ? Parent->Level() + 1 : 0;
}

void TkivTiffIFD::WriteHTML(TkivHTMLTABLE& Table) const {
  const int32_t L = Level();
  AddIndentedCell(AddRow(Table), {.ColSpan = 5}, L, 5, GetName());
  for (int32_t I = 0; I < Count(); ++I)
    Entry(I).WriteHTML(Table);
  if (Thumbnail) {
    TkivHTMLTR& Row = AddRow(Table);
    AddIndentedCell(Row, {.ColSpan = 1}, L, 1, "Thumbnail");
    WriteThumbnailRows(AddReportTable(AddCell(Row, {.ColSpan = 4})), *Thumbnail, false);
  }
}

const TkivTiffIFD::TClass& TkivTiffFirstIFD::ClassObject() {
  static const TkivClassOf<TkivTiffFirstIFD> Class("TkivTiffFirstIFD");
  return Class;
}

void TkivTiffFirstIFD::GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const {
  Rec = FindTagRec(MainTagTable, std::size(MainTagTable), Entry.Tag);
}

const TkivTiffIFD::TClass& TkivTiffInteroperabilityIFD::ClassObject() {
  static const TkivClassOf<TkivTiffInteroperabilityIFD> Class("TkivTiffInteroperabilityIFD");
  return Class;
}

void TkivTiffInteroperabilityIFD::GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const {
  Rec = FindTagRec(InteroperabilityTagTable, std::size(InteroperabilityTagTable), Entry.Tag);
}

// ---- Items ----

const TkivTiffIFDClass& TkivTiffCustomItem::IFDClass() const {
  return TkivTiffIFD::ClassObject();
}

int32_t TkivTiffCustomItem::Level() const {
  return Parent ? Parent->Level() + 1 : 0;
}

void TkivTiffCustomItem::ReadIFDChain(TkivTiffReadContext& Context, int64_t At) {
  for (;;) {
    const uint32_t Offset = Context.Reader->Long(At);
    if (!Context.IsNewOffset(Offset)) return;
    Context.AddOffset(Offset);
    TkivTiffIFD& IFD = IFDClass().Create(*this);
    if (!IFD.Load(Context, Offset)) return;
    At = EntryAt(Offset, IFD.Count());
  }
}

// ---- Entries ----

bool TkivTiffEntryClass::CanRead(const TkivBoundedReader& Reader, int64_t At) const {
  const std::optional<TkivTiffEntryFields> Fields = PeekEntryFields(Reader, At);
  return Fields && AcceptsTag(Fields->Tag) && AcceptsType(Fields->FieldType) &&
         AcceptsCount(Fields->Count);
}

const TkivTiffIFDClass& TkivTiffEntryClass::IFDClass() const {
  return TkivTiffFirstIFD::ClassObject();
}

TkivTiffEntry& TkivTiffEntryClass::Create(TkivTiffIFD& Parent) const {
  std::unique_ptr<TkivTiffEntry> Entry = Create();
  Entry->Parent = &Parent;
  Entry->Context = Parent.Context;
  return Parent.Add(std::move(Entry));
}

const TkivTiffEntry::TClass& TkivTiffEntry::ClassObject() {
  static const TkivClassOf<TkivTiffEntry> Class("TkivTiffEntry");
  return Class;
}

bool TkivTiffEntry::IsOffsetValue() const {
  return OffsetDataSize() > 0;
}

int64_t TkivTiffEntry::OffsetDataSize() const {
  const int64_t N = int64_t(FCount) * TypeUnitSize(FieldType);
  return N > 4 ? N : 0;
}

void TkivTiffEntry::Load(TkivTiffReadContext& Context, int64_t At) {
  Clear();
  Values.clear();
  this->Context = &Context;
  const TkivBoundedReader& Reader = *Context.Reader;
  try {
    ReadEntryFields(Reader, At, Tag, FieldType, FCount);
    const int64_t ValuesAt = EntryValuesAt(Reader, At, IsOffsetValue());
    // A count can promise far more than the data hold: hold only what can be there.
    const int64_t Supply = ValuesFrom(Reader, ValuesAt, TypeUnitSize(FieldType));
    Values.resize(static_cast<size_t>(Context.TakeValues(std::min<int64_t>(FCount, Supply))));
    ReadValues(Context, ValuesAt);
  } catch (const EReadError&) {
    // Whatever was read stays; values not read stay empty.
  }
}

void TkivTiffEntry::ReadValues(TkivTiffReadContext& Context, int64_t At) {
  const int32_t Unit = TypeUnitSize(FieldType);
  if (Unit == 1) {
    // Bytes in one read: an entry can hold thousands. The values held are never more than
    // the bytes left.
    const std::string Bytes = Context.Reader->Bytes(At, HeldValues());
    for (size_t I = 0; I < Bytes.size(); ++I)
      Values[I] = ByteValue(FieldType, static_cast<uint8_t>(Bytes[I]));
    return;
  }
  for (size_t I = 0; I < Values.size(); ++I)
    Values[I] = ReadValue(*Context.Reader, At + int64_t(I) * Unit, FieldType);
}

const TkivTiffValue& TkivTiffEntry::GetValue(int64_t Index) const {
  static const TkivTiffValue Empty;
  return Index >= 0 && Index < HeldValues() ? Values[size_t(Index)] : Empty;
}

void TkivTiffEntry::SetValue(int64_t Index, TkivTiffValue Value) {
  if (Index >= 0 && Index < HeldValues()) Values[size_t(Index)] = std::move(Value);
}

std::string TkivTiffEntry::GetName() const {
  if (*TagRec.Name) return TagRec.Name;
  std::string S;
  GetTagText(Tag, S);
  return S;
}

TFormatResult TkivTiffEntry::GetValueText(std::string& S) const {
  if (FCount == 1) {
    S = ValueToText(GetValue(0));
  } else {
    S.clear();
    const char* Separator = IsTextType(FieldType) ? "" : " ";
    for (int32_t I = 0; I < HeldValues(); ++I) {
      if (I > 0) S += Separator;
      S += ValueToText(Values[size_t(I)]);
    }
  }
  TFormatResult Decoded = TFormatResult::Decoded;
  if (TagRec.Formatter) {
    std::string Result;
    Decoded = TagRec.Formatter(*this, S, Result);
    if (Decoded == TFormatResult::Refused) return Decoded;
    S = std::move(Result);
  }
  if (*TagRec.Format) {
    // The formats are "%s" and a unit; the text may hold NULs, so no printf here.
    std::string F = TagRec.Format;
    const size_t At = F.find("%s");
    if (At != std::string::npos) F.replace(At, 2, S);
    S = std::move(F);
  }
  return Decoded;
}

void TkivTiffEntry::AddNameCell(TkivHTMLTR& Row) const {
  std::string TagText;
  GetTagText(Tag, TagText);
  const std::string Name = GetName();
  AddIndentedCell(Row, {.ColSpan = 1, .RowSpan = 1, .BgColor = YellowColorIf(Name == TagText)},
                  Level(), 5, Name);
}

void TkivTiffEntry::WriteHTML(TkivHTMLTABLE& Table) const {
  TkivHTMLTR& Row = AddRow(Table);
  AddNameCell(Row);
  std::string S;
  GetTagText(Tag, S);
  AddTextCell(Row, std::string_view(S).substr(3));
  bool Unknown = false;
  GetTypeName(FieldType, Unknown, S);
  AddTextCell(Row, S, {.ColSpan = 1, .RowSpan = 1, .BgColor = YellowColorIf(Unknown)});
  AddTextCell(Row, std::to_string(FCount));
  WriteValueCell(Row);
  for (int32_t I = 0; I < Count(); ++I)
    IFD(I).WriteHTML(Table);
}

void TkivTiffEntry::WriteValueCell(TkivHTMLTR& Row) const {
  std::string S;
  const TFormatResult Result = GetValueText(S);
  AddTextCell(Row, S,
              Result == TFormatResult::Refused
                  ? RedColorIf(true)
                  : YellowColorIf(Result == TFormatResult::NotDecoded));
}

// ---- Offset entries ----

void TkivTiffOffsetEntry::ReadValues(TkivTiffReadContext& Context, int64_t At) {
  if (!IsOffsetType(FieldType) || ValueCount() != 1) return TkivTiffEntry::ReadValues(Context, At);
  SetValue(0, std::string());
  if (Level() < MaxIFDLevel) ReadIFDChain(Context, At);
}

namespace {
class TExifOffsetClass : public TkivClassOf<TkivTiffExifOffsetEntry> {
public:
  using TkivClassOf::TkivClassOf;
  bool AcceptsTag(uint16_t Tag) const override { return Tag == 0x8769; }
};

class TInteroperabilityOffsetClass : public TkivClassOf<TkivTiffInteroperabilityOffsetEntry> {
public:
  using TkivClassOf::TkivClassOf;
  bool AcceptsTag(uint16_t Tag) const override { return Tag == 0xA005; }
  const TkivTiffIFDClass& IFDClass() const override {
    return TkivTiffInteroperabilityIFD::ClassObject();
  }
};
} // namespace

const TkivTiffEntry::TClass& TkivTiffExifOffsetEntry::ClassObject() {
  static const TExifOffsetClass Class("TkivTiffExifOffsetEntry");
  return Class;
}

const TkivTiffEntry::TClass& TkivTiffInteroperabilityOffsetEntry::ClassObject() {
  static const TInteroperabilityOffsetClass Class("TkivTiffInteroperabilityOffsetEntry");
  return Class;
}

// ---- Registry ----

TkivTiffEntryClassList TiffEntryClassList;

void RegisterTiffEntryClass(const TkivTiffEntryClass& Class) {
  TiffEntryClassList.Add(Class);
}

// ---- The root ----

void TkivTiff::LoadFromStream(TStream& Stream) {
  Clear();
  // The byte order is the header's; until it is read, Intel.
  TkivBoundedReader Reader = TkivBoundedReader::Rest(Stream, false);
  ReadContext.Start(Reader);
  if (!ReportBudget) OwnBudget = TkivWorkBudget();
  ReadContext.Budget = ReportBudget ? ReportBudget : &OwnBudget;
  // The reader and the budget live only for this read: the context lets go of them however
  // the read ends.
  struct TRelease {
    TkivTiffReadContext& Context;
    ~TRelease() {
      Context.Reader = nullptr;
      Context.Budget = nullptr;
    }
  } Release{ReadContext};
  if (!Reader.Holds(0, 8)) return;
  ReadContext.Motorola = Reader.Bytes(0, 2) != "II";
  Reader = Reader.WithByteOrder(ReadContext.Motorola);
  ReadIFDChain(ReadContext, 4);
}

const TkivTiffIFDClass& TkivTiff::IFDClass() const {
  return TkivTiffFirstIFD::ClassObject();
}

void TkivTiff::WriteHTML(TkivHTMLItem& Parent) const {
  AddText(Parent, std::string("Byte order: ") + (IsMotorola() ? "Motorola (MM)" : "Intel (II)"));
  AddParagraph(Parent);
  TkivHTMLTABLE& Table = AddReportTable(Parent);
  AddTextRow(Table, {"Entry", "Tag", "Type", "Count", "Value"});
  for (int32_t I = 0; I < Count(); ++I)
    IFD(I).WriteHTML(Table);
}

} // namespace kivTiffInfo2

using namespace kivTiffInfo2;

void kivTiffInfo2_Initialize() {
  RegisterTiffEntryClass(TkivTiffExifOffsetEntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffInteroperabilityOffsetEntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffUserCommentEntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffSFREntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffCFAPatternEntry::ClassObject());
}

void kivTiffInfo2_Finalize() {
  TiffEntryClassList.Clear();
}
