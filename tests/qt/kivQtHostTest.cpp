// The Qt plug-in inside a test host that behaves as the host file manager's Qt build does: the
// viewer's parent is the viewport of a scroll area, the host's own shortcuts take the keys that
// come up to its window from the keyboard, and closing a viewer window calls ListCloseWindow.

#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QProcess>
#include <QScrollArea>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <cstring>
#include <vector>

#include "host/kivMrkWLX.h"

namespace {

struct TPlugin {
  void* Library = nullptr;
  decltype(&ListGetDetectString) GetDetectString = nullptr;
  decltype(&ListLoad) Load = nullptr;
  decltype(&ListCloseWindow) CloseWindow = nullptr;
  decltype(&ListSetDefaultParams) SetDefaultParams = nullptr;

  bool Open() {
    Library = dlopen(KIV_QT_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    if (!Library) return false;
    GetDetectString =
        reinterpret_cast<decltype(GetDetectString)>(dlsym(Library, "ListGetDetectString"));
    Load = reinterpret_cast<decltype(Load)>(dlsym(Library, "ListLoad"));
    CloseWindow = reinterpret_cast<decltype(CloseWindow)>(dlsym(Library, "ListCloseWindow"));
    SetDefaultParams =
        reinterpret_cast<decltype(SetDefaultParams)>(dlsym(Library, "ListSetDefaultParams"));
    return GetDetectString && Load && CloseWindow && SetDefaultParams;
  }
};

TPlugin Plugin;

kivPlatform::TWindow AsHandle(QWidget* Widget) {
  return reinterpret_cast<kivPlatform::TWindow>(Widget);
}

QString Sample(const char* Name) {
  return QStringLiteral(KIV_SAMPLES_DIR "/") + QString::fromLatin1(Name);
}

// A window of the host: a viewer window of its own, or the main window whose quick view sits
// beside a file panel.
class THost : public QMainWindow {
public:
  explicit THost(bool Embedded) {
    Area = new QScrollArea;
    if (Embedded) {
      auto* Splitter = new QSplitter;
      Panel = new QListWidget;
      Panel->addItems({"a.MRK", "b.MRK"});
      Splitter->addWidget(Panel);
      Splitter->addWidget(Area);
      setCentralWidget(Splitter);
    } else {
      setCentralWidget(Area);
    }
    resize(640, 480);
  }

  QWidget* ParentWin() const { return Area->viewport(); }

  QWidget* Load(const QString& File) {
    QByteArray Name = QFile::encodeName(File);
    Viewer = reinterpret_cast<QWidget*>(Plugin.Load(AsHandle(ParentWin()), Name.data(), 0));
    return Viewer;
  }

  QPointer<QWidget> Viewer;
  QListWidget* Panel = nullptr;
  // The keys and modifiers that came up to the window.
  std::vector<int> Keys;

protected:
  // Only events from the keyboard, which carry the key's scan code: a key event made up by
  // a plug-in is not the user's.
  void keyPressEvent(QKeyEvent* Event) override {
    if (Event->nativeScanCode() != 0)
      Keys.push_back(Event->key() | static_cast<int>(Event->modifiers()));
  }

