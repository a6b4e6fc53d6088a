// ICC profiles: hand-built profiles of version 2 and 4 (their header, tag table, texts, white
// point and tone curves), the profile ID checked, tags past the end or overlapping, pieces
// joined or missing, and the corpus files' descriptions against exiftool's.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "extended/kivExtendedReport.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegTestSupport.h"
#include "kivInfoText.h"
#include "platform/kivDigest.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

const std::string IccId("ICC_PROFILE\0", 12);

struct TTagData {
  std::string Signature;
  std::string Data;
};

// A profile: the header with the version and the class given, the tags' data after the table,
// each at a multiple of four. When Id is set the profile ID is the MD5 the ICC defines.
std::string Profile(uint8_t Major, const std::vector<TTagData>& Tags, bool Id = false) {
  std::string Table = Long(uint32_t(Tags.size())), Data;
  const size_t DataAt = 128 + 4 + 12 * Tags.size();
  for (const TTagData& Tag : Tags) {
    Table += Tag.Signature + Long(uint32_t(DataAt + Data.size())) + Long(uint32_t(Tag.Data.size()));
    Data += Tag.Data + std::string((4 - Tag.Data.size() % 4) % 4, '\0');
  }
  std::string P = Long(uint32_t(128 + Table.size() + Data.size())) + "lcms" +
                  std::string{char(Major), 0x20, 0, 0} + "mntrRGB XYZ " + Word(2026) + Word(12) +
                  Word(8) + Word(7) + Word(30) + Word(5) + "acspAPPL" + Long(1) + "TESTMDL1" +
                  Long(0) + Long(2) + Long(1) + Long(0xF6D6) + Long(0x10000) + Long(0xD32D) +
                  "kivm" + std::string(16 + 28, '\0') + Table + Data;
  if (Id) {
    std::string Zeroed = P;
    Zeroed.replace(44, 4, 4, '\0');
    Zeroed.replace(64, 4, 4, '\0');
    P.replace(84, 16,
              kivPlatform::DigestOf(kivPlatform::TDigestKind::MD5, Zeroed.data(), Zeroed.size()));
  }
  return P;
}

std::string Desc(const std::string& Text) {
  return "desc" + Long(0) + Long(uint32_t(Text.size() + 1)) + Text + '\0' + Long(0) + Long(0) +
         std::string(3 + 67, '\0');
}
std::string TextType(const std::string& Text) {
  return "text" + Long(0) + Text + '\0';
}
std::string Xyz(uint32_t X, uint32_t Y, uint32_t Z) {
  return "XYZ " + Long(0) + Long(X) + Long(Y) + Long(Z);
}
std::string Curve(const std::vector<uint16_t>& Points) {
  std::string S = "curv" + Long(0) + Long(uint32_t(Points.size()));
  for (const uint16_t P : Points)
    S += Word(P);
  return S;
}
// A multi-localised text: records of language, country and UTF-16BE text (ASCII here).
std::string Mluc(const std::vector<std::array<std::string, 3>>& Records) {
  std::string Head = "mluc" + Long(0) + Long(uint32_t(Records.size())) + Long(12), Texts;
  const size_t TextsAt = 16 + 12 * Records.size();
  for (const auto& [Language, Country, Text] : Records) {
    std::string Wide;
    for (const char C : Text)
      Wide += std::string{0, C};
    Head +=
        Language + Country + Long(uint32_t(Wide.size())) + Long(uint32_t(TextsAt + Texts.size()));
    Texts += Wide;
  }
  return Head + Texts;
}

// The profile in pieces of at most PieceSize bytes, numbered 1 to their count.
std::string Pieces(const std::string& Profile, size_t PieceSize = 60000) {
  const size_t Count = (Profile.size() + PieceSize - 1) / PieceSize;
  std::string S;
  for (size_t I = 0; I < Count; ++I)
    S +=
        Segment(0xE2, IccId + char(I + 1) + char(Count) + Profile.substr(I * PieceSize, PieceSize));
  return S;
}

// The extended parts of a file (SOI, Segments, EOI) as text.
std::string TreeOf(const std::string& Segments) {
  return ExtendedTree(Hex("FF D8") + Segments + Hex("FF D9"));
}

