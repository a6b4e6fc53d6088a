#include "extended/kivGainMap.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "extended/kivXmp.h"

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivNumberText.h"
#include "framework/kivXmlDocument.h"
#include "jpeg/kivJpegFile.h"

namespace {

// The flags byte of the full form.
constexpr uint8_t MultiChannel = 0x80, UseBaseColourSpace = 0x40, CommonDenominator = 0x08,
                  BackwardDirection = 0x04;

// A fraction as stored; Denominator 0 is wrong.
struct TFraction {
  int64_t N = 0;
  uint32_t D = 1;
};

std::string FractionText(const TFraction& F) {
  std::string S = std::to_string(F.N) + "/" + std::to_string(F.D);
  if (F.D == 0) return S + " (a denominator of 0)";
  return S + " = " + ShortFixedToText(static_cast<long double>(F.N) / F.D, 6);
}

class TReader {
public:
  TReader(TStream& In, bool Common, uint32_t Denominator)
      : In(In), Common(Common), Denominator(Denominator) {}
  TFraction Signed() { return Read(true); }
  TFraction Unsigned() { return Read(false); }

private:
  TFraction Read(bool IsSigned) {
    const uint32_t Raw = ReadLong(In, true);
    TFraction F;
    F.N = IsSigned ? int64_t(int32_t(Raw)) : int64_t(Raw);
    F.D = Common ? Denominator : ReadLong(In, true);
    return F;
  }
  TStream& In;
  bool Common;
  uint32_t Denominator;
};

} // namespace

void DescribeIsoGainMap(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  const uint16_t Minimum = ReadWord(In, true);
  const uint16_t Writer = ReadWord(In, true);
  Out.Field("Minimum version", Minimum, Minimum == 0 ? "" : "a version this reader does not know",
            Minimum == 0 ? TkivMark::None : TkivMark::Unknown);
  Out.Field("Writer version", Writer, Writer < Minimum ? "below the minimum version" : "",
            Writer < Minimum ? TkivMark::Wrong : TkivMark::None);
  if (!HasBytes(In, 1)) {
    Out.Field("Form", "versions only", "as the primary image carries it");
    return;
  }
  // The fields of other versions are not known.
  if (Minimum != 0) return;
  const uint8_t Flags = ReadByte(In);
  const int Channels = Flags & MultiChannel ? 3 : 1;
  const bool Common = Flags & CommonDenominator;
  Out.Field("Form", "full", "as the gain map carries it");
  Out.Field("Channels", Channels, Channels == 3 ? "one set of values per colour" : "one for all");
  Out.Field("Colour space of the gain map math",
            Flags & UseBaseColourSpace ? "the base image's" : "the alternate image's");
  Out.Field("Direction", Flags & BackwardDirection ? "backward" : "forward",
            Flags & BackwardDirection ? "the base image is the HDR one" : "the base image is SDR");
  const uint8_t Reserved =
      Flags & ~(MultiChannel | UseBaseColourSpace | CommonDenominator | BackwardDirection);
  if (Reserved)
    Out.Field("Reserved flags", Format("0x%02X", Reserved), "set, though reserved",
              TkivMark::Unknown);
  uint32_t Denominator = 1;
  if (Common) {
    Denominator = ReadLong(In, true);
    Out.Field("Common denominator", int64_t(Denominator),
              Denominator == 0 ? "a denominator of 0" : "",
              Denominator == 0 ? TkivMark::Wrong : TkivMark::None);
  } else {
    Out.Field("Common denominator", "none", "each value has its own");
  }
  TReader Read(In, Common, Denominator);
  std::vector<std::string> Zero;
  const auto Show = [&](const char* Name, const TFraction& F, const char* Note) {
    if (F.D == 0) Zero.push_back(Name);
    Out.Field(Name, FractionText(F), Note, F.D == 0 ? TkivMark::Wrong : TkivMark::None);
  };
  const TFraction BaseHeadroom = Read.Unsigned();
  Show("Base HDR headroom", BaseHeadroom, "log2");
  const TFraction AlternateHeadroom = Read.Unsigned();
  Show("Alternate HDR headroom", AlternateHeadroom, "log2");
  {
    TkivDescriptionTable Table(Out, "Per channel",
                               {"Channel", "Gain map minimum (log2)", "Gain map maximum (log2)",
                                "Gamma", "Base offset", "Alternate offset"});
    static const char* const Names[] = {"red", "green", "blue"};
    for (int C = 0; C < Channels; ++C) {
      const TFraction Values[] = {Read.Signed(), Read.Signed(), Read.Unsigned(), Read.Signed(),
                                  Read.Signed()};
      std::vector<std::string> Row = {Channels == 1 ? "all" : Names[C]};
      bool Wrong = false;
      for (const TFraction& F : Values) {
        Row.push_back(FractionText(F));
        Wrong = Wrong || F.D == 0;
      }
      // A gamma of 0 or below raises nothing to a power.
      Wrong = Wrong || Values[2].N == 0;
      if (Wrong) Zero.push_back(Format("channel %s", Row[0].c_str()));
      Table.Row(Row, Wrong ? TkivMark::Wrong : TkivMark::None);
    }
  }
  for (const std::string& Name : Zero)
    Out.Problem(Name + ": a denominator of 0, or a gamma of 0");
}

