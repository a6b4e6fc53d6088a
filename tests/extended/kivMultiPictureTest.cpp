// Files of several images: the multi-picture index decoded and checked against where the
// images are, the walk past the first end-of-image, the ISO gain-map block, and the real files
// of the corpus against an independent walk (and exiftool's reading of the index).

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "extended/kivExtendedReport.h"
#include "framework/kivFormat.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegTestSupport.h"
#include "kivInfoText.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

struct TEntry {
  uint32_t Attributes, Size, Offset;
  uint16_t Dependent1 = 0, Dependent2 = 0;
};

// An APP2 "MPF" segment: the MP Index IFD (version, number of images, entries) and, after it,
// an MP Attribute IFD with the individual image number 1.
std::string MpfSegment(const std::vector<TEntry>& Entries, bool Motorola, int64_t Declared = -1) {
  const auto M = Motorola;
  const uint32_t EntriesAt = 8 + 2 + 3 * 12 + 4, AttributesAt = EntriesAt + 16 * Entries.size();
  std::string T = Motorola ? "MM" : "II";
  T += Word(42, M) + Long(8, M);
  T += Word(3, M);
  T += Word(0xB000, M) + Word(7, M) + Long(4, M) + "0100";
  T += Word(0xB001, M) + Word(4, M) + Long(1, M) +
       Long(uint32_t(Declared < 0 ? Entries.size() : Declared), M);
  T += Word(0xB002, M) + Word(7, M) + Long(16 * Entries.size(), M) + Long(EntriesAt, M);
  T += Long(AttributesAt, M);
  for (const TEntry& E : Entries)
    T += Long(E.Attributes, M) + Long(E.Size, M) + Long(E.Offset, M) + Word(E.Dependent1, M) +
         Word(E.Dependent2, M);
  T += Word(1, M) + Word(0xB101, M) + Word(4, M) + Long(1, M) + Long(1, M) + Long(0, M);
  return Segment(0xE2, std::string("MPF\0", 4) + T);
}

std::string Picture(int W, int H) {
  return JpegOf(W, H, [](int X, int Y) { return TkivColor{uint8_t(X * 20), uint8_t(Y * 20), 90}; });
}

// The primary with an index before its other segments, then Others; Entry(k, offsets) gives
// the entries once the images' offsets are known.
std::string WithIndex(const std::string& Primary, const std::vector<std::string>& Others,
                      const std::function<std::vector<TEntry>(const std::vector<uint32_t>&)>& Make,
                      bool Motorola, int64_t Declared = -1) {
  // The segment's size does not depend on the values of the entries: built once to measure.
  const size_t Count = Make(std::vector<uint32_t>(2 * (Others.size() + 1), 0)).size();
  const size_t SegmentSize = MpfSegment(std::vector<TEntry>(Count, TEntry{}), Motorola).size();
  std::vector<uint32_t> Sizes = {uint32_t(Primary.size() + SegmentSize)};
  for (const std::string& O : Others)
    Sizes.push_back(uint32_t(O.size()));
  // Offsets from the TIFF header, 2 + 8 bytes into the file.
  std::vector<uint32_t> Offsets = {0};
  uint32_t At = Sizes[0];
  for (size_t I = 0; I < Others.size(); ++I) {
    Offsets.push_back(At - 10);
    At += Sizes[I + 1];
  }
  std::vector<uint32_t> Both = Sizes;
  Both.insert(Both.end(), Offsets.begin(), Offsets.end());
  std::string File =
      Primary.substr(0, 2) + MpfSegment(Make(Both), Motorola, Declared) + Primary.substr(2);
  for (const std::string& O : Others)
    File += O;
  return File;
}

std::unique_ptr<TkivJpegFile> FileOf(const std::string& Bytes) {
  // As the pipeline loads a file: the list keeps its bytes for the pictures of its page.
  auto List = std::make_unique<TkivJpegFile>();
  List->Source = std::make_unique<TMemoryStream>(Bytes);
  List->LoadFromStream(*List->Source);
  return List;
}

std::string PageOf(TkivJpegFile& File) {
  TMemoryStream Html;
  WriteListPage(File, Html, {.Extended = true});
  return Html.ToString();
}

