// A host of our own for the Windows plug-in: loads kivMrkWLX.wlx or .wlx64 as the file manager
// does, calls its three functions on real windows and checks what the viewer promises.
//
//   kivWineHostTest PLUGIN SAMPLES_DIR             runs the checks
//   kivWineHostTest PLUGIN SAMPLES_DIR --show MS   shows one viewer for MS milliseconds

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

int Passed = 0, Failed = 0;

#define CHECK(Condition)                                                                           \
  do {                                                                                             \
    if (Condition)                                                                                 \
      ++Passed;                                                                                    \
    else {                                                                                         \
      ++Failed;                                                                                    \
      std::printf("FAILED line %d: %s\n", __LINE__, #Condition);                                   \
    }                                                                                              \
  } while (0)

using TListGetDetectString = void(__stdcall*)(char*, int);
using TListLoad = HWND(__stdcall*)(HWND, char*, int);
using TListCloseWindow = void(__stdcall*)(HWND);

// What the host hands its plug-ins after loading them.
struct TListDefaultParams {
  int size;
  DWORD PluginInterfaceVersionLow;
  DWORD PluginInterfaceVersionHi;
  char DefaultIniName[MAX_PATH];
};
using TListSetDefaultParams = void(__stdcall*)(TListDefaultParams*);

TListGetDetectString ListGetDetectString;
TListLoad ListLoad;
TListCloseWindow ListCloseWindow;
TListSetDefaultParams ListSetDefaultParams;

template <typename T> T Resolve(HMODULE Module, const char* Name) {
  // Through the generic function pointer type, which converts to any other.
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(Module, Name)));
}

constexpr UINT MsgCloseHost = WM_APP + 1; // the host destroys its window, as on closing the viewer

// Keys that reached each host window.
std::map<HWND, std::vector<WPARAM>> HostKeys;

LRESULT CALLBACK HostProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_KEYDOWN) HostKeys[Window].push_back(WParam);
  if (Message == MsgCloseHost) {
    DestroyWindow(Window);
    return 0;
  }
  return DefWindowProcA(Window, Message, WParam, LParam);
}

// Top-level windows stay hidden unless shown on purpose: without a window manager, Wine waits
// two seconds for each visible one that goes away.
bool ShowHosts = false;

HWND CreateHost(HWND Parent) {
  const DWORD Style =
      Parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW | (ShowHosts ? WS_VISIBLE : 0);
  return CreateWindowExA(0, Parent ? "kivTestHost" : "kivTestFrame", "kivMrkWLX test host", Style,
                         20, 20, Parent ? 500 : 640, Parent ? 360 : 480, Parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// Dialogs that the plug-in tries to open (the live-object reports at unload) are stopped and
// recorded instead, so that nothing waits for a person.
int Dialogs = 0;
HHOOK DialogHook;

LRESULT CALLBACK DialogHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HCBT_CREATEWND) {
    char Class[64] = "";
    GetClassNameA(reinterpret_cast<HWND>(WParam), Class, sizeof Class);
    if (std::strcmp(Class, "#32770") == 0) {
      ++Dialogs;
      return 1;
    }
  }
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

void Pump() {
  for (int Round = 0; Round < 5; ++Round) {
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&Msg);
      DispatchMessageA(&Msg);
    }
    Sleep(10);
  }
}

std::vector<WPARAM> TakeKeys(HWND Host) {
  std::vector<WPARAM> Keys;
  Keys.swap(HostKeys[Host]);
  return Keys;
}

void SetModifiers(int VirtualKey) {
  BYTE State[256] = {};
  if (VirtualKey) State[VirtualKey] = 0x80;
  SetKeyboardState(State);
}

std::string TempDir;
std::string Samples;

