// The window system of the Qt build: window handles are QWidget pointers, the viewer is a
// QWidget child of the host's widget, and keys reach the host by going up the widget tree: the
// host takes key events only from the keyboard, so keys cannot be posted to it.

#include <QApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <vector>

#include "base/kivException.h"
#include "platform/kivFormWindow.h"
#include "platform/kivOle.h"
#include "platform/kivPluginHost.h"
#include "platform/kivWindows.h"
#include "platform/qt/kivQtWebBrowser.h"

namespace kivPlatform {
namespace {

QWidget* AsWidget(TWindow Window) {
  return reinterpret_cast<QWidget*>(Window);
}

TWindow AsWindow(QWidget* Widget) {
  return reinterpret_cast<TWindow>(Widget);
}

class TQtFormWindow;
class TQtFormWidget;

// The live viewer widgets: the only handles whose slots are ours, so that a stale handle or one
// of the host's widgets finds nothing.
std::vector<TQtFormWidget*> FormWidgets;

// Set by ForwardKey when it leaves a key to go up to the host by itself.
bool KeyLeftToHost = false;

intptr_t KIV_STDCALL FormProc(TWindow Window, uint32_t Message, uintptr_t WParam, intptr_t LParam);

// The Windows key code of the keys the viewer may hand to the host (escape, digits, letters);
// 0 for the others, which the viewer leaves alone.
uint16_t KeyCode(const QKeyEvent& Event) {
  if (Event.modifiers() & Qt::KeypadModifier) return 0;
  const int Key = Event.key();
  if (Key == Qt::Key_Escape) return KeyEscape;
  // Qt names these keys by their Latin character, letters in capitals, as Windows does.
  if ((Key >= Qt::Key_0 && Key <= Qt::Key_9) || (Key >= Qt::Key_A && Key <= Qt::Key_Z))
    return static_cast<uint16_t>(Key);
  return 0;
}

TShiftState ShiftState(const QKeyEvent& Event) {
  const Qt::KeyboardModifiers Modifiers = Event.modifiers();
  const Qt::MouseButtons Buttons = QGuiApplication::mouseButtons();
  TShiftState Shift = 0;
  if (Modifiers & Qt::ShiftModifier) Shift |= ssShift;
  if (Modifiers & Qt::AltModifier) Shift |= ssAlt;
  if (Modifiers & Qt::ControlModifier) Shift |= ssCtrl;
  if (Buttons & Qt::LeftButton) Shift |= ssLeft;
  if (Buttons & Qt::RightButton) Shift |= ssRight;
  if (Buttons & Qt::MiddleButton) Shift |= ssMiddle;
  return Shift;
}

// The viewer's widget: the browser control fills it, it covers its parent and follows the
// parent's size, and it sees the keys typed into the control first.
class TQtFormWidget final : public QWidget {
public:
  TQtFormWidget(QWidget& Parent, TQtFormWindow& Owner);
  ~TQtFormWidget() override;

  QTextBrowser& Control() { return *Browser; }

  // Null once the form window has let go of the widget.
  TQtFormWindow* Owner;
  void* UserData = nullptr;
  TWindowProc Proc = FormProc;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

private:
  bool PreviewKey(QKeyEvent& Event);

  QTextBrowser* Browser;
  // A key the control may have but the host must not: it ends here if the control leaves it.
  const QKeyEvent* Kept = nullptr;
};

TQtFormWidget* FindForm(TWindow Window) {
  const auto It = std::find_if(FormWidgets.begin(), FormWidgets.end(),
                               [Window](QWidget* Form) { return AsWindow(Form) == Window; });
  return It == FormWidgets.end() ? nullptr : *It;
}

class TQtFormWindow final : public TFormWindow {
public:
  TQtFormWindow(QWidget& Parent, TFormWindowEvents& Events) : Events(Events) {
    // The parent widget owns its children, as Qt has it.
    Widget = new TQtFormWidget(Parent, *this);
    Browser = std::make_unique<TQtWebBrowser>(Widget->Control());
  }

  ~TQtFormWindow() override {
    QWidget* Own = Widget;
    LetGo();
    // Once the application object is gone (a viewer still open at process exit) widgets
    // cannot be deleted any more; the process's end takes them.
    if (Own && QCoreApplication::instance()) delete Own;
  }

  TWindow Handle() const override { return AsWindow(Widget); }
  TWebBrowser* WebBrowser() override { return Browser.get(); }

  void Show() override {
    if (!Widget) return;
    Widget->show();
    Widget->raise();
  }

  void WindowDestroying() override { LetGo(); }

  void KeyDown(uint16_t& Key, TShiftState Shift) {
    try {
      Events.FormKeyDown(Key, Shift);
    } catch (...) {
    }
  }

