#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "framework/kivFormat.h"
#include "framework/kivInfo.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"
#include "kivCleanup.h"
#include "kivInfoText.h"
#include "kivSplit.h"
#include "support/kivTestSupport.h"

using namespace kivTest;
namespace fs = std::filesystem;

namespace {

constexpr size_t npos = std::string::npos;

fs::path Put(const TTempDir& Dir, const std::string& Name, const std::string& Bytes) {
  WriteFileBytes(Dir.Path() / Name, Bytes);
  return Dir.Path() / Name;
}

// A path in the shared corpus, or an empty path when there is no corpus.
fs::path InCorpus(const fs::path& Relative) {
  return CorpusDir().empty() ? fs::path() : CorpusDir() / Relative;
}

std::vector<fs::path> FilesIn(const fs::path& Dir) {
  std::vector<fs::path> Files;
  if (fs::is_directory(Dir))
    for (const auto& Entry : fs::directory_iterator(Dir))
      Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  return Files;
}

// Checks the names of the segment files of one split and returns the bytes they make together.
std::string CheckSegmentFiles(const std::vector<fs::path>& Files) {
  std::string Joined;
  for (size_t I = 0; I < Files.size(); ++I) {
    const std::string Bytes = ReadFileBytes(Files[I]);
    EXPECT_GE(Bytes.size(), 2u) << Files[I];
    EXPECT_EQ(uint8_t(Bytes[0]), 0xFF) << Files[I];
    EXPECT_EQ(Files[I].filename().string(),
              Format("%04zu_FF%02X.MRK", I, Bytes.size() > 1 ? unsigned(uint8_t(Bytes[1])) : 0u));
    Joined += Bytes;
  }
  return Joined;
}

// A JFIF header with a 1x1 RGB thumbnail: its picture file is small, its page is not.
const std::string Jfif =
    Hex("FF E0 00 13") + std::string("JFIF\0", 5) + Hex("01 01 00 00 01 00 01 01 01 FF 00 00");
const std::string TinyJpeg = Hex("FF D8 FF DD 00 04 00 10 FF DA 00 02 01 02 FF D9 7A");

} // namespace

TEST(Cli, HelpVersionAndManualPage) {
  const TRun Help = RunCli("--help");
  EXPECT_EQ(Help.Status, 0);
  EXPECT_EQ(Help.Out.rfind("Usage: kivmrk ", 0), 0u) << Help.Out;
  EXPECT_EQ(Help.Err, "");
  const TRun Version = RunCli("--version");
  EXPECT_EQ(Version.Status, 0);
  EXPECT_EQ(Version.Out, std::string("kivmrk ") + KIV_VERSION + "\n");

  const std::string Manual = ReadFileBytes(KIV_MANUAL);
  ASSERT_FALSE(Manual.empty());
  const auto Options = [](const std::string& Text, const char* Pattern) {
    std::set<std::string> Found;
    const std::regex Option(Pattern);
    for (auto It = std::sregex_iterator(Text.begin(), Text.end(), Option);
         It != std::sregex_iterator(); ++It)
      Found.insert(std::regex_replace((*It)[1].str(), std::regex("\\\\-"), "-"));
    return Found;
  };
  // Options as "--name" in the help text and as "\-\-name" in the manual's markup.
  EXPECT_EQ(Options(Help.Out, "(?:^|[\\s\\[|])(--?[a-z]+(?:-[a-z]+)*)"),
            Options(Manual, "((?:\\\\-)+[a-z]+(?:\\\\-[a-z]+)*)"));
  for (const char* Word : {"split", "Exit status", "EXIT STATUS"})
    EXPECT_TRUE(Help.Out.find(Word) != npos || Manual.find(Word) != npos);
}

TEST(Cli, BadInvocationsFailWithOneLine) {
  TTempDir Dir;
  const std::string File = Quoted(Put(Dir, "tiny.jpg", TinyJpeg));
  const struct {
    std::string Args;
    const char* Said;
  } Cases[] = {
      {"--bogus", ""},
      {"a b", ""},
      {"-o", ""},
      {File + " -o", ""},
      {"--text --json " + File, ""},
      {"split " + File, ""},
      {"split a b c", ""},
      {"--segment", ""},
      {Quoted(Dir.Path() / "missing.MRK"), "missing.MRK"},
      {Quoted(Dir.Path()), "cannot read"},
  };
  for (const auto& C : Cases) {
    const TRun Run = RunCli(C.Args);
    EXPECT_EQ(Run.Status, 1) << C.Args;
    EXPECT_EQ(Run.Out, "") << C.Args;
    EXPECT_EQ(Run.Err.rfind("kivmrk: ", 0), 0u) << C.Args << Run.Err;
    EXPECT_EQ(Run.Err.find('\n'), Run.Err.size() - 1) << Run.Err;
    EXPECT_NE(Run.Err.find(C.Said), npos) << Run.Err;
  }
  const TRun Nothing = RunCli("");
  EXPECT_EQ(Nothing.Status, 2);
  EXPECT_EQ(Nothing.Out, "");
  EXPECT_NE(Nothing.Err, "");
}