// The extended parts of the file as text.
std::string TreeOf(TkivJpegFile& File) {
  return ExtendedTree(File, false);
}

constexpr uint32_t Primary = 0xA0030000, Vga = 0x00010001, FullHd = 0x00010002;

} // namespace

TEST(MultiPicture, PrimaryAndTwoPreviewsInBothByteOrders) {
  const std::string P = Picture(32, 16), A = Picture(16, 8), B = Picture(8, 8);
  for (const bool Motorola : {true, false}) {
    const std::string Bytes = WithIndex(
        P, {A, B},
        [](const std::vector<uint32_t>& V) {
          return std::vector<TEntry>{{Primary, V[0], 0, 2, 3},
                                     {Vga | 0x40000000, V[1], V[4]},
                                     {FullHd | 0x40000000, V[2], V[5]}};
        },
        Motorola);
    auto File = FileOf(Bytes);
    ASSERT_EQ(File->Images.size(), 3u) << Motorola;
    EXPECT_EQ(File->Index.Motorola, Motorola);
    int64_t At = 0;
    const int Widths[] = {32, 16, 8};
    for (size_t K = 0; K < 3; ++K) {
      TkivJpegFile::TImage& Image = File->Images[K];
      EXPECT_EQ(Image.Offset, At);
      EXPECT_TRUE(Image.Ended);
      EXPECT_EQ(Image.Entry, int32_t(K));
      EXPECT_TRUE(Image.SizeProblem.empty()) << Image.SizeProblem;
      EXPECT_FALSE(File->CheckOfEntry(int32_t(K)).Wrong) << File->CheckOfEntry(int32_t(K)).Text;
      if (K > 0) {
        // Decoded when the page asks for it.
        EXPECT_FALSE(Image.Picture);
        File->DecodePicture(Image);
        ASSERT_TRUE(Image.Picture);
        EXPECT_EQ(Image.Picture->Width(), Widths[K]);
      }
      At += Image.Size;
    }
    EXPECT_EQ(At, int64_t(Bytes.size()));
    EXPECT_EQ(File->Images[1].Kind, "large thumbnail, class 1 (VGA equivalent)");
    const std::string Tree = TreeOf(*File);
    EXPECT_TRUE(Has(Tree, Motorola ? "Byte order: Motorola (MM)" : "Byte order: Intel (II)"));
    EXPECT_TRUE(Has(Tree, "MP format version: 0100")) << Tree;
    EXPECT_TRUE(Has(Tree, "Number of images: 2") == false);
    EXPECT_TRUE(Has(Tree, "Number of images: 3")) << Tree;
    EXPECT_TRUE(Has(Tree, "dependent parent, representative image")) << Tree;
    EXPECT_TRUE(Has(Tree, "Individual image number: 1\n")) << Tree;
    EXPECT_FALSE(Has(Tree, "Not decoded")) << Tree;
    const std::string Page = PageOf(*File);
    EXPECT_TRUE(Has(Page, Format("Image 2 of 3: large thumbnail, class 1 (VGA equivalent), %s "
                                 "bytes at 0x%08llX",
                                 std::to_string(File->Images[1].Size).c_str(),
                                 static_cast<unsigned long long>(File->Images[1].Offset))))
        << Page;
    EXPECT_FALSE(Has(Page, "Outside the images"));
  }
}

