// IPTC-IIM in Photoshop's resources: datasets by number and name in their character set, the
// extended length form, dates and times, the digest of resource 1061 checked, and the corpus
// file's values against exiftool's.

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "extended/kivExtendedReport.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegTestSupport.h"
#include "kivInfoText.h"
#include "platform/kivDigest.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

std::string Dataset(int Record, int Number, const std::string& Value) {
  std::string D = {'\x1C', char(Record), char(Number)};
  if (Value.size() < 0x8000) return D + char(Value.size() >> 8) + char(Value.size()) + Value;
  // The extended form, with a length of four bytes.
  const auto N = uint32_t(Value.size());
  return D + "\x80\x04" + char(N >> 24) + char(N >> 16) + char(N >> 8) + char(N) + Value;
}

std::string Resource(int ID, const std::string& Data) {
  std::string R = "8BIM" + std::string{char(ID >> 8), char(ID)} + std::string(2, '\0');
  const auto N = uint32_t(Data.size());
  R += std::string{char(N >> 24), char(N >> 16), char(N >> 8), char(N)} + Data;
  return Data.size() % 2 ? R + '\0' : R;
}

std::string PhotoshopSegment(const std::string& Resources) {
  return Segment(0xED, std::string("Photoshop 3.0\0", 14) + Resources);
}

// The IPTC part of a file holding Segments.
std::string IptcTree(const std::string& Segments) {
  return ExtendedTree(Hex("FF D8") + Segments + Hex("FF D9"), false, "IPTC");
}

std::string Md5(const std::string& Data) {
  return kivPlatform::DigestOf(kivPlatform::TDigestKind::MD5, Data.data(), Data.size());
}

} // namespace

TEST(Iptc, DatasetsAndTheDigest) {
  const std::string Iim = Dataset(1, 90, "\x1B%G") + Dataset(2, 0, std::string("\0\4", 2)) +
                          Dataset(2, 5, "\xD0\x94om") + Dataset(2, 25, "sea") +
                          Dataset(2, 25, "sky") + Dataset(2, 55, "20040226") +
                          Dataset(2, 60, "101530+0100") + Dataset(2, 62, "2004") +
                          Dataset(2, 120, std::string(40000, 'c')) + Dataset(9, 9, "??");
  const std::string Golden =
      "IPTC:\n  Pieces: 1 (joined from segments 1)\n  IPTC-IIM: 40094 bytes (resource 1028)\n"
      "  IPTC-IIM datasets:\n"
      "    1:90:\n      Name: Coded Character Set\n      Value: 1B 25 47 (ESC % G: UTF-8)\n"
      "    2:00:\n      Name: Record Version\n      Value: 4\n"
      "    2:05:\n      Name: Object Name\n      Value: \xD0\x94om\n"
      "    2:25:\n      Name: Keywords\n      Value: sea\n"
      "    2:25:\n      Name: Keywords\n      Value: sky\n"
      "    2:55:\n      Name: Date Created\n      Value: 2004-02-26\n"
      "    2:60:\n      Name: Time Created\n      Value: 10:15:30+01:00\n"
      "    2:62:\n      Name: Digital Creation Date\n      Value: 2004 (no date CCYYMMDD)\n"
      "    2:120:\n      Name: Caption/Abstract\n      Value: " +
      std::string(1024, 'c') +
      "... (40000 bytes)\n"
      "    9:09:\n      Name: unknown dataset\n      Value: 2 bytes: 3F 3F\n";
  const std::string Good = kivPlatform::DigestHex(Md5(Iim));
  const struct {
    const char* Name;
    std::string Resources;
    std::string Digest;
  } Cases[] = {
      {"a digest that matches", Resource(1028, Iim) + Resource(1061, Md5(Iim)),
       "  IPTC digest: " + Good + " (matches)\n"},
      {"a stale digest", Resource(1028, Iim) + Resource(1061, Md5(Iim + "x")),
       "  IPTC digest: " + kivPlatform::DigestHex(Md5(Iim + "x")) +
           " (stale: the IPTC data changed after the digest was written)\n"
           "  MD5 of resource 1028: " +
           Good + "\n"},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(IptcTree(PhotoshopSegment(C.Resources)), Golden + C.Digest) << C.Name;
}

TEST(Iptc, LengthsPastTheDataAreSaid) {
  const std::string Cut =
      Dataset(2, 5, "name").substr(0, 7) + std::string("\x1C\x02\x19\x80\x09", 5);
  const std::string Tree = IptcTree(PhotoshopSegment(
      Resource(1028, Dataset(2, 5, "x") + std::string("\x1C\x02\x19\x01\x00", 5) + "ab")));
  EXPECT_NE(Tree.find("Problem: Dataset 2:25 declares 256 bytes; 2 are left, which are shown"),
            std::string::npos)
      << Tree;
  const std::string Extended = IptcTree(PhotoshopSegment(Resource(1028, Cut)));
  EXPECT_NE(Extended.find("Problem: "), std::string::npos) << Extended;
}

TEST(Iptc, CorpusValuesAgreeWithExifTool) {
  const auto Dir = CorpusDir();
  if (Dir.empty()) GTEST_SKIP() << "no corpus";
  const auto Path = Dir / "modern" / "exiftool__IPTC.jpg";
  const std::string Tree = IptcTree(ReadFileBytes(Path).substr(2));
  EXPECT_NE(Tree.find("(stale: the IPTC data changed after the digest was written)"),
            std::string::npos);
  EXPECT_EQ(Tree.find("Problem"), std::string::npos) << Tree;
  FILE* Pipe = popen(("exiftool -j -IPTC:all '" + Path.string() + "' 2>/dev/null").c_str(), "r");
  std::string Json;
  char Buffer[4096];
  for (size_t N; Pipe && (N = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
    Json.append(Buffer, N);
  if (!Pipe || pclose(Pipe) != 0 || Json.empty()) GTEST_SKIP() << "no exiftool";
  const auto Tags = nlohmann::json::parse(Json)[0];
  // Its text values by our names, without the spaces, hyphens and slashes.
  const auto Key = [](std::string S) {
    std::string K;
    for (const char C : S)
      if (C != ' ' && C != '-' && C != '/') K += C;
    return K;
  };
  // exiftool names repeated datasets in the plural.
  const auto Plural = [](const std::string& K) {
    return K.back() == 'y' ? K.substr(0, K.size() - 1) + "ies" : K + "s";
  };
  int Compared = 0;
  for (auto It = Tags.begin(); It != Tags.end(); ++It) {
    std::vector<std::string> Values;
    if (It->is_string()) Values = {It->get<std::string>()};
    if (It->is_array())
      for (const auto& V : *It)
        Values.push_back(V.get<std::string>());
    if (Values.empty() || It.key() == "SourceFile" || It.key() == "DateCreated" ||
        It.key() == "Urgency")
      continue;
    for (const std::string& V : Values) {
      bool Found = false;
      for (size_t At = Tree.find("Name: "); At != std::string::npos;
           At = Tree.find("Name: ", At + 1)) {
        const size_t End = Tree.find('\n', At);
        const std::string Name = Tree.substr(At + 6, End - At - 6);
        const bool SameName = Key(Name) == Key(It.key()) || Plural(Key(Name)) == Key(It.key());
        Found = Found || (SameName && Tree.compare(End + 1, 13 + V.size() + 1,
                                                   "      Value: " + V + "\n") == 0);
      }
      EXPECT_TRUE(Found) << It.key() << " = " << V;
      ++Compared;
    }
  }
  EXPECT_GE(Compared, 15);
}
