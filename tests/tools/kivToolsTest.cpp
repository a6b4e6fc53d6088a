#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "framework/kivFormat.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"
#include "kivInfoText.h"
#include "kivSplit.h"
#include "support/kivTestSupport.h"

using namespace kivTest;
namespace fs = std::filesystem;

namespace {

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

std::string Quoted(const std::string& S) {
  return "'" + S + "'";
}

// Runs the command with the given (already quoted) arguments, after the shell commands Before.
TRun RunCli(const std::string& Args, const std::string& Before = {}) {
  TTempDir Dir;
  const fs::path Out = Dir.Path() / "out", Err = Dir.Path() / "err";
  const std::string Command = Before + Quoted(KIV_CLI) + " " + Args + " >" + Quoted(Out.string()) +
                              " 2>" + Quoted(Err.string()) + " </dev/null";
  const int Raw = std::system(Command.c_str());
  TRun Run;
  Run.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
  Run.Out = ReadFileBytes(Out);
  Run.Err = ReadFileBytes(Err);
  return Run;
}

std::vector<fs::path> FilesIn(const fs::path& Dir) {
  std::vector<fs::path> Files;
  for (const auto& Entry : fs::directory_iterator(Dir))
    Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  return Files;
}

std::vector<fs::path> CorpusJpegs() {
  std::vector<fs::path> Files;
  const fs::path Corpus = CorpusDir();
  if (!Corpus.empty() && fs::is_directory(Corpus / "jpeg")) Files = FilesIn(Corpus / "jpeg");
  return Files;
}

// Checks the segment files of one split and returns the bytes they make together.
std::string CheckSegmentFiles(const std::vector<fs::path>& Files) {
  std::string Joined;
  for (size_t I = 0; I < Files.size(); ++I) {
    const std::string Bytes = ReadFileBytes(Files[I]);
    const std::string Name = Files[I].filename().string();
    EXPECT_EQ(Name.size(), 13u) << Name;
    EXPECT_EQ(std::stoi(Name.substr(0, 4)), int(I)) << Name;
    EXPECT_EQ(Name.substr(4),
              Format("_FF%02X.MRK", Bytes.size() > 1 ? unsigned(uint8_t(Bytes[1])) : 0u))
        << Name;
    EXPECT_GE(Bytes.size(), 2u) << Name;
    EXPECT_EQ(uint8_t(Bytes[0]), 0xFF) << Name;
    Joined += Bytes;
  }
  return Joined;
}

} // namespace

TEST(Cli, HelpAndVersion) {
  const TRun Help = RunCli("--help");
  EXPECT_EQ(Help.Status, 0);
  EXPECT_EQ(Help.Out.rfind("Usage: kivmrk ", 0), 0u) << Help.Out;
  EXPECT_EQ(Help.Err, "");
  const TRun Version = RunCli("--version");
  EXPECT_EQ(Version.Status, 0);
  EXPECT_EQ(Version.Out, std::string("kivmrk ") + KIV_VERSION + "\n");
}

TEST(Cli, Failures) {
  TTempDir Dir;
  const TRun Missing = RunCli(Quoted((Dir.Path() / "missing.MRK").string()));
  EXPECT_NE(Missing.Status, 0);
  EXPECT_EQ(Missing.Out, "");
  ASSERT_FALSE(Missing.Err.empty());
  EXPECT_EQ(Missing.Err.find('\n'), Missing.Err.size() - 1) << Missing.Err;
  EXPECT_NE(Missing.Err.find("missing.MRK"), std::string::npos) << Missing.Err;

  const TRun Directory = RunCli(Quoted(Dir.Path().string()));
  EXPECT_NE(Directory.Status, 0);
  EXPECT_NE(Directory.Err.find("cannot read"), std::string::npos) << Directory.Err;

  for (const char* Args : {"", "--bogus", "a b", "-o"}) {
    const TRun Bad = RunCli(Args);
    EXPECT_NE(Bad.Status, 0) << Args;
    EXPECT_EQ(Bad.Out, "") << Args;
    EXPECT_NE(Bad.Err, "") << Args;
  }
}

