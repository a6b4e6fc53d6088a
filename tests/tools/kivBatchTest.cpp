#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kivInfoText.h"
#include "support/kivTestSupport.h"

using namespace kivTest;
namespace fs = std::filesystem;

namespace {

constexpr size_t npos = std::string::npos;

fs::path Put(const fs::path& Dir, const std::string& Name, const std::string& Bytes) {
  fs::create_directories((Dir / Name).parent_path());
  WriteFileBytes(Dir / Name, Bytes);
  return Dir / Name;
}

std::vector<nlohmann::json> JsonLines(const std::string& Out) {
  std::vector<nlohmann::json> Records;
  std::istringstream Lines(Out);
  for (std::string Line; std::getline(Lines, Line);)
    Records.push_back(nlohmann::json::parse(Line));
  return Records;
}

const std::string TinyJpeg = Hex("FF D8 FF DD 00 04 00 10 FF DA 00 02 01 02 FF D9 7A");
// A JFIF header with a 1x1 RGB thumbnail.
const std::string Jfif =
    Hex("FF E0 00 13") + std::string("JFIF\0", 5) + Hex("01 01 00 00 01 00 01 01 01 FF 00 00");

// A folder with what a folder of photos may hold besides photos: a directory below, links
// in a circle and to nowhere, a FIFO, a device, a name that is not UTF-8.
struct TMixedFolder {
  TTempDir Temp;
  fs::path Root = Temp.Path() / "in";
  TMixedFolder() {
    Put(Root, "a.jpg", TinyJpeg);
    Put(Root, "b/c.MRK", Jfif);
    Put(Root, "b/d/e.jpg", TinyJpeg);
    Put(Root, "bad\xFF\x01.jpg", TinyJpeg);
    fs::create_directory_symlink("..", Root / "b" / "up");
    fs::create_symlink("self", Root / "self");
    fs::create_symlink("nowhere", Root / "gone");
    fs::create_symlink("/dev/null", Root / "null");
    ::mkfifo((Root / "fifo").c_str(), 0600);
  }
  // The files reported, in order, and the name of each below Root.
  const std::vector<std::string> Reported = {"a.jpg", "b/c.MRK", "b/d/e.jpg", "bad\xFF\x01.jpg"};
};

} // namespace

TEST(Batch, JsonLinesOneRecordPerFileErrorsIncluded) {
  TTempDir Dir;
  const fs::path Jpeg = Put(Dir.Path(), "tiny.jpg", TinyJpeg);
  const fs::path Segment = Put(Dir.Path(), "j.MRK", Jfif);
  const fs::path Missing = Dir.Path() / "missing.jpg";
  const TRun Run = RunCli("--json " + Quoted(Jpeg) + " " + Quoted(Missing) + " " + Quoted(Segment) +
                          " " + Quoted(Dir.Path()));
  EXPECT_EQ(Run.Status, 1);
  const std::vector<nlohmann::json> Records = JsonLines(Run.Out);
  ASSERT_EQ(Records.size(), 4u) << Run.Out;
  EXPECT_EQ(Records[0]["path"], Jpeg.string());
  EXPECT_EQ(Records[0]["kind"], "JPEG file");
  EXPECT_EQ(Records[0]["size"], TinyJpeg.size());
  // The tree of each file is the one a run on it alone prints.
  EXPECT_EQ(Records[0]["tree"], nlohmann::json::parse(RunCli("--json " + Quoted(Jpeg)).Out));
  EXPECT_EQ(Records[1]["path"], Missing.string());
  EXPECT_NE(Records[1]["error"].get<std::string>().find("cannot read"), npos);
  EXPECT_FALSE(Records[1].contains("tree"));
  EXPECT_EQ(Records[2]["kind"].get<std::string>().rfind("segment file: ", 0), 0u);
  EXPECT_EQ(Records[2]["tree"], nlohmann::json::parse(RunCli("--json " + Quoted(Segment)).Out));
  // A directory without -r is an error of its own; the files given are still reported.
  EXPECT_NE(Records[3]["error"].get<std::string>().find("-r"), npos);
  EXPECT_NE(Run.Err.find("missing.jpg: cannot read"), npos) << Run.Err;

  // Options are those of a single file, and a run without failures exits with 0.
  const TRun Viewer = RunCli("--json --extended " + Quoted(Segment) + " " + Quoted(Segment));
  EXPECT_EQ(Viewer.Status, 0) << Viewer.Err;
  EXPECT_EQ(JsonLines(Viewer.Out).at(1)["tree"],
            nlohmann::json::parse(RunCli("--json --extended " + Quoted(Segment)).Out));
  EXPECT_EQ(RunCli(Quoted(Jpeg) + " " + Quoted(Segment)).Status, 1) << "HTML needs -o OUTDIR";
}