TEST(Cli, ThumbnailsOnlyBesideAWrittenPage) {
  TTempDir Dir;
  const fs::path File = Put(Dir, "in.MRK", Jfif);
  const fs::path Sub = Dir.Path() / "sub", Page = Sub / "page%d.html";
  fs::create_directory(Sub);
  const TRun IntoDirectory = RunCli(Quoted(File) + " -o " + Quoted(Sub));
  EXPECT_NE(IntoDirectory.Status, 0);
  EXPECT_NE(IntoDirectory.Err.find("cannot write"), npos) << IntoDirectory.Err;
  EXPECT_FALSE(fs::exists(Dir.Path() / "kivBMP0.bmp"));

  // Files may grow to 1 KiB: the picture fits, the page does not; the old page stays.
  WriteFileBytes(Page, "old page");
  const TRun Failed = RunCli(Quoted(File) + " -o " + Quoted(Page), "trap '' XFSZ; ulimit -f 1; ");
  EXPECT_NE(Failed.Status, 0);
  EXPECT_NE(Failed.Err.find("cannot write"), npos) << Failed.Err;
  EXPECT_EQ(ReadFileBytes(Page), "old page");
  EXPECT_EQ(FilesIn(Sub), std::vector<fs::path>{Page});

  const TRun Written = RunCli(Quoted(File) + " -o " + Quoted(Page));
  EXPECT_EQ(Written.Status, 0) << Written.Err;
  EXPECT_EQ(FilesIn(Sub), (std::vector<fs::path>{Sub / "kivBMP0.bmp", Page}));
  EXPECT_NE(ReadFileBytes(Page).find("SRC=\"file://" + (Sub / "kivBMP0.bmp").string() + "\""),
            npos);

  // A whole file's thumbnails too.
  const fs::path Camera = InCorpus("jpeg/kphotoalbum__search.jpg");
  if (!fs::exists(Camera)) GTEST_SKIP() << "no corpus";
  const fs::path Whole = Dir.Path() / "whole.html";
  const TRun Run = RunCli(Quoted(Camera) + " -o " + Quoted(Whole));
  EXPECT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_NE(ReadFileBytes(Whole).find("SRC=\"file://" + (Dir.Path() / "kivBMP0.bmp").string()),
            npos);
}

TEST(Cli, OutputReplacesOnlyRegularFiles) {
  TTempDir Dir;
  const fs::path File = Put(Dir, "in.MRK", Jfif), Other = Put(Dir, "other.txt", "other");
  const fs::path Out = Dir.Path() / "out";
  fs::create_directory(Out);
  const auto Fifo = Out / "fifo.html", Link = Out / "link.html", Dangling = Out / "dangling.html",
             Device = Out / "null.html", Sub = Out / "sub";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0644), 0);
  fs::create_symlink(Other, Link);
  fs::create_symlink(Out / "none.html", Dangling);
  fs::create_directory(Sub);
  // A copy of the null device, where the tests may make one.
  const bool WithDevice = ::mknod(Device.c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0;
  for (const fs::path& Target : {Fifo, Link, Dangling, Device, Sub}) {
    if (Target == Device && !WithDevice) continue;
    SCOPED_TRACE(Target.filename().string());
    const fs::file_type Type = fs::symlink_status(Target).type();
    const TRun Run = RunCli(Quoted(File) + " -o " + Quoted(Target));
    EXPECT_EQ(Run.Status, 1);
    EXPECT_EQ(Run.Err, "kivmrk: cannot write " + Target.string() + ": not a regular file\n");
    EXPECT_EQ(fs::symlink_status(Target).type(), Type);
  }
  EXPECT_EQ(ReadFileBytes(Other), "other");
  EXPECT_FALSE(fs::exists(Out / "none.html"));
  // Nothing else was left there: no temporary file, no thumbnail.
  EXPECT_EQ(FilesIn(Out).size(), WithDevice ? 5u : 4u);

  // A regular file is replaced, a free name taken.
  const fs::path Page = Put(Dir, "page.html", "old page"), New = Dir.Path() / "new.html";
  for (const fs::path& Target : {Page, New}) {
    EXPECT_EQ(RunCli("--text " + Quoted(File) + " -o " + Quoted(Target)).Status, 0);
    EXPECT_EQ(ReadFileBytes(Target).rfind("JFIF segment", 0), 0u) << ReadFileBytes(Target);
  }
}