TEST(Cli, ThumbnailsStayOnlyBesideAWrittenPage) {
  // A JFIF header with a 1x1 RGB thumbnail.
  const std::string Jfif =
      Hex("FF E0 00 13") + std::string("JFIF\0", 5) + Hex("01 01 00 00 01 00 01 01 01 FF 00 00");
  TTempDir Dir;
  const fs::path File = Dir.Path() / "in.MRK";
  WriteFileBytes(File, Jfif);
  const fs::path Sub = Dir.Path() / "sub";
  fs::create_directory(Sub);
  const TRun IntoDirectory = RunCli(Quoted(File.string()) + " -o " + Quoted(Sub.string()));
  EXPECT_NE(IntoDirectory.Status, 0);
  EXPECT_NE(IntoDirectory.Err.find("cannot write"), std::string::npos) << IntoDirectory.Err;
  EXPECT_FALSE(fs::exists(Dir.Path() / "kivBMP0.bmp"));

  const fs::path Page = Sub / "page.html";
  const TRun Written = RunCli(Quoted(File.string()) + " -o " + Quoted(Page.string()));
  EXPECT_EQ(Written.Status, 0) << Written.Err;
  EXPECT_TRUE(fs::exists(Sub / "kivBMP0.bmp"));
  EXPECT_NE(ReadFileBytes(Page).find("SRC=\"file://" + (Sub / "kivBMP0.bmp").string() + "\""),
            std::string::npos);
}

TEST(Cli, AFailedWriteKeepsTheOldPageAndNoThumbnails) {
  // A JFIF header with a 1x1 RGB thumbnail: its picture file is small, its page is not.
  const std::string Jfif =
      Hex("FF E0 00 13") + std::string("JFIF\0", 5) + Hex("01 01 00 00 01 00 01 01 01 FF 00 00");
  TTempDir Dir;
  const fs::path File = Dir.Path() / "in.MRK";
  WriteFileBytes(File, Jfif);
  const fs::path Sub = Dir.Path() / "sub";
  fs::create_directory(Sub);
  const fs::path Page = Sub / "page%d.html";
  WriteFileBytes(Page, "old page");
  // Files may grow to 1 KiB: the picture fits, the page does not.
  const TRun Failed =
      RunCli(Quoted(File.string()) + " -o " + Quoted(Page.string()), "trap '' XFSZ; ulimit -f 1; ");
  EXPECT_NE(Failed.Status, 0);
  EXPECT_NE(Failed.Err.find("cannot write"), std::string::npos) << Failed.Err;
  EXPECT_EQ(ReadFileBytes(Page), "old page");
  EXPECT_EQ(FilesIn(Sub), std::vector<fs::path>{Page});

  const TRun Written = RunCli(Quoted(File.string()) + " -o " + Quoted(Page.string()));
  EXPECT_EQ(Written.Status, 0) << Written.Err;
  EXPECT_EQ(FilesIn(Sub), (std::vector<fs::path>{Sub / "kivBMP0.bmp", Page}));
  EXPECT_NE(ReadFileBytes(Page).find("kivBMP0.bmp"), std::string::npos);
}

TEST(Cli, PageEqualsThePipelinesPage) {
  std::vector<std::string> Inputs = {"", Hex("FF D8 FF E0"), Hex("FF DB 00 43 00 01 02"),
                                     Hex("FF E0 00 04 3C 26")};
  const fs::path Segments = CorpusDir().empty() ? fs::path() : CorpusDir() / "segments";
  if (!Segments.empty() && fs::is_directory(Segments))
    for (const fs::path& Dir : FilesIn(Segments))
      for (const fs::path& File : FilesIn(Dir)) {
        // Table and scan segments: no thumbnails, whose paths differ from run to run.
        const std::string Name = File.filename().string();
        if (Name.find("_FFDB") != std::string::npos || Name.find("_FFC4") != std::string::npos ||
            Name.find("_FFDA") != std::string::npos)
          if (Inputs.size() < 12) Inputs.push_back(ReadFileBytes(File));
      }
  for (const std::string& Bytes : Inputs) {
    TTempDir Dir;
    const fs::path File = Dir.Path() / "in.MRK";
    WriteFileBytes(File, Bytes);
    const std::string Expected = RenderPage(Bytes);
    ASSERT_FALSE(Expected.empty());

    const TRun ToStdout = RunCli(Quoted(File.string()));
    EXPECT_EQ(ToStdout.Status, 0);
    EXPECT_EQ(ToStdout.Err, "");
    EXPECT_EQ(ToStdout.Out, Expected);

    const fs::path Page = Dir.Path() / "page.html";
    const TRun ToFile = RunCli(Quoted(File.string()) + " -o " + Quoted(Page.string()));
    EXPECT_EQ(ToFile.Status, 0);
    EXPECT_EQ(ToFile.Out, "");
    EXPECT_EQ(ReadFileBytes(Page), Expected);
  }
}