  void closeEvent(QCloseEvent* Event) override {
    if (Viewer) Plugin.CloseWindow(AsHandle(Viewer));
    QMainWindow::closeEvent(Event);
  }

private:
  QScrollArea* Area;
};

// Types a key into Widget as the keyboard does: the events carry a scan code, and what the
// widget leaves goes up to its parents.
void Type(QWidget* Widget, int Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
  constexpr quint32 ScanCode = 57;
  QKeyEvent Press(QEvent::KeyPress, Key, Modifiers, ScanCode, 0, 0);
  QApplication::sendEvent(Widget, &Press);
  QKeyEvent Release(QEvent::KeyRelease, Key, Modifiers, ScanCode, 0, 0);
  QApplication::sendEvent(Widget, &Release);
}

// Shows Host as the active window, as it is when the user types.
bool Activate(THost& Host) {
  Host.show();
  if (!QTest::qWaitForWindowExposed(&Host)) return false;
  Host.activateWindow();
  return QTest::qWaitForWindowActive(&Host);
}

// The thumbnail of samples/jfif-thumbnail.MRK, read from the file's bytes: the JFIF header's
// thumbnail width and height, then its RGB pixels row by row.
QImage SampleThumbnail() {
  QFile File(Sample("jfif-thumbnail.MRK"));
  if (!File.open(QIODevice::ReadOnly)) return {};
  const QByteArray Bytes = File.readAll();
  const int Width = static_cast<uint8_t>(Bytes[16]), Height = static_cast<uint8_t>(Bytes[17]);
  if (Bytes.size() < 18 + Width * Height * 3) return {};
  QImage Picture(Width, Height, QImage::Format_RGB32);
  const auto* Rgb = reinterpret_cast<const uint8_t*>(Bytes.constData()) + 18;
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width; ++X, Rgb += 3)
      Picture.setPixel(X, Y, qRgb(Rgb[0], Rgb[1], Rgb[2]));
  return Picture;
}

bool Contains(const QImage& Shot, const QImage& Picture) {
  for (int Y = 0; Y + Picture.height() <= Shot.height(); ++Y)
    for (int X = 0; X + Picture.width() <= Shot.width(); ++X) {
      bool Same = true;
      for (int V = 0; Same && V < Picture.height(); ++V)
        for (int U = 0; Same && U < Picture.width(); ++U)
          Same = Shot.pixel(X + U, Y + V) == Picture.pixel(U, V);
      if (Same) return true;
    }
  return false;
}

} // namespace

class TQtHostTest : public QObject {
  Q_OBJECT

  QTemporaryDir Temp;

  int Thumbnails() const {
    return static_cast<int>(QDir(Temp.path()).entryList({"kivBMP*.bmp"}, QDir::Files).size());
  }

  QString WriteFile(const QString& Name, const QByteArray& Bytes) {
    const QString Path = Temp.filePath(Name);
    QFile File(Path);
    if (!File.open(QIODevice::WriteOnly) || File.write(Bytes) != Bytes.size()) return {};
    return Path;
  }

private slots:
  void initTestCase() {
    QVERIFY(Temp.isValid());
    qputenv("TMPDIR", QFile::encodeName(Temp.path()));
    QVERIFY2(Plugin.Open(), dlerror());
  }

  void init() { QCOMPARE(Thumbnails(), 0); }

  // The host's parser knows no byte tests; ListLoad makes the byte test instead.
  void detectStringIsTheExtension() {
    char Buffer[64];
    std::memset(Buffer, '#', sizeof Buffer);
    Plugin.GetDetectString(Buffer, sizeof Buffer);
    QCOMPARE(QByteArray(Buffer), QByteArray("EXT=\"MRK\""));
    Plugin.GetDetectString(Buffer, 4);
    QCOMPARE(QByteArray(Buffer), QByteArray("EXT"));
  }

  void theViewerIsAVisibleChildThatFollowsItsParent() {
    THost Host(false);
    Host.show();
    QWidget* Viewer = Host.Load(Sample("jfif-thumbnail.MRK"));
    QVERIFY(Viewer);
    QCOMPARE(Viewer->parentWidget(), Host.ParentWin());
    QVERIFY(Viewer->isVisible());
    QCOMPARE(Viewer->geometry(), Host.ParentWin()->rect());
    const QSize Before = Host.ParentWin()->size();
    Host.resize(520, 410);
    QTRY_VERIFY(Host.ParentWin()->size() != Before);
    QTRY_COMPARE(Viewer->geometry(), Host.ParentWin()->rect());

    auto* Browser = Viewer->findChild<QTextBrowser*>();
    QVERIFY(Browser);
    QVERIFY(Browser->isReadOnly());
    QVERIFY(!Browser->openLinks());
    QVERIFY(!Browser->openExternalLinks());
    QTRY_COMPARE(Browser->size(), Viewer->size());
    QVERIFY(Browser->toPlainText().startsWith("JFIF segment\nSegment size: 4626"));
    QCOMPARE(Thumbnails(), 1);
    // The host gives the viewer the focus; the control takes it.
    Viewer->setFocus();
    QCOMPARE(Host.focusWidget(), Browser);
  }

