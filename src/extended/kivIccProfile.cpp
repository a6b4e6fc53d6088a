#include "extended/kivIccProfile.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "base/kivException.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivNumberText.h"
#include "framework/kivUtf8.h"
#include "platform/kivDigest.h"

namespace {
constexpr uint32_t Signature(const char (&S)[5]) {
  return uint32_t(uint8_t(S[0])) << 24 | uint32_t(uint8_t(S[1])) << 16 |
         uint32_t(uint8_t(S[2])) << 8 | uint32_t(uint8_t(S[3]));
}
// A description longer than this is no name.
constexpr int64_t MaxDescription = 4096;
constexpr int64_t HeaderSize = 128;
// The table of a profile shows this many tags: real profiles have a few dozen.
constexpr int64_t MaxTags = 1000;
// Records of one multi-localised text shown: real ones have a few dozen languages.
constexpr int64_t MaxRecords = 200;

struct TName {
  uint32_t Code;
  std::string_view Name;
};

const TName Classes[] = {
    {Signature("scnr"), "input device"},  {Signature("mntr"), "display device"},
    {Signature("prtr"), "output device"}, {Signature("link"), "device link"},
    {Signature("spac"), "colour space"},  {Signature("abst"), "abstract"},
    {Signature("nmcl"), "named colour"},
};

const TName ColourSpaces[] = {
    {Signature("XYZ "), "XYZ"},        {Signature("Lab "), "CIELAB"},
    {Signature("Luv "), "CIELUV"},     {Signature("YCbr"), "YCbCr"},
    {Signature("Yxy "), "CIEYxy"},     {Signature("RGB "), "RGB"},
    {Signature("GRAY"), "grey"},       {Signature("HSV "), "HSV"},
    {Signature("HLS "), "HLS"},        {Signature("CMYK"), "CMYK"},
    {Signature("CMY "), "CMY"},        {Signature("2CLR"), "2 colours"},
    {Signature("3CLR"), "3 colours"},  {Signature("4CLR"), "4 colours"},
    {Signature("5CLR"), "5 colours"},  {Signature("6CLR"), "6 colours"},
    {Signature("7CLR"), "7 colours"},  {Signature("8CLR"), "8 colours"},
    {Signature("9CLR"), "9 colours"},  {Signature("ACLR"), "10 colours"},
    {Signature("BCLR"), "11 colours"}, {Signature("CCLR"), "12 colours"},
    {Signature("DCLR"), "13 colours"}, {Signature("ECLR"), "14 colours"},
    {Signature("FCLR"), "15 colours"},
};

const TName Platforms[] = {
    {Signature("APPL"), "Apple"},
    {Signature("MSFT"), "Microsoft"},
    {Signature("SGI "), "Silicon Graphics"},
    {Signature("SUNW"), "Sun Microsystems"},
    {Signature("TGNT"), "Taligent"},
};

const std::string_view RenderingIntents[] = {
    "perceptual",
    "media-relative colorimetric",
    "saturation",
    "ICC-absolute colorimetric",
};

const TName Tags[] = {
    {Signature("A2B0"), "AToB0 (perceptual)"},
    {Signature("A2B1"), "AToB1 (colorimetric)"},
    {Signature("A2B2"), "AToB2 (saturation)"},
    {Signature("bXYZ"), "Blue matrix column"},
    {Signature("bTRC"), "Blue tone curve"},
    {Signature("B2A0"), "BToA0 (perceptual)"},
    {Signature("B2A1"), "BToA1 (colorimetric)"},
    {Signature("B2A2"), "BToA2 (saturation)"},
    {Signature("B2D0"), "BToD0 (perceptual)"},
    {Signature("B2D1"), "BToD1 (colorimetric)"},
    {Signature("B2D2"), "BToD2 (saturation)"},
    {Signature("B2D3"), "BToD3 (absolute)"},
    {Signature("calt"), "Calibration date and time"},
    {Signature("targ"), "Characterization target"},
    {Signature("chad"), "Chromatic adaptation"},
    {Signature("chrm"), "Chromaticity"},
    {Signature("cicp"), "Coding-independent code points"},
    {Signature("clro"), "Colorant order"},
    {Signature("clrt"), "Colorant table"},
    {Signature("clot"), "Colorant table out"},
    {Signature("ciis"), "Colorimetric intent image state"},
    {Signature("cprt"), "Copyright"},
    {Signature("dmnd"), "Device manufacturer description"},
    {Signature("dmdd"), "Device model description"},
    {Signature("D2B0"), "DToB0 (perceptual)"},
    {Signature("D2B1"), "DToB1 (colorimetric)"},
    {Signature("D2B2"), "DToB2 (saturation)"},
    {Signature("D2B3"), "DToB3 (absolute)"},
    {Signature("gamt"), "Gamut"},
    {Signature("kTRC"), "Grey tone curve"},
    {Signature("gXYZ"), "Green matrix column"},
    {Signature("gTRC"), "Green tone curve"},
    {Signature("lumi"), "Luminance"},
    {Signature("meas"), "Measurement"},
    {Signature("meta"), "Metadata"},
    {Signature("bkpt"), "Media black point"},
    {Signature("wtpt"), "Media white point"},
    {Signature("ncol"), "Named colour"},
    {Signature("ncl2"), "Named colour 2"},
    {Signature("resp"), "Output response"},
    {Signature("rig0"), "Perceptual rendering intent gamut"},
    {Signature("pre0"), "Preview 0"},
    {Signature("pre1"), "Preview 1"},
    {Signature("pre2"), "Preview 2"},
    {Signature("desc"), "Profile description"},
    {Signature("pseq"), "Profile sequence description"},
    {Signature("psid"), "Profile sequence identifier"},
    {Signature("ps2s"), "PostScript CSA"},
    {Signature("ps2i"), "PostScript rendering intent"},
    {Signature("ps2r"), "PostScript CRD"},
    {Signature("rXYZ"), "Red matrix column"},
    {Signature("rTRC"), "Red tone curve"},
    {Signature("rig2"), "Saturation rendering intent gamut"},
    {Signature("scrd"), "Screening description"},
    {Signature("scrn"), "Screening"},
    {Signature("tech"), "Technology"},
    {Signature("bfd "), "UCR and BG"},
    {Signature("vued"), "Viewing conditions description"},
    {Signature("view"), "Viewing conditions"},
};

// The parameters of each function type of a parametricCurveType, and its formula.
struct TParametric {
  int Count;
  std::string_view Formula;
};
const TParametric Parametrics[] = {
    {1, "Y = X^g"},
    {3, "Y = (aX + b)^g for X >= -b/a, else 0"},
    {4, "Y = (aX + b)^g + c for X >= -b/a, else c"},
    {5, "Y = (aX + b)^g for X >= d, else cX"},
    {7, "Y = (aX + b)^g + e for X >= d, else cX + f"},
};
constexpr std::string_view ParameterNames = "gabcdef";

std::string_view NameOf(const TName* Begin, const TName* End, uint32_t Code) {
  const TName* Found = std::find_if(Begin, End, [Code](const TName& N) { return N.Code == Code; });
  return Found == End ? std::string_view() : Found->Name;
}
template <size_t N> std::string_view NameOf(const TName (&Table)[N], uint32_t Code) {
  return NameOf(Table, Table + N, Code);
}

// A signature as its four characters, quoted; as hex when they are not printable.
std::string SignatureText(uint32_t Code) {
  std::string S;
  for (int Shift = 24; Shift >= 0; Shift -= 8) {
    const char C = char(Code >> Shift);
    if (C < 0x20 || C > 0x7E) return Format("0x%08X", Code);
    S += C;
  }
  return "'" + S + "'";
}

std::string Fixed16(uint32_t Raw) {
  return ShortFixedToText(static_cast<long double>(int32_t(Raw)) / 65536, 5);
}

// Text up to its first NUL.
std::string UntilNul(std::string Text) {
  Text.resize(std::min(Text.size(), Text.find('\0')));
  return Text;
}

struct TTag {
  uint32_t Code;
  int64_t Offset, Size;
  uint32_t Type = 0;
  bool Inside = false;  // within the profile's bytes, with room for its type
  std::string Overlaps; // the tag it overlaps in part
};

class TProfileReader {
public:
  TProfileReader(TStream& In, int64_t Start, int64_t Size, TkivWorkBudget& Budget,
                 TkivDescription& Out)
      : In(In), Start(Start), Size(Size), Budget(Budget), Out(Out) {}

