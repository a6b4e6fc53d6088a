// The window system on Windows: user32, the viewer's own window class, key preview through a
// message hook of the thread, and OLE.

#include <windows.h>

// Our own function names, not the Windows macros.
#undef CallWindowProc

#include <algorithm>
#include <vector>

#include "base/kivException.h"
#include "platform/kivFormWindow.h"
#include "platform/kivOle.h"
#include "platform/kivPluginHost.h"
#include "platform/kivWindows.h"
#include "platform/win32/kivWin32WebBrowser.h"

namespace kivPlatform {
namespace {

HWND AsHandle(TWindow Window) {
  return reinterpret_cast<HWND>(Window);
}

TWindow AsWindow(HWND Window) {
  return reinterpret_cast<TWindow>(Window);
}

const wchar_t FormClassName[] = L"TkivMrkWLXMainForm";

HINSTANCE ThisModule() {
  HMODULE Module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &Module);
  return Module;
}

TShiftState HeldShift() {
  const struct {
    int Key;
    TShiftState Shift;
  } Keys[] = {{VK_SHIFT, ssShift},  {VK_MENU, ssAlt},      {VK_CONTROL, ssCtrl},
              {VK_LBUTTON, ssLeft}, {VK_RBUTTON, ssRight}, {VK_MBUTTON, ssMiddle}};
  TShiftState Shift = 0;
  for (const auto& K : Keys)
    if (GetKeyState(K.Key) < 0) Shift |= K.Shift;
  return Shift;
}

class TWin32FormWindow;

// The live viewer windows of this thread, and the hook that shows them their keys.
std::vector<TWin32FormWindow*> Forms;
HHOOK KeyHook = nullptr;

LRESULT CALLBACK FormProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
LRESULT CALLBACK GetMessageHook(int Code, WPARAM WParam, LPARAM LParam);

class TWin32FormWindow final : public TFormWindow {
public:
  TWin32FormWindow(HWND Parent, uint32_t Style, TFormWindowEvents& Events) : Events(Events) {
    RECT Client{};
    GetClientRect(Parent, &Client);
    RegisterFormClass();
    Window = CreateWindowExW(0, FormClassName, L"", Style, 0, 0, Client.right, Client.bottom,
                             Parent, nullptr, ThisModule(), this);
    if (!Window) throw Exception("Cannot create the viewer window");
    Forms.push_back(this);
    if (!KeyHook)
      KeyHook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
    Browser = CreateWin32WebBrowser(Window);
  }

  ~TWin32FormWindow() override {
    const HWND Own = Window;
    LetGo();
    if (Own) DestroyWindow(Own);
    if (Forms.empty()) UnregisterClassW(FormClassName, ThisModule());
  }

  TWindow Handle() const override { return AsWindow(Window); }
  TWebBrowser* WebBrowser() override { return Browser.get(); }

  void Show() override {
    ShowWindow(Window, SW_SHOW);
    SetWindowPos(Window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }

  void WindowDestroying() override { LetGo(); }

  bool Contains(HWND Other) const { return Other == Window || IsChild(Window, Other); }

  void KeyDown(uint16_t& Key) {
    try {
      Events.FormKeyDown(Key, HeldShift());
    } catch (...) {
    }
  }

  // The messages of the window's own procedure.
  bool OwnMessage(UINT Message, LPARAM LParam) {
    switch (Message) {
    case WM_SIZE:
      if (Browser) Browser->Resize(LOWORD(LParam), HIWORD(LParam));
      return true;
    case WM_SETFOCUS:
      if (Browser) Browser->Focus();
      return true;
    case WM_DESTROY:
      LetGo();
      return true;
    default:
      return false;
    }
  }

private:
  static void RegisterFormClass() {
    WNDCLASSEXW Class{};
    Class.cbSize = sizeof Class;
    Class.style = CS_DBLCLKS;
    Class.lpfnWndProc = FormProc;
    Class.cbWndExtra = sizeof(void*);
    Class.hInstance = ThisModule();
    Class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Class.lpszClassName = FormClassName;
    // Still registered when the last window went through its destroy message.
    RegisterClassExW(&Class);
  }

  // Closes the control and forgets the window.
  void LetGo() {
    if (!Window) return;
    SetWindowLongPtrW(Window, 0, 0);
    Browser.reset();
    Window = nullptr;
    Forms.erase(std::find(Forms.begin(), Forms.end(), this));
    if (Forms.empty() && KeyHook) {
      UnhookWindowsHookEx(KeyHook);
      KeyHook = nullptr;
    }
  }

  TFormWindowEvents& Events;
  HWND Window = nullptr;
  std::unique_ptr<TWin32WebBrowser> Browser;
};

LRESULT CALLBACK FormProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE)
    SetWindowLongPtrW(
        Window, 0,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams));
  auto* Form = reinterpret_cast<TWin32FormWindow*>(GetWindowLongPtrW(Window, 0));
  if (Form && Form->OwnMessage(Message, LParam)) return 0;
  return DefWindowProcW(Window, Message, WParam, LParam);
}