namespace {

// The SRC values of the page's pictures, in page order.
std::vector<std::string> PictureSources(const std::string& Page) {
  std::vector<std::string> Sources;
  const std::string Key = "<IMG SRC=\"";
  for (size_t At = Page.find(Key); At != npos; At = Page.find(Key, At)) {
    At += Key.size();
    const size_t End = Page.find('"', At);
    if (End == npos) break;
    Sources.push_back(Page.substr(At, End - At));
  }
  return Sources;
}

// The page with the SRC values of its pictures left out.
std::string WithoutPictureSources(const std::string& Page) {
  std::string Rest = Page;
  size_t From = 0;
  for (const std::string& Source : PictureSources(Page)) {
    From = Rest.find(Source, From);
    Rest.erase(From, Source.size());
  }
  return Rest;
}

// The picture a data: URL carries, decoded by coreutils' base64; empty when it is none.
std::string DataUrlBytes(const std::string& Source) {
  const std::string Prefix = "data:image/bmp;base64,";
  if (Source.rfind(Prefix, 0) != 0) return {};
  TTempDir Dir;
  const fs::path Text = Put(Dir, "b64", Source.substr(Prefix.size())), Bytes = Dir.Path() / "bin";
  if (std::system(("base64 -d " + Quoted(Text) + " >" + Quoted(Bytes)).c_str()) != 0) return {};
  return ReadFileBytes(Bytes);
}

} // namespace

TEST(Cli, PagesCarryTheirPicturesUnlessWrittenBesideThem) {
  std::vector<fs::path> Files;
  for (const char* Name : {"jfif-thumbnail.MRK", "photoshop-thumbnail.MRK", "hpsc-thumbnail.MRK"})
    Files.push_back(fs::path(KIV_SAMPLES_DIR) / Name);
  if (!CorpusDir().empty()) Files.push_back(CorpusDir() / "jpeg" / "kphotoalbum__search.jpg");
  for (const fs::path& File : Files) {
    SCOPED_TRACE(File.filename().string());
    TTempDir Temp, Out;
    // On standard output: no picture file, not even a temporary one.
    const TRun Alone = RunCli(Quoted(File), "TMPDIR=" + Quoted(Temp.Path()) + " ");
    EXPECT_EQ(Alone.Status, 0) << Alone.Err;
    EXPECT_TRUE(fs::is_empty(Temp.Path()));
    const std::vector<std::string> Inline = PictureSources(Alone.Out);
    ASSERT_FALSE(Inline.empty());

    // Beside the page: the same pictures, byte for byte, in files the page names.
    const fs::path Page = Out.Path() / "page.html";
    ASSERT_EQ(RunCli(Quoted(File) + " -o " + Quoted(Page)).Status, 0);
    const std::string Beside = ReadFileBytes(Page);
    const std::vector<std::string> Named = PictureSources(Beside);
    ASSERT_EQ(Named.size(), Inline.size());
    for (size_t I = 0; I < Named.size(); ++I) {
      const fs::path Bmp = Out.Path() / Format("kivBMP%zu.bmp", I);
      EXPECT_EQ(Named[I], "file://" + Bmp.string());
      EXPECT_EQ(DataUrlBytes(Inline[I]), ReadFileBytes(Bmp)) << I;
    }
    // Onto the same page again: the new pictures replace the old ones.
    ASSERT_EQ(RunCli(Quoted(File) + " -o " + Quoted(Page)).Status, 0);
    std::vector<fs::path> Again{Page};
    for (const std::string& Source : PictureSources(ReadFileBytes(Page)))
      Again.push_back(Source.substr(std::string_view("file://").size()));
    std::sort(Again.begin(), Again.end());
    EXPECT_EQ(FilesIn(Out.Path()), Again);
    EXPECT_EQ(Again.size(), Named.size() + 1);
    // Apart from those references, the same page; for a segment file, the viewer's.
    EXPECT_EQ(WithoutPictureSources(Alone.Out), WithoutPictureSources(Beside));
    if (File.extension() == ".MRK") {
      TTempDir Viewer;
      EXPECT_EQ(WithoutPictureSources(Beside),
                WithoutPictureSources(RenderPage(ReadFileBytes(File), Viewer.Dir())));
    }

    // --inline: the page of standard output, and nothing beside it.
    TTempDir Lone;
    const fs::path LonePage = Lone.Path() / "lone.html";
    EXPECT_EQ(RunCli(Quoted(File) + " -o " + Quoted(LonePage) + " --inline").Status, 0);
    EXPECT_EQ(ReadFileBytes(LonePage), Alone.Out);
    EXPECT_EQ(FilesIn(Lone.Path()), std::vector<fs::path>{LonePage});
  }
}