  // The page is Windows-1251 text; the control shows its characters.
  void thePageTextIsConvertedToUnicode() {
    // A comment segment: "Жёлтый №5" in Windows-1251.
    const QString File =
        WriteFile("cyrillic.MRK", QByteArray::fromHex("FFFE000BC6B8EBF2FBE920B935"));
    THost Host(false);
    QWidget* Viewer = Host.Load(File);
    QVERIFY(Viewer);
    const QString Text = Viewer->findChild<QTextBrowser*>()->toPlainText();
    QVERIFY2(
        Text.contains(QStringLiteral("Comment:\n\u0416\u0451\u043B\u0442\u044B\u0439 \u21165")),
        qPrintable(Text));
  }

  void keysForTheHostGoUpToIt_data() {
    QTest::addColumn<int>("Key");
    QTest::addColumn<int>("Modifiers");
    QTest::addColumn<bool>("Embedded");
    QTest::addColumn<bool>("AtHost");
    const struct {
      const char* Name;
      int Key, Modifiers;
      bool Embedded, AtHost;
    } Cases[] = {
        {"1", Qt::Key_1, 0, false, true},
        {"2", Qt::Key_2, 0, false, true},
        {"3", Qt::Key_3, 0, true, true},
        {"4", Qt::Key_4, 0, false, true},
        {"5", Qt::Key_5, 0, false, true},
        {"6", Qt::Key_6, 0, false, true},
        {"7", Qt::Key_7, 0, true, true},
        {"N", Qt::Key_N, 0, false, true},
        {"P", Qt::Key_P, 0, true, true},
        {"Shift+N", Qt::Key_N, Qt::ShiftModifier, false, false},
        {"Ctrl+1", Qt::Key_1, Qt::ControlModifier, false, false},
        {"Alt+P", Qt::Key_P, Qt::AltModifier, true, false},
        {"Ctrl+Escape", Qt::Key_Escape, Qt::ControlModifier, false, false},
        {"8", Qt::Key_8, 0, false, false},
        {"A", Qt::Key_A, 0, false, false},
        // Keys the viewer knows nothing of go on to the host's other shortcuts.
        {"keypad 1", Qt::Key_1, Qt::KeypadModifier, false, true},
        {"F2", Qt::Key_F2, 0, false, true},
    };
    for (const auto& Case : Cases)
      QTest::newRow(Case.Name) << Case.Key << Case.Modifiers << Case.Embedded << Case.AtHost;
  }

  void keysForTheHostGoUpToIt() {
    QFETCH(int, Key);
    QFETCH(int, Modifiers);
    QFETCH(bool, Embedded);
    QFETCH(bool, AtHost);
    THost Host(Embedded);
    QVERIFY(Activate(Host));
    QWidget* Viewer = Host.Load(Sample("jfif-thumbnail.MRK"));
    QVERIFY(Viewer);
    Viewer->setFocus();
    QWidget* Focus = QApplication::focusWidget();
    QCOMPARE(Focus, Viewer->findChild<QTextBrowser*>());
    Type(Focus, Key, Qt::KeyboardModifiers(Modifiers));
    QCoreApplication::processEvents();
    QCOMPARE(Host.Keys, AtHost ? std::vector<int>{Key | Modifiers} : std::vector<int>{});
    QVERIFY(Host.isVisible());
    QVERIFY(Host.Viewer);
  }

  void escapeClosesAStandAloneViewerWindow() {
    THost Host(false);
    QVERIFY(Activate(Host));
    QPointer<QWidget> Viewer = Host.Load(Sample("jfif-thumbnail.MRK"));
    QVERIFY(Viewer);
    Viewer->setFocus();
    Type(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!Host.isVisible());
    QVERIFY(Viewer.isNull());
    QCOMPARE(Thumbnails(), 0);
    QCOMPARE(Host.Keys, std::vector<int>{});
  }

