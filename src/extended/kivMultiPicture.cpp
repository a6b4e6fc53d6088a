#include "extended/kivMultiPicture.h"

#include <algorithm>
#include <set>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivNumberText.h"
#include "jpeg/kivJpegFile.h"
#include "tiff/kivTiffInfo2.h"

using namespace kivTiffInfo2;

namespace {

constexpr uint16_t TagVersion = 0xB000, TagNumberOfImages = 0xB001, TagEntries = 0xB002,
                   TagUniqueIds = 0xB003;

// The tags of both directories, in the order of their codes.
struct TMpTag {
  uint16_t Tag;
  const char* Name;
  const char* Unit;
};
const TMpTag MpTags[] = {
    {0xB000, "MP format version", ""},
    {0xB001, "Number of images", ""},
    {0xB002, "MP entries", ""},
    {0xB003, "Unique image IDs", ""},
    {0xB004, "Total number of captured frames", ""},
    {0xB101, "Individual image number", ""},
    {0xB201, "Panorama scanning orientation", ""},
    {0xB202, "Panorama horizontal overlap", ""},
    {0xB203, "Panorama vertical overlap", ""},
    {0xB204, "Base viewpoint number", ""},
    {0xB205, "Convergence angle", "degrees"},
    {0xB206, "Baseline length", "metres"},
    {0xB207, "Vertical divergence angle", "degrees"},
    {0xB208, "Axis distance X", "metres"},
    {0xB209, "Axis distance Y", "metres"},
    {0xB20A, "Axis distance Z", "metres"},
    {0xB20B, "Yaw angle", "degrees"},
    {0xB20C, "Pitch angle", "degrees"},
    {0xB20D, "Roll angle", "degrees"},
};

const TMpTag* FindTag(uint16_t Tag) {
  for (const TMpTag& T : MpTags)
    if (T.Tag == Tag) return &T;
  return nullptr;
}

// The MP types, in the order of their codes.
struct TMpType {
  uint32_t Code;
  const char* Name;
};
const TMpType MpTypes[] = {
    {0x000000, "undefined"},
    {0x010001, "large thumbnail, class 1 (VGA equivalent)"},
    {0x010002, "large thumbnail, class 2 (full HD equivalent)"},
    {0x010003, "large thumbnail, class 3 (4K equivalent)"},
    {0x010004, "large thumbnail, class 4 (8K equivalent)"},
    {0x010005, "large thumbnail, class 5 (16K equivalent)"},
    {0x020001, "multi-frame image: panorama"},
    {0x020002, "multi-frame image: disparity"},
    {0x020003, "multi-frame image: multi-angle"},
    {0x030000, "baseline primary image"},
    {0x040000, "original preservation image"},
    {0x050000, "gain map"},
};

// The entry's bytes (one-byte types hold one value per byte).
std::string EntryBytes(const TkivTiffEntry& Entry) {
  std::string Bytes;
  Bytes.reserve(size_t(Entry.HeldValues()));
  for (int32_t I = 0; I < Entry.HeldValues(); ++I) {
    const std::optional<int64_t> V = ValueAsInteger(Entry.GetValue(I));
    Bytes += char(V ? uint8_t(*V) : 0);
  }
  return Bytes;
}

bool IsByteType(uint16_t FieldType) {
  return FieldType == ftUndefined || FieldType == ftByte;
}

// Reads the entries of B002 into Index; the problems found go to Problems.
void ReadEntries(const TkivTiffEntry& Entry, bool Motorola, TkivMpIndex& Index,
                 std::vector<std::string>* Problems) {
  const auto Say = [&](std::string S) {
    if (Problems) Problems->push_back(std::move(S));
  };
  if (!IsByteType(Entry.FieldType)) {
    Say(Format("The MP entries have the field type %u; they are bytes (UNDEFINED, 7)",
               unsigned(Entry.FieldType)));
    return;
  }
  Index.DeclaredEntries = Entry.ValueCount() / 16;
  if (Entry.ValueCount() % 16 != 0)
    Say(Format("The MP entries hold %u bytes, not a multiple of the 16 of an entry",
               unsigned(Entry.ValueCount())));
  const std::string Bytes = EntryBytes(Entry);
  TkivBytesView In(reinterpret_cast<const uint8_t*>(Bytes.data()), int64_t(Bytes.size()));
  while (HasBytes(In, 16) && int64_t(Index.Entries.size()) < TkivMpIndex::MaxEntries) {
    TkivMpEntry E;
    E.Attributes = ReadLong(In, Motorola);
    E.Size = ReadLong(In, Motorola);
    E.Offset = ReadLong(In, Motorola);
    E.Dependent1 = ReadWord(In, Motorola);
    E.Dependent2 = ReadWord(In, Motorola);
    Index.Entries.push_back(E);
  }
  if (int64_t(Index.Entries.size()) < Index.DeclaredEntries)
    Say(Format("The MP entries declare %lld entries; the data hold %zu",
               static_cast<long long>(Index.DeclaredEntries), Index.Entries.size()));
}

bool IsIndexIFD(const TkivTiffIFD& IFD) {
  return IFD.FindEntry(TagEntries) || IFD.FindEntry(TagNumberOfImages);
}

void ReadIndex(const TkivTiffIFD& IFD, bool Motorola, TkivMpIndex& Index,
               std::vector<std::string>* Problems) {
  Index.Motorola = Motorola;
  if (const TkivTiffEntry* N = IFD.FindEntry(TagNumberOfImages))
    Index.DeclaredImages = ValueAsInteger(N->GetValue(0)).value_or(-1);
  if (const TkivTiffEntry* E = IFD.FindEntry(TagEntries))
    ReadEntries(*E, Motorola, Index, Problems);
}

// Reads the TIFF structure of the payload; false (with the problem said) when it has none.
bool ReadStructure(TStream& Payload, TkivWorkBudget& Budget, TkivTiff& Tiff, std::string& Problem) {
  const int64_t Start = Payload.GetPosition();
  if (!HasBytes(Payload, 8)) {
    Problem = "The data are too short for a TIFF header";
    return false;
  }
  const std::string Order = ReadString(Payload, 2);
  const bool Motorola = Order == "MM";
  const uint16_t Magic = ReadWord(Payload, Motorola);
  Payload.SetPosition(Start);
  if ((Order != "II" && !Motorola) || Magic != 42) {
    Problem = "The data start with no TIFF header (II or MM, then 42)";
    return false;
  }
  Tiff.SetWorkBudget(Budget);
  Tiff.LoadFromStream(Payload);
  return true;
}

std::string FlagsText(const TkivMpEntry& E) {
  std::string S;
  const auto Add = [&](bool On, const char* Name) {
    if (On) S += (S.empty() ? "" : ", ") + std::string(Name);
  };
  Add(E.DependentParent(), "dependent parent");
  Add(E.DependentChild(), "dependent child");
  Add(E.Representative(), "representative image");
  if ((E.Attributes >> 27) & 3)
    Add(true, Format("reserved bits %u", (E.Attributes >> 27) & 3).c_str());
  return S.empty() ? "none" : S;
}

// The value of a rational or a signed rational as stored, and as a decimal.
std::string RationalValueText(const TkivTiffValue& Value, const char* Unit) {
  const std::string Raw = ValueToText(Value);
  const std::optional<long double> V = RationalToFloat(Raw);
  std::string S = Raw;
  if (V) S += " (" + ShortFixedToText(*V, 4) + (*Unit ? std::string(" ") + Unit : "") + ")";
  return S;
}

std::string PanOrientationText(uint32_t V) {
  static const char* const Starts[] = {"unused", "start at top right", "start at top left",
                                       "start at bottom left", "start at bottom right"};
  struct TDir {
    uint8_t Code;
    const char* Name;
  };
  static const TDir Directions[] = {
      {0x01, "left to right"},     {0x02, "right to left"},
      {0x03, "top to bottom"},     {0x04, "bottom to top"},
      {0x10, "clockwise"},         {0x20, "counter-clockwise"},
      {0x30, "zigzag, row start"}, {0x40, "zigzag, column start"},
  };
  const uint8_t Rows = V >> 24, Columns = (V >> 16) & 0xFF, Start = (V >> 8) & 0xFF,
                Direction = V & 0xFF;
  std::string S = Format("%u rows, %u columns, ", Rows, Columns);
  S += Start < std::size(Starts) ? Starts[Start] : Format("start %u", Start);
  S += ", ";
  const TDir* D = std::find_if(std::begin(Directions), std::end(Directions),
                               [&](const TDir& Each) { return Each.Code == Direction; });
  S += D != std::end(Directions) ? D->Name : Format("direction 0x%02X", Direction);
  return S;
}

constexpr TkivMark WrongIf(bool Wrong) {
  return Wrong ? TkivMark::Wrong : TkivMark::None;
}

void DescribeEntries(const TkivMpIndex& Index, const TkivExtendedInput& Input,
                     TkivDescription& Out) {
  // In a whole file, what the walk found where each entry points: only the first image's index
  // leads the walk.
  const TkivJpegFile* File = dynamic_cast<const TkivJpegFile*>(Input.File);
  if (File && (File->Images.empty() || Input.Index >= File->Images[0].Last)) File = nullptr;
  // A long index is shown in part: the walk goes to no more images than the file may hold.
  constexpr size_t Shown = 100;
  std::vector<std::string> Problems;
  std::vector<std::string> Header = {"Image", "Flags",  "Format",      "Type",
                                     "Size",  "Offset", "Dependent 1", "Dependent 2"};
  if (File) Header.push_back("In the file");
  {
    TkivDescriptionTable Table(Out, "MP entries", Header);
    std::set<uint32_t> Offsets;
    for (size_t I = 0; I < Index.Entries.size() && I < Shown; ++I) {
      const TkivMpEntry& E = Index.Entries[I];
      const size_t N = Index.Entries.size();
      bool Wrong = false;
      const auto Bad = [&](std::string S) {
        Problems.push_back(Format("Image %zu: ", I + 1) + S);
        Wrong = true;
      };
      if (I == 0 && E.Offset != 0)
        Bad("the first image's offset is 0, not " + std::to_string(E.Offset));
      if (I > 0 && E.Offset == 0) Bad("offset 0 is the first image's");
      if (I > 0 && E.Offset != 0 && !Offsets.insert(E.Offset).second)
        Bad("another image has the same offset");
      for (const uint16_t D : {E.Dependent1, E.Dependent2}) {
        if (D > N) Bad(Format("dependent image %u: the index has %zu", unsigned(D), N));
        if (D == I + 1) Bad("the image names itself as its dependent image");
        // Dependent images form a tree under their parent, never a loop.
        if (D > I + 1 && D <= N &&
            (Index.Entries[D - 1].Dependent1 == I + 1 || Index.Entries[D - 1].Dependent2 == I + 1))
          Bad(Format("it and image %u name each other as dependent images", unsigned(D)));
      }
      if (E.Format() != 0)
        Problems.push_back(Format("Image %zu: format %u is none that is defined (0 is JPEG)", I + 1,
                                  unsigned(E.Format())));
      std::vector<std::string> Row = {std::to_string(I + 1),
                                      FlagsText(E),
                                      E.Format() == 0 ? "JPEG" : std::to_string(E.Format()),
                                      MpTypeText(E.Type()) + Format(" (0x%06X)", E.Type()),
                                      std::to_string(E.Size),
                                      std::to_string(E.Offset),
                                      std::to_string(E.Dependent1),
                                      std::to_string(E.Dependent2)};
      if (File) {
        const TkivJpegFile::TEntryCheck Check = File->CheckOfEntry(int32_t(I));
        Row.push_back(Check.Text);
        Wrong = Wrong || Check.Wrong;
      }
      Table.Row(Row, WrongIf(Wrong));
    }
  }
  if (Index.Entries.size() > Shown)
    Out.Problem(Format("%zu more entries are not shown", Index.Entries.size() - Shown));
  for (const std::string& P : Problems)
    Out.Problem(P);
}

void DescribeIFD(const TkivTiffIFD& IFD, bool Motorola, const TkivExtendedInput& Input,
                 TkivDescription& Out) {
  const bool IsIndex = IsIndexIFD(IFD);
  TkivDescriptionGroup Group(Out, IsIndex ? "MP Index IFD" : "MP Attribute IFD");
  TkivMpIndex Index;
  std::vector<std::string> Problems;
  if (IsIndex) ReadIndex(IFD, Motorola, Index, &Problems);
  for (int32_t I = 0; I < IFD.Count(); ++I) {
    const TkivTiffEntry& Entry = IFD.Entry(I);
    const TMpTag* Tag = FindTag(Entry.Tag);
    const std::string Name = Tag ? Tag->Name : Format("Tag %04X", unsigned(Entry.Tag));
    if (Entry.HeldValues() < int64_t(Entry.ValueCount()) && Entry.Tag != TagEntries)
      Problems.push_back(Format("%s: the count %u asks for more than the data hold", Name.c_str(),
                                unsigned(Entry.ValueCount())));
    switch (Entry.Tag) {
    case TagVersion: {
      const std::string V = EntryBytes(Entry);
      const bool Ok = IsByteType(Entry.FieldType) && V.size() == 4 &&
                      std::all_of(V.begin(), V.end(), [](char C) { return C >= '0' && C <= '9'; });
      Out.Field(Name, Ok ? V : ValueToText(Entry.GetValue(0)), Ok ? "" : "four digits are expected",
                WrongIf(!Ok));
      break;
    }
    case TagNumberOfImages: {
      const bool Agrees = Index.DeclaredImages == int64_t(Index.Entries.size());
      Out.Field(Name, Index.DeclaredImages,
                Agrees ? "" : Format("the MP entries list %zu", Index.Entries.size()),
                WrongIf(!Agrees));
      break;
    }
    case TagEntries:
      DescribeEntries(Index, Input, Out);
      break;
    case TagUniqueIds: {
      const std::string Bytes = EntryBytes(Entry);
      TkivDescriptionTable Table(Out, Name, {"Image", "ID"});
      constexpr size_t IdSize = 33, Shown = 100;
      for (size_t At = 0, N = 1; At + IdSize <= Bytes.size() && N <= Shown; At += IdSize, ++N) {
        std::string Id = Bytes.substr(At, IdSize);
        Id.resize(std::min(Id.find('\0'), Id.size()));
        Table.Row({std::to_string(N), Id});
      }
      break;
    }
    case 0xB201:
      Out.Field(Name, PanOrientationText(uint32_t(ValueAsInteger(Entry.GetValue(0)).value_or(0))));
      break;
    default: {
      std::string Value;
      if (Entry.FieldType == ftRational || Entry.FieldType == ftSRational) {
        Value = RationalValueText(Entry.GetValue(0), Tag ? Tag->Unit : "");
      } else {
        Entry.GetValueText(Value);
      }
      Out.Field(Name, Value, Tag ? "" : "a tag of no known meaning",
                Tag ? TkivMark::None : TkivMark::Unknown);
    }
    }
  }
  for (const std::string& P : Problems)
    Out.Problem(P);
}

} // namespace