TEST(Cli, PageEqualsThePipelinesPage) {
  std::vector<std::string> Inputs = {"", Hex("FF D8 FF E0"), Hex("FF DB 00 43 00 01 02"),
                                     Hex("FF E0 00 04 3C 26")};
  // Table and scan segments: no thumbnails, whose paths differ from run to run.
  for (const fs::path& Dir : FilesIn(InCorpus("segments")))
    for (const fs::path& File : FilesIn(Dir))
      if (Inputs.size() < 12 &&
          std::regex_search(File.filename().string(), std::regex("_FF(DB|C4|DA)")))
        Inputs.push_back(ReadFileBytes(File));
  for (const std::string& Bytes : Inputs) {
    TTempDir Dir;
    const fs::path File = Put(Dir, "in.MRK", Bytes), Page = Dir.Path() / "page.html";
    const std::string Expected = RenderPage(Bytes);
    ASSERT_FALSE(Expected.empty());
    const TRun ToStdout = RunCli(Quoted(File));
    EXPECT_EQ(ToStdout.Status, 0);
    EXPECT_EQ(ToStdout.Err, "");
    EXPECT_EQ(ToStdout.Out, Expected);
    const TRun ToFile = RunCli(Quoted(File) + " -o " + Quoted(Page));
    EXPECT_EQ(ToFile.Status, 0);
    EXPECT_EQ(ToFile.Out, "");
    EXPECT_EQ(ReadFileBytes(Page), Expected);
  }
}

TEST(Cli, WholeFilesGetTheirPageSegmentFilesTheViewers) {
  TTempDir Dir;
  const fs::path Jpeg = Put(Dir, "tiny.jpg", TinyJpeg);
  // X resolution 300/2 with the unit "none", X position 1/4, in Intel order.
  const fs::path Tiff = Put(Dir, "x.tif",
                            Hex("49 49 2A 00 08 00 00 00 03 00"
                                "1A 01 05 00 01 00 00 00 32 00 00 00"
                                "28 01 03 00 01 00 00 00 01 00 00 00"
                                "1E 01 05 00 01 00 00 00 3A 00 00 00"
                                "00 00 00 00 2C 01 00 00 02 00 00 00 01 00 00 00 04 00 00 00"));
  for (const auto& [File, Page] : {std::pair<fs::path, const char*>{Jpeg, "wholefile/tiny.html"},
                                   {Tiff, "tiff/standalone-intel.html"}}) {
    const TRun Whole = RunCli("--no-extended " + Quoted(File));
    EXPECT_EQ(Whole.Status, 0);
    EXPECT_EQ(Whole.Err, "");
    EXPECT_EQ(Whole.Out, Golden(Page));
  }
  // By default the extended parts follow the segments' reports; a TIFF file has none yet.
  const std::string Restart =
      "<H3>Restart interval</H3>\r      <TABLE BORDER=1 CELLPADDING=5>\r\r"
      "        <TR>\r<TD>Restart interval</TD><TD>16</TD>"
      "<TD>MCUs between restart markers</TD>        </TR>\r      </TABLE>\r";
  // The file's scan header is empty and has no frame before it.
  const std::string Scan =
      "<H3>Scan header</H3>\r      <TABLE BORDER=1 CELLPADDING=5>\r\r        <TR>\r"
      "<TD BGCOLOR=\"Red\">No frame header comes before this scan</TD>        </TR>\r"
      "      </TABLE>\r\r      <TABLE BORDER=1 CELLPADDING=5>\r\r        <TR>\r"
      "<TD BGCOLOR=\"Red\">The data ends inside a field; what the description shows was read "
      "before</TD>        </TR>\r      </TABLE>\r";
  std::string Extended = Golden("wholefile/tiny.html");
  Extended.insert(Extended.find("<A NAME=\"segment2\">"), Restart);
  Extended.insert(Extended.find("<A NAME=\"segment3\">"), Scan);
  const std::string Page = RunCli(Quoted(Jpeg)).Out;
  EXPECT_NE(Page.find("<H3>Summary</H3>"), std::string::npos);
  EXPECT_EQ(WithoutSummary(Page), Extended);
  EXPECT_EQ(RunCli(Quoted(Tiff)).Out, Golden("tiff/standalone-intel.html"));
  EXPECT_EQ(RunCli("--text " + Quoted(Tiff)).Out, "x.tif: 66 bytes\n"
                                                  "  Tiff segment: offset 0x00000000, 66 bytes\n"
                                                  "    Segment size: 66\n"
                                                  "    Byte order: Intel (II)\n"
                                                  "    Tiff segment:\n"
                                                  "      IFD0:\n"
                                                  "        Tag 011A: 150\n"
                                                  "        Tag 0128: 1\n"
                                                  "        Tag 011E: 0.25\n");
  // A segment file by its name or by the option: the viewer's page of the signature segment.
  const std::string Viewer = RenderPage(TinyJpeg);
  EXPECT_EQ(RunCli(Quoted(Put(Dir, "tiny.mrk", TinyJpeg))).Out, Viewer);
  EXPECT_EQ(RunCli("--segment " + Quoted(Jpeg)).Out, Viewer);
}

