// Content credentials: JUMBF pieces joined per box instance, the box tree with its JSON and
// CBOR content, hostile boxes bounded, and the hard binding checked against the file's bytes.

#include <gtest/gtest.h>

#include <array>
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

std::string Box(const std::string& Type, const std::string& Data) {
  return Long(uint32_t(8 + Data.size())) + Type + Data;
}

// A superbox of an ISO content type (its four-character code), labelled.
std::string Superbox(const std::string& Code, const std::string& Label,
                     const std::string& Children) {
  const std::string Uuid = Code + Hex("0011 0010 8000 00AA 0038 9B71");
  return Box("jumb", Box("jumd", Uuid + "\x03" + Label + std::string(1, '\0')) + Children);
}

std::string Cbor(const nlohmann::json& V) {
  const std::vector<uint8_t> B = nlohmann::json::to_cbor(V);
  return std::string(B.begin(), B.end());
}

// The box as APP11 pieces of at most Chunk bytes of box data each, every piece after the first
// repeating the box's header.
std::vector<std::string> Pieces(const std::string& Box, size_t Chunk) {
  std::vector<std::string> Out;
  uint32_t Sequence = 1;
  for (size_t At = 0; At < Box.size(); At += Chunk, ++Sequence) {
    const std::string Header = At == 0 ? "" : Box.substr(0, 8);
    Out.push_back(
        Segment(0xEB, "JP" + Hex("00 01") + Long(Sequence) + Header + Box.substr(At, Chunk)));
  }
  return Out;
}

std::string Joined(const std::vector<std::string>& Segments) {
  std::string S;
  for (const std::string& Piece : Segments)
    S += Piece;
  return S;
}

// A file of SOI, a comment, the manifest store's pieces and EOI, whose c2pa.hash.data excludes
// the pieces: the hash is of the file's other bytes.
std::string SignedFile(const std::string& Comment, bool Split) {
  const std::string Head = Hex("FF D8") + Segment(0xFE, Comment), Tail = Hex("FF D9");
  const auto Store = [&](const std::string& Hash, uint32_t Length) {
    const nlohmann::json Binding = {
        {"alg", "sha256"},
        {"exclusions", {{{"start", Head.size()}, {"length", Length}}}},
        {"hash", nlohmann::json::binary(std::vector<uint8_t>(Hash.begin(), Hash.end()))},
        {"name", "jumbf manifest"}};
    const std::string Assertions =
        Superbox("c2as", "c2pa.assertions",
                 Superbox("cbor", "c2pa.hash.data", Box("cbor", Cbor(Binding))) +
                     Superbox("json", "stds.schema-org.CreativeWork",
                              Box("json", R"({"author":[{"name":"A"}]})")));
    return Superbox("c2pa", "c2pa", Superbox("c2ma", "urn:m1", Assertions));
  };
  const auto Segments = [&](const std::string& Hash, uint32_t Length) {
    return Joined(Pieces(Store(Hash, Length), Split ? 100 : 65000));
  };
  // The exclusion's and the hash's sizes do not change with their values.
  const uint32_t Length = uint32_t(Segments(std::string(32, '\0'), 0xFFFF).size());
  const std::string Outside = Head + Tail;
  const std::string Hash =
      kivPlatform::DigestOf(kivPlatform::TDigestKind::SHA256, Outside.data(), Outside.size());
  return Head + Segments(Hash, Length) + Tail;
}

} // namespace

