// XMP: the packet as text and properties, extended XMP joined and checked against its GUID and
// the main packet, hostile packets bounded, and the corpus files that carry extended XMP.

#include <gtest/gtest.h>

#include "extended/kivExtendedReport.h"
#include "framework/kivFormat.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegTestSupport.h"
#include "kivInfoText.h"
#include "platform/kivDigest.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

const std::string MainId("http://ns.adobe.com/xap/1.0/\0", 29);
const std::string ExtId("http://ns.adobe.com/xmp/extension/\0", 35);

std::string Packet(const std::string& Properties, size_t Padding = 0) {
  return "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>"
         "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
         "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>" +
         Properties + "</rdf:RDF></x:xmpmeta>" + std::string(Padding, ' ') + "<?xpacket end='w'?>";
}

std::string ExtPiece(const std::string& Guid, uint32_t Full, uint32_t Offset,
                     const std::string& Data) {
  return Segment(0xE1, ExtId + Guid + Long(Full) + Long(Offset) + Data);
}

std::string Md5Guid(const std::string& Data) {
  std::string G = kivPlatform::DigestHex(
      kivPlatform::DigestOf(kivPlatform::TDigestKind::MD5, Data.data(), Data.size()));
  for (char& C : G)
    C = char(std::toupper(uint8_t(C)));
  return G;
}

// The extended parts of a file (SOI, Segments, EOI) as text.
std::string TreeOf(const std::string& Segments) {
  return ExtendedTree(Hex("FF D8") + Segments + Hex("FF D9"));
}

// One segment as the viewer shows it with the setting on.
std::string ViewerPage(const std::string& Bytes) {
  TMemoryStream Stream(Bytes);
  std::unique_ptr<TkivSegment> S;
  std::string Page;
  LoadSegment(Stream, S, [&](TMemoryStream& H) { Page = H.ToString(); }, {.Extended = true});
  return Page;
}

} // namespace

TEST(Xmp, PacketTextPropertiesPaddingAndTrailingNul) {
  const std::string Props =
      "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' "
      "xmlns:xmp='http://ns.adobe.com/xap/1.0/' xmlns:ex='urn:ex' xmp:Rating='3'>"
      "<dc:subject><rdf:Bag><rdf:li>sea</rdf:li><rdf:li>a &amp; b</rdf:li></rdf:Bag>"
      "</dc:subject><dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Title</rdf:li>"
      "</rdf:Alt></dc:title><ex:place rdf:parseType='Resource'><ex:city>Paris</ex:city>"
      "<ex:at ex:lat='48.8'/></ex:place></rdf:Description>";
  const std::string Tree =
      TreeOf(Segment(0xE1, MainId + Packet(Props, 2048) + std::string(1, '\0')));
  const std::string N = "\xC2\xA0\xC2\xA0"; // a level of the table's indent
  EXPECT_EQ(Tree, "1 XMP:\n  Size: 2,672 bytes\n"
                  "  Trailing NUL: 1 byte (after the packet, left out of the XML)\n"
                  "  Padding: 2,048 bytes of padding (room to rewrite the packet in place)\n"
                  "  Packet end: end='w' (may be rewritten in place)\n"
                  "  Packet: <?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\\x0A"
                  "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\\x0A"
                  "  <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\\x0A"
                  "    <rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                  "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmlns:ex=\"urn:ex\" rdf:about=\"\" "
                  "xmp:Rating=\"3\">\\x0A"
                  "      <dc:subject>\\x0A        <rdf:Bag>\\x0A          <rdf:li>sea</rdf:li>\\x0A"
                  "          <rdf:li>a &amp; b</rdf:li>\\x0A        </rdf:Bag>\\x0A"
                  "      </dc:subject>\\x0A      <dc:title>\\x0A        <rdf:Alt>\\x0A"
                  "          <rdf:li xml:lang=\"x-default\">Title</rdf:li>\\x0A"
                  "        </rdf:Alt>\\x0A      </dc:title>\\x0A"
                  "      <ex:place rdf:parseType=\"Resource\">\\x0A"
                  "        <ex:city>Paris</ex:city>\\x0A        <ex:at ex:lat=\"48.8\"/>\\x0A"
                  "      </ex:place>\\x0A    </rdf:Description>\\x0A  </rdf:RDF>\\x0A"
                  "</x:xmpmeta>\\x0A<?xpacket end='w'?>\\x0A\n"
                  "  Properties:\n    xmp:Rating:\n      Value: 3\n"
                  "    dc:subject:\n      Value: Bag of 2\n"
                  "    " +
                      N + "[1]:\n      Value: sea\n    " + N +
                      "[2]:\n      Value: a & b\n"
                      "    dc:title:\n      Value: Alt of 1\n    " +
                      N +
                      "[x-default]:\n      Value: Title\n"
                      "    ex:place:\n      Value: structure\n    " +
                      N +
                      "ex:city:\n      Value: Paris\n"
                      "    " +
                      N +
                      "ex:at:\n      Value: structure\n"
                      "    " +
                      N + N + "ex:lat:\n      Value: 48.8\n");
}

