#pragma once
// The web-browser control that shows the report page.

#include <cstdint>
#include <string>

#include "base/kivStream.h"

namespace kivPlatform {

class TWebBrowser {
public:
  TWebBrowser() = default;
  TWebBrowser(const TWebBrowser&) = delete;
  TWebBrowser& operator=(const TWebBrowser&) = delete;
  virtual ~TWebBrowser() = default;

  // Starts loading URL; "about:blank" makes an empty document.
  virtual void Navigate(const std::string& URL) = 0;
  // 3 (interactive) or 4 (complete) once the document exists.
  virtual uint32_t ReadyState() = 0;
  // Replaces the document's content with the text read from Stream's position on. False when
  // there is no document yet; throws when the document cannot load from a stream.
  virtual bool LoadDocument(TStream& Stream) = 0;
};

} // namespace kivPlatform