// Key preview: the keys typed anywhere inside a viewer window, the browser control's own
// windows included, go to the viewer first; a key it uses up goes no further.
LRESULT CALLBACK GetMessageHook(int Code, WPARAM WParam, LPARAM LParam) {
  auto* Msg = reinterpret_cast<MSG*>(LParam);
  if (Code == HC_ACTION && WParam == PM_REMOVE &&
      (Msg->message == WM_KEYDOWN || Msg->message == WM_SYSKEYDOWN)) {
    for (TWin32FormWindow* Form : Forms)
      if (Form->Contains(Msg->hwnd)) {
        auto Key = static_cast<uint16_t>(Msg->wParam);
        Form->KeyDown(Key);
        if (Key == 0)
          Msg->message = WM_NULL;
        else
          Msg->wParam = Key;
        break;
      }
  }
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

} // namespace

TWindow GetParent(TWindow Window) {
  return AsWindow(::GetParent(AsHandle(Window)));
}

void* GetUserData(TWindow Window) {
  return reinterpret_cast<void*>(GetWindowLongPtrW(AsHandle(Window), GWLP_USERDATA));
}

void SetUserData(TWindow Window, void* Data) {
  SetWindowLongPtrW(AsHandle(Window), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Data));
}

TWindowProc SetWindowProc(TWindow Window, TWindowProc Proc) {
  return reinterpret_cast<TWindowProc>(
      SetWindowLongPtrW(AsHandle(Window), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
}

intptr_t CallWindowProc(TWindowProc Proc, TWindow Window, uint32_t Message, uintptr_t WParam,
                        intptr_t LParam) {
  return CallWindowProcW(reinterpret_cast<WNDPROC>(Proc), AsHandle(Window), Message, WParam,
                         LParam);
}

void DestroyWindow(TWindow Window) {
  ::DestroyWindow(AsHandle(Window));
}

bool ForwardKey(TWindow Host, uint16_t Key) {
  PostMessageW(AsHandle(Host), WM_KEYDOWN, Key, 0);
  return true;
}

void ProcessMessages() {
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
    if (Msg.message == WM_QUIT) {
      // The host's own message loop must still see it.
      PostQuitMessage(static_cast<int>(Msg.wParam));
      return;
    }
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
}

void WaitForMessage(int32_t Milliseconds) {
  MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::max(Milliseconds, 0)),
                              QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

std::unique_ptr<TFormWindow> CreateFormWindow(TWindow Parent, uint32_t Style,
                                              TFormWindowEvents& Events) {
  return std::make_unique<TWin32FormWindow>(AsHandle(Parent), Style, Events);
}

bool HostTestsFileBytes() {
  return true;
}

bool OleInitialize() {
  return SUCCEEDED(::OleInitialize(nullptr));
}

void OleUninitialize() {
  ::OleUninitialize();
}

} // namespace kivPlatform
