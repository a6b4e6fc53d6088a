// The stand-in window system and browser control of the portable plug-in.

#include "platform/portable/kivStandIn.h"

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/kivException.h"
#include "platform/kivFormWindow.h"
#include "platform/kivOle.h"
#include "platform/kivPluginHost.h"
#include "platform/kivWindows.h"

namespace kivPlatform {
namespace {

// Messages of the stand-in's own.
constexpr uint32_t MsgNavigated = 0x0401; // the browser control's document is ready
constexpr uint32_t MsgClose = 0x0402;     // the window destroys itself

constexpr uint32_t StyleChild = 0x40000000;
constexpr uint32_t StyleChildVisible = 0x50000000;
constexpr uint32_t StyleVisible = 0x10000000;

class TStandInFormWindow;
class TStandInBrowser;

struct TWindowRecord {
  TWindow Parent = nullptr;
  uint32_t Style = 0;
  void* UserData = nullptr;
  TWindowProc Proc = nullptr;
  std::vector<uint16_t> Keys;
  TStandInFormWindow* Form = nullptr;
  TStandInBrowser* Browser = nullptr;
  bool Destroying = false;
};

struct TMessage {
  TWindow Window;
  uint32_t Message;
  uintptr_t WParam;
  intptr_t LParam;
};

// Handles grow with every window and are never reused, so a stale handle finds nothing.
std::map<TWindow, TWindowRecord> Windows;
uintptr_t LastHandle = 0;
std::deque<TMessage> Queue;
TShiftState HeldShift = 0;
bool BrowsersNeverReady = false;
int OleCount = 0;

TWindowRecord* Find(TWindow Window) {
  const auto It = Windows.find(Window);
  return It == Windows.end() ? nullptr : &It->second;
}

void Post(TWindow Window, uint32_t Message, uintptr_t WParam, intptr_t LParam) {
  if (Find(Window)) Queue.push_back({Window, Message, WParam, LParam});
}

intptr_t KIV_STDCALL DefaultProc(TWindow Window, uint32_t Message, uintptr_t, intptr_t) {
  if (Message == MsgClose) DestroyWindow(Window);
  return 0;
}

TWindow CreateStandInWindow(TWindow Parent, uint32_t Style, TWindowProc Proc) {
  // A child window needs a parent, as in the real window system.
  if (Parent ? !Find(Parent) : (Style & StyleChild) != 0) return nullptr;
  LastHandle += 16;
  const TWindow Window = reinterpret_cast<TWindow>(LastHandle);
  TWindowRecord& Record = Windows[Window];
  Record.Parent = Parent;
  Record.Style = Style;
  Record.Proc = Proc;
  return Window;
}

class TStandInBrowser final : public TWebBrowser {
public:
  TStandInBrowser(TWindow Window, bool NeverReady) : Window(Window), NeverReady(NeverReady) {}

  void Navigate(const std::string& URL) override {
    State = 1;
    Document.reset();
    if (URL == "about:blank" && !NeverReady) Post(Window, MsgNavigated, 0, 0);
  }

  uint32_t ReadyState() override { return State; }

  bool LoadDocument(TStream& Stream) override {
    if (!Document) return false;
    std::string Text(
        static_cast<size_t>(std::max<int64_t>(0, Stream.GetSize() - Stream.GetPosition())), '\0');
    Stream.ReadBuffer(Text.data(), static_cast<int64_t>(Text.size()));
    Document = Text;
    return true;
  }

  void DocumentReady() {
    Document = std::string();
    State = 4;
  }

  const std::optional<std::string>& Page() const { return Document; }

private:
  TWindow Window;
  bool NeverReady;
  uint32_t State = 0;
  std::optional<std::string> Document;
};

class TStandInFormWindow final : public TFormWindow {
public:
  TStandInFormWindow(TWindow Parent, uint32_t Style, TFormWindowEvents& Events) : Events(Events) {
    Window = CreateStandInWindow(Parent, Style, FormProc);
    if (!Window) throw Exception("Cannot create the viewer window");
    Find(Window)->Form = this;
    BrowserWindow = CreateStandInWindow(Window, StyleChildVisible, BrowserProc);
    Browser = std::make_unique<TStandInBrowser>(BrowserWindow, BrowsersNeverReady);
    Find(BrowserWindow)->Browser = Browser.get();
  }

