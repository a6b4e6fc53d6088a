#pragma once
// The viewer's own window: a child of the host's window, filled by a web-browser control, that
// sees the keys typed anywhere inside it before the control that has the focus does.

#include <memory>

#include "platform/kivWebBrowser.h"
#include "platform/kivWindows.h"

namespace kivPlatform {

class TFormWindowEvents {
public:
  // Called for each key pressed inside the window; setting Key to 0 uses the key up.
  virtual void FormKeyDown(uint16_t& Key, TShiftState Shift) = 0;

protected:
  ~TFormWindowEvents() = default;
};

class TFormWindow {
public:
  TFormWindow() = default;
  TFormWindow(const TFormWindow&) = delete;
  TFormWindow& operator=(const TFormWindow&) = delete;
  // Closes the control and destroys the window, unless the window is gone already.
  virtual ~TFormWindow() = default;

  // Null once the window is gone.
  virtual TWindow Handle() const = 0;
  // The control; null when it could not be created or the window is gone.
  virtual TWebBrowser* WebBrowser() = 0;
  // Makes the window visible in front of its siblings.
  virtual void Show() = 0;
  // The window system is destroying the window right now (its destroy message was taken by
  // another procedure): let go of the control and of the window without destroying it again.
  virtual void WindowDestroying() = 0;
};

// Creates the window with exactly Style as a child of Parent, covering Parent's client area.
// Throws when the window cannot be created.
std::unique_ptr<TFormWindow> CreateFormWindow(TWindow Parent, uint32_t Style,
                                              TFormWindowEvents& Events);

} // namespace kivPlatform