TEST(Cli, DamagedFilesStillGiveAPage) {
  TTempDir Dir;
  const struct {
    std::string Bytes;
    const char* Said;
  } Cases[] = {
      {TinyJpeg.substr(0, 13), "the file ends inside the entropy-coded data"},
      {TinyJpeg.substr(0, 8), "the file ends without an end-of-image marker"},
      {TinyJpeg.substr(0, 6), "is cut short"},
      {TinyJpeg.substr(0, 11), "the file ends inside the header of a segment"},
      {Hex("FF D8 FF FF FF"), "the file ends inside a marker"},
      {TinyJpeg.substr(0, 8) + Hex("00 00 FF D9"),
       "the byte 00 stands where a segment should start"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Said);
    const TRun Run = RunCli(Quoted(Put(Dir, "x.jpg", Case.Bytes)));
    EXPECT_EQ(Run.Status, 0);
    EXPECT_NE(Run.Out.find("<H1>x.jpg</H1>"), npos);
    EXPECT_NE(Run.Out.find(Case.Said), npos);
    EXPECT_NE(Run.Out.find("</HTML>\r"), npos);
  }
  // Neither JPEG nor TIFF: the segment file's page, and a word on standard error.
  for (const std::string& Bytes : {std::string(), Hex("FF FF FF")}) {
    const TRun Run = RunCli(Quoted(Put(Dir, "x.jpg", Bytes)));
    EXPECT_EQ(Run.Status, 0);
    EXPECT_EQ(Run.Out, RenderPage(Bytes));
    EXPECT_NE(Run.Err.find("read as a segment file"), npos) << Run.Err;
  }
}

namespace {

// The JSON tree and the text the information tree should give; the text has a line per node,
// indented by its depth, in the order the tree is walked.
nlohmann::json Expected(const TkivTreeItem& Item, std::string& Text, int Depth = 0) {
  std::string Name = AnsiToUtf8(Item.GetName());
  const std::string Value = AnsiToUtf8(Item.GetValue());
  nlohmann::json Json = {{"name", Name}, {"value", Value}, {"children", nlohmann::json::array()}};
  if (Name.empty() || Name.back() != ':') Name += ':';
  Text += std::string(size_t(Depth) * 2, ' ') + Name + (Value.empty() ? "" : " " + Value) + "\n";
  for (int32_t I = 0; I < Item.Count(); ++I)
    Json["children"].push_back(Expected(Item.GetChild(I), Text, Depth + 1));
  return Json;
}

} // namespace

TEST(Cli, TextAndJsonAreTheInformationTree) {
  TTempDir Dir;
  std::vector<fs::path> Files = {Put(Dir, "tiny.jpg", TinyJpeg)};
  for (const char* Name : {"kphotoalbum__search.jpg", "gimp-help-en__show_all-ex-no.jpg",
                           "texlive-latex-recommended-doc__beamerexample-lecture-pic5.jpg"})
    if (!CorpusDir().empty()) Files.push_back(CorpusDir() / "jpeg" / Name);
  for (const fs::path& File : Files) {
    SCOPED_TRACE(File.filename().string());
    TkivJpegFile List;
    List.FileName = File.filename().string();
    List.Source = std::make_unique<TFileStream>(File.string(), TFileMode::OpenRead);
    List.LoadFromStream(*List.Source);
    FillExtendedInfo(List);
    std::string ExpectedText;
    const nlohmann::json ExpectedJson = Expected(*FileInfoTree(List), ExpectedText);
    const TRun Json = RunCli("--json " + Quoted(File)), Text = RunCli("--text " + Quoted(File));
    EXPECT_EQ(Json.Status, 0);
    EXPECT_EQ(nlohmann::json::parse(Json.Out), ExpectedJson);
    EXPECT_EQ(Text.Status, 0);
    EXPECT_EQ(Text.Out, ExpectedText);
  }
  // Text goes to -o as the page does.
  const fs::path Out = Dir.Path() / "tree.txt";
  EXPECT_EQ(RunCli("--text " + Quoted(Files[0]) + " -o " + Quoted(Out)).Status, 0);
  EXPECT_EQ(ReadFileBytes(Out).rfind("tiny.jpg: 17 bytes\n", 0), 0u);
}