  // Forgets the widget and the control without deleting them.
  void LetGo() {
    if (Widget) Widget->Owner = nullptr;
    Browser.reset();
    Widget = nullptr;
  }

private:
  TFormWindowEvents& Events;
  TQtFormWidget* Widget = nullptr;
  std::unique_ptr<TQtWebBrowser> Browser;
};

TQtFormWidget::TQtFormWidget(QWidget& Parent, TQtFormWindow& Owner)
    : QWidget(&Parent), Owner(&Owner), Browser(new QTextBrowser(this)) {
  setObjectName("TkivMrkWLXMainForm");
  Browser->setObjectName("WebBrowser");
  // Links are not followed inside the viewer.
  Browser->setOpenLinks(false);
  Browser->setOpenExternalLinks(false);
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->addWidget(Browser);
  setFocusProxy(Browser);
  Browser->installEventFilter(this);
  Parent.installEventFilter(this);
  setGeometry(Parent.rect());
  FormWidgets.push_back(this);
}

// Whoever deletes the widget, the viewer closing or the host deleting its own widgets, the
// window procedure sees the destroy message while the widget and its control still exist.
TQtFormWidget::~TQtFormWidget() {
  try {
    CallWindowProc(Proc, AsWindow(this), MsgDestroy, 0, 0);
  } catch (...) {
  }
  std::erase(FormWidgets, this);
}

bool TQtFormWidget::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == parentWidget() && Event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
  } else if (Watched == Browser && Event->type() == QEvent::KeyPress) {
    return PreviewKey(*static_cast<QKeyEvent*>(Event));
  } else if (Watched == Browser && Event->type() == QEvent::ShortcutOverride) {
    // Escape is the viewer's, not a shortcut of the host's.
    auto* Key = static_cast<QKeyEvent*>(Event);
    if (Key->key() == Qt::Key_Escape && Key->modifiers() == Qt::NoModifier) {
      Key->accept();
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}

// True stops the control from seeing the key; an ignored event goes on up to the host.
bool TQtFormWidget::PreviewKey(QKeyEvent& Event) {
  Kept = nullptr;
  uint16_t Key = KeyCode(Event);
  if (Key == 0 || !Owner) return false;
  KeyLeftToHost = false;
  Owner->KeyDown(Key, ShiftState(Event));
  if (Key == 0) {
    Event.accept();
    return true;
  }
  if (KeyLeftToHost) {
    Event.ignore();
    return true;
  }
  Kept = &Event;
  return false;
}

void TQtFormWidget::keyPressEvent(QKeyEvent* Event) {
  if (Event == Kept)
    Event->accept();
  else
    Event->ignore();
  Kept = nullptr;
}

intptr_t KIV_STDCALL FormProc(TWindow Window, uint32_t Message, uintptr_t, intptr_t) {
  if (Message == MsgDestroy)
    if (TQtFormWidget* Form = FindForm(Window); Form && Form->Owner) Form->Owner->LetGo();
  return 0;
}

void CloseLater(QWidget& Window) {
  QMetaObject::invokeMethod(&Window, "close", Qt::QueuedConnection);
}

// The next widget after Host in its window's tab order that the user could tab to, outside
// Host (the viewer) and the widgets that hold Host; none when the viewer is all its window has.
QWidget* NextFocus(QWidget& Host) {
  for (QWidget* W = Host.nextInFocusChain(); W && W != &Host; W = W->nextInFocusChain())
    if (W->window() == Host.window() && !Host.isAncestorOf(W) && !W->isAncestorOf(&Host) &&
        (W->focusPolicy() & Qt::TabFocus) && W->isVisible() && W->isEnabled())
      return W;
  return nullptr;
}

} // namespace

TWindow GetParent(TWindow Window) {
  return Window ? AsWindow(AsWidget(Window)->parentWidget()) : nullptr;
}

void* GetUserData(TWindow Window) {
  const TQtFormWidget* Form = FindForm(Window);
  return Form ? Form->UserData : nullptr;
}

void SetUserData(TWindow Window, void* Data) {
  if (TQtFormWidget* Form = FindForm(Window)) Form->UserData = Data;
}

TWindowProc SetWindowProc(TWindow Window, TWindowProc Proc) {
  TQtFormWidget* Form = FindForm(Window);
  if (!Form) return nullptr;
  const TWindowProc Previous = Form->Proc;
  Form->Proc = Proc;
  return Previous;
}

intptr_t CallWindowProc(TWindowProc Proc, TWindow Window, uint32_t Message, uintptr_t WParam,
                        intptr_t LParam) {
  return Proc ? Proc(Window, Message, WParam, LParam) : 0;
}

// Only the viewer's own widgets: the host's are the host's to delete.
void DestroyWindow(TWindow Window) {
  delete FindForm(Window);
}

bool ForwardKey(TWindow Host, uint16_t Key) {
  QWidget* Widget = AsWidget(Host);
  if (!Widget) return false;
  switch (Key) {
  case KeyEscape:
    // The host's widget is a window of its own; closing it makes the host close the viewer.
    CloseLater(*Widget->window());
    return true;
  case KeyTab:
    // The focus goes back to the host, the next of its widgets in the tab order; where the
    // window holds nothing but the viewer, it is a viewer window, and escape closes it.
    if (QWidget* Next = NextFocus(*Widget))
      Next->setFocus(Qt::TabFocusReason);
    else
      CloseLater(*Widget->window());
    return true;
  default:
    KeyLeftToHost = true;
    return false;
  }
}

void ProcessMessages() {
  QCoreApplication::processEvents();
}

void WaitForMessage(int32_t Milliseconds) {
  if (Milliseconds <= 0) return;
  // The timer's event ends the wait when nothing else arrives first.
  QTimer Timer;
  Timer.setSingleShot(true);
  Timer.start(Milliseconds);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

std::unique_ptr<TFormWindow> CreateFormWindow(TWindow Parent, uint32_t, TFormWindowEvents& Events) {
  QWidget* Host = AsWidget(Parent);
  if (!Host) throw Exception("Cannot create the viewer window without a parent");
  // Widgets need the host's application object, on its thread; the plug-in makes none.
  const QCoreApplication* App = QCoreApplication::instance();
  if (!qobject_cast<const QApplication*>(App) || QThread::currentThread() != App->thread())
    throw Exception("Cannot create the viewer window outside the host's Qt application");
  return std::make_unique<TQtFormWindow>(*Host, Events);
}

bool HostTestsFileBytes() {
  return false;
}

// The control needs no OLE.
bool OleInitialize() {
  return false;
}

void OleUninitialize() {}

} // namespace kivPlatform