TEST(Xmp, ExtendedPiecesJoinedAndCheckedAgainstTheirGuid) {
  const std::string Ext = Packet("<rdf:Description xmlns:e='urn:e'><e:big>" +
                                 std::string(100, 'x') + "</e:big></rdf:Description>");
  const std::string Good = Md5Guid(Ext);
  std::string Lower = Good;
  for (char& C : Lower)
    C = char(std::tolower(uint8_t(C)));
  const auto Main = [](const std::string& Named) {
    return Segment(0xE1, MainId + Packet("<rdf:Description xmlns:xmpNote='http://ns.adobe.com/"
                                         "xmp/note/' xmpNote:HasExtendedXMP='" +
                                         Named + "'/>"));
  };
  const uint32_t Full = uint32_t(Ext.size());
  const std::string First = Ext.substr(0, 150), Rest = Ext.substr(150);
  const struct {
    const char* Name;
    std::string Segments;
    std::vector<std::string> Said;
  } Cases[] = {
      {"in reverse order, the GUID in either case",
       Main(Good) + ExtPiece(Lower, Full, 150, Rest) + ExtPiece(Good, Full, 0, First),
       {"2 Extended XMP:\n  Pieces: 2 (joined from segments 3 and 2)\n  GUID: " + Lower +
            "\n  Full length: " + std::to_string(Full) + " bytes\n  MD5 of the packet: " + Good +
            " (matches the GUID)\n  Main packet: names this GUID (xmpNote:HasExtendedXMP)\n",
        "Extended XMP: " + Good + " (its first piece is segment 2)", "e:big:\n      Value: xxxx"}},
      {"a wrong GUID, named by the main packet",
       Main(std::string(32, 'A')) + ExtPiece(std::string(32, 'A'), Full, 0, First) +
           ExtPiece(std::string(32, 'A'), Full, 150, Rest),
       {"MD5 of the packet: " + Good +
            " (does not match the GUID: the data changed after the GUID was written)",
        "Main packet: names this GUID"}},
      {"another GUID named",
       Main(std::string(32, 'B')) + ExtPiece(Good, Full, 0, First) +
           ExtPiece(Good, Full, 150, Rest),
       {"Main packet: names " + std::string(32, 'B') + " (xmpNote:HasExtendedXMP: another GUID)",
        "Extended XMP: " + std::string(32, 'B') + " (no piece of it is in the file)"}},
      {"a gap",
       Main(Good) + ExtPiece(Good, Full, 0, First.substr(0, 100)) + ExtPiece(Good, Full, 150, Rest),
       {"Problem: The pieces do not make the whole, so each is described alone\n"
        "  Problem: Missing: bytes 100 to 149\n  GUID: " +
            Good,
        "Offset: 150\n  Piece's data: " + std::to_string(Rest.size()) +
            " bytes\n"
            "  Data of the piece: " +
            std::to_string(Rest.size()) + " bytes\n"}},
  };
  for (const auto& C : Cases) {
    const std::string Tree = TreeOf(C.Segments);
    for (const std::string& Said : C.Said)
      EXPECT_TRUE(Has(Tree, Said)) << C.Name << ": " << Said << "\n" << Tree;
  }
}