const std::string HeaderText = "  Header:\n"
                               "    Size: %SIZE% (bytes)\n"
                               "    Preferred CMM: 'lcms'\n"
                               "    Version: %VERSION%\n"
                               "    Class: 'mntr' (display device)\n"
                               "    Colour space: 'RGB ' (RGB)\n"
                               "    Connection space: 'XYZ ' (XYZ)\n"
                               "    Date and time: 12/08/26 07:30:05\n"
                               "    Signature: 'acsp'\n"
                               "    Platform: 'APPL' (Apple)\n"
                               "    Flags: 0x00000001 (embedded, may be used alone)\n"
                               "    Manufacturer: 'TEST'\n"
                               "    Model: 'MDL1'\n"
                               "    Attributes: 0x0000000000000002 (reflective, matte, positive, "
                               "colour)\n"
                               "    Rendering intent: 1 (media-relative colorimetric)\n"
                               "    Illuminant: 0.9642 1 0.82491 (XYZ, D50)\n"
                               "    Creator: 'kivm'\n";

std::string Replaced(std::string S, const std::string& What, const std::string& With) {
  S.replace(S.find(What), What.size(), With);
  return S;
}

} // namespace

TEST(IccProfile, Version2HeaderTagsTextsWhitePointAndCurves) {
  const std::string P = Profile(2, {{"desc", Desc("Test RGB")},
                                    {"cprt", TextType("No copyright")},
                                    {"wtpt", Xyz(0xF351, 0x10000, 0x116CC)},
                                    {"rTRC", Curve({0x0233})},
                                    {"gTRC", Curve({})},
                                    {"bTRC", Curve({0, 0x8000, 0xFFFF})},
                                    {"zzzz", Curve({})}});
  const std::string Tree = TreeOf(Pieces(P));
  EXPECT_EQ(Tree, "1 ICC profile:\n  Pieces: 1 (joined from segments 1)\n" +
                      Replaced(Replaced(HeaderText, "%SIZE%", std::to_string(P.size())),
                               "%VERSION%", "2.2.0") +
                      "    Profile ID: 00000000000000000000000000000000 (zero: not given)\n"
                      "  Tags:\n"
                      "    'desc':\n      Name: Profile description\n      Offset: 216\n"
                      "      Size: 99\n      Type: 'desc'\n"
                      "    'cprt':\n      Name: Copyright\n      Offset: 316\n      Size: 21\n"
                      "      Type: 'text'\n"
                      "    'wtpt':\n      Name: Media white point\n      Offset: 340\n"
                      "      Size: 20\n      Type: 'XYZ '\n"
                      "    'rTRC':\n      Name: Red tone curve\n      Offset: 360\n"
                      "      Size: 14\n      Type: 'curv'\n"
                      "    'gTRC':\n      Name: Green tone curve\n      Offset: 376\n"
                      "      Size: 12\n      Type: 'curv'\n"
                      "    'bTRC':\n      Name: Blue tone curve\n      Offset: 388\n"
                      "      Size: 18\n      Type: 'curv'\n"
                      "    'zzzz':\n      Name: unknown\n      Offset: 408\n      Size: 12\n"
                      "      Type: 'curv'\n"
                      "  Profile description: Test RGB\n"
                      "  Copyright: No copyright\n"
                      "  Media white point: 0.95045 1 1.08905 (XYZ)\n"
                      "  Red tone curve: gamma 2.1992\n"
                      "  Green tone curve: identity\n"
                      "  Blue tone curve: table of 3 points (from 0 to 1)\n");
}

