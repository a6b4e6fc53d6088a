#include "host/kivMrkWLX.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/kivException.h"
#include "framework/kivInfoStream.h"
#include "host/kivModules.h"
#include "host/kivMrkWLXMainFormUnit.h"
#include "platform/kivIniFile.h"
#include "platform/kivPluginHost.h"

#if !defined(_WIN32)
#include <cxxabi.h>
// This library's own handle for the exit functions, from the C runtime's start files.
extern "C" void* __dso_handle;
#endif

using namespace kivPlatform;

const char* const SettingsSection = "kivMrkWLX";
const char* const ExtendedKey = "Extended";

const char* PluginDetectString() {
  return HostTestsFileBytes() ? "EXT=\"MRK\"&[0]=255" : "EXT=\"MRK\"";
}

namespace {

// The byte test of the detect string, for a host that cannot make it.
bool StartsWithMarker(const std::string& FileName) {
  try {
    TFileStream File(FileName, TFileMode::OpenRead);
    return ReadByte(File) == 0xFF;
  } catch (const Exception&) {
    return false;
  }
}

// Kept in the user-data slot of each viewer window. Pointer-sized fields: in the 64-bit build
// both the procedure and the form are 8 bytes.
struct TCloseRecord {
  TWindowProc OldWindowProc = nullptr;
  TkivMrkWLXMainForm* Form = nullptr;
};

// The host's ini file, from ListSetDefaultParams; empty until the host gives it.
std::string IniFileName;

// The report as the host's settings ask for it, read anew for each viewer so that a changed
// setting needs no restart of the host.
TkivReportOptions ReportOptions() {
  if (IniFileName.empty()) return {};
  return {.Extended = ReadIniInteger(IniFileName, SettingsSection, ExtendedKey, 0) != 0};
}

// The open viewers. A handle whose user data is not one of these records is not ours.
std::vector<TCloseRecord*> Viewers;

TCloseRecord* FindCloseRecord(TWindow Window) {
  const auto It = std::find(Viewers.begin(), Viewers.end(), GetUserData(Window));
  return It == Viewers.end() ? nullptr : *It;
}

// Runs once per viewer window, whichever way the window ends: the previous procedure is back in
// place before the form is freed, so the destroy message that follows does not come here again.
void CloseListWindow(TCloseRecord* Viewer, TWindow ListWin, bool Destroying) {
  const std::unique_ptr<TCloseRecord> Record(Viewer);
  Viewers.erase(std::find(Viewers.begin(), Viewers.end(), Viewer));
  try {
    SetWindowProc(ListWin, Record->OldWindowProc);
    SetUserData(ListWin, nullptr);
    if (Destroying) Record->Form->WindowDestroying();
    delete Record->Form;
  } catch (...) {
  }
}

intptr_t KIV_STDCALL PluginWindowProc(TWindow Window, uint32_t Message, uintptr_t WParam,
                                      intptr_t LParam) {
  TCloseRecord* Record = FindCloseRecord(Window);
  if (!Record) return 0;
  if (Message == MsgDestroy) {
    CloseListWindow(Record, Window, true);
    return 0;
  }
  return CallWindowProc(Record->OldWindowProc, Window, Message, WParam, LParam);
}

#if defined(_WIN32)
// DllMain tells process exit from unloading.
void HookProcessExit() {}
#else
// Process exit destroys the library's static objects (the open viewers, the registries) before
// it runs the library's destructor function, which comes first only when the library is
// unloaded. So the first call of the plug-in, when every static object exists, also hooks the
// finalisation in before their destruction; whichever of the two runs first does the work.
bool TornDown = false;

void TearDown() {
  if (TornDown) return;
  TornDown = true;
  CloseAllListWindows();
  FinalizeModules();
}

void TearDownAtExit(void*) {
  TearDown();
}

void HookProcessExit() {
  static bool Hooked = false;
  if (Hooked) return;
  Hooked = true;
  // Tied to this library: run at process exit, or when the library is unloaded before.
  __cxxabiv1::__cxa_atexit(TearDownAtExit, nullptr, &__dso_handle);
}
#endif

} // namespace

void KIV_STDCALL ListGetDetectString(char* DetectString, int32_t MaxLen) {
  HookProcessExit();
  if (!DetectString || MaxLen <= 0) return;
  const char* const Detect = PluginDetectString();
  const size_t N = std::min(std::strlen(Detect), static_cast<size_t>(MaxLen) - 1);
  std::memcpy(DetectString, Detect, N);
  DetectString[N] = 0;
}

TWindow KIV_STDCALL ListLoad(TWindow ParentWin, char* FileToLoad, int32_t) {
  HookProcessExit();
  try {
    InitializeSystemResources();
    const std::string FileName = FileToLoad ? FileToLoad : "";
    if (!HostTestsFileBytes() && !StartsWithMarker(FileName)) return nullptr;
    auto Form = std::make_unique<TkivMrkWLXMainForm>(ParentWin, FileName, ReportOptions());
    // A message dispatched while the page loaded may have destroyed the window.
    const TWindow Window = Form->Handle();
    if (!Window) return nullptr;
    Form->Show();
    auto Record = std::make_unique<TCloseRecord>();
    Record->Form = Form.get();
    Viewers.push_back(Record.get());
    SetUserData(Window, Record.get());
    Record->OldWindowProc = SetWindowProc(Window, PluginWindowProc);
    Form.release();
    Record.release();
    return Window;
  } catch (...) {
    return nullptr;
  }
}

void KIV_STDCALL ListCloseWindow(TWindow ListWin) {
  if (TCloseRecord* Record = FindCloseRecord(ListWin)) CloseListWindow(Record, ListWin, false);
}

void KIV_STDCALL ListSetDefaultParams(TkivListDefaultParams* Params) {
  HookProcessExit();
  try {
    if (!Params) return;
    // The host says how much of the structure it filled; the name must end inside that.
    constexpr auto NameAt = static_cast<int32_t>(offsetof(TkivListDefaultParams, DefaultIniName));
    if (Params->size <= NameAt) return;
    const size_t Room =
        std::min(sizeof Params->DefaultIniName, static_cast<size_t>(Params->size - NameAt));
    const void* End = std::memchr(Params->DefaultIniName, 0, Room);
    if (!End) return;
    IniFileName.assign(Params->DefaultIniName,
                       static_cast<size_t>(static_cast<const char*>(End) - Params->DefaultIniName));
  } catch (...) {
  }
}

void CloseAllListWindows() {
  while (!Viewers.empty()) {
    TCloseRecord* Record = Viewers.back();
    CloseListWindow(Record, Record->Form->Handle(), false);
  }
}

// The module's entry and exit. On Windows nothing is torn down at process exit: other threads
// are gone and the process's memory goes with it.
#if defined(_WIN32)
extern "C" int KIV_STDCALL DllMain(void*, unsigned long Reason, void* Reserved) {
  // The loader lock is held here: nothing that loads or calls another library.
  if (Reason == 1) InitializeModules(TkivStartUp::Registries);
  if (Reason == 0 && !Reserved) {
    CloseAllListWindows();
    FinalizeModules();
  }
  return 1;
}
#else
__attribute__((constructor)) static void LibraryLoaded() {
  InitializeModules(TkivStartUp::Registries);
}

__attribute__((destructor)) static void LibraryUnloaded() {
  TearDown();
}
#endif
