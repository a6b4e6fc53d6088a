#include "extended/kivIptc.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "platform/kivCodePage.h"
#include "platform/kivDigest.h"

namespace {

constexpr uint16_t IptcResource = 1028, DigestResource = 1061;
// Datasets shown: real records hold a few dozen.
constexpr int64_t MaxDatasets = 4096;
constexpr size_t MaxValue = 1024;

enum class TKind : uint8_t { Text, Binary, Number, Date, Time };

struct TDataset {
  uint8_t Record, Number;
  const char* Name;
  TKind Kind;
};

// Records 1 (envelope) and 2 (application), in the order of the IIM.
constexpr TDataset Datasets[] = {
    {1, 0, "Model Version", TKind::Number},
    {1, 5, "Destination", TKind::Text},
    {1, 20, "File Format", TKind::Number},
    {1, 22, "File Format Version", TKind::Number},
    {1, 30, "Service Identifier", TKind::Text},
    {1, 40, "Envelope Number", TKind::Text},
    {1, 50, "Product ID", TKind::Text},
    {1, 60, "Envelope Priority", TKind::Text},
    {1, 70, "Date Sent", TKind::Date},
    {1, 80, "Time Sent", TKind::Time},
    {1, 90, "Coded Character Set", TKind::Binary},
    {1, 100, "UNO", TKind::Text},
    {1, 120, "ARM Identifier", TKind::Number},
    {1, 122, "ARM Version", TKind::Number},
    {2, 0, "Record Version", TKind::Number},
    {2, 3, "Object Type Reference", TKind::Text},
    {2, 4, "Object Attribute Reference", TKind::Text},
    {2, 5, "Object Name", TKind::Text},
    {2, 7, "Edit Status", TKind::Text},
    {2, 8, "Editorial Update", TKind::Text},
    {2, 10, "Urgency", TKind::Text},
    {2, 12, "Subject Reference", TKind::Text},
    {2, 15, "Category", TKind::Text},
    {2, 20, "Supplemental Category", TKind::Text},
    {2, 22, "Fixture Identifier", TKind::Text},
    {2, 25, "Keywords", TKind::Text},
    {2, 26, "Content Location Code", TKind::Text},
    {2, 27, "Content Location Name", TKind::Text},
    {2, 30, "Release Date", TKind::Date},
    {2, 35, "Release Time", TKind::Time},
    {2, 37, "Expiration Date", TKind::Date},
    {2, 38, "Expiration Time", TKind::Time},
    {2, 40, "Special Instructions", TKind::Text},
    {2, 42, "Action Advised", TKind::Text},
    {2, 45, "Reference Service", TKind::Text},
    {2, 47, "Reference Date", TKind::Date},
    {2, 50, "Reference Number", TKind::Text},
    {2, 55, "Date Created", TKind::Date},
    {2, 60, "Time Created", TKind::Time},
    {2, 62, "Digital Creation Date", TKind::Date},
    {2, 63, "Digital Creation Time", TKind::Time},
    {2, 65, "Originating Program", TKind::Text},
    {2, 70, "Program Version", TKind::Text},
    {2, 75, "Object Cycle", TKind::Text},
    {2, 80, "By-line", TKind::Text},
    {2, 85, "By-line Title", TKind::Text},
    {2, 90, "City", TKind::Text},
    {2, 92, "Sub-location", TKind::Text},
    {2, 95, "Province/State", TKind::Text},
    {2, 100, "Country/Primary Location Code", TKind::Text},
    {2, 101, "Country/Primary Location Name", TKind::Text},
    {2, 103, "Original Transmission Reference", TKind::Text},
    {2, 105, "Headline", TKind::Text},
    {2, 110, "Credit", TKind::Text},
    {2, 115, "Source", TKind::Text},
    {2, 116, "Copyright Notice", TKind::Text},
    {2, 118, "Contact", TKind::Text},
    {2, 120, "Caption/Abstract", TKind::Text},
    {2, 122, "Writer/Editor", TKind::Text},
    {2, 125, "Rasterized Caption", TKind::Binary},
    {2, 130, "Image Type", TKind::Text},
    {2, 131, "Image Orientation", TKind::Text},
    {2, 135, "Language Identifier", TKind::Text},
    {2, 150, "Audio Type", TKind::Text},
    {2, 151, "Audio Sampling Rate", TKind::Text},
    {2, 152, "Audio Sampling Resolution", TKind::Text},
    {2, 153, "Audio Duration", TKind::Text},
    {2, 154, "Audio Outcue", TKind::Text},
    {2, 200, "ObjectData Preview File Format", TKind::Number},
    {2, 201, "ObjectData Preview File Format Version", TKind::Number},
    {2, 202, "ObjectData Preview Data", TKind::Binary},
};

const TDataset* FindDataset(uint8_t Record, uint8_t Number) {
  for (const TDataset& D : Datasets)
    if (D.Record == Record && D.Number == Number) return &D;
  return nullptr;
}

void AppendUtf8(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out += char(C);
  } else if (C < 0x800) {
    Out += char(0xC0 | (C >> 6));
    Out += char(0x80 | (C & 0x3F));
  } else {
    Out += char(0xE0 | (C >> 12));
    Out += char(0x80 | ((C >> 6) & 0x3F));
    Out += char(0x80 | (C & 0x3F));
  }
}

