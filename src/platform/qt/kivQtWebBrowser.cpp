#include "platform/qt/kivQtWebBrowser.h"

#include <QTextCodec>
#include <algorithm>
#include <climits>

#include "base/kivException.h"

namespace kivPlatform {

TQtWebBrowser::TQtWebBrowser(QTextBrowser& Control) : Control(Control) {}

void TQtWebBrowser::Navigate(const std::string&) {
  Control.clear();
  HasDocument = true;
}

uint32_t TQtWebBrowser::ReadyState() {
  return HasDocument ? 4 : 0;
}

bool TQtWebBrowser::LoadDocument(TStream& Stream) {
  if (!HasDocument) return false;
  const int64_t Left = std::max<int64_t>(0, Stream.GetSize() - Stream.GetPosition());
  if (Left > INT_MAX) throw Exception("The page is too large to show");
  std::string Text(static_cast<size_t>(Left), '\0');
  Stream.ReadBuffer(Text.data(), Left);
  QTextCodec* Codec = QTextCodec::codecForName("windows-1251");
  if (!Codec) throw Exception("No Windows-1251 codec");
  Control.setHtml(Codec->toUnicode(Text.data(), static_cast<int>(Text.size())));
  return true;
}

} // namespace kivPlatform