  void Describe();

private:
  void Header();
  void ProfileId(const std::string& Id, int64_t Declared);
  void TagTable();
  void DecodeTag(const TTag& Tag, std::string_view Name);
  void TextTag(const TTag& Tag, std::string_view Name);
  void XyzTag(const TTag& Tag, std::string_view Name);
  void CurveTag(const TTag& Tag, std::string_view Name);
  void At(int64_t Offset) { In.SetPosition(Start + Offset); }
  uint32_t Long() { return ReadLong(In, true); }

  TStream& In;
  int64_t Start, Size; // Size: the profile's bytes at hand, up to the size it declares
  TkivWorkBudget& Budget;
  TkivDescription& Out;
  std::vector<TTag> Entries;
};

void TProfileReader::Describe() {
  Header();
  TagTable();
  // The tags a reader asks about, each once, in this order.
  static const uint32_t Decoded[] = {Signature("desc"), Signature("cprt"), Signature("wtpt"),
                                     Signature("rTRC"), Signature("gTRC"), Signature("bTRC"),
                                     Signature("kTRC")};
  for (const uint32_t Code : Decoded) {
    const auto Tag = std::find_if(Entries.begin(), Entries.end(),
                                  [Code](const TTag& T) { return T.Code == Code && T.Inside; });
    if (Tag == Entries.end()) continue;
    try {
      DecodeTag(*Tag, NameOf(Tags, Code));
    } catch (const EReadError&) {
      Out.Problem("The tag " + SignatureText(Code) + " ends inside a field");
    }
  }
  At(Size);
}

void TProfileReader::Header() {
  TkivDescriptionGroup Group(Out, "Header");
  At(0);
  const uint32_t Declared = Long();
  if (Declared < HeaderSize + 4)
    Out.Field("Size", int64_t(Declared), "less than a header and a tag count", TkivMark::Wrong);
  else if (Declared > Size)
    Out.Field("Size", int64_t(Declared),
              Format("more than the %lld bytes at hand", static_cast<long long>(Size)),
              TkivMark::Wrong);
  else
    Out.Field("Size", int64_t(Declared), "bytes");
  // The tags are read within the profile's bytes, or within those at hand when it declares a
  // size that cannot be.
  if (Declared >= HeaderSize + 4 && Declared <= Size) Size = Declared;
  const uint32_t Cmm = Long();
  Out.Field("Preferred CMM", Cmm == 0 ? "none" : SignatureText(Cmm));
  const uint8_t Major = ReadByte(In), Minor = ReadByte(In);
  ReadWord(In, true);
  Out.Field("Version", Format("%u.%u.%u", Major, Minor >> 4, Minor & 15),
            Major == 2 || Major == 4 || Major == 5 ? "" : "a version this reader does not know",
            Major == 2 || Major == 4 || Major == 5 ? TkivMark::None : TkivMark::Unknown);
  const auto Named = [&](const char* Field, uint32_t Code, std::string_view Name) {
    if (Name.empty())
      Out.Field(Field, SignatureText(Code), "unknown", TkivMark::Unknown);
    else
      Out.Field(Field, SignatureText(Code), Name);
  };
  const uint32_t Class = Long();
  Named("Class", Class, NameOf(Classes, Class));
  const uint32_t Space = Long();
  Named("Colour space", Space, NameOf(ColourSpaces, Space));
  const uint32_t Connection = Long();
  Named("Connection space", Connection, NameOf(ColourSpaces, Connection));
  uint16_t Date[6];
  for (uint16_t& D : Date)
    D = ReadWord(In, true);
  if (const auto Text = DateTimeText(Date[0], Date[1], Date[2], Date[3], Date[4], Date[5]))
    Out.Field("Date and time", *Text);
  else
    Out.Field("Date and time",
              Format("%u-%u-%u %u:%u:%u", Date[0], Date[1], Date[2], Date[3], Date[4], Date[5]),
              "no such date", TkivMark::Wrong);
  const uint32_t Acsp = Long();
  if (Acsp == Signature("acsp"))
    Out.Field("Signature", SignatureText(Acsp));
  else
    Out.Field("Signature", SignatureText(Acsp), "should be 'acsp'", TkivMark::Wrong);
  const uint32_t Platform = Long();
  if (Platform == 0)
    Out.Field("Platform", "none");
  else
    Named("Platform", Platform, NameOf(Platforms, Platform));
  const uint32_t Flags = Long();
  Out.Field("Flags", Format("0x%08X", Flags),
            std::string(Flags & 1 ? "embedded" : "not embedded") +
                (Flags & 2 ? ", not to be used apart from the image" : ", may be used alone"));
  const uint32_t Manufacturer = Long(), Model = Long();
  Out.Field("Manufacturer", Manufacturer == 0 ? "none" : SignatureText(Manufacturer));
  Out.Field("Model", Model == 0 ? "none" : SignatureText(Model));
  const uint32_t AttributesHigh = Long(), Attributes = Long();
  Out.Field("Attributes", Format("0x%08X%08X", AttributesHigh, Attributes),
            std::string(Attributes & 1 ? "transparency" : "reflective") +
                (Attributes & 2 ? ", matte" : ", glossy") +
                (Attributes & 4 ? ", negative" : ", positive") +
                (Attributes & 8 ? ", black and white" : ", colour"));
  const uint32_t Intent = Long();
  if (Intent < std::size(RenderingIntents))
    Out.Field("Rendering intent", int64_t(Intent), RenderingIntents[Intent]);
  else
    Out.Field("Rendering intent", int64_t(Intent), "unknown", TkivMark::Unknown);
  const uint32_t X = Long(), Y = Long(), Z = Long();
  const bool D50 = X == 0xF6D6 && Y == 0x10000 && Z == 0xD32D;
  Out.Field("Illuminant", Fixed16(X) + " " + Fixed16(Y) + " " + Fixed16(Z),
            D50 ? "XYZ, D50" : "XYZ, not D50", D50 ? TkivMark::None : TkivMark::Wrong);
  const uint32_t Creator = Long();
  Out.Field("Creator", Creator == 0 ? "none" : SignatureText(Creator));
  ProfileId(ReadString(In, 16), Declared);
}

void TProfileReader::ProfileId(const std::string& Id, int64_t Declared) {
  const std::string Hex = kivPlatform::DigestHex(Id);
  if (Id.find_first_not_of('\0') == std::string::npos) {
    Out.Field("Profile ID", Hex, "zero: not given");
    return;
  }
  if (Declared != Size || Budget.Take(TkivWork::BytesCopied, Size) < Size) {
    Out.Field("Profile ID", Hex, "not checked: the profile is not all at hand");
    return;
  }
  // As the ICC computes it: over the whole profile with the flags, the rendering intent and
  // the ID itself set to zero.
  kivPlatform::TDigest Digest(kivPlatform::TDigestKind::MD5);
  const int64_t Saved = In.GetPosition();
  At(0);
  std::string Header = ReadString(In, HeaderSize);
  std::fill_n(Header.begin() + 44, 4, '\0');
  std::fill_n(Header.begin() + 64, 4, '\0');
  std::fill_n(Header.begin() + 84, 16, '\0');
  Digest.Update(Header.data(), Header.size());
  constexpr int64_t Chunk = 1 << 16;
  for (int64_t Left = Size - HeaderSize; Left > 0; Left -= Chunk) {
    const std::string Bytes = ReadString(In, std::min(Left, Chunk));
    Digest.Update(Bytes.data(), Bytes.size());
  }
  In.SetPosition(Saved);
  const std::string Computed = kivPlatform::DigestHex(Digest.Finish());
  if (Computed == Hex) {
    Out.Field("Profile ID", Hex, "matches");
  } else {
    Out.Field("Profile ID", Hex, "does not match", TkivMark::Wrong);
    Out.Field("Computed ID", Computed, "the MD5 of the profile");
  }
}

void TProfileReader::TagTable() {
  At(HeaderSize);
  const uint32_t Count = Long();
  // Each entry takes 12 bytes, so the count is bounded by what the profile holds.
  const int64_t Held = std::max<int64_t>(Size - HeaderSize - 4, 0) / 12;
  const int64_t Read = Budget.Take(TkivWork::Entries, std::min<int64_t>({Count, Held, MaxTags}));
  for (int64_t I = 0; I < Read; ++I) {
    TTag Tag{Long(), Long(), Long(), 0, false, {}};
    Entries.push_back(Tag);
  }
  // A table that runs past the profile holds its data: no tag is then told by where it starts.
  const int64_t TableEnd = Count > Held ? 0 : HeaderSize + 4 + 12 * int64_t(Count);
  for (TTag& Tag : Entries) {
    Tag.Inside =
        Tag.Size >= 8 && Tag.Offset >= std::min(TableEnd, Size) && Tag.Offset + Tag.Size <= Size;
    if (!Tag.Inside) continue;
    At(Tag.Offset);
    Tag.Type = Long();
  }
  // Tags may share their data whole; one that starts inside another's is wrong.
  std::vector<TTag*> ByOffset;
  for (TTag& Tag : Entries)
    if (Tag.Inside) ByOffset.push_back(&Tag);
  std::stable_sort(ByOffset.begin(), ByOffset.end(),
                   [](const TTag* A, const TTag* B) { return A->Offset < B->Offset; });
  const TTag* Reaching = nullptr; // the tag whose data reaches farthest so far
  int64_t Overlapping = 0;
  for (TTag* Tag : ByOffset) {
    if (Reaching && Tag->Offset < Reaching->Offset + Reaching->Size &&
        !(Tag->Offset == Reaching->Offset && Tag->Size == Reaching->Size)) {
      Tag->Overlaps = SignatureText(Reaching->Code);
      ++Overlapping;
    }
    if (!Reaching || Tag->Offset + Tag->Size > Reaching->Offset + Reaching->Size) Reaching = Tag;
  }
  {
    TkivDescriptionTable Table(Out, "Tags", {"Tag", "Name", "Offset", "Size", "Type"});
    for (const TTag& Tag : Entries) {
      std::string Type = "outside the profile";
      if (Tag.Inside)
        Type = SignatureText(Tag.Type) + (Tag.Overlaps.empty() ? "" : "; overlaps " + Tag.Overlaps);
      else if (Tag.Size < 8 && Tag.Offset + Tag.Size <= Size)
        Type = "too small for a type";
      else if (Tag.Offset < TableEnd && Tag.Offset + Tag.Size <= Size)
        Type = "inside the header or the tag table";
      const std::string_view Name = NameOf(Tags, Tag.Code);
      Table.Row({SignatureText(Tag.Code), Name.empty() ? "unknown" : std::string(Name),
                 std::to_string(Tag.Offset), std::to_string(Tag.Size), Type},
                !Tag.Inside || !Tag.Overlaps.empty() ? TkivMark::Wrong
                : Name.empty()                       ? TkivMark::Unknown
                                                     : TkivMark::None);
    }
  }
  if (int64_t(Count) > Held)
    Out.Problem(Format("The tag table declares %u tags; the profile's bytes hold %lld", Count,
                       static_cast<long long>(Held)));
  if (int64_t(Entries.size()) < std::min<int64_t>(Count, Held))
    Out.Problem(Format("Only the first %zu tags are listed", Entries.size()));
  if (Overlapping > 0)
    Out.Problem(Format("%lld tags overlap the data of others in part",
                       static_cast<long long>(Overlapping)));
}

void TProfileReader::DecodeTag(const TTag& Tag, std::string_view Name) {
  // The fields before a type's counts.
  const int64_t Least = Tag.Type == Signature("mluc") ? 16 : Tag.Type == Signature("XYZ ") ? 8 : 12;
  if (Tag.Size < Least) {
    Out.Field(Name, "type " + SignatureText(Tag.Type), "the tag is too small for its type",
              TkivMark::Wrong);
    return;
  }
  switch (Tag.Type) {
  case Signature("desc"):
  case Signature("text"):
  case Signature("mluc"):
    TextTag(Tag, Name);
    return;
  case Signature("XYZ "):
    XyzTag(Tag, Name);
    return;
  case Signature("curv"):
  case Signature("para"):
    CurveTag(Tag, Name);
    return;
  default:
    Out.Field(Name, "type " + SignatureText(Tag.Type), "not decoded", TkivMark::Unknown);
  }
}

void TProfileReader::TextTag(const TTag& Tag, std::string_view Name) {
  At(Tag.Offset + 8);
  if (Tag.Type == Signature("text")) {
    Out.Field(Name, UntilNul(ReadString(In, std::min(Tag.Size - 8, MaxDescription))));
    return;
  }
  if (Tag.Type == Signature("desc")) {
    const uint32_t Count = Long();
    const int64_t Ascii = std::min<int64_t>(Count, Tag.Size - 12);
    Out.Field(Name, UntilNul(ReadString(In, std::min(Ascii, MaxDescription))),
              Count > uint64_t(Tag.Size - 12) ? "longer than its tag" : "",
              Count > uint64_t(Tag.Size - 12) ? TkivMark::Wrong : TkivMark::None);
    // The Unicode form that may follow.
    At(Tag.Offset + 12 + Ascii);
    if (Tag.Size - 12 - Ascii < 8) return;
    Long(); // language
    const int64_t Chars = std::min<int64_t>(Long(), (Tag.Size - 20 - Ascii) / 2);
    if (Chars > 0)
      Out.Field(
          std::string(Name) + " (Unicode)",
          UntilNul(WideToUtf8(ReadWideString(In, 2 * std::min(Chars, MaxDescription), true))));
    return;
  }
  const uint32_t Records = Long(), RecordSize = Long();
  if (RecordSize < 12) {
    Out.Field(Name, Format("%u records of %u bytes", Records, RecordSize),
              "a record takes 12 bytes", TkivMark::Wrong);
    return;
  }
  const int64_t Held = (Tag.Size - 16) / RecordSize;
  const int64_t Shown =
      Budget.Take(TkivWork::Entries, std::min<int64_t>({Records, Held, MaxRecords}));
  {
    TkivDescriptionTable Table(Out, Name, {"Language", "Country", "Text"});
    for (int64_t I = 0; I < Shown; ++I) {
      At(Tag.Offset + 16 + I * RecordSize);
      const std::string Language = ReadString(In, 2), Country = ReadString(In, 2);
      const uint32_t Length = Long(), Offset = Long();
      if (uint64_t(Offset) + Length > uint64_t(Tag.Size)) {
        Table.Row({Language, Country, "outside the tag"}, TkivMark::Wrong);
        continue;
      }
      At(Tag.Offset + Offset);
      const int64_t Bytes = std::min<int64_t>(Length, 2 * MaxDescription) & ~int64_t(1);
      Table.Row({Language, Country, UntilNul(WideToUtf8(ReadWideString(In, Bytes, true)))});
    }
  }
  if (int64_t(Records) > Held)
    Out.Problem(Format("%s: %u records declared; the tag holds %lld", std::string(Name).c_str(),
                       Records, static_cast<long long>(Held)));
  else if (Shown < int64_t(Records))
    Out.Problem(Format("%s: only the first %lld records are listed", std::string(Name).c_str(),
                       static_cast<long long>(Shown)));
}

void TProfileReader::XyzTag(const TTag& Tag, std::string_view Name) {
  At(Tag.Offset + 8);
  const int64_t Count = (Tag.Size - 8) / 12;
  if (Count < 1) {
    Out.Field(Name, "no XYZ number", "the tag is too small", TkivMark::Wrong);
    return;
  }
  const uint32_t X = Long(), Y = Long(), Z = Long();
  Out.Field(Name, Fixed16(X) + " " + Fixed16(Y) + " " + Fixed16(Z),
            Count > 1 ? Format("XYZ, and %lld more", static_cast<long long>(Count - 1)) : "XYZ");
}

void TProfileReader::CurveTag(const TTag& Tag, std::string_view Name) {
  At(Tag.Offset + 8);
  if (Tag.Type == Signature("curv")) {
    const uint32_t Count = Long();
    const int64_t Held = (Tag.Size - 12) / 2;
    if (Count > uint64_t(Held)) {
      Out.Field(Name, Format("table of %u points", Count),
                Format("the tag holds %lld", static_cast<long long>(Held)), TkivMark::Wrong);
    } else if (Count == 0) {
      Out.Field(Name, "identity");
    } else if (Count == 1) {
      Out.Field(Name,
                "gamma " + ShortFixedToText(static_cast<long double>(ReadWord(In, true)) / 256, 4));
    } else {
      const uint16_t First = ReadWord(In, true);
      At(Tag.Offset + 12 + 2 * (int64_t(Count) - 1));
      const uint16_t Last = ReadWord(In, true);
      Out.Field(Name, Format("table of %u points", Count),
                "from " + ShortFixedToText(First / 65535.0L, 4) + " to " +
                    ShortFixedToText(Last / 65535.0L, 4));
    }
    return;
  }
  const uint16_t Function = ReadWord(In, true);
  ReadWord(In, true); // reserved
  if (Function >= std::size(Parametrics)) {
    Out.Field(Name, Format("parametric, function type %u", Function), "unknown", TkivMark::Unknown);
    return;
  }
  const TParametric& P = Parametrics[Function];
  std::string Values;
  for (int I = 0; I < P.Count; ++I)
    Values += std::string(I == 0 ? "" : ", ") + ParameterNames[size_t(I)] + " = " + Fixed16(Long());
  Out.Field(Name, Format("parametric, function type %u: ", Function) + Values, P.Formula);
}

// The description alone, for the summary.
std::string ReadDescription(TStream& In, int64_t TagStart, int64_t TagSize) {
  In.SetPosition(TagStart);
  const uint32_t Type = ReadLong(In, true);
  ReadLong(In, true); // reserved
  if (Type == Signature("desc")) {
    const int64_t Count = std::min<int64_t>({ReadLong(In, true), TagSize - 12, MaxDescription});
    return UntilNul(ReadString(In, std::min(Count, BytesLeft(In))));
  }
  if (Type != Signature("mluc")) return {};
  const uint32_t Records = ReadLong(In, true), RecordSize = ReadLong(In, true);
  if (Records == 0 || RecordSize < 12) return {};
  ReadLong(In, true); // language and country of the first record
  const int64_t Length = std::min<int64_t>(ReadLong(In, true), MaxDescription * 2);
  const int64_t Offset = ReadLong(In, true);
  if (Offset >= TagSize) return {};
  In.SetPosition(TagStart + Offset);
  const int64_t Bytes = std::min({Length, TagSize - Offset, BytesLeft(In)}) & ~int64_t(1);
  return UntilNul(WideToUtf8(ReadWideString(In, Bytes, true)));
}

void DescribeProfile(TStream& In, TkivWorkBudget& Budget, TkivDescription& Out) {
  const int64_t Start = In.GetPosition();
  const int64_t Size = BytesLeft(In);
  if (Size < HeaderSize + 4) {
    Out.Problem(Format("%lld bytes are too few for a profile's header and tag count",
                       static_cast<long long>(Size)));
    return;
  }
  TProfileReader(In, Start, Size, Budget, Out).Describe();
}

} // namespace