TEST(IccProfile, Version4MultiLocalisedTextsParametricCurveAndProfileId) {
  const std::string Para = "para" + Long(0) + Word(3) + Word(0) + Long(0x26666) + Long(0xF2A7) +
                           Long(0xD59) + Long(0x13D0) + Long(0xA5B);
  const std::vector<TTagData> Tags = {
      {"desc", Mluc({{"en", "US", "Test P3"}, {"de", "DE", "Test P3 (de)"}})},
      {"cprt", Mluc({{"en", "US", "CC0"}})},
      {"rTRC", Para},
      {"kTRC", Para}};
  // In three pieces, joined in the order of their numbers, not of the file.
  const std::string P = Profile(4, Tags, true);
  const std::string S = Pieces(P, 150);
  const size_t Second = S.find("\xFF\xE2", 1), Third = S.find("\xFF\xE2", Second + 1);
  const std::string Tree = TreeOf(S.substr(Third) + S.substr(0, Third));
  EXPECT_TRUE(Has(Tree, "1 ICC profile:\n  Pieces: 3 (joined from segments 2, 3 and 1)\n")) << Tree;
  EXPECT_TRUE(Has(Tree,
                  "2 ICC profile:\n  Piece: 1 of 3 (the whole is described after segment 1)\n"
                  "3 ICC profile:\n  Piece: 2 of 3 (the whole is described after segment 1)\n"))
      << Tree;
  const std::string Id = kivPlatform::DigestHex(P.substr(84, 16));
  const std::string After = "    Creator: 'kivm'\n    Profile ID: " + Id + " (matches)\n";
  EXPECT_TRUE(Has(Tree, After)) << Tree;
  EXPECT_TRUE(Has(Tree, "    Version: 4.2.0\n")) << Tree;
  EXPECT_TRUE(Has(Tree, "  Profile description:\n    en:\n      Country: US\n      Text: Test P3\n"
                        "    de:\n      Country: DE\n      Text: Test P3 (de)\n"
                        "  Copyright:\n    en:\n      Country: US\n      Text: CC0\n"))
      << Tree;
  const std::string Curve = "tone curve: parametric, function type 3: g = 2.39999, a = 0.94786, "
                            "b = 0.05214, c = 0.07739, d = 0.04045 (Y = (aX + b)^g for X >= d, "
                            "else cX)\n";
  EXPECT_TRUE(Has(Tree, "  Red " + Curve + "  Grey " + Curve)) << Tree;
  EXPECT_FALSE(Has(Tree, "Problem")) << Tree;
  EXPECT_FALSE(Has(Tree, "Not decoded")) << Tree;

  // The same profile with one byte of a tag changed: the ID no longer matches.
  std::string Changed = P;
  Changed[Changed.size() - 1] ^= 1;
  const std::string Wrong = TreeOf(Pieces(Changed));
  EXPECT_TRUE(Has(Wrong, "    Profile ID: " + Id + " (does not match)\n")) << Wrong;
  std::string Zeroed = Changed;
  Zeroed.replace(44, 4, 4, '\0');
  Zeroed.replace(64, 4, 4, '\0');
  Zeroed.replace(84, 16, 16, '\0');
  EXPECT_TRUE(Has(Wrong, "    Computed ID: " +
                             kivPlatform::DigestHex(kivPlatform::DigestOf(
                                 kivPlatform::TDigestKind::MD5, Zeroed.data(), Zeroed.size())) +
                             " (the MD5 of the profile)\n"))
      << Wrong;
}