TEST(Cli, TextFromTheDataIsUtf8AndNeverRawControlBytes) {
  // A comment in the page's code page: Cyrillic letters, an escape sequence, a backslash, a
  // line break and the one byte without a character.
  const std::string Comment = "\xC0\xE1 \x1B[31m\\\n\x98";
  TTempDir Dir;
  const fs::path File = Put(Dir, "c.MRK", Hex("FF FE 00") + char(2 + Comment.size()) + Comment);
  const TRun Text = RunCli("--text " + Quoted(File));
  EXPECT_EQ(Text.Status, 0);
  EXPECT_NE(Text.Out.find("  Comment: \xD0\x90\xD0\xB1 \\x1B[31m\\\\\\x0A\xEF\xBF\xBD\n"), npos)
      << Text.Out;
  for (const char C : Text.Out)
    EXPECT_TRUE(C == '\n' || static_cast<uint8_t>(C) >= 0x20) << int(C);
  const TRun Json = RunCli("--json " + Quoted(File));
  const nlohmann::json Tree = nlohmann::json::parse(Json.Out);
  EXPECT_EQ(Tree["name"], "Comment segment");
  EXPECT_EQ(Tree["children"][1]["value"], "\xD0\x90\xD0\xB1 \x1B[31m\\\n\xEF\xBF\xBD");
  EXPECT_EQ(Json.Out.find('\x1B'), npos);
  // The file's name, in the page's code page.
  const fs::path Named = Put(Dir, "\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE \xE2\x9C\x93.jpg", TinyJpeg);
  EXPECT_NE(RunCli(Quoted(Named)).Out.find("<H1>\xF4\xEE\xF2\xEE ?.jpg</H1>"), npos);
}

TEST(Split, CorpusFilesSplitIntoEveryMarkerSegment) {
  const auto Jpegs = FilesIn(InCorpus("jpeg"));
  if (Jpegs.empty()) GTEST_SKIP() << "no corpus";
  for (const fs::path& Jpeg : Jpegs) {
    SCOPED_TRACE(Jpeg.filename().string());
    const bool HasEnd = Jpeg.filename().string().find("beamerexample") == npos;
    TTempDir Dir;
    const TkivSplitResult Result = SplitJpegFile(Jpeg.string(), Dir.Dir());
    EXPECT_EQ(Result.Error, "");
    EXPECT_EQ(Result.Warning.empty(), HasEnd) << Result.Warning;
    const auto Files = FilesIn(Dir.Path());
    EXPECT_EQ(Result.Written, int(Files.size()));
    ASSERT_GE(Files.size(), 2u);
    EXPECT_EQ(Files.front().filename(), "0000_FFD8.MRK");
    EXPECT_EQ(Files.back().filename().string().substr(4), HasEnd ? "_FFD9.MRK" : "_FFDA.MRK");
    CheckSegmentFiles(Files);
    // In file order, with nothing but fill bytes between them, except after a scan header.
    const std::string Whole = ReadFileBytes(Jpeg);
    size_t Position = 0;
    std::string Previous;
    for (const fs::path& File : Files) {
      const std::string Bytes = ReadFileBytes(File);
      const size_t At = Whole.find(Bytes, Position);
      ASSERT_NE(At, npos) << File;
      if (At != Position && !(Previous.size() > 1 && uint8_t(Previous[1]) == 0xDA)) {
        EXPECT_EQ(Whole.substr(Position, At - Position), std::string(At - Position, '\xFF'));
      }
      Position = At + Bytes.size();
      Previous = Bytes;
    }
    // After the last segment, only trailing data (or the last scan's data).
    if (Position < Whole.size()) {
      EXPECT_TRUE(HasEnd || uint8_t(Previous[1]) == 0xDA);
    }

    // Up to the first scan header, the same cut as the corpus's own segment files.
    const auto TheirFiles = FilesIn(CorpusDir() / "segments" / Jpeg.stem());
    ASSERT_LE(TheirFiles.size(), Files.size());
    for (size_t I = 0; I < TheirFiles.size(); ++I) {
      EXPECT_EQ(TheirFiles[I].filename(), Files[I].filename());
      EXPECT_EQ(ReadFileBytes(TheirFiles[I]), ReadFileBytes(Files[I])) << Files[I];
    }
  }
}