  void escapeInAQuickViewGivesTheFocusBack() {
    THost Host(true);
    QVERIFY(Activate(Host));
    QPointer<QWidget> Viewer = Host.Load(Sample("jfif-thumbnail.MRK"));
    QVERIFY(Viewer);
    Viewer->setFocus();
    Type(QApplication::focusWidget(), Qt::Key_Escape);
    QTest::qWait(50);
    QVERIFY(Host.isVisible());
    QVERIFY(Viewer);
    QCOMPARE(QApplication::focusWidget(), Host.Panel);
    QCOMPARE(Host.Keys, std::vector<int>{});
  }

  void eitherWayOfClosingFreesTheFormOnce_data() {
    QTest::addColumn<bool>("CloseFirst");
    QTest::newRow("ListCloseWindow, then the host's deletion") << true;
    QTest::newRow("the host's deletion alone") << false;
  }

  void eitherWayOfClosingFreesTheFormOnce() {
    QFETCH(bool, CloseFirst);
    auto* Host = new THost(true);
    Host->show();
    QPointer<QWidget> Viewer = Host->Load(Sample("jfif-thumbnail.MRK"));
    QVERIFY(Viewer);
    int Destroyed = 0;
    connect(Viewer, &QObject::destroyed, [&Destroyed] { ++Destroyed; });
    QCOMPARE(Thumbnails(), 1);
    // A handle that is not a viewer's is left alone.
    Plugin.CloseWindow(AsHandle(Host->ParentWin()));
    Plugin.CloseWindow(nullptr);
    QVERIFY(Viewer);
    if (CloseFirst) {
      const kivPlatform::TWindow Handle = AsHandle(Viewer);
      Plugin.CloseWindow(Handle);
      QVERIFY(Viewer.isNull());
      QCOMPARE(Thumbnails(), 0);
      // A second close of the same handle finds nothing to do.
      Plugin.CloseWindow(Handle);
    }
    delete Host;
    QVERIFY(Viewer.isNull());
    QCOMPARE(Destroyed, 1);
    QCOMPARE(Thumbnails(), 0);
  }