TEST(IccProfile, BadTablesAndPiecesAreBoundedAndSaid) {
  const std::string Good = Profile(2, {{"desc", Desc("X")}, {"wtpt", Xyz(1, 2, 3)}});
  struct TCase {
    const char* Name;
    std::string Segments;
    std::vector<std::string> Said;
  };
  // A tag whose data runs past the profile's end, one that starts inside another, and a count
  // of 100,000 tags in a profile that holds two.
  std::string PastEnd = Good, Overlap = Good, Many = Good;
  PastEnd.replace(128 + 4 + 12 + 8, 4, Long(0x7FFFFFF0));
  Overlap.replace(128 + 4 + 12 + 4, 4, Long(uint32_t(128 + 4 + 24 + 8)));
  Many.replace(128, 4, Long(100000));
  const std::string S = Pieces(Good, 100);
  const size_t Second = S.find("\xFF\xE2", 1), Third = S.find("\xFF\xE2", Second + 1);
  const std::vector<TCase> Cases = {
      {"past the end",
       Pieces(PastEnd),
       {"    'wtpt':\n      Name: Media white point\n      Offset: 248\n      Size: 2147483632\n"
        "      Type: outside the profile\n"}},
      {"overlapping",
       Pieces(Overlap),
       {"; overlaps 'desc'\n", "  Problem: 1 tags overlap the data of others in part\n"}},
      {"100,000 tags",
       Pieces(Many),
       {"  Problem: The tag table declares 100000 tags; the profile's bytes hold 11\n"}},
      {"missing piece",
       S.substr(0, Second) + S.substr(Third),
       {"Problem: The pieces do not make the whole, so each is described alone\n",
        "Problem: Missing: piece 2\n", "  Piece: 1 of 3\n  Data of the piece: 100 bytes\n"}},
      {"repeated piece",
       S.substr(0, Third) + S.substr(Second),
       {"Problem: Piece 2 appears more than once; the first is used\n",
        "  Profile description: X\n"}},
      {"too short", Pieces(Good.substr(0, 100)), {"  Problem: 100 bytes are too few"}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Tree = TreeOf(Case.Segments);
    for (const std::string& Part : Case.Said)
      EXPECT_TRUE(Has(Tree, Part)) << Tree;
    EXPECT_FALSE(Has(Tree, "ends inside a field")) << Tree;
  }
}

TEST(IccProfile, ViewerShowsOneSegmentHoldingAWholeProfile) {
  const std::string P = Profile(2, {{"desc", Desc("Viewer RGB")}});
  TMemoryStream Stream(Pieces(P));
  std::unique_ptr<TkivSegment> Segment;
  std::string Page;
  ASSERT_EQ(LoadSegment(Stream, Segment, [&](TMemoryStream& H) { Page = H.ToString(); },
                        {.Extended = true}),
            TkivLoadResult::Shown);
  EXPECT_TRUE(Has(Page, "<H3>ICC profile</H3>")) << Page;
  EXPECT_TRUE(Has(Page, "1 of 1")) << Page;
  EXPECT_TRUE(Has(Page, "Viewer RGB")) << Page;
  EXPECT_FALSE(Has(Page, "Not decoded")) << Page;
}

TEST(IccProfile, CorpusDescriptionsAgreeWithExiftool) {
  const std::filesystem::path Corpus = CorpusDir();
  if (Corpus.empty()) GTEST_SKIP() << "no corpus";
  const bool Exiftool = std::system("exiftool -ver > /dev/null 2>&1") == 0;
  int Files = 0;
  for (const auto& Entry : std::filesystem::directory_iterator(Corpus / "modern")) {
    const std::string Bytes = ReadFileBytes(Entry.path());
    if (Bytes.find(IccId) == std::string::npos) continue;
    SCOPED_TRACE(Entry.path().filename().string());
    ++Files;
    TkivJpegFile File;
    TMemoryStream Stream(Bytes);
    File.LoadFromStream(Stream);
    TkivExtendedReport Report(&File);
    std::string Tree;
    for (int32_t I = 0; I < File.Count(); ++I) {
      TkivSegment& S = File.Segment(I);
      const int32_t Before = S.Info->Count();
      Report.FillSegmentInfo(S);
      for (int32_t C = Before; C < S.Info->Count(); ++C)
        if (S.Info->GetChild(C).Name == "ICC profile") Tree += InfoTreeText(S.Info->GetChild(C));
    }
    EXPECT_TRUE(Has(Tree, "  Signature: 'acsp'\n")) << Tree;
    EXPECT_FALSE(Has(Tree, "ends inside a field")) << Tree;
    EXPECT_FALSE(Has(Tree, "outside the profile")) << Tree;
    if (!Exiftool) continue;
    const std::string Command =
        "exiftool -s3 -ICC_Profile:ProfileDescription '" + Entry.path().string() + "'";
    std::string Expected;
    if (FILE* Pipe = popen(Command.c_str(), "r")) {
      char Buffer[256];
      while (fgets(Buffer, sizeof Buffer, Pipe))
        Expected += Buffer;
      pclose(Pipe);
    }
    // exiftool names the first image's profile.
    const std::string First = Expected.substr(0, Expected.find('\n'));
    if (First.empty()) continue;
    EXPECT_TRUE(Has(Tree, "  Profile description: " + First + "\n") ||
                Has(Tree, "      Text: " + First + "\n"))
        << First << "\n"
        << Tree;
  }
  EXPECT_GT(Files, 0);
}