TEST(Split, SmallFiles) {
  const std::string Piece =
      Hex("FF ED 00 14") + std::string("Photoshop 3.0\0", 14) + Hex("38 42 49 4D");
  const struct {
    const char* What;
    std::string Bytes, Markers, Joined, Error;
  } Cases[] = {
      {"two scans, the second after a table; a comment whose own writer would write nothing",
       Hex("FF D8 FF DA 00 02 11 FF 00 22 FF D0 33 FF C4 00 03 00 FF FE 00 02"
           "FF DA 00 02 44 FF D9 55"),
       "D8 DA C4 FE DA D9 ", Hex("FF D8 FF DA 00 02 FF C4 00 03 00 FF FE 00 02 FF DA 00 02 FF D9"),
       ""},
      {"gathered pieces are written one by one", Hex("FF D8") + Piece + Piece + Hex("FF D9"),
       "D8 ED ED D9 ", Hex("FF D8") + Piece + Piece + Hex("FF D9"), ""},
      {"markers without length, then garbage", Hex("FF D8 FF D0 FF DB 00 03 07 12 34"), "D8 D0 DB ",
       Hex("FF D8 FF D0 FF DB 00 03 07"), "0x9"},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    TTempDir Dir;
    const fs::path Out = Dir.Path() / "o";
    const TkivSplitResult Result = SplitJpegFile(Put(Dir, "x.jpg", C.Bytes).string(), Out.string());
    if (C.Error.empty()) {
      EXPECT_EQ(Result.Error, "");
      EXPECT_EQ(Result.Warning, "");
    } else {
      EXPECT_NE(Result.Error.find(C.Error), npos) << Result.Error;
    }
    const auto Files = FilesIn(Out);
    EXPECT_EQ(Result.Written, int(Files.size()));
    std::string Markers;
    for (const fs::path& File : Files)
      Markers += File.filename().string().substr(7, 2) + " ";
    EXPECT_EQ(Markers, C.Markers);
    EXPECT_EQ(CheckSegmentFiles(Files), C.Joined);
  }
}

TEST(Split, TruncatedFileKeepsWhatWasReadable) {
  const auto Jpegs = FilesIn(InCorpus("jpeg"));
  if (Jpegs.empty()) GTEST_SKIP() << "no corpus";
  const std::string Whole = ReadFileBytes(Jpegs.front());
  TTempDir Full;
  ASSERT_EQ(SplitJpegFile(Jpegs.front().string(), Full.Dir()).Error, "");
  const auto FullFiles = FilesIn(Full.Path());
  ASSERT_GE(FullFiles.size(), 4u);
  // Where the third segment starts, and how long it is.
  const size_t Start = fs::file_size(FullFiles[0]) + fs::file_size(FullFiles[1]);
  const size_t Length = fs::file_size(FullFiles[2]);
  ASSERT_GE(Length, 6u);

  for (const size_t Cut : {Start + Length / 2, Start + 3, Start + 1, Start}) {
    SCOPED_TRACE("cut at " + std::to_string(Cut));
    TTempDir Dir;
    const fs::path Out = Dir.Path() / "segments";
    const TRun Run =
        RunCli("split " + Quoted(Put(Dir, "cut.jpg", Whole.substr(0, Cut))) + " " + Quoted(Out));
    // Cut between two segments, nothing was lost but the end-of-image marker: a warning.
    EXPECT_EQ(Run.Status != 0, Cut != Start);
    EXPECT_EQ(Run.Out, "");
    // Says where it stopped.
    EXPECT_NE(Run.Err.find(Format("0x%zX", Start)), npos) << Run.Err;
    const auto Files = FilesIn(Out);
    ASSERT_EQ(Files.size(), 2u);
    for (size_t I = 0; I < Files.size(); ++I) {
      EXPECT_EQ(Files[I].filename(), FullFiles[I].filename());
      EXPECT_EQ(ReadFileBytes(Files[I]), ReadFileBytes(FullFiles[I]));
    }
  }
}

TEST(Split, NotAJpegFile) {
  TTempDir Dir;
  const fs::path Out = Dir.Path() / "out";
  for (const std::string& Bytes :
       {std::string(), Hex("FF"), Hex("FF D9 FF D8"), std::string("GIF89a")}) {
    const TRun Run = RunCli("split " + Quoted(Put(Dir, "x.jpg", Bytes)) + " " + Quoted(Out));
    EXPECT_NE(Run.Status, 0);
    EXPECT_NE(Run.Err, "");
    EXPECT_TRUE(FilesIn(Out).empty());
  }
  const TRun Missing = RunCli("split " + Quoted(Dir.Path() / "none.jpg") + " " + Quoted(Out));
  EXPECT_NE(Missing.Status, 0);
  EXPECT_NE(Missing.Err, "");
}