TEST(MultiPicture, WrongSizeAndWrongOffsetAreShownWithWhatTheFileHolds) {
  const std::string P = Picture(16, 16), A = Picture(8, 8), B = Picture(8, 8);
  const std::string Bytes = WithIndex(
      P, {A, B},
      [](const std::vector<uint32_t>& V) {
        return std::vector<TEntry>{
            {Primary, V[0], 0}, {Vga, V[1] + 538, V[4]}, {Vga, V[2], V[5] + 1}};
      },
      true);
  auto File = FileOf(Bytes);
  // The third image still follows the second directly, though its entry points past its start.
  ASSERT_EQ(File->Images.size(), 3u);
  const TkivJpegFile::TImage& Second = File->Images[1];
  const std::string Given = std::to_string(Second.Size + 538), Runs = std::to_string(Second.Size);
  EXPECT_EQ(File->Images[2].Entry, -1);
  EXPECT_TRUE(File->CheckOfEntry(1).Wrong);
  EXPECT_TRUE(File->CheckOfEntry(2).Wrong);
  // The second image's own attribute IFD numbers it 1, where the index names it 2.
  const std::string Numbered = A.substr(0, 2) + MpfSegment({}, true) + A.substr(2);
  auto Renumbered = FileOf(WithIndex(
      P, {Numbered},
      [](const std::vector<uint32_t>& V) {
        return std::vector<TEntry>{{Primary, V[0], 0}, {Vga, V[1], V[3]}};
      },
      true));
  const std::string RenumberedTree = TreeOf(*Renumbered);
  EXPECT_TRUE(Has(RenumberedTree, "Individual image number: 1 (the index names it as image 2)"))
      << RenumberedTree;
  EXPECT_TRUE(Has(File->CheckOfEntry(2).Text, "no start-of-image marker at"))
      << File->CheckOfEntry(2).Text;
  const std::string Page = PageOf(*File);
  const auto Grouped = [](const std::string& D) {
    return D.size() > 3 ? D.substr(0, D.size() - 3) + "," + D.substr(D.size() - 3) : D;
  };
  EXPECT_TRUE(Has(Page, "The index gives " + Grouped(Given) + " bytes; the image runs " +
                            Grouped(Runs) + " bytes"))
      << Page;
}

TEST(MultiPicture, BadIndexesAreSaidAndBounded) {
  const std::string P = Picture(16, 16), A = Picture(8, 8);
  // A picture inside a segment of the primary, as thumbnails are.
  const std::string WithThumbnail = P.substr(0, 2) + Segment(0xE4, "x" + A) + P.substr(2);
  const uint32_t ThumbnailAt =
      uint32_t(2 + MpfSegment(std::vector<TEntry>(6, TEntry{}), false).size() + 4 + 1 - 10);
  // Outside the file, at offset 0, into the primary, twice the same image, dependent images
  // that name themselves and each other; and more images declared than listed.
  const std::string Bytes = WithIndex(
      WithThumbnail, {A},
      [&](const std::vector<uint32_t>& V) {
        return std::vector<TEntry>{
            {Primary, V[0], 0, 1, 0}, {Vga, V[1], V[3], 3, 0}, {Vga, V[1], V[3], 2, 0},
            {Vga, 100, 0x7FFFFFF0},   {Vga, 100, 0},           {Vga, 100, ThumbnailAt}};
      },
      false, 9);
  auto File = FileOf(Bytes);
  ASSERT_EQ(File->Images.size(), 2u);
  EXPECT_FALSE(File->CheckOfEntry(1).Wrong);
  EXPECT_EQ(File->CheckOfEntry(2).Text, "the image that entry 2 names");
  EXPECT_TRUE(Has(File->CheckOfEntry(3).Text, "lies outside the file"));
  EXPECT_EQ(File->CheckOfEntry(4).Text, "offset 0 names the first image");
  EXPECT_TRUE(Has(File->CheckOfEntry(5).Text, "lies inside image 1")) << File->CheckOfEntry(5).Text;
  const std::string Tree = TreeOf(*File);
  for (const char* Said :
       {"Number of images: 9", "Image 1: the image names itself as its dependent image",
        "Image 2: it and image 3 name each other as dependent images",
        "Image 3: another image has the same offset", "Image 5: offset 0 is the first image's"})
    EXPECT_TRUE(Has(Tree, Said)) << Said << "\n" << Tree;

  // Thousands of entries, all naming the second image: two images, a hundred rows.
  const std::string Many = WithIndex(
      P, {A},
      [](const std::vector<uint32_t>& V) {
        std::vector<TEntry> E = {{Primary, V[0], 0}};
        E.resize(3000, TEntry{Vga, V[1], V[3]});
        return E;
      },
      true);
  auto Crowded = FileOf(Many);
  EXPECT_EQ(Crowded->Images.size(), 2u);
  EXPECT_EQ(Crowded->NamedImages, 3000);
  const std::string ManyTree = TreeOf(*Crowded);
  EXPECT_TRUE(Has(ManyTree, "2900 more entries are not shown"));
  EXPECT_TRUE(Has(PageOf(*Crowded), "Image 2 of 2 (the index names 3000): "));

  // Cut short: the entries declare more than the segment holds.
  std::string Cut = MpfSegment({{Primary, 100, 0}, {Vga, 100, 50}}, true);
  Cut = Cut.substr(0, Cut.size() - 30);
  Cut[3] = char(Cut.size() - 2);
  const std::string CutTree = TreeOf(*FileOf(P.substr(0, 2) + Cut + P.substr(2)));
  EXPECT_TRUE(Has(CutTree, "The MP entries declare 2 entries; the data hold 1")) << CutTree;
}