TEST(Jumbf, ManifestTreeAndHardBinding) {
  const std::string File = SignedFile("ok", false);
  // SOI and the comment "ok" end at 8; EOI follows the pieces.
  ASSERT_EQ(File.size(), 401u);
  const std::string Hash = "6e982054d109f77aa01b55a42cd1baee8a00d25c9883a10d80bef8d2f3085d14";
  EXPECT_EQ(ExtendedTree(File),
            "2 Content credentials (JUMBF):\n  Pieces: 1 (joined from segments 2)\n"
            "  Superbox c2pa:\n"
            "    Content type: 63327061-0011-0010-8000-00aa00389b71 (c2pa: manifest store)\n"
            "    Toggles: 0x03 (requestable, label)\n    Label: c2pa\n"
            "    Superbox urn:m1:\n"
            "      Content type: 63326d61-0011-0010-8000-00aa00389b71 (c2ma: standard "
            "manifest)\n"
            "      Toggles: 0x03 (requestable, label)\n      Label: urn:m1\n"
            "      Superbox c2pa.assertions:\n"
            "        Content type: 63326173-0011-0010-8000-00aa00389b71 (c2as: assertion store)\n"
            "        Toggles: 0x03 (requestable, label)\n        Label: c2pa.assertions\n"
            "        Superbox c2pa.hash.data:\n"
            "          Content type: 63626f72-0011-0010-8000-00aa00389b71 (cbor: CBOR content)\n"
            "          Toggles: 0x03 (requestable, label)\n          Label: c2pa.hash.data\n"
            "          'cbor' (CBOR content), 101 bytes: {\\x0A  \"alg\": \"sha256\",\\x0A  "
            "\"exclusions\": [\\x0A    {\\x0A      \"length\": 391,\\x0A      \"start\": "
            "8\\x0A    }\\x0A  ],\\x0A  \"hash\": h'" +
                Hash +
                "',\\x0A  \"name\": \"jumbf manifest\"\\x0A}\n"
                "        Superbox stds.schema-org.CreativeWork:\n"
                "          Content type: 6a736f6e-0011-0010-8000-00aa00389b71 (json: JSON "
                "content)\n"
                "          Toggles: 0x03 (requestable, label)\n"
                "          Label: stds.schema-org.CreativeWork\n"
                "          'json' (JSON content), 25 bytes: {\\x0A  \"author\": [\\x0A    "
                "{\\x0A      \"name\": \"A\"\\x0A    }\\x0A  ]\\x0A}\n"
                "  Hard binding (c2pa.hash.data) of urn:m1:\n    Algorithm: sha256\n"
                "    Hash: " +
                Hash +
                "\n    Exclusions:\n      8:\n        Length: 391\n        End: 399\n"
                "        In the file: segment 2\n"
                "    Check: the file's bytes match the manifest (SHA-256 of the file outside "
                "the exclusions: " +
                Hash +
                ")\n"
                "  Signature: not checked (No signature or certificate is checked)\n");

  // The same store in pieces of 100 bytes, each repeating the box's header.
  const std::string Split = ExtendedTree(SignedFile("ok", true));
  EXPECT_TRUE(Has(Split, "Pieces: 4 (joined from segments 2, 3, 4 and 5)")) << Split;
  EXPECT_TRUE(Has(Split, "Check: the file's bytes match the manifest")) << Split;

  // One byte changed outside the exclusions: the comment.
  std::string Changed = File;
  Changed[6] = 'K';
  EXPECT_TRUE(Has(ExtendedTree(Changed), "Check: the file's bytes do not match the manifest"));
}

TEST(Jumbf, PiecesJoinedInSequenceOrderWithGapsAndRepeatsSaid) {
  const std::vector<std::string> P =
      Pieces(Superbox("c2pa", "c2pa", Superbox("json", "j", Box("json", "[1,2,3]"))), 30);
  ASSERT_EQ(P.size(), 3u);
  const struct {
    const char* Name;
    std::string Segments;
    std::vector<std::string> Said;
  } Cases[] = {
      {"in reverse order",
       P[2] + P[1] + P[0],
       {"Pieces: 3 (joined from segments 3, 2 and 1)", "Label: j",
        "[\\x0A  1,\\x0A  2,\\x0A  3\\x0A]",
        "2 Content credentials (JUMBF):\n  Piece: 2 (the whole is described after segment 1)\n"}},
      {"a repeat",
       P[0] + P[1] + P[1] + P[2],
       {"Problem: Piece 2 appears more than once; the first is used", "Label: j"}},
      {"a gap",
       P[0] + P[2],
       {"Problem: Missing: piece 2", "Box instance: 1\n  Sequence number: 1\n",
        "declares 88 bytes, but only 30 are left",
        "Box: 'jumb' (superbox) (its header repeated; 88 bytes in all)"}},
      {"a length that the pieces do not hold",
       P[0] + P[1],
       {"Box length: 88 (the pieces hold 60 bytes)", "declares 88 bytes, but only 60 are left"}},
  };
  for (const auto& C : Cases) {
    const std::string Tree = ExtendedTree(Hex("FF D8") + C.Segments + Hex("FF D9"));
    for (const std::string& Said : C.Said)
      EXPECT_TRUE(Has(Tree, Said)) << C.Name << ": " << Said << "\n" << Tree;
    EXPECT_FALSE(Has(Tree, "The data ends inside")) << C.Name << "\n" << Tree;
  }
}