bool ReadIccProfilePiece(TStream& Payload, TkivPiece& Piece) {
  Piece.Place = ReadByte(Payload);
  Piece.Total = ReadByte(Payload);
  Piece.DataStart = 2;
  return true;
}

void DescribeIccProfile(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  if (Input.Whole) {
    DescribeProfile(In, Input.Budget, Out);
    return;
  }
  // One piece: its header, and the profile when the piece holds all of it.
  const uint8_t Sequence = ReadByte(In), Count = ReadByte(In);
  const bool Wrong = Sequence == 0 || Sequence > Count;
  Out.Field("Piece", Format("%u of %u", Sequence, Count), Wrong ? "outside 1 to the count" : "",
            Wrong ? TkivMark::Wrong : TkivMark::None);
  if (Sequence == 1 && Count == 1) {
    DescribeProfile(In, Input.Budget, Out);
    return;
  }
  Out.Hex("Data of the piece", In, BytesLeft(In));
}

std::string IccProfileDescription(TStream& Profile) {
  const int64_t Start = Profile.GetPosition();
  try {
    if (!HasBytes(Profile, HeaderSize + 4)) return {};
    Profile.SetPosition(Start + HeaderSize);
    // Each entry takes 12 bytes, so the count is bounded by what follows.
    const int64_t Tags = std::min<int64_t>(ReadLong(Profile, true), BytesLeft(Profile) / 12);
    for (int64_t I = 0; I < Tags; ++I) {
      const uint32_t Tag = ReadLong(Profile, true);
      const int64_t Offset = ReadLong(Profile, true), Size = ReadLong(Profile, true);
      if (Tag != Signature("desc")) continue;
      if (Size < 12 || Offset + Size > Profile.GetSize() - Start) return {};
      return ReadDescription(Profile, Start + Offset, Size);
    }
  } catch (const EReadError&) {
  }
  return {};
}