TEST(MultiPicture, ImagesThatFollowWithoutAnIndexAndTheirBound) {
  const std::string P = Picture(16, 16), A = Picture(8, 8);
  auto File = FileOf(P + A + "tail");
  ASSERT_EQ(File->Images.size(), 2u);
  EXPECT_EQ(File->Images[1].Entry, -1);
  EXPECT_EQ(File->Images[1].Offset, int64_t(P.size()));
  const std::string Page = PageOf(*File);
  EXPECT_TRUE(Has(Page, Format("Image 2 of 2: %zu bytes at 0x%08zX", A.size(), P.size()))) << Page;
  EXPECT_TRUE(Has(Page, "Outside the images: 4 bytes at "));
  // The walk goes to a fixed number of images.
  std::string Crowd = P;
  for (int I = 0; I < 40; ++I)
    Crowd += A;
  auto Crowded = FileOf(Crowd);
  EXPECT_EQ(int32_t(Crowded->Images.size()), TkivJpegFile::MaxImages);
  EXPECT_TRUE(Has(PageOf(*Crowded), "more than 16 images"));
}

TEST(MultiPicture, TheIndexAloneInTheViewer) {
  // A segment file: the index without the file's checks.
  std::unique_ptr<TkivSegment> Segment;
  TMemoryStream Stream(MpfSegment({{Primary, 1000, 0}, {Vga, 200, 990}}, true));
  std::string Page;
  ASSERT_EQ(LoadSegment(Stream, Segment, [&](TMemoryStream& H) { Page = H.ToString(); },
                        {.Extended = true}),
            TkivLoadResult::Shown);
  EXPECT_TRUE(Has(Page, "Multi-picture index"));
  EXPECT_TRUE(Has(Page, "large thumbnail, class 1 (VGA equivalent) (0x010001)"));
  EXPECT_FALSE(Has(Page, "In the file"));
}

TEST(IsoGainMap, BothForms) {
  const std::string Id("urn:iso:std:iso:ts:21496:-1\0", 28);
  const std::string Short = Segment(0xE2, Id + Hex("00 00 00 00"));
  const auto Tree = [&](const std::string& Bytes) {
    TMemoryStream Stream(Bytes);
    std::unique_ptr<TkivSegment> S = JpegSegmentClassList.FindReader(Stream)->Create();
    S->LoadFromStream(Stream);
    const int32_t Before = S->Info->Count();
    TkivExtendedReport().FillSegmentInfo(*S);
    std::string Text;
    for (int32_t C = Before; C < S->Info->Count(); ++C)
      Text += InfoTreeText(S->Info->GetChild(C));
    return Text;
  };
  EXPECT_TRUE(Has(Tree(Short), "Form: versions only")) << Tree(Short);
  // Three channels with a common denominator of 4; the gamma of blue is 0.
  std::string Full = Hex("00 00 00 00 C8 00 00 00 04 00 00 00 0A 00 00 00 10");
  for (int C = 0; C < 3; ++C)
    Full += Hex("FF FF FF FC 00 00 00 0C 00 00 00") + char(C == 2 ? 0 : 4) +
            Hex("00 00 00 01 00 00 00 02");
  const std::string FullTree = Tree(Segment(0xE2, Id + Full));
  for (const char* Said : {"Channels: 3", "Colour space of the gain map math: the base image's",
                           "Common denominator: 4", "Base HDR headroom: 10/4 = 2.5",
                           "Alternate HDR headroom: 16/4 = 4", "-4/4 = -1", "12/4 = 3",
                           "channel blue: a denominator of 0, or a gamma of 0"})
    EXPECT_TRUE(Has(FullTree, Said)) << Said << "\n" << FullTree;
  // Each value with its own denominator, one of them 0, and the block cut short.
  std::string Own = Hex("00 00 00 00 00 00 00 00 05 00 00 00 00 00 00 00 01 00 00 00 01");
  const std::string OwnTree = Tree(Segment(0xE2, Id + Own));
  EXPECT_TRUE(Has(OwnTree, "5/0 (a denominator of 0)")) << OwnTree;
  EXPECT_TRUE(Has(OwnTree, "The data ends inside a field")) << OwnTree;
}