TEST(Batch, WalksDirectoriesAndSkipsWhatIsNoFile) {
  TMixedFolder Folder;
  const TRun Json = RunCli("-r --json " + Quoted(Folder.Root));
  // Skipped entries are no failures; no FIFO or device was opened (the run would hang).
  EXPECT_EQ(Json.Status, 0) << Json.Err;
  const std::vector<nlohmann::json> Records = JsonLines(Json.Out);
  ASSERT_EQ(Records.size(), Folder.Reported.size()) << Json.Out;
  for (size_t I = 0; I + 1 < Records.size(); ++I) {
    EXPECT_EQ(Records[I]["path"], (Folder.Root / Folder.Reported[I]).string());
    EXPECT_FALSE(Records[I].contains("error")) << Records[I];
  }
  // A name that is not UTF-8 is escaped in JSON, and kept as bytes in text.
  EXPECT_EQ(Records.back()["path"], Folder.Root.string() + "/bad\\xFF\\x01.jpg");
  for (const char* Said :
       {"fifo: a FIFO; skipped", "null: a device; skipped", "self: a symbolic link",
        "gone: a symbolic link that leads nowhere", "up: a directory already being walked"})
    EXPECT_NE(Json.Err.find(Said), npos) << Said << "\n" << Json.Err;

  const TRun Text = RunCli("-r --text " + Quoted(Folder.Root));
  EXPECT_EQ(Text.Status, 0);
  std::string Expected;
  for (const std::string& Name : Folder.Reported) {
    const fs::path File = Folder.Root / Name;
    if (!Expected.empty()) Expected += "\n";
    // The name's bytes as they are, its control characters escaped.
    std::string Shown = File.string();
    if (const size_t At = Shown.find('\x01'); At != npos) Shown.replace(At, 1, "\\x01");
    Expected += "==> " + Shown + " <==\n";
    Expected += RunCli("--text " + Quoted(File)).Out;
  }
  EXPECT_EQ(Text.Out, Expected);
}

