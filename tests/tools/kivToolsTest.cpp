#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "framework/kivFormat.h"
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
  EXPECT_EQ(Help.Out.rfind("Usage: kivmrk FILE", 0), 0u) << Help.Out;
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

TEST(Split, CorpusFilesSplitBackIntoTheirBytes) {
  const auto Jpegs = CorpusJpegs();
  if (Jpegs.empty()) GTEST_SKIP() << "no corpus";
  for (const fs::path& Jpeg : Jpegs) {
    SCOPED_TRACE(Jpeg.filename().string());
    TTempDir Dir;
    const TkivSplitResult Result = SplitJpegFile(Jpeg.string(), Dir.Dir());
    EXPECT_EQ(Result.Error, "");
    const auto Files = FilesIn(Dir.Path());
    EXPECT_EQ(Result.Written, int(Files.size()));
    ASSERT_GE(Files.size(), 2u);
    EXPECT_EQ(Files.front().filename(), "0000_FFD8.MRK");
    EXPECT_EQ(Files.back().filename().string().substr(4), "_FFDA.MRK");
    const std::string Joined = CheckSegmentFiles(Files);
    const std::string Whole = ReadFileBytes(Jpeg);
    EXPECT_EQ(Whole.compare(0, Joined.size(), Joined), 0);

    // The same cut as the corpus's own segment files.
    const fs::path Theirs = CorpusDir() / "segments" / Jpeg.stem();
    if (fs::is_directory(Theirs)) {
      const auto TheirFiles = FilesIn(Theirs);
      ASSERT_EQ(TheirFiles.size(), Files.size());
      for (size_t I = 0; I < Files.size(); ++I) {
        EXPECT_EQ(TheirFiles[I].filename(), Files[I].filename());
        EXPECT_EQ(ReadFileBytes(TheirFiles[I]), ReadFileBytes(Files[I])) << Files[I];
      }
    }
  }
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
    EXPECT_NE(Run.Status, 0);
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