TEST(Xmp, HostilePacketsAreBoundedAndSaidSo) {
  std::string Deep;
  for (int I = 0; I < 5000; ++I)
    Deep += "<e:a>";
  const struct {
    const char* Name;
    std::string Packet;
    std::string Said;
  } Cases[] = {
      {"billion laughs",
       "<!DOCTYPE x [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>"
       "<!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;'>]><x>&c;</x>",
       "Problem: The XMP is not well-formed XML: a document type declaration, which is not "
       "read, at line 1, column 13 (byte 12)"},
      {"deep", Packet("<rdf:Description xmlns:e='urn:e'>" + Deep + "</rdf:Description>"),
       "elements nest more than 200 deep"},
      {"malformed", Packet("<rdf:Description><a></b></rdf:Description>"),
       "Problem: The XMP is not well-formed XML: mismatched tag, at line 1"},
  };
  for (const auto& C : Cases) {
    const std::string Tree = TreeOf(Segment(0xE1, MainId + C.Packet));
    EXPECT_TRUE(Has(Tree, C.Said)) << C.Name << "\n" << Tree.substr(0, 4000);
    EXPECT_TRUE(Has(Tree, "Packet:")) << C.Name;
  }
}

TEST(Xmp, OnePieceInTheViewerShowsItsHeader) {
  const std::string Page =
      ViewerPage(ExtPiece(std::string(32, 'C'), 5000, 1000, std::string(20, 'y')));
  for (const char* Said : {"Extended XMP", "GUID", "Full length", "5,000 bytes", "Offset", "1,000",
                           "Piece's data", "20 bytes"})
    EXPECT_TRUE(Has(Page, Said)) << Said;
}