TEST(Split, NeverWritesThroughWhatDirHolds) {
  TTempDir Dir;
  const fs::path Jpeg = Put(Dir, "tiny.jpg", TinyJpeg), Other = Put(Dir, "other.txt", "other");
  const fs::path Out = Dir.Path() / "out";
  fs::create_directory(Out);
  // A segment file of an earlier run is replaced, longer than the new one.
  WriteFileBytes(Out / "0000_FFD8.MRK", "an earlier run's segment file");
  fs::create_symlink("../other.txt", Out / "0001_FFDD.MRK");
  const TRun Planted = RunCli("split " + Quoted(Jpeg) + " " + Quoted(Out));
  EXPECT_EQ(Planted.Status, 1);
  EXPECT_EQ(Planted.Err, "kivmrk: " + (Out / "0001_FFDD.MRK").string() +
                             " is not a regular file; it is left as it is (1 segment files "
                             "written)\n");
  EXPECT_EQ(ReadFileBytes(Other), "other");
  EXPECT_TRUE(fs::is_symlink(Out / "0001_FFDD.MRK"));
  EXPECT_EQ(ReadFileBytes(Out / "0000_FFD8.MRK"), Hex("FF D8"));

  // A FIFO under a name stops the split too, without waiting for a reader.
  fs::remove(Out / "0001_FFDD.MRK");
  ASSERT_EQ(::mkfifo((Out / "0002_FFDA.MRK").c_str(), 0644), 0);
  const TRun Fifo = RunCli("split " + Quoted(Jpeg) + " " + Quoted(Out));
  EXPECT_EQ(Fifo.Status, 1);
  EXPECT_NE(Fifo.Err.find("0002_FFDA.MRK is not a regular file"), npos) << Fifo.Err;

  // With the names free or holding files, the whole file again.
  fs::remove(Out / "0002_FFDA.MRK");
  EXPECT_EQ(RunCli("split " + Quoted(Jpeg) + " " + Quoted(Out)).Status, 0);
  EXPECT_EQ(CheckSegmentFiles(FilesIn(Out)), Hex("FF D8 FF DD 00 04 00 10 FF DA 00 02 FF D9"));
}

// Folders whose names hold what ends an attribute or starts markup: the pictures' URLs carry
// them percent-encoded, for pages beside the pictures and for TMPDIR alike.
TEST(Cli, PicturePathsArePercentEncoded) {
  TTempDir Dir;
  const fs::path File = Put(Dir, "in.MRK", Jfif);
  const fs::path Odd = Dir.Path() / "q\"><script>% \x01\xC3\xA9";
  fs::create_directory(Odd);
  const std::string Encoded = Dir.Path().string() + "/q%22%3E%3Cscript%3E%25%20%01%C3%A9/";
  const TRun Beside = RunCli(Quoted(File) + " -o " + Quoted(Odd / "page.html"));
  EXPECT_EQ(Beside.Status, 0) << Beside.Err;
  const std::string Page = ReadFileBytes(Odd / "page.html");
  EXPECT_NE(Page.find("SRC=\"file://" + Encoded + "kivBMP0.bmp\""), npos);
  EXPECT_EQ(Page.find("<script>"), npos);
  // The viewer's way: pictures in the temporary-files directory.
  const std::string Viewer = RenderPage(Jfif, Odd.string() + "/");
  // The page's own picture beside it holds the first name.
  EXPECT_NE(Viewer.find("SRC=\"file://" + Encoded + "kivBMP1.bmp\""), npos);
  EXPECT_EQ(Viewer.find("<script>"), npos);
  EXPECT_EQ(kivInfo::FileUrl("C:\\Users\\a b\\kivBMP0.bmp"),
            "file://C:\\Users\\a%20b\\kivBMP0.bmp");
}

// A picture file that cannot be created costs its picture only: the page comes out whole and
// says why where the picture would be.
TEST(Cli, APictureThatCannotBeWrittenLeavesThePage) {
  const std::string Page = RenderPage(Jfif, "/nonexistent/");
  const size_t At = Page.find("<TD>Cannot create file ");
  EXPECT_NE(At, npos);
  EXPECT_NE(Page.find("/nonexistent/kivBMP0.bmp", At), npos);
  EXPECT_NE(Page.find("Generated by kivMrkWLX"), npos);
}

// A run stopped by a signal removes the files it made and that are not yet part of output in
// place, and ends as the signal would have ended it.
TEST(Cleanup, ASignalRemovesWhatTheRunMadeAndNothingElse) {
  TTempDir Dir;
  const fs::path Placed = Put(Dir, "placed", "x"), Made = Put(Dir, "made", "x"),
                 Gone = Put(Dir, "gone", "x");
  const fs::path Picture = Dir.Path() / "kivBMP0.bmp";
  EXPECT_EXIT(
      {
        kivCleanup::Install();
        kivCleanup::Remember(Placed);
        kivCleanup::KeepAll();
        kivCleanup::Remember(Made);
        kivCleanup::Remember(Gone);
        kivCleanup::Forget(Gone);
        kivInfo::SetTempDirectory(Dir.Dir());
        kivInfo::MakeTempFileName("kivBMP%d.bmp");
        {
          // Held off, the signal waits: nothing is removed yet.
          const kivCleanup::TSignalsHeld Held;
          ::raise(SIGTERM);
          if (!fs::exists(Made) || !fs::exists(Picture)) std::_Exit(2);
        }
        std::_Exit(3);
      },
      testing::KilledBySignal(SIGTERM), "");
  EXPECT_TRUE(fs::exists(Placed));
  EXPECT_FALSE(fs::exists(Made));
  EXPECT_TRUE(fs::exists(Gone));
  EXPECT_FALSE(fs::exists(Picture));
}
