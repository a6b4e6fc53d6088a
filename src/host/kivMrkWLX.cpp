#include "host/kivMrkWLX.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/kivModules.h"
#include "host/kivMrkWLXMainFormUnit.h"

using namespace kivPlatform;

const char* const PluginDetectString = "EXT=\"MRK\"&[0]=255";

namespace {

// Kept in the user-data slot of each viewer window. Pointer-sized fields: in the 64-bit build
// both the procedure and the form are 8 bytes.
struct TCloseRecord {
  TWindowProc OldWindowProc = nullptr;
  TkivMrkWLXMainForm* Form = nullptr;
};

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

} // namespace

void KIV_STDCALL ListGetDetectString(char* DetectString, int32_t MaxLen) {
  if (!DetectString || MaxLen <= 0) return;
  const size_t N = std::min(std::strlen(PluginDetectString), static_cast<size_t>(MaxLen) - 1);
  std::memcpy(DetectString, PluginDetectString, N);
  DetectString[N] = 0;
}

TWindow KIV_STDCALL ListLoad(TWindow ParentWin, char* FileToLoad, int32_t) {
  try {
    auto Form = std::make_unique<TkivMrkWLXMainForm>(ParentWin, FileToLoad ? FileToLoad : "");
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

void CloseAllListWindows() {
  while (!Viewers.empty()) {
    TCloseRecord* Record = Viewers.back();
    CloseListWindow(Record, Record->Form->Handle(), false);
  }
}

// The module's entry and exit. At process exit nothing is torn down: other threads are gone
// and the process's memory goes with it.
#if defined(_WIN32)
extern "C" int KIV_STDCALL DllMain(void*, unsigned long Reason, void* Reserved) {
  if (Reason == 1) InitializeModules();
  if (Reason == 0 && !Reserved) {
    CloseAllListWindows();
    FinalizeModules();
  }
  return 1;
}
#else
__attribute__((constructor)) static void LibraryLoaded() {
  InitializeModules();
}

__attribute__((destructor)) static void LibraryUnloaded() {
  CloseAllListWindows();
  FinalizeModules();
}
#endif