TEST(Split, CorpusFilesSplitIntoEveryMarkerSegment) {
  const auto Jpegs = CorpusJpegs();
  if (Jpegs.empty()) GTEST_SKIP() << "no corpus";
  for (const fs::path& Jpeg : Jpegs) {
    SCOPED_TRACE(Jpeg.filename().string());
    const bool HasEnd = Jpeg.filename().string().find("beamerexample") == std::string::npos;
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
    // In file order, with nothing but entropy-coded and trailing data between them.
    const std::string Whole = ReadFileBytes(Jpeg);
    size_t Position = 0;
    std::string Previous;
    for (const fs::path& File : Files) {
      const std::string Bytes = ReadFileBytes(File);
      const size_t At = Whole.find(Bytes, Position);
      ASSERT_NE(At, std::string::npos) << File;
      const bool AfterScan = Previous.size() > 1 && uint8_t(Previous[1]) == 0xDA;
      if (At != Position && !AfterScan) {
        EXPECT_EQ(Whole.substr(Position, At - Position), std::string(At - Position, '\xFF'))
            << File;
      }
      Position = At + Bytes.size();
      Previous = Bytes;
    }
    // After the last segment, only trailing data (or the last scan's data).
    if (Position < Whole.size()) {
      EXPECT_TRUE(HasEnd || uint8_t(Previous[1]) == 0xDA);
    }

    // Up to the first scan header, the same cut as the corpus's own segment files.
    const fs::path Theirs = CorpusDir() / "segments" / Jpeg.stem();
    if (fs::is_directory(Theirs)) {
      const auto TheirFiles = FilesIn(Theirs);
      ASSERT_LE(TheirFiles.size(), Files.size());
      for (size_t I = 0; I < TheirFiles.size(); ++I) {
        EXPECT_EQ(TheirFiles[I].filename(), Files[I].filename());
        EXPECT_EQ(ReadFileBytes(TheirFiles[I]), ReadFileBytes(Files[I])) << Files[I];
      }
    }
  }
}

TEST(Split, SegmentsAfterTheScansAreWrittenAndEntropyDataSkipped) {
  TTempDir Dir;
  const fs::path File = Dir.Path() / "x.jpg";
  // Two scans, the second after a table; a comment whose own writer would write nothing.
  WriteFileBytes(File, Hex("FF D8 FF DA 00 02 11 FF 00 22 FF D0 33 FF C4 00 03 00 FF FE 00 02"
                           "FF DA 00 02 44 FF D9 55"));
  const TkivSplitResult Result = SplitJpegFile(File.string(), (Dir.Path() / "o").string());
  EXPECT_EQ(Result.Error, "");
  EXPECT_EQ(Result.Warning, "");
  const auto Files = FilesIn(Dir.Path() / "o");
  std::vector<std::string> Names;
  for (const fs::path& F : Files)
    Names.push_back(F.filename().string());
  EXPECT_EQ(Names, (std::vector<std::string>{"0000_FFD8.MRK", "0001_FFDA.MRK", "0002_FFC4.MRK",
                                             "0003_FFFE.MRK", "0004_FFDA.MRK", "0005_FFD9.MRK"}));
  EXPECT_EQ(CheckSegmentFiles(Files),
            Hex("FF D8 FF DA 00 02 FF C4 00 03 00 FF FE 00 02 FF DA 00 02 FF D9"));
}