namespace {

// An independent walk: each image from FF D8 over its marker segments and the entropy-coded
// data to FF D9; a next image only where FF D8 FF follows directly.
std::vector<std::pair<int64_t, int64_t>> IndependentWalk(const std::string& D) {
  std::vector<std::pair<int64_t, int64_t>> Images;
  size_t P = 0;
  const auto U = [&](size_t I) { return I < D.size() ? uint8_t(D[I]) : 0; };
  while (P + 3 <= D.size() && U(P) == 0xFF && U(P + 1) == 0xD8 && U(P + 2) == 0xFF) {
    const size_t Start = P;
    P += 2;
    bool Ended = false;
    while (P < D.size() && !Ended) {
      if (U(P) != 0xFF) return Images;
      while (U(P) == 0xFF && P < D.size())
        ++P;
      const uint8_t M = U(P++);
      if (M == 0xD9) {
        Ended = true;
        break;
      }
      if ((M >= 0xD0 && M <= 0xD7) || M == 0x01) continue;
      P += (U(P) << 8) | U(P + 1);
      if (M != 0xDA) continue;
      for (;; ++P) {
        P = D.find('\xFF', P);
        if (P == std::string::npos) return Images;
        const uint8_t C = U(P + 1);
        if (C != 0 && !(C >= 0xD0 && C <= 0xD7) && C != 0xFF) break;
      }
    }
    if (!Ended) return Images;
    Images.emplace_back(Start, P - Start);
  }
  return Images;
}

} // namespace

TEST(MultiPicture, CorpusFilesAgreeWithAnIndependentWalkAndExiftool) {
  if (CorpusDir().empty() || !std::filesystem::exists(CorpusDir() / "modern"))
    GTEST_SKIP() << "no corpus";
  const bool Exiftool = std::system("exiftool -ver > /dev/null 2>&1") == 0;
  int Several = 0;
  for (const auto& Entry : std::filesystem::directory_iterator(CorpusDir() / "modern")) {
    if (Entry.path().extension() != ".jpg") continue;
    const std::string Bytes = ReadFileBytes(Entry.path());
    auto File = FileOf(Bytes);
    const auto Expected = IndependentWalk(Bytes);
    ASSERT_EQ(File->Images.size(), Expected.size()) << Entry.path();
    for (size_t K = 0; K < Expected.size(); ++K) {
      EXPECT_EQ(File->Images[K].Offset, Expected[K].first) << Entry.path() << " " << K;
      EXPECT_EQ(File->Images[K].Size, Expected[K].second) << Entry.path() << " " << K;
    }
    Several += Expected.size() > 1;
    if (!Exiftool || File->IndexBase < 0) continue;
    const std::string Command = "exiftool -j -n -MPImageStart -MPImageLength '" +
                                Entry.path().string() + "' -G1 2>/dev/null";
    std::string Json;
    if (FILE* Pipe = popen(Command.c_str(), "r")) {
      char Buffer[4096];
      for (size_t N; (N = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
        Json.append(Buffer, N);
      pclose(Pipe);
    }
    const nlohmann::json Tags = nlohmann::json::parse(Json)[0];
    for (size_t E = 0; E < File->Index.Entries.size(); ++E) {
      const std::string Group = "MPImage" + std::to_string(E + 1) + ":";
      if (!Tags.contains(Group + "MPImageLength")) continue;
      const TkivMpEntry& M = File->Index.Entries[E];
      EXPECT_EQ(Tags[Group + "MPImageLength"].get<int64_t>(), M.Size) << Entry.path();
      // exiftool gives the position in the file.
      EXPECT_EQ(Tags[Group + "MPImageStart"].get<int64_t>(),
                M.Offset == 0 ? 0 : File->IndexBase + M.Offset)
          << Entry.path();
    }
  }
  EXPECT_GE(Several, 5);
}