  ~TStandInFormWindow() override {
    const TWindow Own = Window;
    LetGo();
    if (Own) DestroyWindow(Own);
  }

  TWindow Handle() const override { return Window; }
  TWebBrowser* WebBrowser() override { return Browser.get(); }

  void Show() override {
    if (TWindowRecord* Record = Find(Window)) Record->Style |= StyleVisible;
  }

  void WindowDestroying() override { LetGo(); }

  void KeyDown(uint16_t& Key) {
    try {
      Events.FormKeyDown(Key, HeldShift);
    } catch (...) {
    }
  }

  const TStandInBrowser* Control() const { return Browser.get(); }

  static intptr_t KIV_STDCALL FormProc(TWindow Window, uint32_t Message, uintptr_t WParam,
                                       intptr_t LParam) {
    if (Message == MsgDestroy)
      if (TWindowRecord* Record = Find(Window); Record && Record->Form) Record->Form->LetGo();
    return DefaultProc(Window, Message, WParam, LParam);
  }

  static intptr_t KIV_STDCALL BrowserProc(TWindow Window, uint32_t Message, uintptr_t WParam,
                                          intptr_t LParam) {
    if (Message == MsgNavigated)
      if (TWindowRecord* Record = Find(Window); Record && Record->Browser)
        Record->Browser->DocumentReady();
    return DefaultProc(Window, Message, WParam, LParam);
  }

private:
  void LetGo() {
    if (TWindowRecord* Record = Find(Window)) Record->Form = nullptr;
    if (TWindowRecord* Record = Find(BrowserWindow)) Record->Browser = nullptr;
    Browser.reset();
    Window = BrowserWindow = nullptr;
  }