TEST(Split, GatheredPiecesAreWrittenOneByOne) {
  TTempDir Dir;
  const fs::path File = Dir.Path() / "x.jpg";
  const std::string Piece =
      Hex("FF ED 00 14") + std::string("Photoshop 3.0\0", 14) + Hex("38 42 49 4D");
  WriteFileBytes(File, Hex("FF D8") + Piece + Piece + Hex("FF D9"));
  const TkivSplitResult Result = SplitJpegFile(File.string(), (Dir.Path() / "o").string());
  EXPECT_EQ(Result.Error, "");
  const auto Files = FilesIn(Dir.Path() / "o");
  ASSERT_EQ(Files.size(), 4u);
  EXPECT_EQ(Files[1].filename(), "0001_FFED.MRK");
  EXPECT_EQ(ReadFileBytes(Files[1]), Piece);
  EXPECT_EQ(ReadFileBytes(Files[2]), Piece);
}

TEST(Split, TruncatedFileKeepsWhatWasReadable) {
  const auto Jpegs = CorpusJpegs();
  if (Jpegs.empty()) GTEST_SKIP() << "no corpus";
  const std::string Whole = ReadFileBytes(Jpegs.front());
  TTempDir Full;
  ASSERT_EQ(SplitJpegFile(Jpegs.front().string(), Full.Dir()).Error, "");
  const auto FullFiles = FilesIn(Full.Path());
  ASSERT_GE(FullFiles.size(), 4u);
  // Where the third segment starts, and how long it is.
  size_t Start = 0;
  for (size_t I = 0; I < 2; ++I)
    Start += fs::file_size(FullFiles[I]);
  const size_t Length = fs::file_size(FullFiles[2]);
  ASSERT_GE(Length, 6u);

  for (const size_t Cut : {Start + Length / 2, Start + 3, Start + 1, Start}) {
    SCOPED_TRACE("cut at " + std::to_string(Cut));
    TTempDir Dir;
    const fs::path Truncated = Dir.Path() / "cut.jpg";
    WriteFileBytes(Truncated, Whole.substr(0, Cut));
    const fs::path Out = Dir.Path() / "segments";
    const TRun Run = RunCli("split " + Quoted(Truncated.string()) + " " + Quoted(Out.string()));
    // Cut between two segments, nothing was lost but the end-of-image marker: a warning.
    EXPECT_EQ(Run.Status != 0, Cut != Start);
    EXPECT_EQ(Run.Out, "");
    // Says where it stopped.
    EXPECT_NE(Run.Err.find(Format("0x%zX", Start)), std::string::npos) << Run.Err;
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
  const fs::path File = Dir.Path() / "x.jpg";
  for (const std::string& Bytes :
       {std::string(), Hex("FF"), Hex("FF D9 FF D8"), std::string("GIF89a")}) {
    WriteFileBytes(File, Bytes);
    const fs::path Out = Dir.Path() / "out";
    const TRun Run = RunCli("split " + Quoted(File.string()) + " " + Quoted(Out.string()));
    EXPECT_NE(Run.Status, 0);
    EXPECT_NE(Run.Err, "");
    EXPECT_TRUE(!fs::exists(Out) || fs::is_empty(Out));
  }
  const TRun Missing = RunCli("split " + Quoted((Dir.Path() / "none.jpg").string()) + " " +
                              Quoted((Dir.Path() / "o").string()));
  EXPECT_NE(Missing.Status, 0);
  EXPECT_NE(Missing.Err, "");
}

TEST(Split, MarkersWithoutLengthAndGarbage) {
  TTempDir Dir;
  const fs::path File = Dir.Path() / "x.jpg";
  // SOI, a restart marker, a DQT, then something that is no marker.
  WriteFileBytes(File, Hex("FF D8 FF D0 FF DB 00 03 07 12 34"));
  const TkivSplitResult Result = SplitJpegFile(File.string(), (Dir.Path() / "o").string());
  EXPECT_EQ(Result.Written, 3);
  EXPECT_NE(Result.Error.find("0x9"), std::string::npos) << Result.Error;
  const auto Files = FilesIn(Dir.Path() / "o");
  ASSERT_EQ(Files.size(), 3u);
  EXPECT_EQ(CheckSegmentFiles(Files), Hex("FF D8 FF D0 FF DB 00 03 07"));
}

namespace {

// Checks a JSON tree against an information tree, node by node.
void ExpectSameTree(const nlohmann::json& Json, const TkivTreeItem& Item) {
  ASSERT_TRUE(Json.is_object());
  EXPECT_EQ(Json.size(), 3u);
  EXPECT_EQ(Json.at("name").get<std::string>(), AnsiToUtf8(Item.GetName()));
  EXPECT_EQ(Json.at("value").get<std::string>(), AnsiToUtf8(Item.GetValue()));
  const nlohmann::json& Children = Json.at("children");
  ASSERT_EQ(Children.size(), size_t(Item.Count())) << Item.GetName();
  for (int32_t I = 0; I < Item.Count(); ++I)
    ExpectSameTree(Children[size_t(I)], Item.GetChild(I));
}

// The text lines of a tree, each as its depth and its text, in the order the tree is walked.
void ExpectedLines(const TkivTreeItem& Item, int Depth, std::vector<std::string>& Lines) {
  std::string Name = AnsiToUtf8(Item.GetName());
  if (Name.empty() || Name.back() != ':') Name += ':';
  const std::string Value = AnsiToUtf8(Item.GetValue());
  Lines.push_back(std::string(size_t(Depth) * 2, ' ') + Name + (Value.empty() ? "" : " " + Value));
  for (int32_t I = 0; I < Item.Count(); ++I)
    ExpectedLines(Item.GetChild(I), Depth + 1, Lines);
}

std::vector<std::string> LinesOf(const std::string& Text) {
  std::vector<std::string> Lines;
  std::istringstream In(Text);
  for (std::string Line; std::getline(In, Line);)
    Lines.push_back(Line);
  return Lines;
}

std::unique_ptr<TkivJpegFile> LoadJpeg(const fs::path& File, const std::string& Name) {
  TFileStream Stream(File.string(), TFileMode::OpenRead);
  auto List = std::make_unique<TkivJpegFile>();
  List->FileName = Name;
  List->LoadFromStream(Stream);
  return List;
}

const std::string TinyJpeg = Hex("FF D8 FF DD 00 04 00 10 FF DA 00 02 01 02 FF D9 7A");

} // namespace

TEST(Cli, WholeJpegFilesGetTheirPageSegmentFilesTheViewers) {
  TTempDir Dir;
  WriteFileBytes(Dir.Path() / "tiny.jpg", TinyJpeg);
  WriteFileBytes(Dir.Path() / "tiny.mrk", TinyJpeg);
  const TRun Whole = RunCli(Quoted((Dir.Path() / "tiny.jpg").string()));
  EXPECT_EQ(Whole.Status, 0);
  EXPECT_EQ(Whole.Err, "");
  EXPECT_EQ(Whole.Out, Golden("wholefile/tiny.html"));
  // A segment file by its name or by the option: the viewer's page of the signature segment.
  const std::string Viewer = RenderPage(TinyJpeg);
  EXPECT_EQ(RunCli(Quoted((Dir.Path() / "tiny.mrk").string())).Out, Viewer);
  EXPECT_EQ(RunCli("--segment " + Quoted((Dir.Path() / "tiny.jpg").string())).Out, Viewer);
}

TEST(Cli, DamagedFilesStillGiveAPage) {
  TTempDir Dir;
  const fs::path File = Dir.Path() / "x.jpg";
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
    WriteFileBytes(File, Case.Bytes);
    const TRun Run = RunCli(Quoted(File.string()));
    EXPECT_EQ(Run.Status, 0);
    EXPECT_NE(Run.Out.find("<H1>x.jpg</H1>"), std::string::npos);
    EXPECT_NE(Run.Out.find(Case.Said), std::string::npos);
    EXPECT_NE(Run.Out.find("</HTML>\r"), std::string::npos);
  }
  // Neither JPEG nor TIFF: the segment file's page, and a word on standard error.
  for (const std::string& Bytes : {std::string(), Hex("FF FF FF")}) {
    WriteFileBytes(File, Bytes);
    const TRun Run = RunCli(Quoted(File.string()));
    EXPECT_EQ(Run.Status, 0);
    EXPECT_EQ(Run.Out, RenderPage(Bytes));
    EXPECT_NE(Run.Err.find("read as a segment file"), std::string::npos) << Run.Err;
  }
}

