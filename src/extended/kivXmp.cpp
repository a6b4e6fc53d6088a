#include "extended/kivXmp.h"

#include <algorithm>

#include "extended/kivExtendedReport.h"
#include "extended/kivGainMap.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivXmlDocument.h"
#include "jpeg/kivJpegFile.h"
#include "platform/kivDigest.h"

namespace {

constexpr std::string_view RdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr std::string_view XmlNs = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view NoteNs = "http://ns.adobe.com/xmp/note/";
constexpr std::string_view MainId = {"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view ExtensionId = {"http://ns.adobe.com/xmp/extension/\0", 35};
constexpr int64_t GuidSize = 32, PieceHeaderSize = GuidSize + 8;

// A table of a packet's properties stops here: real packets have a few hundred.
constexpr int64_t MaxRows = 10000;
// A value longer than this is shown in part (thumbnails and depth maps travel as base64).
constexpr size_t MaxValue = 1024;
// The packet's text on the page; the properties still show what lies beyond.
constexpr size_t MaxText = size_t(4) << 20;
// A tree node costs about a hundred bytes; the markup of one takes three at the least.
constexpr int64_t MaxNodes = int64_t(1) << 18;

std::string Grouped(int64_t N) {
  const std::string Digits = std::to_string(N < 0 ? -N : N);
  std::string S = N < 0 ? "-" : "";
  for (size_t I = 0; I < Digits.size(); ++I) {
    if (I > 0 && (Digits.size() - I) % 3 == 0) S += ',';
    S += Digits[I];
  }
  return S;
}

std::string Upper(std::string S) {
  for (char& C : S)
    if (C >= 'a' && C <= 'z') C = char(C - 'a' + 'A');
  return S;
}

// Text cut at a character's start, with what was left out said.
std::string Shortened(const std::string& Text, size_t Max) {
  if (Text.size() <= Max) return Text;
  size_t Cut = Max;
  while (Cut > 0 && (uint8_t(Text[Cut]) & 0xC0) == 0x80)
    --Cut;
  return Text.substr(0, Cut) + Format("... (%zu bytes)", Text.size());
}

const std::string Indent = "\xC2\xA0\xC2\xA0"; // two no-break spaces a level

bool IsRdf(const TkivXmlNode& E, std::string_view Name) {
  return E.Is(RdfNs, Name);
}

// Attributes that are properties: neither RDF's own nor xml:lang.
bool IsPropertyAttribute(const TkivXmlAttribute& A) {
  return A.Uri != RdfNs && A.Uri != XmlNs;
}

class TPropertyTable {
public:
  TPropertyTable(TkivDescription& Out, TkivWorkBudget& Budget)
      : Table(Out, "Properties", {"Property", "Value"}), Budget(Budget) {}
  bool Full = false;
  int64_t Rows = 0;

  void Description(const TkivXmlNode& Node, int Depth) {
    for (const TkivXmlAttribute& A : Node.Attributes)
      if (IsPropertyAttribute(A)) Row(Depth, A.QName(), A.Value);
    for (const TkivXmlNode* Child : Node.Elements())
      Property(*Child, Depth, Child->QName());
  }

private:
  void Row(int Depth, const std::string& Name, const std::string& Value) {
    if (Full) return;
    if (Rows >= MaxRows || Budget.Take(TkivWork::Entries, 1) < 1) {
      Full = true;
      return;
    }
    ++Rows;
    std::string Shown;
    for (int I = 0; I < Depth && I < 32; ++I)
      Shown += Indent;
    Table.Row({Shown + Name, Shortened(Value, MaxValue)});
  }

  // ShowLang: the language is not in the name already (an alternative's item).
  void Property(const TkivXmlNode& E, int Depth, const std::string& Name, bool ShowLang = true) {
    if (const TkivXmlAttribute* Resource = E.Attribute(RdfNs, "resource")) {
      Row(Depth, Name, Resource->Value);
      return;
    }
    const std::vector<const TkivXmlNode*> Children = E.Elements();
    std::string Lang;
    if (const TkivXmlAttribute* L = E.Attribute(XmlNs, "lang"); L && ShowLang)
      Lang = " (" + L->Value + ")";
    if (Children.size() == 1 &&
        (IsRdf(*Children[0], "Bag") || IsRdf(*Children[0], "Seq") || IsRdf(*Children[0], "Alt"))) {
      const TkivXmlNode& Array = *Children[0];
      const std::vector<const TkivXmlNode*> Items = Array.Elements();
      Row(Depth, Name, Format("%s of %zu", Array.Name.c_str(), Items.size()) + Lang);
      size_t N = 0;
      for (const TkivXmlNode* Item : Items) {
        ++N;
        const TkivXmlAttribute* ItemLang = Item->Attribute(XmlNs, "lang");
        Property(*Item, Depth + 1, "[" + (ItemLang ? ItemLang->Value : std::to_string(N)) + "]",
                 !ItemLang);
      }
      return;
    }
    const bool Attributes = std::any_of(E.Attributes.begin(), E.Attributes.end(),
                                        [](const auto& A) { return IsPropertyAttribute(A); });
    if (Children.empty() && !Attributes) {
      Row(Depth, Name, E.InnerText() + Lang);
      return;
    }
    // A structure: its fields, directly or in a description of their own.
    Row(Depth, Name, "structure" + Lang);
    for (const TkivXmlAttribute& A : E.Attributes)
      if (IsPropertyAttribute(A)) Row(Depth + 1, A.QName(), A.Value);
    for (const TkivXmlNode* Child : Children) {
      if (IsRdf(*Child, "Description"))
        Description(*Child, Depth + 1);
      else
        Property(*Child, Depth + 1, Child->QName());
    }
  }

  TkivDescriptionTable Table;
  TkivWorkBudget& Budget;
};

// rdf:RDF: the root, or a child of the root (x:xmpmeta).
const TkivXmlNode* RdfOf(const TkivXmlDocument& Document) {
  const TkivXmlNode* Root = Document.Root();
  if (!Root) return nullptr;
  if (IsRdf(*Root, "RDF")) return Root;
  for (const TkivXmlNode* Child : Root->Elements())
    if (IsRdf(*Child, "RDF")) return Child;
  return nullptr;
}

bool IsSpace(char C) {
  return C == ' ' || C == '\t' || C == '\r' || C == '\n';
}

// The packet: its wrapper, padding, text and properties; the document read is left in Document for
// the checks that follow.
void DescribePacket(std::string Bytes, const TkivExtendedInput& Input, TkivDescription& Out,
                    TkivXmlDocument& Document) {
  Out.Field("Size", Grouped(int64_t(Bytes.size())) + " bytes");
  // Writers that treat the packet as a C string end it with a NUL, which is no XML.
  size_t Nuls = 0;
  while (!Bytes.empty() && Bytes.back() == '\0') {
    Bytes.pop_back();
    ++Nuls;
  }
  if (Nuls > 0)
    Out.Field("Trailing NUL", Nuls == 1 ? "1 byte" : Grouped(int64_t(Nuls)) + " bytes",
              "after the packet, left out of the XML");
  const int64_t Nodes = Input.Budget.Take(
      TkivWork::Entries, std::min<int64_t>(int64_t(Bytes.size()) / 3 + 16, MaxNodes));
  const bool WellFormed = Document.Parse(Bytes, Nodes);
  // Padding: the white space after the root element, up to the closing instruction.
  if (const TkivXmlNode* Root = Document.Root(); Root && Root->End > 0) {
    int64_t Padding = 0;
    for (size_t I = size_t(std::min<int64_t>(Root->End, int64_t(Bytes.size())));
         I < Bytes.size() && IsSpace(Bytes[I]); ++I)
      ++Padding;
    // A line end after the root is layout, not room left for edits.
    if (Padding > 2)
      Out.Field("Padding", Grouped(Padding) + " bytes of padding",
                "room to rewrite the packet in place");
  }
  for (const TkivXmlNode& Node : Document.Nodes)
    if (Node.Kind == TkivXmlNode::TKind::Instruction && Node.Name == "xpacket" &&
        Node.Text.rfind("end=", 0) == 0)
      Out.Field("Packet end", Node.Text,
                Node.Text.find('w') != std::string::npos ? "may be rewritten in place"
                                                         : "read-only");
  if (!WellFormed)
    Out.Problem(Format("The XMP is not well-formed XML: %s, at line %lld, column %lld (byte "
                       "%lld); what was read before is shown",
                       Document.Error.c_str(), static_cast<long long>(Document.ErrorLine),
                       static_cast<long long>(Document.ErrorColumn),
                       static_cast<long long>(Document.ErrorOffset)));
  Out.Text("Packet", Shortened(Document.IndentedText(), MaxText));
  const TkivXmlNode* Rdf = RdfOf(Document);
  if (!Rdf) {
    if (Document.Root()) Out.Problem("The packet holds no rdf:RDF element");
    return;
  }
  bool Full = false;
  {
    TPropertyTable Table(Out, Input.Budget);
    for (const TkivXmlNode* Description : Rdf->Elements())
      if (IsRdf(*Description, "Description")) Table.Description(*Description, 0);
    Full = Table.Full;
  }
  if (Full) Out.Problem("More properties than a report shows; the rest are not listed");
  DescribeGainMapXmp(Document, Input, Out);
}

// The bytes of the marker segment at Offset in Segment's data after Identifier, when it is an APP1
// segment with that identifier.
bool App1Payload(const TkivSegment& Segment, std::string_view Identifier, std::string& Payload) {
  TkivBytesView View(Segment);
  for (const auto& [Offset, Size] : MarkerSegmentsIn(View)) {
    const auto* Bytes = reinterpret_cast<const char*>(Segment.Data.Memory()) + Offset;
    const std::string_view S(Bytes, size_t(Size));
    if (Bytes[1] != '\xE1' || S.substr(4, Identifier.size()) != Identifier) continue;
    Payload = S.substr(4 + Identifier.size());
    return true;
  }
  return false;
}

// The pieces of the file's image that holds the segment at Index.
std::pair<int32_t, int32_t> ImageRange(const TkivExtendedInput& Input) {
  const auto* File = dynamic_cast<const TkivJpegFile*>(Input.File);
  if (!File) return {0, Input.File ? Input.File->Count() : 0};
  for (const TkivJpegFile::TImage& Image : File->Images)
    if (Input.Index >= Image.First && Input.Index < Image.Last) return {Image.First, Image.Last};
  return {0, File->Count()};
}

// Where the main packet names extended XMP: its pieces in the file.
void DescribeNamedExtension(const std::string& Guid, const TkivExtendedInput& Input,
                            TkivDescription& Out) {
  if (!Input.File) {
    Out.Field("Extended XMP", Guid, "its pieces are segments of their own");
    return;
  }
  const auto [First, Last] = ImageRange(Input);
  int32_t Found = -1;
  for (int32_t I = First; I < Last && Found < 0; ++I) {
    std::string Payload;
    if (App1Payload(Input.File->Segment(I), ExtensionId, Payload) &&
        Upper(Payload.substr(0, GuidSize)) == Upper(Guid))
      Found = I;
  }
  if (Found >= 0)
    Out.Field("Extended XMP", Guid, "its first piece is segment " + std::to_string(Found));
  else
    Out.Field("Extended XMP", Guid, "no piece of it is in the file", TkivMark::Wrong);
}

void DescribeJoined(std::string Joined, const std::string& Guid, const TkivExtendedInput& Input,
                    TkivDescription& Out) {
  const std::string Md5 = Upper(kivPlatform::DigestHex(
      kivPlatform::DigestOf(kivPlatform::TDigestKind::MD5, Joined.data(), Joined.size())));
  if (Md5 == Upper(Guid))
    Out.Field("MD5 of the packet", Md5, "matches the GUID");
  else
    Out.Field("MD5 of the packet", Md5,
              "does not match the GUID: the data changed after the GUID was written",
              TkivMark::Wrong);
  if (Input.File) {
    // The main packet of the same image names the extension it needs.
    const auto [First, Last] = ImageRange(Input);
    std::string Main, Named;
    bool HasMain = false;
    for (int32_t I = First; I < Last && !HasMain; ++I)
      HasMain = App1Payload(Input.File->Segment(I), MainId, Main);
    if (HasMain) {
      TkivXmlDocument Document;
      while (!Main.empty() && Main.back() == '\0')
        Main.pop_back();
      Document.Parse(Main,
                     Input.Budget.Take(TkivWork::Entries,
                                       std::min<int64_t>(int64_t(Main.size()) / 3 + 16, MaxNodes)));
      Named = ExtendedXmpGuid(Document);
    }
    if (!HasMain)
      Out.Field("Main packet", "none", "extended XMP belongs to a main packet", TkivMark::Wrong);
    else if (Named.empty())
      Out.Field("Main packet", "names no extended XMP", "xmpNote:HasExtendedXMP is missing",
                TkivMark::Wrong);
    else if (Upper(Named) == Upper(Guid))
      Out.Field("Main packet", "names this GUID", "xmpNote:HasExtendedXMP");
    else
      Out.Field("Main packet", "names " + Named, "xmpNote:HasExtendedXMP: another GUID",
                TkivMark::Wrong);
  }
  TkivXmlDocument Document;
  DescribePacket(std::move(Joined), Input, Out, Document);
}

} // namespace

std::vector<const TkivXmlNode*> XmpDescriptions(const TkivXmlDocument& Document) {
  std::vector<const TkivXmlNode*> Found;
  if (const TkivXmlNode* Rdf = RdfOf(Document))
    for (const TkivXmlNode* Description : Rdf->Elements())
      if (IsRdf(*Description, "Description")) Found.push_back(Description);
  return Found;
}

const TkivXmlNode* XmpElement(const std::vector<const TkivXmlNode*>& Descriptions,
                              std::string_view Namespace, std::string_view Name) {
  for (const TkivXmlNode* Description : Descriptions)
    for (const TkivXmlNode* Property : Description->Elements())
      if (Property->Is(Namespace, Name)) return Property;
  return nullptr;
}

std::optional<std::vector<std::string>>
XmpProperty(const std::vector<const TkivXmlNode*>& Descriptions, std::string_view Namespace,
            std::string_view Name) {
  for (const TkivXmlNode* Description : Descriptions)
    if (const TkivXmlAttribute* A = Description->Attribute(Namespace, Name))
      return std::vector<std::string>{A->Value};
  const TkivXmlNode* Property = XmpElement(Descriptions, Namespace, Name);
  if (!Property) return std::nullopt;
  const std::vector<const TkivXmlNode*> Children = Property->Elements();
  if (Children.size() == 1 &&
      (IsRdf(*Children[0], "Seq") || IsRdf(*Children[0], "Bag") || IsRdf(*Children[0], "Alt"))) {
    std::vector<std::string> Items;
    for (const TkivXmlNode* Item : Children[0]->Elements())
      Items.push_back(Item->InnerText());
    return Items;
  }
  return std::vector<std::string>{Property->InnerText()};
}

std::string ExtendedXmpGuid(const TkivXmlDocument& Document) {
  const TkivXmlNode* Rdf = RdfOf(Document);
  if (!Rdf) return {};
  for (const TkivXmlNode* Description : Rdf->Elements()) {
    if (const TkivXmlAttribute* A = Description->Attribute(NoteNs, "HasExtendedXMP"))
      return A->Value;
    for (const TkivXmlNode* Property : Description->Elements())
      if (Property->Is(NoteNs, "HasExtendedXMP")) return Property->InnerText();
  }
  return {};
}

void DescribeXmp(const TkivExtendedInput& Input, TkivDescription& Out) {
  TkivXmlDocument Document;
  DescribePacket(ReadString(Input.Payload, BytesLeft(Input.Payload)), Input, Out, Document);
  const std::string Guid = ExtendedXmpGuid(Document);
  if (!Guid.empty()) DescribeNamedExtension(Guid, Input, Out);
}

bool ReadExtendedXmpPiece(TStream& Payload, TkivPiece& Piece) {
  Piece.Key = Upper(ReadString(Payload, GuidSize));
  Piece.Total = ReadLong(Payload, true);
  Piece.Place = ReadLong(Payload, true);
  Piece.DataStart = PieceHeaderSize;
  return true;
}

void DescribeExtendedXmp(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  if (Input.Whole) {
    // The joined data: the GUID is the first piece's.
    std::string Piece;
    App1Payload(Input.Segment, ExtensionId, Piece);
    const std::string Guid = Piece.substr(0, GuidSize);
    Out.Field("GUID", Guid);
    Out.Field("Full length", Grouped(BytesLeft(In)) + " bytes");
    DescribeJoined(ReadString(In, BytesLeft(In)), Guid, Input, Out);
    return;
  }
  // One piece: its header, and the packet when the piece holds all of it.
  const std::string Guid = ReadString(In, GuidSize);
  const uint32_t Full = ReadLong(In, true), Offset = ReadLong(In, true);
  const int64_t Left = BytesLeft(In);
  Out.Field("GUID", Guid);
  Out.Field("Full length", Grouped(Full) + " bytes", "of the whole extended packet");
  Out.Field("Offset", Grouped(Offset),
            Offset + uint64_t(Left) > Full ? "beyond the full length" : "",
            Offset + uint64_t(Left) > Full ? TkivMark::Wrong : TkivMark::None);
  Out.Field("Piece's data", Grouped(Left) + " bytes");
  if (Offset == 0 && Left == int64_t(Full)) {
    DescribeJoined(ReadString(In, Left), Guid, Input, Out);
    return;
  }
  Out.Hex("Data of the piece", In, Left);
}