namespace {

constexpr std::string_view HdrGmNs = "http://ns.adobe.com/hdr-gain-map/1.0/";
constexpr std::string_view ContainerNs = "http://ns.google.com/photos/1.0/container/";
constexpr std::string_view ItemNs = "http://ns.google.com/photos/1.0/container/item/";
constexpr std::string_view ApdiNs = "http://ns.apple.com/pixeldatainfo/1.0/";
constexpr std::string_view AppleGainMapNs = "http://ns.apple.com/HDRGainMap/1.0/";
constexpr std::string_view AppleGainMapType = "urn:com:apple:photo:2020:aux:hdrgainmap";

std::optional<double> Number(const std::string& Text) {
  const char* Begin = Text.data();
  const char* End = Begin + Text.size();
  while (Begin < End && *Begin == ' ')
    ++Begin;
  if (Begin < End && *Begin == '+') ++Begin;
  double V = 0;
  const auto [Ptr, Error] = std::from_chars(Begin, End, V);
  if (Error != std::errc() || Ptr != End || !std::isfinite(V)) return std::nullopt;
  return V;
}

std::string Joined(const std::vector<std::string>& Items) {
  std::string S;
  for (const std::string& Item : Items)
    S += (S.empty() ? "" : ", ") + Item;
  return S;
}

// Ultra HDR's fields, in the order of its definition; Log2: stored as log2 of a factor.
struct THdrGmField {
  const char* Name;
  bool Log2;
  bool Required;
};
constexpr THdrGmField HdrGmFields[] = {
    {"GainMapMin", true, false},    {"GainMapMax", true, true},  {"Gamma", false, false},
    {"OffsetSDR", false, false},    {"OffsetHDR", false, false}, {"HDRCapacityMin", true, false},
    {"HDRCapacityMax", true, true},
};

void DescribeHdrGm(const std::vector<const TkivXmlNode*>& Descriptions, bool GainMapImage,
                   TkivDescription& Out) {
  TkivDescriptionGroup Group(Out, "Gain map (Ultra HDR)");
  const auto Version = XmpProperty(Descriptions, HdrGmNs, "Version");
  if (Version)
    Out.Field("Version", Joined(*Version),
              Joined(*Version) == "1.0" ? "" : "a version this reader does not know",
              Joined(*Version) == "1.0" ? TkivMark::None : TkivMark::Unknown);
  else
    Out.Field("Version", "missing", "every image of the format names it", TkivMark::Wrong);
  if (!GainMapImage) {
    Out.Field("Form", "the version alone", "as the primary image carries it");
    return;
  }
  std::vector<double> Values[std::size(HdrGmFields)];
  for (size_t F = 0; F < std::size(HdrGmFields); ++F) {
    const THdrGmField& Field = HdrGmFields[F];
    const auto Items = XmpProperty(Descriptions, HdrGmNs, Field.Name);
    if (!Items) {
      if (Field.Required) Out.Field(Field.Name, "missing", "a gain map needs it", TkivMark::Wrong);
      continue;
    }
    std::string Note;
    bool Wrong = Items->size() != 1 && Items->size() != 3;
    for (const std::string& Item : *Items) {
      const std::optional<double> V = Number(Item);
      if (!V) {
        Wrong = true;
        continue;
      }
      Values[F].push_back(*V);
      if (Field.Log2) Note += (Note.empty() ? "" : ", ") + ShortFixedToText(std::pow(2.0L, *V), 6);
    }
    if (Field.Log2 && !Note.empty())
      Note = (Values[F].size() == 1 ? "log2; as a factor: " : "log2; as factors: ") + Note;
    if (Wrong) Note = "one number or three are expected";
    Out.Field(Field.Name, Joined(*Items), Note, Wrong ? TkivMark::Wrong : TkivMark::None);
  }
  if (const auto Base = XmpProperty(Descriptions, HdrGmNs, "BaseRenditionIsHDR")) {
    const std::string V = Joined(*Base);
    const bool Known = V == "True" || V == "False";
    Out.Field("BaseRenditionIsHDR", V,
              !Known        ? "True or False is expected"
              : V == "True" ? "the base image is the HDR one"
                            : "the base image is SDR",
              Known ? TkivMark::None : TkivMark::Wrong);
  }
  // Each minimum below its maximum, channel by channel (one value stands for all three).
  const auto Below = [&](size_t Min, size_t Max, const char* What) {
    const std::vector<double>&A = Values[Min], &B = Values[Max];
    for (size_t C = 0; C < std::max(A.size(), B.size()) && !A.empty() && !B.empty(); ++C)
      if (A[std::min(C, A.size() - 1)] > B[std::min(C, B.size() - 1)]) {
        Out.Problem(What);
        return;
      }
  };
  Below(0, 1, "GainMapMin is above GainMapMax");
  Below(5, 6, "HDRCapacityMin is above HDRCapacityMax");
  for (const double G : Values[2])
    if (G <= 0) {
      Out.Problem("Gamma is not above 0");
      break;
    }
}

// An item of the container directory, from its attributes or its elements.
struct TContainerItem {
  std::string Semantic, Mime, Length, Padding, Uri;
};

std::string ItemField(const TkivXmlNode& Item, std::string_view Name) {
  if (const TkivXmlAttribute* A = Item.Attribute(ItemNs, Name)) return A->Value;
  for (const TkivXmlNode* Child : Item.Elements())
    if (Child->Is(ItemNs, Name)) return Child->InnerText();
  return {};
}

std::vector<TContainerItem> ContainerItems(const TkivXmlNode& Directory) {
  std::vector<TContainerItem> Items;
  for (const TkivXmlNode* Seq : Directory.Elements())
    for (const TkivXmlNode* Li : Seq->Elements()) {
      // rdf:li holds a Container:Item, or is one itself (rdf:parseType="Resource").
      const TkivXmlNode* Item = Li;
      for (const TkivXmlNode* Child : Li->Elements())
        if (Child->Is(ContainerNs, "Item")) Item = Child;
      Items.push_back({ItemField(*Item, "Semantic"), ItemField(*Item, "Mime"),
                       ItemField(*Item, "Length"), ItemField(*Item, "Padding"),
                       ItemField(*Item, "URI")});
    }
  return Items;
}

std::string Hex8(int64_t V) {
  return Format("0x%08llX", static_cast<unsigned long long>(V));
}

void DescribeContainer(const TkivXmlNode& Directory, const TkivExtendedInput& Input,
                       TkivDescription& Out) {
  const std::vector<TContainerItem> Items = ContainerItems(Directory);
  // Only the first image's directory speaks of the file's images.
  const auto* File = dynamic_cast<const TkivJpegFile*>(Input.File);
  if (File && (File->Images.empty() || Input.Index >= File->Images[0].Last)) File = nullptr;
  int64_t FileEnd = 0;
  if (File && File->Count() > 0) {
    const TkivSegment& Last = File->Segment(File->Count() - 1);
    FileEnd = Last.FileOffset + Last.GetSize();
  }
  std::vector<std::string> Header = {"Item", "Semantic", "MIME type", "Length", "Padding"};
  if (File) Header.push_back("In the file");
  std::vector<std::string> Problems;
  {
    TkivDescriptionTable Table(Out, "Container directory", Header);
    // Where the next item starts: after the image before it and its padding.
    int64_t Next = -1;
    for (size_t K = 0; K < Items.size() && K < size_t(TkivJpegFile::MaxImages) * 4; ++K) {
      const TContainerItem& I = Items[K];
      std::vector<std::string> Row = {std::to_string(K + 1), I.Semantic, I.Mime, I.Length,
                                      I.Padding};
      int64_t Length = -1, Padding = 0;
      bool Wrong = false;
      if (!I.Length.empty() && (!TextToInt64(I.Length, Length) || Length < 0)) {
        Problems.push_back(Format("Item %zu: the length is no number", K + 1));
        Wrong = true;
      }
      if (!I.Padding.empty() && (!TextToInt64(I.Padding, Padding) || Padding < 0)) {
        Problems.push_back(Format("Item %zu: the padding is no number", K + 1));
        Wrong = true;
        Padding = 0;
      }
      if (K == 0 && I.Semantic != "Primary") {
        Problems.push_back(
            "The first item is the primary image, not " +
            (I.Semantic.empty() ? std::string("an item without a semantic") : I.Semantic));
        Wrong = true;
      }
      if (File) {
        std::string Found;
        const bool Video = I.Mime.rfind("video/", 0) == 0;
        if (K == 0) {
          const auto& Image = File->Images[0];
          Found = Format("image 1, %s bytes", std::to_string(Image.Size).c_str());
          Next = Image.Offset + Image.Size + Padding;
        } else if (!Video && K < File->Images.size()) {
          const auto& Image = File->Images[K];
          Found = Format("image %zu, %lld bytes at %s", K + 1, static_cast<long long>(Image.Size),
                         Hex8(Image.Offset).c_str());
          if (Length >= 0 && Length != Image.Size) {
            Found += Format("; the item says %lld", static_cast<long long>(Length));
            Problems.push_back(Format("Item %zu: the directory gives %lld bytes; the image runs "
                                      "%lld",
                                      K + 1, static_cast<long long>(Length),
                                      static_cast<long long>(Image.Size)));
            Wrong = true;
          }
          if (Next >= 0 && Image.Offset != Next) {
            Found += "; the directory puts it at " + Hex8(Next);
            Problems.push_back(Format("Item %zu: the directory puts it at %s; the image starts at "
                                      "%s",
                                      K + 1, Hex8(Next).c_str(), Hex8(Image.Offset).c_str()));
            Wrong = true;
          }
          Next = Image.Offset + Image.Size + Padding;
        } else if (Video && Length > 0 && FileEnd > 0) {
          // A video ends the file.
          Found = Format("the last %lld bytes, from %s", static_cast<long long>(Length),
                         Hex8(FileEnd - Length).c_str());
          if (Next >= 0 && FileEnd - Length != Next) {
            Found += "; the directory puts it at " + Hex8(Next);
            Wrong = true;
          }
          Next = FileEnd + Padding;
        } else {
          Found = "no image of the file";
          Wrong = true;
          Next = -1;
        }
        Row.push_back(Found);
      }
      Table.Row(Row, Wrong ? TkivMark::Wrong : TkivMark::None);
    }
  }
  if (Items.size() > size_t(TkivJpegFile::MaxImages) * 4)
    Out.Problem(Format("%zu more items are not shown", Items.size() - TkivJpegFile::MaxImages * 4));
  for (const std::string& P : Problems)
    Out.Problem(P);
}

void DescribeApple(const std::vector<const TkivXmlNode*>& Descriptions, TkivDescription& Out) {
  TkivDescriptionGroup Group(Out, "Gain map (Apple)");
  Out.Field("AuxiliaryImageType", std::string(AppleGainMapType), "an HDR gain map");
  if (const auto Version = XmpProperty(Descriptions, AppleGainMapNs, "HDRGainMapVersion")) {
    int64_t V = 0;
    const bool Ok = TextToInt64(Joined(*Version), V) && V >= 0;
    Out.Field("HDRGainMapVersion", Joined(*Version),
              Ok ? Format("%lld.%lld", static_cast<long long>(V >> 16),
                          static_cast<long long>(V & 0xFFFF))
                 : "no number",
              Ok ? TkivMark::None : TkivMark::Wrong);
  }
  if (const auto Headroom = XmpProperty(Descriptions, AppleGainMapNs, "HDRGainMapHeadroom")) {
    const std::optional<double> V = Number(Joined(*Headroom));
    Out.Field("HDRGainMapHeadroom", Joined(*Headroom),
              V && *V > 0 ? "as a factor; log2: " + ShortFixedToText(std::log2(*V), 6)
                          : "no number above 0",
              V && *V > 0 ? TkivMark::None : TkivMark::Wrong);
  }
}

} // namespace

void DescribeGainMapXmp(const TkivXmlDocument& Document, const TkivExtendedInput& Input,
                        TkivDescription& Out) {
  const std::vector<const TkivXmlNode*> Descriptions = XmpDescriptions(Document);
  const auto Has = [&](std::string_view Ns) {
    for (const TkivXmlNode* D : Descriptions) {
      for (const TkivXmlAttribute& A : D->Attributes)
        if (A.Uri == Ns) return true;
      for (const TkivXmlNode* P : D->Elements())
        if (P->Uri == Ns) return true;
    }
    return false;
  };
  const TkivXmlNode* Directory = XmpElement(Descriptions, ContainerNs, "Directory");
  // The primary image names the version alone; a gain map has its values.
  bool Values = false;
  for (const THdrGmField& Field : HdrGmFields)
    Values = Values || XmpProperty(Descriptions, HdrGmNs, Field.Name).has_value();
  if (Has(HdrGmNs)) DescribeHdrGm(Descriptions, Values, Out);
  if (Directory) DescribeContainer(*Directory, Input, Out);
  const auto Type = XmpProperty(Descriptions, ApdiNs, "AuxiliaryImageType");
  if (Type && Joined(*Type) == AppleGainMapType) DescribeApple(Descriptions, Out);
}