TEST(Jumbf, HostileBoxesAreBoundedAndSaidSo) {
  std::string Deep = Box("json", "1");
  for (int I = 0; I < 100; ++I)
    Deep = Superbox("c2as", "d", Deep);
  std::string DeepCbor(5000, '\x81');
  DeepCbor += '\x01';
  const struct {
    const char* Name;
    std::string Store;
    std::string Said;
  } Cases[] = {
      {"nested 100 deep", Deep, "Problem: Superboxes nested deeper than 64 levels are not read"},
      {"length 0", Superbox("c2pa", "z", Hex("00000000") + "json" + "[0]"),
       "Box length: length 0: the box runs to the end"},
      {"length 1",
       Superbox("c2pa", "x", Hex("00000001") + "json" + Hex("00000000 00000013") + "[7]"),
       "Box length: extended length 19"},
      {"length below the header", Superbox("c2pa", "s", Hex("00000004") + "json"),
       "declares 4 bytes, less than its header"},
      {"CBOR nested deep", Superbox("cbor", "c", Box("cbor", DeepCbor)),
       "not read as CBOR: values nested deeper than 64 levels"},
      {"CBOR of a huge declared size",
       Superbox("cbor", "c", Box("cbor", Hex("7B 7FFFFFFF FFFFFFFF") + "ab")), "not read as CBOR"},
      {"JSON cut short", Superbox("json", "j", Box("json", "{\"a\":")), "not read as JSON"},
  };
  for (const auto& C : Cases) {
    const std::string Tree =
        ExtendedTree(Hex("FF D8") + Joined(Pieces(C.Store, 60000)) + Hex("FF D9"));
    EXPECT_TRUE(Has(Tree, C.Said)) << C.Name << "\n" << Tree;
    EXPECT_FALSE(Has(Tree, "The data ends inside")) << C.Name << "\n" << Tree;
  }
}

TEST(Jumbf, CorpusManifestsMatchTheirFilesAndLabelsAgreeWithExiftool) {
  const auto Dir = CorpusDir();
  if (Dir.empty()) GTEST_SKIP() << "no corpus";
  const bool Exiftool = std::system("exiftool -ver >/dev/null 2>&1") == 0;
  for (const char* Name : {"c2pa-rs__C.jpg", "c2pa-rs__CA.jpg", "c2pa-rs__CACAE-uri-CA.jpg"}) {
    const auto Path = Dir / "modern" / Name;
    if (!std::filesystem::exists(Path)) continue;
    const std::string Tree = ExtendedTree(ReadFileBytes(Path));
    EXPECT_FALSE(Has(Tree, "The data ends inside")) << Name;
    EXPECT_FALSE(Has(Tree, "not read as")) << Name;
    EXPECT_TRUE(Has(Tree, "Check: the file's bytes match the manifest")) << Name;
    EXPECT_FALSE(Has(Tree, "do not match")) << Name;
    if (!Exiftool) continue;
    std::string Ours, Theirs;
    for (size_t At = Tree.find("Label: "); At != std::string::npos;
         At = Tree.find("Label: ", At + 1))
      Ours += Tree.substr(At + 7, Tree.find('\n', At) - At - 7) + "\n";
    FILE* Pipe = popen(("exiftool -a -s3 -JUMDLabel '" + Path.string() + "'").c_str(), "r");
    ASSERT_TRUE(Pipe);
    std::array<char, 4096> Buffer;
    while (fgets(Buffer.data(), int(Buffer.size()), Pipe))
      Theirs += Buffer.data();
    pclose(Pipe);
    EXPECT_EQ(Ours, Theirs) << Name;
  }
}