  // The host then shows the file with its own viewer.
  void aFileWithoutTheMarkerGetsNoViewer_data() {
    QTest::addColumn<QByteArray>("Bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("JFIF");
    QTest::newRow("0xFE first") << QByteArray::fromHex("FEFF0002");
    QTest::newRow("missing") << QByteArray("(missing)");
  }

  void aFileWithoutTheMarkerGetsNoViewer() {
    QFETCH(QByteArray, Bytes);
    const QString File =
        Bytes == "(missing)" ? Temp.filePath("missing.MRK") : WriteFile("plain.MRK", Bytes);
    THost Host(false);
    const auto Before = Host.ParentWin()->findChildren<QWidget*>().size();
    QCOMPARE(Host.Load(File), nullptr);
    QCOMPARE(Host.ParentWin()->findChildren<QWidget*>().size(), Before);
    // Nothing else keeps a file from the viewer: a lone marker byte is shown.
    QVERIFY(Host.Load(WriteFile("marker.MRK", QByteArray::fromHex("FF"))));
  }

  void noViewerWithoutAParent() {
    char Name[] = KIV_SAMPLES_DIR "/jfif-thumbnail.MRK";
    QCOMPARE(Plugin.Load(nullptr, Name, 0), nullptr);
    QCOMPARE(Thumbnails(), 0);
  }

  // What the user sees: the thumbnail's own pixels in the picture of the viewer.
  void thePageIsDrawnWithItsThumbnail() {
    const QImage Thumbnail = SampleThumbnail();
    QCOMPARE(Thumbnail.size(), QSize(48, 32));
    THost Host(false);
    Host.setWindowTitle("jfif-thumbnail.MRK");
    Host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Host));
    QWidget* Viewer = Host.Load(Sample("jfif-thumbnail.MRK"));
    QVERIFY(Viewer);
    QTest::qWait(20);
    const QImage Shot = Viewer->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // KIV_QT_SCREENSHOT=FILE.png keeps a picture of the host's window for a person to look at.
    if (const QByteArray Path = qgetenv("KIV_QT_SCREENSHOT"); !Path.isEmpty())
      Host.grab().save(QFile::decodeName(Path), "PNG");
    // The thumbnail is no plain area that the page's background could match.
    QSet<QRgb> Colours;
    for (int Y = 0; Y < Thumbnail.height(); ++Y)
      for (int X = 0; X < Thumbnail.width(); ++X)
        Colours.insert(Thumbnail.pixel(X, Y));
    QVERIFY(Colours.size() > 100);
    QVERIFY(Contains(Shot, Thumbnail));
  }

  // The host's ini file for plug-ins turns the extended parts on and off; each viewer reads it.
  void theHostsSettingTurnsTheExtendedPartsOn() {
    const QString Dri = WriteFile("dri.MRK", QByteArray::fromHex("FFDD00040008"));
    const QString Ini = Temp.filePath("plugins.ini");
    TkivListDefaultParams Params{};
    Params.size = sizeof Params;
    Params.PluginInterfaceVersionHi = 2;
    const QByteArray Name = QFile::encodeName(Ini);
    std::memcpy(Params.DefaultIniName, Name.constData(), size_t(Name.size()) + 1);
    Plugin.SetDefaultParams(&Params);
    const auto Shown = [&](const QByteArray& Settings) {
      if (WriteFile("plugins.ini", Settings).isEmpty()) return QString("(not written)");
      THost Host(false);
      QWidget* Viewer = Host.Load(Dri);
      return Viewer ? Viewer->findChild<QTextBrowser*>()->toPlainText() : QString("(none)");
    };
    const QString On = Shown("[kivMrkWLX]\nExtended=1\n"), Off = Shown("[kivMrkWLX]\nExtended=0\n");
    QVERIFY2(On.contains("Restart interval") && On.contains("MCUs between restart markers"),
             qPrintable(On));
    QVERIFY2(Off.startsWith("Define restart interval\nSegment size: 6"), qPrintable(Off));
    QVERIFY2(!Off.contains("MCUs"), qPrintable(Off));
    QFile::remove(Ini);
  }

  // The host never unloads the library: a viewer still open when the process ends is freed
  // then, its thumbnail file deleted, and nothing is reported.
  void aViewerOpenAtTheProcessEnd() {
    QTemporaryDir Dir;
    QProcess Child;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("TMPDIR", Dir.path());
    Child.setProcessEnvironment(Env);
    Child.start(QCoreApplication::applicationFilePath(), {"--exit-with-open-viewer"});
    QVERIFY(Child.waitForFinished(60000));
    const QByteArray Errors = Child.readAllStandardError();
    QCOMPARE(Child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(Child.exitCode() == 0, Errors.constData());
    QVERIFY2(!Errors.contains("!!!"), Errors.constData());
    QCOMPARE(QDir(Dir.path()).entryList(QDir::Files), QStringList());
  }
};

namespace {

// The child process of aViewerOpenAtTheProcessEnd: a host that leaves its window to the end.
int ExitWithOpenViewer(int Argc, char** Argv) {
  QApplication App(Argc, Argv);
  if (!Plugin.Open()) return 2;
  auto* Host = new THost(false);
  Host->show();
  if (!Host->Load(Sample("jfif-thumbnail.MRK"))) return 3;
  QCoreApplication::processEvents();
  const QString Thumbnail = QDir(QFile::decodeName(qgetenv("TMPDIR"))).filePath("kivBMP0.bmp");
  return QFile::exists(Thumbnail) ? 0 : 4;
}

} // namespace

int main(int Argc, char** Argv) {
  if (Argc == 2 && std::strcmp(Argv[1], "--exit-with-open-viewer") == 0)
    return ExitWithOpenViewer(Argc, Argv);
  QApplication App(Argc, Argv);
  TQtHostTest Test;
  return QTest::qExec(&Test, Argc, Argv);
}

#include "kivQtHostTest.moc"