std::string MpTypeText(uint32_t Type) {
  for (const TMpType& T : MpTypes)
    if (T.Code == Type) return T.Name;
  return "unknown type";
}

bool ReadMpIndex(TStream& Payload, TkivWorkBudget& Budget, TkivMpIndex& Index) {
  TkivTiff Tiff;
  std::string Problem;
  if (!ReadStructure(Payload, Budget, Tiff, Problem) || Tiff.Count() == 0 ||
      !IsIndexIFD(Tiff.IFD(0)))
    return false;
  ReadIndex(Tiff.IFD(0), Tiff.IsMotorola(), Index, nullptr);
  return true;
}

void DescribeMultiPicture(const TkivExtendedInput& Input, TkivDescription& Out) {
  TkivTiff Tiff;
  std::string Problem;
  if (!ReadStructure(Input.Payload, Input.Budget, Tiff, Problem)) throw EkivDescribeError(Problem);
  Out.Field("Byte order", Tiff.IsMotorola() ? "Motorola (MM)" : "Intel (II)");
  if (Tiff.Count() == 0) Out.Problem("The header leads to no directory that can be read");
  for (int32_t I = 0; I < Tiff.Count(); ++I)
    DescribeIFD(Tiff.IFD(I), Tiff.IsMotorola(), Input, Out);
  // The directories and their values are the data; what lies between them is padding.
  Input.Payload.SetPosition(Input.Payload.GetSize());
}