  TFormWindowEvents& Events;
  TWindow Window = nullptr;
  TWindow BrowserWindow = nullptr;
  std::unique_ptr<TStandInBrowser> Browser;
};

void Dispatch(TMessage Message) {
  if (!Find(Message.Window)) return;
  if (Message.Message == MsgKeyDown) {
    // Key preview: the form around the window sees the key first and may use it up.
    uint16_t Key = static_cast<uint16_t>(Message.WParam);
    for (TWindowRecord* Record = Find(Message.Window); Record; Record = Find(Record->Parent))
      if (Record->Form) {
        Record->Form->KeyDown(Key);
        break;
      }
    if (Key == 0) return;
    TWindowRecord* Record = Find(Message.Window);
    if (!Record) return;
    Message.WParam = Key;
    Record->Keys.push_back(Key);
  }
  const TWindowRecord* Record = Find(Message.Window);
  if (Record)
    CallWindowProc(Record->Proc, Message.Window, Message.Message, Message.WParam, Message.LParam);
}

} // namespace

TWindow GetParent(TWindow Window) {
  const TWindowRecord* Record = Find(Window);
  return Record ? Record->Parent : nullptr;
}

void* GetUserData(TWindow Window) {
  const TWindowRecord* Record = Find(Window);
  return Record ? Record->UserData : nullptr;
}

void SetUserData(TWindow Window, void* Data) {
  if (TWindowRecord* Record = Find(Window)) Record->UserData = Data;
}

TWindowProc SetWindowProc(TWindow Window, TWindowProc Proc) {
  TWindowRecord* Record = Find(Window);
  if (!Record) return nullptr;
  const TWindowProc Previous = Record->Proc;
  Record->Proc = Proc;
  return Previous;
}

intptr_t CallWindowProc(TWindowProc Proc, TWindow Window, uint32_t Message, uintptr_t WParam,
                        intptr_t LParam) {
  return Proc ? Proc(Window, Message, WParam, LParam) : 0;
}

void DestroyWindow(TWindow Window) {
  TWindowRecord* Record = Find(Window);
  if (!Record || Record->Destroying) return;
  Record->Destroying = true;
  CallWindowProc(Record->Proc, Window, MsgDestroy, 0, 0);
  // The children after the parent, as the real window system does.
  std::vector<TWindow> Children;
  for (const auto& [Handle, Child] : Windows)
    if (Child.Parent == Window) Children.push_back(Handle);
  for (TWindow Child : Children)
    DestroyWindow(Child);
  Windows.erase(Window);
  std::erase_if(Queue, [Window](const TMessage& M) { return M.Window == Window; });
}

bool ForwardKey(TWindow Host, uint16_t Key) {
  Post(Host, MsgKeyDown, Key, 0);
  return true;
}

void ProcessMessages() {
  while (!Queue.empty()) {
    const TMessage Message = Queue.front();
    Queue.pop_front();
    Dispatch(Message);
  }
}

void WaitForMessage(int32_t Milliseconds) {
  // Only this thread posts, so an empty queue stays empty.
  if (Queue.empty() && Milliseconds > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

std::unique_ptr<TFormWindow> CreateFormWindow(TWindow Parent, uint32_t Style,
                                              TFormWindowEvents& Events) {
  return std::make_unique<TStandInFormWindow>(Parent, Style, Events);
}

bool HostTestsFileBytes() {
  return true;
}

bool OleInitialize() {
  ++OleCount;
  return true;
}

void OleUninitialize() {
  --OleCount;
}

} // namespace kivPlatform

using namespace kivPlatform;

namespace {
TWindow AsWindow(void* Window) {
  return static_cast<TWindow>(Window);
}
} // namespace

void* kivStandInCreateWindow(void* Parent) {
  return CreateStandInWindow(AsWindow(Parent), Parent ? StyleChildVisible : StyleVisible,
                             DefaultProc);
}

void kivStandInDestroyWindow(void* Window) {
  DestroyWindow(AsWindow(Window));
}

int kivStandInIsWindow(void* Window) {
  return Find(AsWindow(Window)) != nullptr;
}

void* kivStandInGetParent(void* Window) {
  return GetParent(AsWindow(Window));
}

void* kivStandInGetFirstChild(void* Window) {
  for (const auto& [Handle, Record] : Windows)
    if (Record.Parent == AsWindow(Window)) return Handle;
  return nullptr;
}

uint32_t kivStandInGetStyle(void* Window) {
  const TWindowRecord* Record = Find(AsWindow(Window));
  return Record ? Record->Style : 0;
}

void kivStandInSetShiftState(uint32_t Shift) {
  HeldShift = Shift;
}

void kivStandInPostKeyDown(void* Window, uint16_t Key) {
  Post(AsWindow(Window), MsgKeyDown, Key, 0);
}

void kivStandInPostClose(void* Window) {
  Post(AsWindow(Window), MsgClose, 0, 0);
}

void kivStandInProcessMessages() {
  ProcessMessages();
}

size_t kivStandInTakeKeys(void* Window, uint16_t* Keys, size_t MaxKeys) {
  TWindowRecord* Record = Find(AsWindow(Window));
  if (!Record) return 0;
  const size_t Count = Record->Keys.size();
  for (size_t I = 0; I < Count && I < MaxKeys; ++I)
    Keys[I] = Record->Keys[I];
  Record->Keys.clear();
  return Count;
}

int64_t kivStandInPageText(void* Window, char* Buffer, size_t Size) {
  const TWindowRecord* Record = Find(AsWindow(Window));
  if (!Record || !Record->Form || !Record->Form->Control()) return -1;
  const std::optional<std::string>& Page = Record->Form->Control()->Page();
  if (!Page || Page->empty()) return -1;
  if (Buffer && Page->size() <= Size) Page->copy(Buffer, Page->size());
  return static_cast<int64_t>(Page->size());
}

void kivStandInSetBrowserNeverReady(int Never) {
  BrowsersNeverReady = Never != 0;
}

int kivStandInOleCount() {
  return OleCount;
}

int kivStandInStockIconLoads() {
  return StockIconLoads();
}

int kivStandInWindowCount() {
  return static_cast<int>(Windows.size());
}