bool Exists(const std::string& Path) {
  return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Thumbnail() {
  return Exists(TempDir + "kivBMP0.bmp");
}

HWND Load(HWND Host, const std::string& File) {
  std::string Name = File;
  return ListLoad(Host, Name.data(), 0);
}

// The window's rectangle in its parent's client coordinates.
RECT InParent(HWND Window) {
  RECT R;
  GetWindowRect(Window, &R);
  MapWindowPoints(nullptr, GetParent(Window), reinterpret_cast<POINT*>(&R), 2);
  return R;
}

void CheckDetectString() {
  const struct {
    int MaxLen;
    const char* Expected;
  } Cases[] = {{64, "EXT=\"MRK\"&[0]=255"},
               {18, "EXT=\"MRK\"&[0]=255"},
               {17, "EXT=\"MRK\"&[0]=25"},
               {4, "EXT"},
               {1, ""}};
  for (const auto& Case : Cases) {
    char Buffer[80];
    std::memset(Buffer, '#', sizeof Buffer);
    ListGetDetectString(Buffer, Case.MaxLen);
    CHECK(std::strcmp(Buffer, Case.Expected) == 0);
    CHECK(Buffer[Case.MaxLen] == '#');
  }
  char Untouched[4] = "##";
  ListGetDetectString(Untouched, 0);
  CHECK(std::strcmp(Untouched, "##") == 0);
}

void CheckKeys(HWND Host, HWND Viewer, bool Embedded) {
  const WPARAM Escape = Embedded ? VK_TAB : VK_ESCAPE;
  const struct {
    WPARAM Key;
    int Modifier;
    bool Forwarded;
    WPARAM AtHost;
  } Cases[] = {
      {VK_ESCAPE, 0, true, Escape}, {'1', 0, true, '1'},         {'5', 0, true, '5'},
      {'7', 0, true, '7'},          {'N', 0, true, 'N'},         {'P', 0, true, 'P'},
      {'N', VK_SHIFT, false, 0},    {'1', VK_CONTROL, false, 0}, {VK_ESCAPE, VK_MENU, false, 0},
      {'8', 0, false, 0},           {'A', 0, false, 0},
  };
  // Typed while the viewer has the focus, and while a window of the browser control has it.
  std::vector<HWND> Targets{Viewer};
  if (HWND Inner = GetWindow(Viewer, GW_CHILD)) Targets.push_back(Inner);
  for (HWND Target : Targets)
    for (const auto& Case : Cases) {
      SetModifiers(Case.Modifier);
      PostMessageA(Target, WM_KEYDOWN, Case.Key, 1);
      Pump();
      SetModifiers(0);
      const std::vector<WPARAM> Keys = TakeKeys(Host);
      if (Case.Forwarded)
        CHECK(Keys == std::vector<WPARAM>{Case.AtHost});
      else
        CHECK(Keys.empty());
      if (Keys != (Case.Forwarded ? std::vector<WPARAM>{Case.AtHost} : std::vector<WPARAM>{}))
        std::printf("  key %u modifier %d: %u keys at the host\n", unsigned(Case.Key),
                    Case.Modifier, unsigned(Keys.size()));
    }
}

void CheckTopLevelViewer() {
  const HWND Host = CreateHost(nullptr);
  const HWND Viewer = Load(Host, Samples + "jfif-thumbnail.MRK");
  CHECK(Viewer != nullptr);
  if (!Viewer) return;
  CHECK(GetParent(Viewer) == Host);
  CHECK((GetWindowLongA(Viewer, GWL_STYLE) & ~WS_VISIBLE) == 0x41000000);
  CHECK(GetWindowLongA(Viewer, GWL_STYLE) & WS_VISIBLE);
  RECT Client, Covered = InParent(Viewer);
  GetClientRect(Host, &Client);
  CHECK(EqualRect(&Client, &Covered));
  CHECK(Thumbnail());
  CheckKeys(Host, Viewer, false);
  // Closed by the host, then the host's window goes: the form is freed once.
  ListCloseWindow(Viewer);
  CHECK(!IsWindow(Viewer));
  CHECK(!Thumbnail());
  ListCloseWindow(Viewer);
  DestroyWindow(Host);
  Pump();
}

void CheckEmbeddedViewer() {
  const HWND Frame = CreateHost(nullptr);
  const HWND Host = CreateHost(Frame);
  const HWND Viewer = Load(Host, Samples + "jfif-thumbnail.MRK");
  CHECK(Viewer != nullptr);
  if (!Viewer) return;
  CHECK(GetParent(Viewer) == Host);
  CheckKeys(Host, Viewer, true);
  // The host destroys its windows without closing the viewer first.
  CHECK(Thumbnail());
  DestroyWindow(Frame);
  Pump();
  CHECK(!IsWindow(Viewer));
  CHECK(!Thumbnail());
}

void CheckFileThatCannotBeOpened() {
  const HWND Host = CreateHost(nullptr);
  const HWND Viewer = Load(Host, TempDir + "missing\\segment.MRK");
  CHECK(Viewer != nullptr);
  CHECK(GetParent(Viewer) == Host);
  ListCloseWindow(Viewer);
  CHECK(!IsWindow(Viewer));
  CHECK(Load(nullptr, Samples + "jfif-thumbnail.MRK") == nullptr);
  DestroyWindow(Host);
}

void CheckTwoViewers() {
  // The host passes file names in the ANSI code page.
  const std::string Name = TempDir + "caf\xE9 \xC0.MRK";
  CHECK(CopyFileA((Samples + "jfif-thumbnail.MRK").c_str(), Name.c_str(), FALSE));
  const HWND Host1 = CreateHost(nullptr), Host2 = CreateHost(nullptr);
  const HWND Viewer1 = Load(Host1, Name);
  CHECK(Thumbnail()); // the file was read
  const HWND Viewer2 = Load(Host2, Samples + "exif-camera.MRK");
  CHECK(Viewer1 && Viewer2 && Viewer1 != Viewer2);
  PostMessageA(Viewer2, WM_KEYDOWN, 'P', 1);
  Pump();
  CHECK(TakeKeys(Host1).empty());
  CHECK(TakeKeys(Host2) == std::vector<WPARAM>{'P'});
  ListCloseWindow(Viewer1);
  CHECK(!IsWindow(Viewer1));
  CHECK(!Thumbnail());
  CHECK(IsWindow(Viewer2));
  PostMessageA(Viewer2, WM_KEYDOWN, VK_ESCAPE, 1);
  Pump();
  CHECK(TakeKeys(Host2) == std::vector<WPARAM>{VK_ESCAPE});
  ListCloseWindow(Viewer2);
  CHECK(!IsWindow(Viewer2));
  DestroyWindow(Host1);
  DestroyWindow(Host2);
  DeleteFileA(Name.c_str());
}

void CheckHostClosingWhileThePageLoads() {
  const HWND Frame = CreateHost(nullptr);
  const HWND Host = CreateHost(Frame);
  // Handled while the viewer waits for its browser control.
  PostMessageA(Host, MsgCloseHost, 0, 0);
  const HWND Viewer = Load(Host, Samples + "jfif-thumbnail.MRK");
  Pump();
  CHECK(!IsWindow(Host));
  CHECK(Viewer == nullptr);
  CHECK(!Thumbnail());
  DestroyWindow(Frame);
}

// The host's ini file turns the extended parts on and off. Wine has no HTML engine, so the page
// itself is not to be seen here: what is checked is that the plug-in takes the host's
// structure and reads its setting through the system, and that the viewers of a table segment
// and of a thumbnail segment, whose pages carry the extended parts or not, open and close
// cleanly with either setting.
void CheckSettings() {
  const std::string Ini = TempDir + "plugins.ini", Dri = TempDir + "dri.MRK";
  const HANDLE File =
      CreateFileA(Dri.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const char Bytes[] = {'\xFF', '\xDD', 0, 4, 0, 8};
  DWORD Written = 0;
  WriteFile(File, Bytes, sizeof Bytes, &Written, nullptr);
  CloseHandle(File);
  ListSetDefaultParams(nullptr);
  TListDefaultParams Params{};
  Params.size = sizeof Params;
  Params.PluginInterfaceVersionHi = 2;
  std::strcpy(Params.DefaultIniName, Ini.c_str());
  TListDefaultParams Unterminated = Params;
  std::memset(Unterminated.DefaultIniName, 'x', sizeof Unterminated.DefaultIniName);
  ListSetDefaultParams(&Unterminated);
  for (const char* Setting : {"1", "0"}) {
    CHECK(WritePrivateProfileStringA("kivMrkWLX", "Extended", Setting, Ini.c_str()));
    ListSetDefaultParams(&Params);
    for (const std::string& Name : {Dri, Samples + "jfif-thumbnail.MRK"}) {
      const HWND Host = CreateHost(nullptr);
      const HWND Viewer = Load(Host, Name);
      CHECK(Viewer != nullptr && GetParent(Viewer) == Host);
      CHECK(Thumbnail() == (Name != Dri));
      ListCloseWindow(Viewer);
      CHECK(!IsWindow(Viewer));
      CHECK(!Thumbnail());
      DestroyWindow(Host);
    }
  }
  DeleteFileA(Ini.c_str());
  DeleteFileA(Dri.c_str());
}

// An embedded viewer, so that the frame around it shows where it ends.
int Show(DWORD Milliseconds) {
  ShowHosts = true;
  const HWND Frame = CreateHost(nullptr);
  const HWND Host = CreateHost(Frame);
  const HWND Viewer = Load(Host, Samples + "jfif-thumbnail.MRK");
  const DWORD End = GetTickCount() + Milliseconds;
  while (GetTickCount() < End)
    Pump();
  ListCloseWindow(Viewer);
  DestroyWindow(Frame);
  return Viewer ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: kivWineHostTest PLUGIN SAMPLES_DIR [--show MS]\n");
    return 2;
  }
  Samples = std::string(argv[2]) + "\\";
  // The thumbnail files go to a directory of our own.
  char Temp[MAX_PATH];
  GetTempPathA(MAX_PATH, Temp);
  TempDir = std::string(Temp) + "kivWineHostTest" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(TempDir.c_str(), nullptr);
  SetEnvironmentVariableA("TMP", TempDir.c_str());
  SetEnvironmentVariableA("TEMP", TempDir.c_str());

  // Top-level hosts in red and child hosts in blue, so that a screenshot shows what the viewer
  // covers.
  WNDCLASSA Class{};
  Class.lpfnWndProc = HostProc;
  Class.hInstance = GetModuleHandleA(nullptr);
  Class.hbrBackground = CreateSolidBrush(RGB(200, 0, 0));
  Class.lpszClassName = "kivTestFrame";
  RegisterClassA(&Class);
  Class.hbrBackground = CreateSolidBrush(RGB(0, 0, 200));
  Class.lpszClassName = "kivTestHost";
  RegisterClassA(&Class);

  const HMODULE Plugin = LoadLibraryA(argv[1]);
  if (!Plugin) {
    std::printf("cannot load %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  ListGetDetectString = Resolve<TListGetDetectString>(Plugin, "ListGetDetectString");
  ListLoad = Resolve<TListLoad>(Plugin, "ListLoad");
  ListCloseWindow = Resolve<TListCloseWindow>(Plugin, "ListCloseWindow");
  ListSetDefaultParams = Resolve<TListSetDefaultParams>(Plugin, "ListSetDefaultParams");
  if (!ListGetDetectString || !ListLoad || !ListCloseWindow || !ListSetDefaultParams) {
    std::printf("%s lacks an undecorated export\n", argv[1]);
    return 1;
  }
  if (argc >= 5 && std::strcmp(argv[3], "--show") == 0)
    return Show(std::strtoul(argv[4], nullptr, 10));

  DialogHook = SetWindowsHookExA(WH_CBT, DialogHookProc, nullptr, GetCurrentThreadId());
  MessageBoxA(nullptr, "probe", "probe", MB_OK);
  CHECK(Dialogs == 1); // the hook catches message boxes
  Dialogs = 0;

  const struct {
    const char* Name;
    void (*Run)();
  } Checks[] = {
      {"detect string", CheckDetectString},
      {"top-level viewer", CheckTopLevelViewer},
      {"embedded viewer", CheckEmbeddedViewer},
      {"file that cannot be opened", CheckFileThatCannotBeOpened},
      {"two viewers", CheckTwoViewers},
      {"host closing while the page loads", CheckHostClosingWhileThePageLoads},
      {"the host's settings", CheckSettings},
  };
  for (const auto& Check : Checks) {
    const DWORD Start = GetTickCount();
    Check.Run();
    std::printf("%s: %lu ms\n", Check.Name, static_cast<unsigned long>(GetTickCount() - Start));
  }

  // Unloading frees a viewer still open and reports no object left alive.
  const HWND Host = CreateHost(nullptr);
  const HWND Viewer = Load(Host, Samples + "jfif-thumbnail.MRK");
  CHECK(Viewer && Thumbnail());
  CHECK(FreeLibrary(Plugin));
  CHECK(GetModuleHandleA(argv[1]) == nullptr);
  CHECK(!IsWindow(Viewer));
  CHECK(!Thumbnail());
  CHECK(Dialogs == 0);
  DestroyWindow(Host);
  UnhookWindowsHookEx(DialogHook);
  RemoveDirectoryA(TempDir.c_str());

  std::printf("%s: %d passed, %d failed\n", sizeof(void*) == 8 ? "64-bit" : "32-bit", Passed,
              Failed);
  return Failed == 0 ? 0 : 1;
}