TEST(Cli, WholeFileThumbnailsStayBesideThePage) {
  const fs::path Camera =
      CorpusDir().empty() ? fs::path() : CorpusDir() / "jpeg" / "kphotoalbum__search.jpg";
  if (Camera.empty() || !fs::exists(Camera)) GTEST_SKIP() << "no corpus";
  TTempDir Dir;
  const fs::path Page = Dir.Path() / "page.html";
  const TRun Run = RunCli(Quoted(Camera.string()) + " -o " + Quoted(Page.string()));
  EXPECT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_TRUE(fs::exists(Dir.Path() / "kivBMP0.bmp"));
  EXPECT_NE(ReadFileBytes(Page).find("SRC=\"file://" + (Dir.Path() / "kivBMP0.bmp").string()),
            std::string::npos);
}

TEST(Cli, TextAndJsonAreTheInformationTree) {
  std::vector<fs::path> Files;
  TTempDir Dir;
  WriteFileBytes(Dir.Path() / "tiny.jpg", TinyJpeg);
  Files.push_back(Dir.Path() / "tiny.jpg");
  for (const char* Name : {"kphotoalbum__search.jpg", "gimp-help-en__show_all-ex-no.jpg",
                           "texlive-latex-recommended-doc__beamerexample-lecture-pic5.jpg"})
    if (!CorpusDir().empty()) Files.push_back(CorpusDir() / "jpeg" / Name);
  for (const fs::path& File : Files) {
    SCOPED_TRACE(File.filename().string());
    const auto Tree = FileInfoTree(*LoadJpeg(File, File.filename().string()));
    const TRun Json = RunCli("--json " + Quoted(File.string()));
    EXPECT_EQ(Json.Status, 0);
    ExpectSameTree(nlohmann::json::parse(Json.Out), *Tree);
    const TRun Text = RunCli("--text " + Quoted(File.string()));
    EXPECT_EQ(Text.Status, 0);
    std::vector<std::string> Lines;
    ExpectedLines(*Tree, 0, Lines);
    EXPECT_EQ(LinesOf(Text.Out), Lines);
  }
}