TEST(Xmp, UltraHdrContainerCheckedAgainstTheImages) {
  const std::string Map = JpegOf(8, 8, [](int, int) { return TkivColor{9, 9, 9}; });
  const auto FileWith = [&](size_t Length) {
    const std::string Xmp =
        Packet("<rdf:Description xmlns:hdrgm='http://ns.adobe.com/hdr-gain-map/1.0/' "
               "xmlns:Container='http://ns.google.com/photos/1.0/container/' "
               "xmlns:Item='http://ns.google.com/photos/1.0/container/item/' hdrgm:Version='1.0'>"
               "<Container:Directory><rdf:Seq><rdf:li rdf:parseType='Resource'><Container:Item "
               "Item:Semantic='Primary' Item:Mime='image/jpeg'/></rdf:li><rdf:li "
               "rdf:parseType='Resource'><Container:Item Item:Semantic='GainMap' "
               "Item:Mime='image/jpeg' Item:Length='" +
               std::to_string(Length) +
               "'/></rdf:li></rdf:Seq></Container:Directory>"
               "</rdf:Description>");
    const std::string Primary = JpegOf(16, 16, [](int, int) { return TkivColor{200, 9, 9}; });
    return Primary.substr(0, 2) + Segment(0xE1, MainId + Xmp) + Primary.substr(2) + Map;
  };
  const std::string MapXmp =
      Packet("<rdf:Description xmlns:hdrgm='http://ns.adobe.com/hdr-gain-map/1.0/' "
             "hdrgm:Version='1.0' hdrgm:GainMapMax='2' hdrgm:Gamma='0' "
             "hdrgm:HDRCapacityMax='2'><hdrgm:GainMapMin><rdf:Seq><rdf:li>0</rdf:li><rdf:li>1"
             "</rdf:li><rdf:li>3</rdf:li></rdf:Seq></hdrgm:GainMapMin></rdf:Description>");
  const struct {
    const char* Name;
    std::string Bytes;
    std::string Said;
  } Cases[] = {
      {"lengths agree", FileWith(Map.size()),
       "In the file: image 2, " + std::to_string(Map.size()) + " bytes at "},
      {"a wrong length", FileWith(Map.size() + 7),
       Format("the directory gives %zu bytes; the image runs %zu", Map.size() + 7, Map.size())},
  };
  for (const auto& C : Cases) {
    TkivJpegFile File;
    TMemoryStream Stream(C.Bytes);
    File.LoadFromStream(Stream);
    TkivExtendedReport Report(&File);
    ASSERT_GE(File.Images.size(), 2u) << C.Name;
    std::string Tree;
    for (int32_t I = 0; I < File.Count(); ++I) {
      TkivSegment& S = File.Segment(I);
      const int32_t Before = S.Info->Count();
      Report.FillSegmentInfo(S);
      for (int32_t K = Before; K < S.Info->Count(); ++K)
        Tree += InfoTreeText(S.Info->GetChild(K));
    }
    EXPECT_TRUE(Has(Tree, C.Said)) << C.Name << "\n" << Tree;
  }
  const std::string Gm = TreeOf(Segment(0xE1, MainId + MapXmp));
  // A gain map's own values, with what contradicts itself.
  EXPECT_EQ(Gm.substr(Gm.find("Gain map (Ultra HDR)")),
            "Gain map (Ultra HDR):\n    Version: 1.0\n"
            "    GainMapMin: 0, 1, 3 (log2; as factors: 1, 2, 8)\n"
            "    GainMapMax: 2 (log2; as a factor: 4)\n    Gamma: 0\n"
            "    HDRCapacityMax: 2 (log2; as a factor: 4)\n"
            "    Problem: GainMapMin is above GainMapMax\n    Problem: Gamma is not above 0\n");
}

TEST(Xmp, CorpusFilesWithExtendedXmpAndGainMaps) {
  const auto Dir = CorpusDir();
  if (Dir.empty()) GTEST_SKIP() << "no corpus";
  const struct {
    const char* File;
    std::vector<std::string> Said;
  } Cases[] = {
      {"exiftool__ExtendedXMP.jpg", {"(matches the GUID)", "Main packet: names this GUID"}},
      {"libavif__paris_extended_xmp.jpg",
       {"Pieces: 3", "(matches the GUID)", "Main packet: names this GUID"}},
      {"libultrahdr__apple_gainmap_new.jpg",
       {"HDRGainMapVersion: 131072 (2.0)", "HDRGainMapHeadroom: 4.532783"}},
      {"libavif__seine_sdr_gainmap_srgb.jpg",
       {"Form: the version alone", "BaseRenditionIsHDR: False"}},
      {"libavif__paris_exif_xmp_gainmap_bigendian.jpg",
       {"In the file: image 2, 14092 bytes at 0x000082CF\n"}},
  };
  for (const auto& C : Cases) {
    const auto Path = Dir / "modern" / C.File;
    if (!std::filesystem::exists(Path)) continue;
    TkivJpegFile File;
    TMemoryStream Stream(ReadFileBytes(Path));
    File.LoadFromStream(Stream);
    TkivExtendedReport Report(&File);
    std::string Tree;
    for (int32_t I = 0; I < File.Count(); ++I) {
      TkivSegment& S = File.Segment(I);
      const int32_t Before = S.Info->Count();
      Report.FillSegmentInfo(S);
      for (int32_t K = Before; K < S.Info->Count(); ++K)
        Tree += InfoTreeText(S.Info->GetChild(K));
    }
    EXPECT_FALSE(Has(Tree, "The data ends inside a field")) << C.File;
    EXPECT_FALSE(Has(Tree, "not well-formed")) << C.File;
    for (const std::string& Said : C.Said)
      EXPECT_TRUE(Has(Tree, Said)) << C.File << ": " << Said;
  }
}
