#pragma once
// The system's web-browser control, hosted in a minimal OLE container of our own.

#include <windows.h>

#include <memory>

#include "platform/kivWebBrowser.h"

namespace kivPlatform {

class TWin32WebBrowser : public TWebBrowser {
public:
  // Follows the client area of the window that holds the control.
  virtual void Resize(int Width, int Height) = 0;
  // Gives the control the keyboard focus.
  virtual void Focus() = 0;
};

// The control in place in Parent, filling its client area; null when the system cannot
// create it. OLE must be initialised on the calling thread.
std::unique_ptr<TWin32WebBrowser> CreateWin32WebBrowser(HWND Parent);

} // namespace kivPlatform
