#include "tiff/kivTiffInfo.h"

#include <algorithm>
#include <optional>

#include "base/kivException.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivNumberText.h"

namespace kivTiffInfo {

namespace {

constexpr uint16_t TagResolutionUnit = 296;

// "&#160&#160&#160&#160" Count times: the report indents names by it.
std::string Indentation(int32_t Count) {
  std::string S;
  for (int32_t I = 0; I < Count; ++I)
    S += "&#160&#160&#160&#160";
  return S;
}

std::string DefaultName(uint16_t Tag) {
  return Format("Tag %.4X", Tag);
}

// The rational value as a number in the general format, then Separator and the value of the
// directory's resolution unit when it is a single Short other than 1.
std::string NumberWithUnit(const TkivTiffEntry& Entry, const char* Separator) {
  if (Entry.Values.empty()) return {};
  const std::string Raw = kivTiffInfo2::ValueToText(Entry.Values[0]);
  const std::optional<long double> Number = RationalToFloat(Raw);
  std::string S = Number ? FloatToText(*Number) : Raw;
  const TkivTiffIFD* IFD = Entry.IFD();
  const TkivTiffEntry* Unit = IFD ? IFD->FindEntry(TagResolutionUnit) : nullptr;
  if (Unit && Unit->FieldType == kivTiffInfo2::ftShort && Unit->Count() == 1 &&
      !Unit->Values.empty() && kivTiffInfo2::ValueAsInteger(Unit->Values[0]) != 1)
    S += Separator + Unit->GetValue();
  return S;
}

} // namespace

int32_t TypeUnitSize(uint16_t FieldType) {
  return FieldType >= 1 && FieldType <= 12 ? kivTiffInfo2::TypeUnitSize(FieldType) : 4;
}

int32_t ValueReadSize(uint16_t FieldType) {
  return FieldType >= 1 && FieldType <= 12 ? kivTiffInfo2::TypeUnitSize(FieldType) : 1;
}

TkivTiffValue ReadValue(const TkivBoundedReader& Reader, int64_t At, uint16_t FieldType) {
  if (FieldType >= 1 && FieldType <= 12) return kivTiffInfo2::ReadValue(Reader, At, FieldType);
  return Reader.Byte(At);
}

// ---- Items ----

void TkivTiffCustomData::LoadData(const TkivBoundedReader& Reader) {
  for (int32_t I = 0; I < Count(); ++I)
    if (auto* Child = dynamic_cast<TkivTiffCustomData*>(&GetChild(I))) Child->LoadData(Reader);
}

bool TkivTiffCustomData::IsMotorola() const {
  const auto* Up = dynamic_cast<const TkivTiffCustomData*>(Parent);
  return Up && Up->IsMotorola();
}

int64_t TkivTiffCustomData::BaseOffset() const {
  const auto* Up = dynamic_cast<const TkivTiffCustomData*>(Parent);
  return Up ? Up->BaseOffset() : 0;
}

TkivTiffSegment* TkivTiffCustomData::OwnerSegment() const {
  for (const TkivTreeItem* Item = Parent; Item; Item = Item->Parent)
    if (const auto* Tree = dynamic_cast<const TkivTiffTree*>(Item)) return Tree->Segment;
  return nullptr;
}

// ---- Entries ----

bool TkivTiffEntry::TClass::CanRead(const TkivBoundedReader& Reader, int64_t At) const {
  const std::optional<kivTiffInfo2::TkivTiffEntryFields> Fields =
      kivTiffInfo2::PeekEntryFields(Reader, At);
  return Fields && AcceptsTag(Fields->Tag) && AcceptsType(Fields->FieldType) &&
         AcceptsCount(Fields->Count);
}

const TkivTiffEntry::TClass& TkivTiffEntry::ClassObject() {
  static const TkivClassOf<TkivTiffEntry> Class("TkivTiffEntry");
  return Class;
}

const TkivTiffIFD* TkivTiffEntry::IFD() const {
  return dynamic_cast<const TkivTiffIFD*>(Parent);
}

uint32_t TkivTiffEntry::GetIcon() const {
  return GetName() == DefaultName(Tag) ? WarningIcon : 0;
}

std::string TkivTiffEntry::GetName() const {
  return TagRec.Name.empty() ? DefaultName(Tag) : TagRec.Name;
}

std::string TkivTiffEntry::GetValue() const {
  std::string S;
  if (FCount == 1) {
    if (!Values.empty()) S = kivTiffInfo2::ValueToText(Values[0]);
  } else {
    const char* Separator = FieldType == kivTiffInfo2::ftAscii ? "" : " ";
    for (size_t I = 0; I < Values.size(); ++I) {
      if (I > 0) S += Separator;
      S += kivTiffInfo2::ValueToText(Values[I]);
    }
  }
  // A format and a formatter would follow; the records of this unit carry neither.
  return S;
}

bool TkivTiffEntry::IsOffsetValue() const {
  return int64_t(FCount) * TypeUnitSize(FieldType) > 4;
}

int64_t TkivTiffEntry::OffsetDataSize() const {
  return IsOffsetValue() ? int64_t(FCount) * TypeUnitSize(FieldType) : 0;
}

void TkivTiffEntry::Load(const TkivBoundedReader& Reader, int64_t At) {
  Clear();
  Values.clear();
  Error = false;
  try {
    kivTiffInfo2::ReadEntryFields(Reader, At, Tag, FieldType, FCount);
    const int64_t ValuesAt = kivTiffInfo2::EntryValuesAt(Reader, At, IsOffsetValue());
    const int32_t Step = ValueReadSize(FieldType);
    if (IsOffsetValue()) {
      // No more values than the data holds, nor than the segment's bound allows.
      int64_t Held = std::min<int64_t>(FCount, kivTiffInfo2::ValuesFrom(Reader, ValuesAt, Step));
      if (TkivTiffSegment* Segment = OwnerSegment()) Held = Segment->TakeValues(Held);
      Values.reserve(size_t(Held));
      for (int64_t I = 0; I < Held; ++I)
        Values.push_back(ReadValue(Reader, ValuesAt + I * Step, FieldType));
      if (Held < int64_t(FCount)) Error = true;
    } else {
      const int32_t InField = 4 / TypeUnitSize(FieldType);
      for (int32_t I = 0; I < InField; ++I) {
        TkivTiffValue Value = ReadValue(Reader, ValuesAt + I * Step, FieldType);
        if (uint32_t(I) < FCount) Values.push_back(std::move(Value));
      }
    }
  } catch (const EReadError&) {
    Error = true;
  }
}

void TkivTiffEntry::Process(void* Arg) {
  TkivHTMLTR& Row = AddRow(*static_cast<TkivHTMLTABLE*>(Arg));
  const std::string Name = GetName();
  TkivHTMLTD& NameCell = AddCell(
      Row, {.ColSpan = 1, .RowSpan = 1, .BgColor = YellowColorIf(Name == DefaultName(Tag))});
  AddText(NameCell, Indentation((Parent ? Parent->Level() : 0) + 1), true);
  AddText(NameCell, Name);
  AddTextCell(Row, Format("%.4X", Tag));
  bool Unknown = false;
  std::string TypeName;
  kivTiffInfo2::GetTypeName(FieldType, Unknown, TypeName);
  AddText(AddCell(Row, {.ColSpan = 1, .RowSpan = 1, .BgColor = YellowColorIf(Unknown)}), TypeName);
  AddTextCell(Row, std::to_string(FCount));
  WriteValueCell(Row);
}

void TkivTiffEntry::WriteValueCell(TkivHTMLTR& Row) const {
  AddText(AddCell(Row, {.BgColor = RedColorIf(HasError())}), GetValue());
}

const TkivTiffEntry::TClass& TkivTiffXYResolutionEntry::ClassObject() {
  static const TkivClassOf<TkivTiffXYResolutionEntry> Class("TkivTiffXYResolutionEntry");
  return Class;
}

std::string TkivTiffXYResolutionEntry::GetValue() const {
  return NumberWithUnit(*this, " pixels per ");
}

const TkivTiffEntry::TClass& TkivTiffXYPositionEntry::ClassObject() {
  static const TkivClassOf<TkivTiffXYPositionEntry> Class("TkivTiffXYPositionEntry");
  return Class;
}

std::string TkivTiffXYPositionEntry::GetValue() const {
  return NumberWithUnit(*this, " ");
}

TkivTiffEntryClassList TiffEntryClassList;

void RegisterTiffEntryClass(const TkivTiffEntry::TClass& Class) {
  TiffEntryClassList.Insert(0, Class);
}

// ---- Directories ----

const TkivTiffIFD::TClass& TkivTiffIFD::ClassObject() {
  static const TkivClassOf<TkivTiffIFD> Class("TkivTiffIFD");
  return Class;
}

std::string TkivTiffIFD::GetName() const {
  return "IFD" + std::to_string(IndexInParent());
}

void TkivTiffIFD::Process(void* Arg) {
  TkivHTMLTD& Cell = AddCell(AddRow(*static_cast<TkivHTMLTABLE*>(Arg)), {.ColSpan = 5});
  AddText(Cell, Indentation(Level()), true);
  AddText(Cell, GetName());
  if (Cut) AddText(Cell, " (the rest of its entries is not read: the data holds no more)");
}

void TkivTiffIFD::GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const {
  Rec = TTagNameRec();
  Rec.Tag = Entry.Tag;
}

const TkivTiffEntry* TkivTiffIFD::FindEntry(uint16_t Tag) const {
  for (int32_t I = 0; I < Count(); ++I)
    if (Entry(I).Tag == Tag) return &Entry(I);
  return nullptr;
}

uint32_t TkivTiffIFD::LoadEntries(const TkivBoundedReader& Reader, int64_t At) {
  Clear();
  Cut = false;
  if (!Reader.Holds(At, 2)) return 0;
  TkivTiffSegment* Segment = OwnerSegment();
  const uint16_t Entries = Reader.Word(At);
  for (uint16_t I = 0; I < Entries; ++I) {
    const int64_t EntryOffset = kivTiffInfo2::EntryAt(At, I);
    const TkivTiffEntry::TClass* Class = TiffEntryClassList.FindReader(Reader, EntryOffset);
    if (!Class) return 0;
    if (Segment && !Segment->TakeEntry()) {
      Cut = true;
      return 0;
    }
    auto& Item = static_cast<TkivTiffEntry&>(AddChild(Class->Create()));
    Item.Load(Reader, EntryOffset);
    GetTagRec(Item, Item.TagRec);
  }
  const int64_t NextAt = kivTiffInfo2::EntryAt(At, Entries);
  if (!Reader.Holds(NextAt, 4) || !Parent) return 0;
  return Reader.Long(NextAt);
}

void TkivTiffIFD::Load(const TkivBoundedReader& Reader, int64_t At) {
  uint32_t Next = LoadEntries(Reader, At);
  // The chain, one directory after another: followed here rather than by each directory,
  // so that a long chain costs no depth.
  TkivTiffSegment* Segment = OwnerSegment();
  while (Next != 0 && Parent) {
    if (Next >= Reader.Size() || (Segment && !Segment->TakeOffset(Next))) break;
    auto& Following = static_cast<TkivTiffIFD&>(Parent->AddChild(ClassType().Create()));
    Next = Following.LoadEntries(Reader, Next);
  }
}

const TkivTiffIFD::TClass& TkivTiffFirstIFD::ClassObject() {
  static const TkivClassOf<TkivTiffFirstIFD> Class("TkivTiffFirstIFD");
  return Class;
}

bool TkivTiffFirstIFD::IsMotorola() const {
  if (const auto* Tree = dynamic_cast<const TkivTiffTree*>(Parent)) return Tree->Segment->Motorola;
  return TkivTiffIFD::IsMotorola();
}

int64_t TkivTiffFirstIFD::BaseOffset() const {
  if (const auto* Tree = dynamic_cast<const TkivTiffTree*>(Parent))
    return Tree->Segment->HeaderOffset();
  return TkivTiffIFD::BaseOffset();
}

// ---- The segment ----

namespace {

class TTiffSegmentClass : public TkivClassOf<TkivTiffSegment> {
public:
  using TkivClassOf::TkivClassOf;
  bool IsInfoSegment() const override { return true; }
  std::string GetDescription() const override { return "Tiff segment"; }
  std::string GetShortName() const override { return "Tiff"; }
  // A byte-order mark and room for the rest of the header.
  bool CanRead(TStream& Stream) const override {
    if (!HasBytes(Stream, 8)) return false;
    const std::string Mark = TkivBoundedReader::Rest(Stream, false).Bytes(0, 2);
    return Mark == "II" || Mark == "MM";
  }
};

class TTiffSegmentListClass : public TkivClassOf<TkivTiffSegmentList> {
public:
  using TkivClassOf::TkivClassOf;
  bool CanRead(TStream& Stream) const override {
    return TkivTiffSegment::ClassObject().CanRead(Stream);
  }
};

} // namespace

const TkivSegment::TClass& TkivTiffSegment::ClassObject() {
  static const TTiffSegmentClass Class("TkivTiffSegment");
  return Class;
}

TkivTiffSegment::TkivTiffSegment(const TClass& Class)
    : TkivSegment(Class), Tree(std::make_unique<TkivTiffTree>(*this)) {}

TkivTiffSegment::~TkivTiffSegment() = default;

void TkivTiffSegment::LoadFromStream(TStream& Stream) {
  Modified = false;
  Data.Clear();
  if (HasBytes(Stream, 2)) {
    const std::string Mark = ReadString(Stream, 2);
    Motorola = Mark != "II";
    WriteString(Data, Mark);
    if (HasBytes(Stream, 2)) {
      Magic = ReadWord(Stream, true);
      WriteWord(Data, Magic, true);
    }
  }
  Data.CopyFrom(Stream, BytesLeft(Stream));
  ParseData();
}

void TkivTiffSegment::ParseData() {
  TkivSegment::ParseData();
  Tree->Clear();
  Offsets.clear();
  // A real file holds each directory and entry once: no more directories than 6-byte
  // pieces of its data, no more entries than 12-byte pieces, and no more values than bytes.
  IFDsLeft = Data.GetSize() / 6 + 1;
  EntriesLeft = Data.GetSize() / 12 + 1;
  ValuesLeft = Data.GetSize();
  if (Data.GetSize() >= 8) {
    const TkivBoundedReader Reader = DataReader();
    const uint32_t Offset = Reader.Long(4);
    if (Offset < Reader.Size()) {
      TakeOffset(Offset);
      auto& First =
          static_cast<TkivTiffIFD&>(Tree->AddChild(TkivTiffFirstIFD::ClassObject().Create()));
      First.Load(Reader, Offset);
    }
  }
  Refresh();
}

void TkivTiffSegment::InitDefault() {
  TkivSegment::InitDefault();
  Data.Clear();
}

void TkivTiffSegment::FillInfo() {
  TkivSegment::FillInfo();
  AddInfoItem(*Info, 0, "Byte order", Motorola ? "Motorola (MM)" : "Intel (II)");
  AddInfoCopy(*Info, *Tree);
}

void TkivTiffSegment::WriteHTML(TkivHTMLItem& Parent) {
  AddText(Parent, std::string("Byte order: ") + (Motorola ? "Motorola (MM)" : "Intel (II)"));
  AddParagraph(Parent);
  TkivHTMLTABLE& Table = AddReportTable(Parent);
  AddTextRow(Table, {"Entry", "Tag", "Type", "Count", "Value"});
  Tree->ForEach(&Table);
}

TkivBoundedReader TkivTiffSegment::DataReader() {
  return TkivBoundedReader(Data, HeaderOffset(), Data.GetSize() - HeaderOffset(), Motorola);
}

bool TkivTiffSegment::TakeOffset(uint32_t Offset) {
  if (IFDsLeft <= 0 || !Offsets.insert(Offset).second) return false;
  --IFDsLeft;
  return true;
}

bool TkivTiffSegment::TakeEntry() {
  if (EntriesLeft <= 0) return false;
  --EntriesLeft;
  return true;
}

int64_t TkivTiffSegment::TakeValues(int64_t Count) {
  const int64_t Taken = std::clamp<int64_t>(Count, 0, ValuesLeft);
  ValuesLeft -= Taken;
  return Taken;
}

// ---- The segment list ----

TkivSegmentClassList TiffSegmentClassList;

const TkivSegmentList::TClass& TkivTiffSegmentList::ClassObject() {
  static const TTiffSegmentListClass Class("TkivTiffSegmentList");
  return Class;
}

const TkivSegment::TClass& TkivTiffSegmentList::GetFirstSegmentClass() const {
  return TkivTiffSegment::ClassObject();
}

const TkivSegmentClassList& TkivTiffSegmentList::GetSegmentClassList() const {
  return TiffSegmentClassList;
}

void TkivTiffSegmentList::LoadFromStream(TStream& Stream) {
  TkivSegmentList::LoadFromStream(Stream);
  for (int32_t I = 0; I < Count(); ++I)
    if (auto* Tiff = dynamic_cast<TkivTiffSegment*>(&Segment(I))) {
      const TkivBoundedReader Reader = Tiff->DataReader();
      for (int32_t J = 0; J < Tiff->Tree->Count(); ++J)
        if (auto* IFD = dynamic_cast<TkivTiffCustomData*>(&Tiff->Tree->GetChild(J)))
          IFD->LoadData(Reader);
    }
}

} // namespace kivTiffInfo

void kivTiffInfo_Initialize() {
  using namespace kivTiffInfo;
  RegisterSegmentListClass(TkivTiffSegmentList::ClassObject());
  TiffSegmentClassList.Insert(0, TkivSegment::ClassObject());
  TiffSegmentClassList.Insert(0, TkivTiffSegment::ClassObject());
  RegisterTiffEntryClass(TkivTiffEntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffXYResolutionEntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffXYPositionEntry::ClassObject());
}

void kivTiffInfo_Finalize() {
  kivTiffInfo::TiffEntryClassList.Clear();
  kivTiffInfo::TiffSegmentClassList.Clear();
}
