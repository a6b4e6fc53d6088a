// What follows the last image: Samsung's trailer read from the end of the file, a motion
// photo's video, and the data that neither accounts for.

#include <gtest/gtest.h>

#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegTestSupport.h"
#include "kivInfoText.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

std::string Picture() {
  return JpegOf(8, 8, [](int X, int Y) { return TkivColor{uint8_t(X * 30), uint8_t(Y * 30), 0}; });
}

// An MP4 file: its type box, a media data box and an empty movie box.
std::string Mp4() {
  return Long(24) + "ftypmp42" + Long(0) + "isommp42" + Long(16) + "mdat" + "12345678" + Long(8) +
         "moov";
}

struct TBlock {
  uint16_t Type;
  std::string Name, Data;
};

// Blocks, then the directory that points back at them, its length and "SEFT".
std::string SamsungTrailer(const std::vector<TBlock>& Blocks, int64_t DeclaredExtra = 0) {
  std::string Bytes, Entries;
  std::vector<std::pair<size_t, size_t>> At;
  for (const TBlock& B : Blocks) {
    At.emplace_back(Bytes.size(), 8 + B.Name.size() + B.Data.size());
    Bytes += Word(0, false) + Word(B.Type, false) + Long(uint32_t(B.Name.size()), false) + B.Name +
             B.Data;
  }
  const size_t Directory = Bytes.size();
  for (size_t I = 0; I < Blocks.size(); ++I)
    Entries += Word(0, false) + Word(Blocks[I].Type, false) +
               Long(uint32_t(Directory - At[I].first), false) + Long(uint32_t(At[I].second), false);
  const std::string Head =
      "SEFH" + Long(107, false) + Long(uint32_t(Blocks.size() + DeclaredExtra), false) + Entries;
  return Bytes + Head + Long(uint32_t(Head.size()), false) + "SEFT";
}

std::unique_ptr<TkivJpegFile> FileOf(const std::string& Bytes) {
  auto List = std::make_unique<TkivJpegFile>();
  TMemoryStream Stream(Bytes);
  List->LoadFromStream(Stream);
  return List;
}

std::string PageOf(TkivJpegFile& File) {
  TMemoryStream Html;
  WriteListPage(File, Html, {.Extended = true});
  return Html.ToString();
}

std::string TreeOf(const TkivSegment& Segment) {
  return InfoTreeText(*Segment.Info);
}

} // namespace

TEST(Trailers, SamsungTrailerReadFromTheEnd) {
  const std::string P = Picture();
  const std::string Trailer = SamsungTrailer(
      {{0x0A01, "Image_UTC_Data", "1700000000000"}, {0x0AA1, "MotionPhoto_Data", Mp4()}});
  auto File = FileOf(P + Trailer);
  ASSERT_EQ(File->Images.size(), 1u);
  const TkivSegment& Last = File->Segment(File->Count() - 1);
  EXPECT_EQ(&Last.ClassType(), &TkivJpegTrailingData::SamsungClassObject());
  EXPECT_EQ(Last.FileOffset, int64_t(P.size()));
  EXPECT_EQ(Last.FileSize, int64_t(Trailer.size()));
  const std::string Tree = TreeOf(Last);
  for (const char* Said :
       {"Version: 107", "Number of entries: 2", "Name: Image_UTC_Data", "Name: MotionPhoto_Data",
        "Content: MP4 video, brand mp42", "Offset: 0x" /* the blocks' positions in the file */})
    EXPECT_TRUE(Has(Tree, Said)) << Said << "\n" << Tree;
  EXPECT_TRUE(Has(PageOf(*File), "Samsung trailer at offset "));

  // A directory that declares more entries than it holds, and an entry pointing before the
  // image's end.
  std::string Bad = SamsungTrailer({{0x0A01, "Image_UTC_Data", "1"}}, 1000);
  const std::string BadTree = TreeOf(FileOf(P + Bad)->Segment(FileOf(P + Bad)->Count() - 1));
  EXPECT_TRUE(Has(BadTree, "The directory declares 1001 entries")) << BadTree;
  std::string Before = SamsungTrailer({{0x0A01, "Image_UTC_Data", "1"}});
  // The entry's distance back from the directory reaches into the image.
  Before.replace(Before.size() - 8 - 12 + 4, 4, Long(5000, false));
  auto BeforeFile = FileOf(P + Before);
  const std::string BeforeTree = TreeOf(BeforeFile->Segment(BeforeFile->Count() - 1));
  EXPECT_TRUE(Has(BeforeTree, "the block does not lie between the image and the directory"))
      << BeforeTree;
  // A length that reaches before the file's start is no trailer to read.
  auto Huge = FileOf(P + std::string(16, 'x') + Long(0xFFFFFFF0, false) + "SEFT");
  EXPECT_TRUE(Has(TreeOf(Huge->Segment(Huge->Count() - 1)), "does not fit"));
}

TEST(Trailers, MotionPhotoVideoAfterTheImagesAndDataAfterIt) {
  const std::string P = Picture(), G = Picture(), V = Mp4();
  auto File = FileOf(P + G + V + "rest");
  ASSERT_EQ(File->Images.size(), 2u);
  const TkivSegment& Video = File->Segment(File->Count() - 2);
  EXPECT_EQ(&Video.ClassType(), &TkivJpegTrailingData::VideoClassObject());
  EXPECT_EQ(Video.FileOffset, int64_t(P.size() + G.size()));
  EXPECT_EQ(Video.FileSize, int64_t(V.size()));
  const std::string Tree = TreeOf(Video);
  EXPECT_TRUE(Has(Tree, "Brand: mp42")) << Tree;
  EXPECT_TRUE(Has(Tree, "Compatible brands: isom, mp42")) << Tree;
  const TkivSegment& Rest = File->Segment(File->Count() - 1);
  EXPECT_EQ(&Rest.ClassType(), &TkivJpegTrailingData::ClassObject());
  EXPECT_EQ(Rest.FileSize, 4);
  const std::string Page = PageOf(*File);
  EXPECT_TRUE(Has(Page, "MP4 video at offset "));
  EXPECT_TRUE(Has(Page, "Outside the images: " + std::to_string(V.size() + 4) + " bytes at "));
  // A box that declares more than the file holds ends the video where the boxes stop.
  auto Cut = FileOf(P + V.substr(0, 24) + Long(1000) + "mdat");
  const std::string CutTree = TreeOf(Cut->Segment(Cut->Count() - 2));
  EXPECT_TRUE(Has(CutTree, "declares 1000 bytes; 8 are left")) << CutTree;
}
