#pragma once
// The viewer window: a child of the host's viewer window whose browser control shows the report
// page of one segment file, and which hands the host's own shortcut keys back to the host.

#include <chrono>
#include <memory>
#include <string>

#include "framework/kivInfo.h"
#include "host/kivReportPipeline.h"
#include "platform/kivFormWindow.h"

class TkivMrkWLXMainForm final : private kivPlatform::TFormWindowEvents {
public:
  // Child window plus maximised: the form covers its parent's client area.
  static constexpr uint32_t FormStyle = 0x41000000;
  // How long ShowHTML waits for the browser control: the system's control is ready within a
  // fraction of this, and a control that never becomes ready must not hold the host for long.
  static constexpr std::chrono::milliseconds ReadyTimeout{3000};

  // Creates the window as a child of ParentWin and shows FileName's report, written as Options
  // say, in it. Throws when the window cannot be created.
  TkivMrkWLXMainForm(kivPlatform::TWindow ParentWin, const std::string& FileName,
                     const TkivReportOptions& Options = {});
  // Frees the segment (and with it the thumbnail files), then the control and the window.
  ~TkivMrkWLXMainForm();
  TkivMrkWLXMainForm(const TkivMrkWLXMainForm&) = delete;
  TkivMrkWLXMainForm& operator=(const TkivMrkWLXMainForm&) = delete;

  // The form's window; null once the window system has destroyed it.
  kivPlatform::TWindow Handle() const;
  kivPlatform::TWebBrowser* WebBrowser() const;
  void Show();

  // The report pipeline: never lets an exception escape.
  void LoadFile(const std::string& FileName);
  // Displays the page text of Stream in the browser control.
  void ShowHTML(TMemoryStream& Stream);
  void FormKeyDown(uint16_t& Key, kivPlatform::TShiftState Shift) override;
  // The window is being destroyed by the window system right now.
  void WindowDestroying();

  kivPlatform::TWindow HostWindow = nullptr;
  bool HostWindowIsChild = false;
  std::unique_ptr<TkivSegment> Segment;
  TkivReportOptions Options;

private:
  bool OleInitialized = false;
  std::unique_ptr<kivPlatform::TFormWindow> Window;
};
