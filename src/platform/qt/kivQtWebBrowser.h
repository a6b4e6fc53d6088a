#pragma once
// The browser control of the Qt build: a read-only QTextBrowser that shows the page text handed
// to it. The page is 8-bit Windows-1251 text (the charset it declares) and the control wants
// Unicode.

#include <QTextBrowser>

#include "platform/kivWebBrowser.h"

namespace kivPlatform {

class TQtWebBrowser final : public TWebBrowser {
public:
  // Control stays Qt's: it belongs to the viewer's widget.
  explicit TQtWebBrowser(QTextBrowser& Control);

  // The control shows only the pages handed to it: every URL makes an empty document at once.
  void Navigate(const std::string& URL) override;
  uint32_t ReadyState() override;
  bool LoadDocument(TStream& Stream) override;

private:
  QTextBrowser& Control;
  bool HasDocument = false;
};

} // namespace kivPlatform