// Text in the page's code page (Windows-1251) as UTF-8, through the platform's own table.
std::string PageTextToUtf8(const std::string& Bytes) {
  static const std::vector<char32_t> High = [] {
    std::vector<char32_t> T(128, 0xFFFD);
    // Every character of the code page above 0x7F lies in these blocks.
    for (const auto& [From, To] :
         {std::pair<char32_t, char32_t>{0xA0, 0xBB}, {0x0400, 0x0491}, {0x2013, 0x2122}})
      for (char32_t C = From; C <= To; ++C)
        if (const int B = kivPlatform::CharToWindows1251(C); B >= 0x80) T[size_t(B - 0x80)] = C;
    return T;
  }();
  std::string Out;
  for (const char Ch : Bytes) {
    const auto B = uint8_t(Ch);
    AppendUtf8(Out, B < 0x80 ? char32_t(B) : High[B - 0x80]);
  }
  return Out;
}

std::string Digits(const std::string& S) {
  return std::all_of(S.begin(), S.end(), [](char C) { return C >= '0' && C <= '9'; })
             ? S
             : std::string();
}

// CCYYMMDD as CCYY-MM-DD; HHMMSS and its offset from UTC as HH:MM:SS+HH:MM.
std::optional<std::string> DateText(const std::string& V) {
  if (V.size() != 8 || Digits(V).empty()) return std::nullopt;
  return V.substr(0, 4) + "-" + V.substr(4, 2) + "-" + V.substr(6, 2);
}

std::optional<std::string> TimeText(const std::string& V) {
  if (V.size() < 6 || Digits(V.substr(0, 6)).empty()) return std::nullopt;
  std::string T = V.substr(0, 2) + ":" + V.substr(2, 2) + ":" + V.substr(4, 2);
  if (V.size() == 6) return T;
  if (V.size() != 11 || (V[6] != '+' && V[6] != '-') || Digits(V.substr(7)).empty())
    return std::nullopt;
  return T + V[6] + V.substr(7, 2) + ":" + V.substr(9, 2);
}

std::string HexBytes(const std::string& V, size_t Max) {
  std::string S;
  for (size_t I = 0; I < V.size() && I < Max; ++I)
    S += Format(I ? " %02X" : "%02X", uint8_t(V[I]));
  if (V.size() > Max) S += " ...";
  return S;
}