TEST(Batch, UnreadableFilesAreErrorsTheRunGoesOn) {
  TTempDir Dir;
  fs::permissions(Dir.Path(), fs::perms::all);
  const fs::path Secret = Put(Dir.Path(), "in/secret.jpg", TinyJpeg);
  Put(Dir.Path(), "in/z.jpg", TinyJpeg);
  fs::permissions(Dir.Path() / "in", fs::perms::all);
  fs::permissions(Secret, fs::perms::none);
  // Permissions do not hold for root: run as nobody then.
  std::string As;
  if (::geteuid() == 0) {
    if (std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "root without setpriv";
    As = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
  }
  const TRun Run = RunCli("-r --json " + Quoted(Dir.Path() / "in"), As);
  EXPECT_EQ(Run.Status, 1);
  const std::vector<nlohmann::json> Records = JsonLines(Run.Out);
  ASSERT_EQ(Records.size(), 2u) << Run.Out << Run.Err;
  EXPECT_EQ(Records[0]["path"], Secret.string());
  EXPECT_NE(Records[0]["error"].get<std::string>().find("Permission denied"), npos);
  EXPECT_EQ(Records[1]["kind"], "JPEG file");
  EXPECT_NE(Run.Err.find("secret.jpg: cannot read"), npos) << Run.Err;
}

TEST(Batch, PagesAndAnIndexThatLinksThem) {
  TMixedFolder Folder;
  const fs::path Out = Folder.Temp.Path() / "out";
  for (int Pass = 0; Pass < 2; ++Pass) {
    SCOPED_TRACE(Pass);
    const TRun Run = RunCli("-r " + Quoted(Folder.Root) + " -o " + Quoted(Out));
    EXPECT_EQ(Run.Status, 0) << Run.Err;
    EXPECT_EQ(Run.Out, "");
    // A page as a run on the file alone writes it (no pictures here, so byte for byte).
    EXPECT_EQ(ReadFileBytes(Out / "b/d/e.jpg.html"), RunCli(Quoted(Folder.Root / "b/d/e.jpg")).Out);
    EXPECT_TRUE(fs::exists(Out / "bad\xFF\x01.jpg.html"));
    EXPECT_FALSE(fs::exists(Out / "a.jpg.files")) << "no folder for a page without pictures";
    // The pictures of a page in a folder of its own; a second run replaces them.
    EXPECT_EQ(fs::directory_iterator(Out / "b/c.MRK.files")->path().filename(), "kivBMP0.bmp");
    EXPECT_EQ(std::distance(fs::directory_iterator(Out / "b/c.MRK.files"), {}), 1);
    const std::string Page = ReadFileBytes(Out / "b/c.MRK.html");
    EXPECT_NE(Page.find("SRC=\"file://" + (Out / "b/c.MRK.files/kivBMP0.bmp").string() + "\""),
              npos);

    const std::string Index = ReadFileBytes(Out / "index.html");
    EXPECT_NE(Index.find("<a href=\"a.jpg.html\">" + (Folder.Root / "a.jpg").string() + "</a>"),
              npos)
        << Index;
    EXPECT_NE(Index.find("<td>17</td><td>JPEG file</td>"), npos);
    EXPECT_NE(Index.find("<img src=\"b/c.MRK.files/kivBMP0.bmp\""), npos);
    EXPECT_NE(Index.find("<a href=\"bad%FF%01.jpg.html\">" + Folder.Root.string() +
                         "/bad\\xFF\\x01.jpg</a>"),
              npos);
    EXPECT_EQ(Index.find("\xFF"), npos);
  }

  // Failures are rows of the index; pages are written over regular files only.
  TTempDir Dir;
  const fs::path Jpeg = Put(Dir.Path(), "x<&>.jpg", TinyJpeg);
  const fs::path Blocked = Put(Dir.Path(), "blocked.jpg", TinyJpeg);
  const fs::path Pages = Dir.Path() / "pages";
  fs::create_directories(Pages);
  fs::create_symlink("/dev/null", Pages / "blocked.jpg.html");
  const TRun Run = RunCli("-o " + Quoted(Pages) + " " + Quoted(Jpeg) + " " +
                          Quoted(Dir.Path() / "none.jpg") + " " + Quoted(Blocked));
  EXPECT_EQ(Run.Status, 1);
  const std::string Index = ReadFileBytes(Pages / "index.html");
  EXPECT_NE(Index.find("<a href=\"x%3C%26%3E.jpg.html\">" + Dir.Path().string() +
                       "/x&lt;&amp;&gt;.jpg</a>"),
            npos)
      << Index;
  EXPECT_NE(Index.find("none.jpg</td><td></td><td class=\"error\" colspan=\"2\">error: cannot"),
            npos);
  EXPECT_NE(Index.find("blocked.jpg</td><td></td><td class=\"error\""), npos);
  EXPECT_TRUE(fs::is_symlink(Pages / "blocked.jpg.html"));
  EXPECT_NE(Run.Err.find("not a regular file"), npos) << Run.Err;
}

TEST(Batch, NamesMadeFitForUtf8) {
  EXPECT_EQ(NameForUtf8("a\\b \xD1\x84 \xE2\x9C\x93.jpg"), "a\\b \xD1\x84 \xE2\x9C\x93.jpg");
  EXPECT_EQ(NameForUtf8("\xFF\n\x7F"), "\\xFF\\x0A\\x7F");
  // Cut sequences, overlong forms and surrogates are no UTF-8.
  EXPECT_EQ(NameForUtf8("\xD1"), "\\xD1");
  EXPECT_EQ(NameForUtf8("\xC0\xAF"), "\\xC0\\xAF");
  EXPECT_EQ(NameForUtf8("\xED\xA0\x80x"), "\\xED\\xA0\\x80x");
}
