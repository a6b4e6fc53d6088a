#include "host/kivMrkWLXMainFormUnit.h"

#include <algorithm>

#include "platform/kivOle.h"

using namespace kivPlatform;

TkivMrkWLXMainForm::TkivMrkWLXMainForm(TWindow ParentWin, const std::string& FileName,
                                       const TkivReportOptions& Options)
    : Options(Options) {
  // OLE belongs to the thread that creates the control, never to the library's load routine.
  OleInitialized = OleInitialize();
  try {
    Window = CreateFormWindow(ParentWin, FormStyle, *this);
  } catch (...) {
    if (OleInitialized) OleUninitialize();
    throw;
  }
  HostWindow = ParentWin;
  HostWindowIsChild = GetParent(ParentWin) != nullptr;
  LoadFile(FileName);
}

TkivMrkWLXMainForm::~TkivMrkWLXMainForm() {
  Segment.reset();
  Window.reset();
  if (OleInitialized) OleUninitialize();
}

TWindow TkivMrkWLXMainForm::Handle() const {
  return Window->Handle();
}

TWebBrowser* TkivMrkWLXMainForm::WebBrowser() const {
  return Window->WebBrowser();
}

void TkivMrkWLXMainForm::Show() {
  Window->Show();
}

void TkivMrkWLXMainForm::WindowDestroying() {
  Window->WindowDestroying();
}

void TkivMrkWLXMainForm::LoadFile(const std::string& FileName) {
  ::LoadFile(
      FileName, Segment, [this](TMemoryStream& Html) { ShowHTML(Html); }, Options);
}

void TkivMrkWLXMainForm::ShowHTML(TMemoryStream& Stream) {
  if (!WebBrowser()) return;
  WebBrowser()->Navigate("about:blank");
  Stream.SetPosition(0);
  // Messages are dispatched while waiting, so the host stays responsive; one of them may
  // destroy the window, which takes the control with it.
  const auto Deadline = std::chrono::steady_clock::now() + ReadyTimeout;
  for (;;) {
    TWebBrowser* Browser = WebBrowser();
    if (!Browser) return;
    if (Browser->ReadyState() >= 3) break;
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
        Deadline - std::chrono::steady_clock::now());
    if (Left.count() <= 0) return;
    WaitForMessage(static_cast<int32_t>(std::min<int64_t>(Left.count(), 50)));
    ProcessMessages();
  }
  WebBrowser()->LoadDocument(Stream);
}

void TkivMrkWLXMainForm::FormKeyDown(uint16_t& Key, TShiftState Shift) {
  if (Shift != 0) return;
  if (Key == KeyEscape) {
    if (ForwardKey(HostWindow, HostWindowIsChild ? KeyTab : KeyEscape)) Key = 0;
    return;
  }
  switch (Key & 0xFF) {
  case '1':
  case '2':
  case '3':
  case '4':
  case '5':
  case '6':
  case '7':
  case 'N':
  case 'P':
    if (ForwardKey(HostWindow, Key)) Key = 0;
    break;
  default:
    break;
  }
}