std::string Shortened(std::string Text) {
  if (Text.size() <= MaxValue) return Text;
  size_t Cut = MaxValue;
  while (Cut > 0 && (uint8_t(Text[Cut]) & 0xC0) == 0x80)
    --Cut;
  return Text.substr(0, Cut) + Format("... (%zu bytes)", Text.size());
}

void DescribeDatasets(const std::string& Data, TkivWorkBudget& Budget, TkivDescription& Out) {
  TkivBytesView In(reinterpret_cast<const uint8_t*>(Data.data()), int64_t(Data.size()));
  bool Utf8 = false;
  int64_t Padding = 0;
  std::vector<std::string> Problems;
  int64_t Shown = 0;
  {
    TkivDescriptionTable Table(Out, "IPTC-IIM datasets", {"Dataset", "Name", "Value"});
    while (HasBytes(In, 1)) {
      const int64_t At = In.GetPosition();
      if (ReadByte(In) != 0x1C) {
        // Writers pad the resource with zeros.
        In.SetPosition(At);
        const std::string Rest = ReadString(In, BytesLeft(In));
        if (Rest.find_first_not_of('\0') == std::string::npos) {
          Padding = int64_t(Rest.size());
          break;
        }
        Problems.push_back(Format("Byte %lld starts no dataset (0x1C); the rest is not read",
                                  static_cast<long long>(At)));
        break;
      }
      if (!HasBytes(In, 4)) {
        Problems.push_back("The last dataset's header is cut short");
        break;
      }
      const uint8_t Record = ReadByte(In), Number = ReadByte(In);
      int64_t Length = ReadWord(In, true);
      if (Length & 0x8000) {
        // The extended form: the low bits count the bytes of the length that follows.
        const int64_t Bytes = Length & 0x7FFF;
        if (Bytes == 0 || Bytes > 4 || !HasBytes(In, Bytes)) {
          Problems.push_back(Format("Dataset %u:%02u: an extended length of %lld bytes, which "
                                    "cannot be read",
                                    unsigned(Record), unsigned(Number),
                                    static_cast<long long>(Bytes)));
          break;
        }
        Length = 0;
        for (int64_t I = 0; I < Bytes; ++I)
          Length = Length << 8 | ReadByte(In);
      }
      if (Length > BytesLeft(In)) {
        Problems.push_back(Format("Dataset %u:%02u declares %lld bytes; %lld are left, which are "
                                  "shown",
                                  unsigned(Record), unsigned(Number),
                                  static_cast<long long>(Length),
                                  static_cast<long long>(BytesLeft(In))));
        Length = BytesLeft(In);
      }
      const std::string Value = ReadString(In, Length);
      if (Shown >= MaxDatasets || Budget.Take(TkivWork::Entries, 1) < 1) {
        Problems.push_back("More datasets than a report shows; the rest are not listed");
        break;
      }
      ++Shown;
      const TDataset* D = FindDataset(Record, Number);
      const TKind Kind = D ? D->Kind : TKind::Binary;
      std::string Text;
      TkivMark Mark = D ? TkivMark::None : TkivMark::Unknown;
      if (Record == 1 && Number == 90) {
        Utf8 = Value == "\x1B%G";
        Text = HexBytes(Value, 16) + (Utf8 ? " (ESC % G: UTF-8)" : " (a character set not read)");
      } else if (Kind == TKind::Number && Value.size() >= 1 && Value.size() <= 4) {
        uint32_t N = 0;
        for (const char C : Value)
          N = N << 8 | uint8_t(C);
        Text = std::to_string(N);
      } else if (Kind == TKind::Text || Kind == TKind::Date || Kind == TKind::Time) {
        Text = Shortened(Utf8 ? Value : PageTextToUtf8(Value));
        const auto Formatted = Kind == TKind::Date   ? DateText(Value)
                               : Kind == TKind::Time ? TimeText(Value)
                                                     : std::optional<std::string>(Text);
        if (!Formatted) {
          Mark = TkivMark::Wrong;
          Text += Kind == TKind::Date ? " (no date CCYYMMDD)" : " (no time HHMMSS+HHMM)";
        } else if (Kind != TKind::Text) {
          Text = *Formatted;
        }
      } else {
        Text = Format("%zu bytes: ", Value.size()) + HexBytes(Value, 32);
      }
      Table.Row({Format("%u:%02u", unsigned(Record), unsigned(Number)),
                 D ? D->Name : "unknown dataset", Text},
                Mark);
    }
  }
  if (Padding > 0)
    Out.Field("Padding", Padding == 1 ? std::string("1 zero byte")
                                      : Format("%lld zero bytes", static_cast<long long>(Padding)));
  for (const std::string& P : Problems)
    Out.Problem(P);
}