TEST(Cli, TextFromTheDataIsUtf8AndNeverRawControlBytes) {
  // A comment in the page's code page: Cyrillic letters, an escape sequence, a backslash, a
  // line break and the one byte without a character.
  const std::string Comment = "\xC0\xE1 \x1B[31m\\\n\x98";
  TTempDir Dir;
  const fs::path File = Dir.Path() / "c.MRK";
  WriteFileBytes(File, Hex("FF FE 00") + char(2 + Comment.size()) + Comment);
  const TRun Text = RunCli("--text " + Quoted(File.string()));
  EXPECT_EQ(Text.Status, 0);
  EXPECT_NE(Text.Out.find("  Comment: \xD0\x90\xD0\xB1 \\x1B[31m\\\\\\x0A\xEF\xBF\xBD\n"),
            std::string::npos)
      << Text.Out;
  for (const char C : Text.Out)
    EXPECT_TRUE(C == '\n' || static_cast<uint8_t>(C) >= 0x20) << int(C);
  const TRun Json = RunCli("--json " + Quoted(File.string()));
  const nlohmann::json Tree = nlohmann::json::parse(Json.Out);
  EXPECT_EQ(Tree["name"], "Comment segment");
  EXPECT_EQ(Tree["children"][1]["value"], "\xD0\x90\xD0\xB1 \x1B[31m\\\n\xEF\xBF\xBD");
  EXPECT_EQ(Json.Out.find('\x1B'), std::string::npos);
  // The file's name, in the page's code page.
  const fs::path Named = Dir.Path() / "\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE \xE2\x9C\x93.jpg";
  WriteFileBytes(Named, TinyJpeg);
  EXPECT_NE(RunCli(Quoted(Named.string())).Out.find("<H1>\xF4\xEE\xF2\xEE ?.jpg</H1>"),
            std::string::npos);
}

