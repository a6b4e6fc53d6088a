// The plug-in library over the stand-in window system, loaded as the host loads it and driven
// through its three exported functions.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/kivMrkWLX.h"
#include "platform/portable/kivStandIn.h"
#include "support/kivTestSupport.h"

using namespace kivTest;
using kivPlatform::KeyEscape;

namespace {

#define KIV_PLUGIN_FUNCTIONS(X)                                                                    \
  X(ListGetDetectString)                                                                           \
  X(ListLoad)                                                                                      \
  X(ListCloseWindow)                                                                               \
  X(ListSetDefaultParams)                                                                          \
  X(kivStandInCreateWindow)                                                                        \
  X(kivStandInDestroyWindow)                                                                       \
  X(kivStandInIsWindow)                                                                            \
  X(kivStandInGetParent)                                                                           \
  X(kivStandInGetFirstChild)                                                                       \
  X(kivStandInGetStyle)                                                                            \
  X(kivStandInSetShiftState)                                                                       \
  X(kivStandInPostKeyDown)                                                                         \
  X(kivStandInPostClose)                                                                           \
  X(kivStandInProcessMessages)                                                                     \
  X(kivStandInTakeKeys)                                                                            \
  X(kivStandInPageText)                                                                            \
  X(kivStandInSetBrowserNeverReady)                                                                \
  X(kivStandInOleCount)                                                                            \
  X(kivStandInStockIconLoads)                                                                      \
  X(kivStandInWindowCount)

// The library, loaded for one test; the thumbnail files go to a directory of the test's own.
class Plugin : public testing::Test {
protected:
  void SetUp() override {
    const char* Old = std::getenv("TMPDIR");
    OldTmpDir = Old ? Old : "";
    setenv("TMPDIR", Temp.Dir().c_str(), 1);
    Library = dlopen(KIV_STANDIN_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Library, nullptr) << dlerror();
#define KIV_RESOLVE(Name)                                                                          \
  Name = reinterpret_cast<decltype(&::Name)>(dlsym(Library, #Name));                               \
  ASSERT_NE(Name, nullptr) << #Name;
    KIV_PLUGIN_FUNCTIONS(KIV_RESOLVE)
#undef KIV_RESOLVE
  }

  void TearDown() override {
    if (Library) Unload();
    if (OldTmpDir.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", OldTmpDir.c_str(), 1);
  }

  // Unloads the library and returns what it reported on the way out.
  std::string Unload() {
    testing::internal::CaptureStderr();
    dlclose(Library);
    Library = nullptr;
    const std::string Report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(dlopen(KIV_STANDIN_PLUGIN, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the library stayed loaded";
    return Report;
  }

  std::string Sample(const std::string& Name) const {
    return (std::filesystem::path(KIV_SAMPLES_DIR) / Name).string();
  }

  void* Load(void* Host, const std::string& File) {
    std::string Name = File;
    return ListLoad(static_cast<kivPlatform::TWindow>(Host), Name.data(), 0);
  }

  void Close(void* Window) {
    ListCloseWindow(static_cast<kivPlatform::TWindow>(Window));
  }

  std::string PageOf(void* Viewer) {
    const int64_t Size = kivStandInPageText(Viewer, nullptr, 0);
    if (Size < 0) return "(none)";
    std::string Text(static_cast<size_t>(Size), '\0');
    kivStandInPageText(Viewer, Text.data(), Text.size());
    return Text;
  }

  std::vector<uint16_t> KeysOf(void* Window) {
    uint16_t Keys[64];
    const size_t N = kivStandInTakeKeys(Window, Keys, 64);
    return std::vector<uint16_t>(Keys, Keys + std::min<size_t>(N, 64));
  }

  bool Thumbnail() const {
    return std::filesystem::exists(Temp.Path() / "kivBMP0.bmp");
  }

  TTempDir Temp;
  std::string OldTmpDir;
  void* Library = nullptr;
#define KIV_POINTER(Name) decltype(&::Name) Name = nullptr;
  KIV_PLUGIN_FUNCTIONS(KIV_POINTER)
#undef KIV_POINTER
};

TEST_F(Plugin, DetectStringFitsTheBuffer) {
  const struct {
    int32_t MaxLen;
    std::string Expected;
  } Cases[] = {{64, "EXT=\"MRK\"&[0]=255"},
               {18, "EXT=\"MRK\"&[0]=255"},
               {17, "EXT=\"MRK\"&[0]=25"},
               {4, "EXT"},
               {1, ""}};
  for (const auto& Case : Cases) {
    std::string Buffer(80, '#');
    ListGetDetectString(Buffer.data(), Case.MaxLen);
    EXPECT_EQ(Buffer.c_str(), Case.Expected) << Case.MaxLen;
    EXPECT_EQ(Buffer.substr(static_cast<size_t>(Case.MaxLen)), std::string(80 - Case.MaxLen, '#'));
  }
  std::string Untouched(8, '#');
  ListGetDetectString(Untouched.data(), 0);
  EXPECT_EQ(Untouched, "########");
  ListGetDetectString(nullptr, 10);
}

TEST_F(Plugin, TheUserInterfaceLibraryWaitsForTheFirstViewer) {
  // Loading runs under the loader lock on Windows: the stock icons come with the first viewer,
  // once.
  char Detect[64];
  ListGetDetectString(Detect, sizeof Detect);
  EXPECT_EQ(kivStandInStockIconLoads(), 0);
  void* Host = kivStandInCreateWindow(nullptr);
  for (int I = 0; I < 2; ++I) {
    void* Viewer = Load(Host, Sample("jfif-thumbnail.MRK"));
    ASSERT_NE(Viewer, nullptr);
    EXPECT_EQ(kivStandInStockIconLoads(), 3);
    Close(Viewer);
  }
  kivStandInDestroyWindow(Host);
}

TEST_F(Plugin, TheViewerIsAMaximisedChildShowingThePage) {
  void* Host = kivStandInCreateWindow(nullptr);
  void* Viewer = Load(Host, Sample("jfif-thumbnail.MRK"));
  ASSERT_NE(Viewer, nullptr);
  EXPECT_EQ(kivStandInGetParent(Viewer), Host);
  EXPECT_EQ(kivStandInGetStyle(Viewer), 0x41000000u | 0x10000000u); // and visible
  const std::string Page = PageOf(Viewer);
  EXPECT_EQ(Page.substr(0, 9), "<!DOCTYPE");
  EXPECT_NE(Page.find("file://" + Temp.Dir() + "kivBMP0.bmp"), std::string::npos);
  EXPECT_TRUE(Thumbnail());
  EXPECT_EQ(kivStandInOleCount(), 1);
  // Closing a window that is not a viewer does nothing.
  Close(Host);
  Close(nullptr);
  EXPECT_TRUE(kivStandInIsWindow(Host));
  EXPECT_TRUE(kivStandInIsWindow(Viewer));
  EXPECT_TRUE(Thumbnail());
  Close(Viewer);
  EXPECT_FALSE(kivStandInIsWindow(Viewer));
  EXPECT_FALSE(Thumbnail());
  EXPECT_EQ(kivStandInOleCount(), 0);
  kivStandInDestroyWindow(Host);
  EXPECT_EQ(kivStandInWindowCount(), 0);
  EXPECT_EQ(Unload(), "");
}

TEST_F(Plugin, KeysForTheHostAreHandedBack) {
  using namespace kivPlatform;
  const struct {
    uint16_t Key;
    TShiftState Shift;
    bool Embedded;
    std::vector<uint16_t> AtHost; // what the host's window receives
  } Cases[] = {
      {KeyEscape, 0, false, {KeyEscape}},
      {KeyEscape, 0, true, {KeyTab}},
      {'1', 0, false, {'1'}},
      {'4', 0, true, {'4'}},
      {'7', 0, false, {'7'}},
      {'N', 0, false, {'N'}},
      {'P', 0, true, {'P'}},
      {'N', ssShift, false, {}},
      {'1', ssCtrl, false, {}},
      {KeyEscape, ssAlt, false, {}},
      {'P', ssLeft, false, {}},
      {'8', 0, false, {}},
      {'0', 0, false, {}},
      {'A', 0, false, {}},
      {0x0131, 0, false, {0x0131}}, // only the low byte decides
  };
  void* Frame = kivStandInCreateWindow(nullptr);
  for (const auto& Case : Cases) {
    void* Host = Case.Embedded ? kivStandInCreateWindow(Frame) : kivStandInCreateWindow(nullptr);
    void* Viewer = Load(Host, Sample("jfif-thumbnail.MRK"));
    ASSERT_NE(Viewer, nullptr);
    void* Control = kivStandInGetFirstChild(Viewer);
    ASSERT_NE(Control, nullptr);
    // Typed while the browser control has the focus, and while the form itself has it.
    for (void* Target : {Control, Viewer}) {
      kivStandInSetShiftState(Case.Shift);
      kivStandInPostKeyDown(Target, Case.Key);
      kivStandInProcessMessages();
      kivStandInSetShiftState(0);
      kivStandInProcessMessages();
      const std::string Where =
          std::to_string(Case.Key) + (Target == Control ? " control" : " form");
      EXPECT_EQ(KeysOf(Host), Case.AtHost) << Where;
      // A key the host does not get stays with the control.
      EXPECT_EQ(KeysOf(Target).size(), Case.AtHost.empty() ? 1u : 0u) << Where;
    }
    kivStandInDestroyWindow(Host);
  }
  kivStandInDestroyWindow(Frame);
  EXPECT_EQ(kivStandInWindowCount(), 0);
}

TEST_F(Plugin, EitherWayOfClosingFreesTheFormOnce) {
  for (const bool CloseFirst : {true, false}) {
    void* Frame = kivStandInCreateWindow(nullptr);
    void* Host = kivStandInCreateWindow(Frame);
    void* Viewer = Load(Host, Sample("jfif-thumbnail.MRK"));
    ASSERT_NE(Viewer, nullptr);
    ASSERT_TRUE(Thumbnail());
    if (CloseFirst) {
      Close(Viewer);
      EXPECT_FALSE(kivStandInIsWindow(Viewer));
      EXPECT_FALSE(Thumbnail());
      // A second close of the same handle finds nothing to do.
      Close(Viewer);
    }
    kivStandInDestroyWindow(Frame);
    EXPECT_FALSE(kivStandInIsWindow(Viewer)) << CloseFirst;
    EXPECT_FALSE(Thumbnail()) << CloseFirst;
    EXPECT_EQ(kivStandInOleCount(), 0) << CloseFirst;
    EXPECT_EQ(kivStandInWindowCount(), 0) << CloseFirst;
  }
  EXPECT_EQ(Unload(), "");
}

TEST_F(Plugin, NoViewerWithoutAHostAndAnEmptyOneWithoutAFile) {
  void* Gone = kivStandInCreateWindow(nullptr);
  kivStandInDestroyWindow(Gone);
  EXPECT_EQ(Load(Gone, Sample("jfif-thumbnail.MRK")), nullptr);
  EXPECT_EQ(Load(nullptr, Sample("jfif-thumbnail.MRK")), nullptr);
  EXPECT_EQ(kivStandInOleCount(), 0);
  EXPECT_EQ(kivStandInWindowCount(), 0);
  EXPECT_FALSE(Thumbnail());

  void* Host = kivStandInCreateWindow(nullptr);
  void* Viewer = Load(Host, (Temp.Path() / "missing.MRK").string());
  ASSERT_NE(Viewer, nullptr);
  EXPECT_EQ(kivStandInGetParent(Viewer), Host);
  EXPECT_EQ(PageOf(Viewer), "(none)");
  Close(Viewer);
  EXPECT_EQ(kivStandInOleCount(), 0);
}

TEST_F(Plugin, TwoViewersAtOnce) {
  void* Host1 = kivStandInCreateWindow(nullptr);
  void* Host2 = kivStandInCreateWindow(nullptr);
  void* Viewer1 = Load(Host1, Sample("jfif-thumbnail.MRK"));
  const auto Empty = Temp.Path() / "empty.MRK";
  WriteFileBytes(Empty, "");
  void* Viewer2 = Load(Host2, Empty.string());
  ASSERT_NE(Viewer1, nullptr);
  ASSERT_NE(Viewer2, nullptr);
  // Each shows the report pipeline's page of its own file.
  EXPECT_EQ(PageOf(Viewer2), Golden("host/empty.html"));
  EXPECT_NE(PageOf(Viewer1), PageOf(Viewer2));
  EXPECT_EQ(kivStandInOleCount(), 2);
  kivStandInPostKeyDown(Viewer2, 'N');
  kivStandInProcessMessages();
  EXPECT_EQ(KeysOf(Host1), std::vector<uint16_t>{});
  EXPECT_EQ(KeysOf(Host2), std::vector<uint16_t>{'N'});
  Close(Viewer1);
  EXPECT_EQ(kivStandInOleCount(), 1);
  EXPECT_EQ(PageOf(Viewer2), Golden("host/empty.html"));
  Close(Viewer2);
  EXPECT_EQ(kivStandInOleCount(), 0);
}

TEST_F(Plugin, AControlThatNeverBecomesReadyLeavesTheWindowEmpty) {
  kivStandInSetBrowserNeverReady(1);
  void* Host = kivStandInCreateWindow(nullptr);
  // Returns at all: the wait for the control is bounded (a hang meets the test's time-out).
  void* Viewer = Load(Host, Sample("jfif-thumbnail.MRK"));
  ASSERT_NE(Viewer, nullptr);
  EXPECT_EQ(PageOf(Viewer), "(none)");
  // The window still works.
  kivStandInPostKeyDown(Viewer, KeyEscape);
  kivStandInProcessMessages();
  EXPECT_EQ(KeysOf(Host), std::vector<uint16_t>{KeyEscape});
}

TEST_F(Plugin, TheHostClosingTheViewerWhileThePageLoads) {
  void* Frame = kivStandInCreateWindow(nullptr);
  void* Host = kivStandInCreateWindow(Frame);
  // Dispatched while the viewer waits for its browser control.
  kivStandInPostClose(Host);
  EXPECT_EQ(Load(Host, Sample("jfif-thumbnail.MRK")), nullptr);
  EXPECT_FALSE(kivStandInIsWindow(Host));
  EXPECT_FALSE(Thumbnail());
  EXPECT_EQ(kivStandInOleCount(), 0);
  kivStandInDestroyWindow(Frame);
  EXPECT_EQ(kivStandInWindowCount(), 0);
  EXPECT_EQ(Unload(), "");
}

TEST_F(Plugin, UnloadingFreesTheViewersStillOpen) {
  void* Host = kivStandInCreateWindow(nullptr);
  ASSERT_NE(Load(Host, Sample("jfif-thumbnail.MRK")), nullptr);
  ASSERT_TRUE(Thumbnail());
  EXPECT_EQ(Unload(), "");
  EXPECT_FALSE(Thumbnail());
}

TEST_F(Plugin, TheHostsSettingTurnsTheExtendedPartsOn) {
  const auto Dri = Temp.Path() / "dri.MRK";
  WriteFileBytes(Dri, Hex("FF DD 00 04 00 08"));
  const std::string Viewer = RenderPage(Hex("FF DD 00 04 00 08"));
  std::string Extended = Viewer;
  Extended.insert(Extended.find("    </BODY>"),
                  "<H3>Restart interval</H3>\r      <TABLE BORDER=1 CELLPADDING=5>\r\r"
                  "        <TR>\r<TD>Restart interval</TD><TD>8</TD>"
                  "<TD>MCUs between restart markers</TD>        </TR>\r      </TABLE>\r");
  void* Host = kivStandInCreateWindow(nullptr);
  const auto PageNow = [&] {
    void* Viewer = Load(Host, Dri.string());
    const std::string Page = PageOf(Viewer);
    Close(Viewer);
    return Page;
  };
  const auto Ini = Temp.Path() / "plugins.ini";
  TkivListDefaultParams Params{};
  Params.size = sizeof Params;
  Params.PluginInterfaceVersionHi = 2;
  std::strcpy(Params.DefaultIniName, Ini.c_str());
  WriteFileBytes(Ini, "[kivMrkWLX]\r\nExtended=1\r\n");

  // Before the host says where its settings are, and when what it says cannot be used.
  EXPECT_EQ(PageNow(), Viewer);
  ListSetDefaultParams(nullptr);
  TkivListDefaultParams Short = Params;
  Short.size = offsetof(TkivListDefaultParams, DefaultIniName) + 4; // the name ends beyond
  ListSetDefaultParams(&Short);
  EXPECT_EQ(PageNow(), Viewer);
  TkivListDefaultParams Unterminated = Params;
  std::memset(Unterminated.DefaultIniName, 'x', sizeof Unterminated.DefaultIniName);
  ListSetDefaultParams(&Unterminated);
  EXPECT_EQ(PageNow(), Viewer);

  ListSetDefaultParams(&Params);
  const struct {
    std::string Ini;
    bool On;
  } Cases[] = {
      {"[kivMrkWLX]\r\nExtended=1\r\n", true},
      {"[kivMrkWLX]\r\nExtended=0\r\n", false},
      {"[Other]\nExtended=1\n[kivmrkwlx]\n  extended = 1\n", true},
      {"[kivMrkWLX]\nOther=1\n[Other]\nExtended=1\n", false},
      {"", false},
  };
  // Read for each viewer: a changed setting needs no new start of the host.
  for (const auto& Case : Cases) {
    WriteFileBytes(Ini, Case.Ini);
    EXPECT_EQ(PageNow(), Case.On ? Extended : Viewer) << Case.Ini;
  }
  std::filesystem::remove(Ini);
  EXPECT_EQ(PageNow(), Viewer);
  kivStandInDestroyWindow(Host);
}

} // namespace