struct TResource {
  uint16_t ID = 0;
  std::string Data;
};

} // namespace

void DescribeIptc(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  // The resource blocks: "8BIM", ID, a Pascal name padded to an even size, the data's size,
  // the data padded to an even size. Only the two of IPTC are kept.
  std::optional<TResource> Iptc, Digest;
  int64_t Blocks = 0;
  while (HasBytes(In, 12)) {
    const int64_t At = In.GetPosition();
    if (ReadString(In, 4) != "8BIM") {
      In.SetPosition(At);
      break;
    }
    const uint16_t ID = ReadWord(In, true);
    const uint8_t NameLength = ReadByte(In);
    In.SetPosition(std::min(In.GetSize(), In.GetPosition() + NameLength + (NameLength % 2 == 0)));
    const int64_t Size = ReadLong(In, true);
    ++Blocks;
    if (Size > BytesLeft(In)) {
      Out.Problem(Format("Resource %u declares %lld bytes; %lld are left", unsigned(ID),
                         static_cast<long long>(Size), static_cast<long long>(BytesLeft(In))));
    }
    const int64_t Take = std::min(Size, BytesLeft(In));
    if ((ID == IptcResource && !Iptc) || (ID == DigestResource && !Digest)) {
      (ID == IptcResource ? Iptc : Digest) = TResource{ID, ReadString(In, Take)};
    } else {
      In.SetPosition(In.GetPosition() + Take);
    }
    In.SetPosition(std::min(In.GetSize(), In.GetPosition() + (Take % 2)));
  }
  // What follows the blocks is left to the hex dump; so are the blocks themselves when none
  // could be read (the piece of a split resource).
  if (Blocks == 0) return;
  if (!Iptc) {
    Out.Field("IPTC-IIM", "none", "the resources hold no block 1028");
  } else {
    Out.Field("IPTC-IIM", Format("%zu bytes", Iptc->Data.size()), "resource 1028");
    DescribeDatasets(Iptc->Data, Input.Budget, Out);
  }
  if (!Digest) return;
  const std::string Stored = Digest->Data;
  if (Stored.size() != 16) {
    Out.Field("IPTC digest", HexBytes(Stored, 32), "resource 1061 holds 16 bytes", TkivMark::Wrong);
    return;
  }
  const std::string Hex = kivPlatform::DigestHex(Stored);
  if (!Iptc) {
    if (Stored.find_first_not_of('\0') == std::string::npos)
      Out.Field("IPTC digest", Hex, "zeros: no IPTC data");
    else
      Out.Field("IPTC digest", Hex, "of IPTC data that is not there", TkivMark::Wrong);
    return;
  }
  const std::string Computed =
      kivPlatform::DigestOf(kivPlatform::TDigestKind::MD5, Iptc->Data.data(), Iptc->Data.size());
  if (Computed == Stored) {
    Out.Field("IPTC digest", Hex, "matches");
  } else {
    Out.Field("IPTC digest", Hex, "stale: the IPTC data changed after the digest was written",
              TkivMark::Wrong);
    Out.Field("MD5 of resource 1028", kivPlatform::DigestHex(Computed));
  }
}