TEST(Cli, OptionsThatCannotGoTogether) {
  TTempDir Dir;
  WriteFileBytes(Dir.Path() / "tiny.jpg", TinyJpeg);
  const std::string File = Quoted((Dir.Path() / "tiny.jpg").string());
  for (const std::string& Args :
       {"--text --json " + File, "split " + File, std::string("split a b c"),
        std::string("--segment"), File + " -o"}) {
    const TRun Run = RunCli(Args);
    EXPECT_EQ(Run.Status, 1) << Args;
    EXPECT_EQ(Run.Out, "") << Args;
    EXPECT_EQ(Run.Err.rfind("kivmrk: ", 0), 0u) << Args << Run.Err;
  }
  EXPECT_EQ(RunCli("").Status, 2);
  // Text goes to -o as the page does.
  const fs::path Out = Dir.Path() / "tree.txt";
  EXPECT_EQ(RunCli("--text " + File + " -o " + Quoted(Out.string())).Status, 0);
  EXPECT_EQ(ReadFileBytes(Out).rfind("tiny.jpg: 17 bytes\n", 0), 0u);
}

TEST(Cli, HelpAndManualPageAgree) {
  const std::string Help = RunCli("--help").Out;
  const std::string Manual = ReadFileBytes(KIV_MANUAL);
  ASSERT_FALSE(Manual.empty());
  const auto Options = [](const std::string& Text, const std::regex& Pattern) {
    std::set<std::string> Found;
    for (auto It = std::sregex_iterator(Text.begin(), Text.end(), Pattern);
         It != std::sregex_iterator(); ++It)
      Found.insert((*It)[1].str());
    return Found;
  };
  // Options as "--name" in the help text and as "\-\-name" in the manual's markup.
  const auto InHelp = Options(Help, std::regex("(?:^|[\\s\\[|])(--?[a-z]+)"));
  const auto InManual = Options(Manual, std::regex("((?:\\\\-)+[a-z]+)"));
  std::set<std::string> ManualOptions;
  for (std::string Option : InManual)
    ManualOptions.insert(std::regex_replace(Option, std::regex("\\\\-"), "-"));
  EXPECT_EQ(InHelp, ManualOptions);
  for (const char* Word : {"split", "Exit status", "EXIT STATUS"})
    EXPECT_TRUE(Help.find(Word) != std::string::npos || Manual.find(Word) != std::string::npos);
}

TEST(Cli, TiffFilesGetTheirTree) {
  // X resolution 300/2 with the unit "none", X position 1/4, in Intel order.
  const std::string Tiff = Hex("49 49 2A 00 08 00 00 00 03 00"
                               "1A 01 05 00 01 00 00 00 32 00 00 00"
                               "28 01 03 00 01 00 00 00 01 00 00 00"
                               "1E 01 05 00 01 00 00 00 3A 00 00 00"
                               "00 00 00 00 2C 01 00 00 02 00 00 00 01 00 00 00 04 00 00 00");
  TTempDir Dir;
  const fs::path File = Dir.Path() / "x.tif";
  WriteFileBytes(File, Tiff);
  const TRun Page = RunCli(Quoted(File.string()));
  EXPECT_EQ(Page.Status, 0);
  EXPECT_EQ(Page.Out, Golden("tiff/standalone-intel.html"));
  const TRun Text = RunCli("--text " + Quoted(File.string()));
  EXPECT_EQ(Text.Out, "x.tif: 66 bytes\n"
                      "  Tiff segment: offset 0x00000000, 66 bytes\n"
                      "    Segment size: 66\n"
                      "    Byte order: Intel (II)\n"
                      "    Tiff segment:\n"
                      "      IFD0:\n"
                      "        Tag 011A: 150\n"
                      "        Tag 0128: 1\n"
                      "        Tag 011E: 0.25\n");
}
