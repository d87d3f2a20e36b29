#include "ui/qt_services.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointingDevice>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <memory>

namespace {

// Counts the input events that reach it.
class Recorder : public QWidget {
 public:
  int keyPresses = 0, keyReleases = 0, mousePresses = 0, mouseReleases = 0, mouseMoves = 0;

 protected:
  void keyPressEvent(QKeyEvent*) override { ++keyPresses; }
  void keyReleaseEvent(QKeyEvent*) override { ++keyReleases; }
  void mousePressEvent(QMouseEvent*) override { ++mousePresses; }
  void mouseReleaseEvent(QMouseEvent*) override { ++mouseReleases; }
  void mouseMoveEvent(QMouseEvent*) override { ++mouseMoves; }
};

// Counts the touch events that reach it.
class TouchRecorder : public QWindow {
 public:
  int begins = 0, updates = 0, ends = 0;

 protected:
  void touchEvent(QTouchEvent* e) override {
    if (e->type() == QEvent::TouchBegin) ++begins;
    if (e->type() == QEvent::TouchUpdate) ++updates;
    if (e->type() == QEvent::TouchEnd) ++ends;
    e->accept();
  }
};

QKeyEvent* EscapeEvent(QEvent::Type type, bool autoRepeat = false) {
  return new QKeyEvent(type, Qt::Key_Escape, Qt::NoModifier, QString(), autoRepeat);
}

QMouseEvent* MouseEvent(QEvent::Type type) {
  const QPointF at(5, 5);
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  return new QMouseEvent(type, at, at, Qt::LeftButton, held, Qt::NoModifier);
}

// A short, valid 8-bit mono PCM file.
void WriteWav(const QString& path) {
  QByteArray samples(800, char(0x80));
  QByteArray data;
  QDataStream out(&data, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << quint32(36 + samples.size());
  out.writeRawData("WAVEfmt ", 8);
  out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(8000) << quint16(1)
      << quint16(8);
  out.writeRawData("data", 4);
  out << quint32(samples.size());
  out.writeRawData(samples.constData(), samples.size());
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(data);
}

}  // namespace

class QtServicesTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ui::QtServices> services_;

 private slots:
  void init() { services_ = std::make_unique<ui::QtServices>(); }
  void cleanup() { services_.reset(); }

  void escapeKey_stateAcrossPolls_data() {
    // P press, R release, A auto-repeated press, X another key, Q poll.
    QTest::addColumn<QString>("script");
    QTest::addColumn<QList<int>>("polls");
    QTest::newRow("nothing") << "QQ" << QList<int>{0, 0};
    QTest::newRow("held: down and pressed, then only down") << "PQQ" << QList<int>{0x8001, 0x8000};
    QTest::newRow("tapped between polls: pressed once") << "PRQQ" << QList<int>{0x0001, 0};
    QTest::newRow("two taps: one pressed flag") << "PRPRQQ" << QList<int>{0x0001, 0};
    QTest::newRow("auto-repeat is no new press") << "PQAAQRQ" << QList<int>{0x8001, 0x8000, 0};
    QTest::newRow("release clears down") << "PQRQ" << QList<int>{0x8001, 0};
    QTest::newRow("other keys do not count") << "XQ" << QList<int>{0};
  }

  void escapeKey_stateAcrossPolls() {
    QFETCH(QString, script);
    QFETCH(QList<int>, polls);
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWindow* handle = window.windowHandle();
    QList<int> seen;
    for (QChar c : script) {
      switch (c.toLatin1()) {
        case 'P':
          QTest::keyPress(handle, Qt::Key_Escape);
          break;
        case 'R':
          QTest::keyRelease(handle, Qt::Key_Escape);
          break;
        case 'A': {
          std::unique_ptr<QKeyEvent> e(EscapeEvent(QEvent::KeyPress, true));
          QCoreApplication::sendEvent(handle, e.get());
          break;
        }
        case 'X':
          QTest::keyClick(handle, Qt::Key_A);
          break;
        case 'Q':
          seen << (services_->GetAsyncKeyState(ui::kVkEscape) & 0xFFFF);
          break;
      }
    }
    QCOMPARE(seen, polls);
  }

  void escapeKey_pendingReleaseSeenByNextPoll() {
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyPress(window.windowHandle(), Qt::Key_Escape);
    QCOMPARE(services_->GetAsyncKeyState(ui::kVkEscape) & 0xFFFF, 0x8001);
    // Queued, not yet delivered: a busy poll must still see it.
    QCoreApplication::postEvent(window.windowHandle(), EscapeEvent(QEvent::KeyRelease));
    QCOMPARE(services_->GetAsyncKeyState(ui::kVkEscape) & 0xFFFF, 0);
  }

  void escapeKey_heldWhileApplicationDeactivates_isReleased() {
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::keyPress(window.windowHandle(), Qt::Key_Escape);
    QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
    QCoreApplication::sendEvent(qApp, &inactive);
    QCOMPARE(services_->GetAsyncKeyState(ui::kVkEscape) & 0x8000, 0);
  }

  void showCursor_countsAndBlanksBelowZero_data() {
    QTest::addColumn<QList<bool>>("calls");
    QTest::addColumn<QList<int>>("counts");
    QTest::newRow("hide, show") << QList<bool>{false, true} << QList<int>{-1, 0};
    QTest::newRow("nested hides") << QList<bool>{false, false, true, true}
                                  << QList<int>{-1, -2, -1, 0};
    QTest::newRow("show first") << QList<bool>{true, false, false, true} << QList<int>{1, 0, -1, 0};
  }

  void showCursor_countsAndBlanksBelowZero() {
    QFETCH(QList<bool>, calls);
    QFETCH(QList<int>, counts);
    for (int i = 0; i < calls.size(); ++i) {
      QCOMPARE(services_->ShowCursor(calls[i]), counts[i]);
      const QCursor* cursor = QGuiApplication::overrideCursor();
      if (counts[i] < 0) {
        QVERIFY(cursor);
        QCOMPARE(cursor->shape(), Qt::BlankCursor);
      } else {
        QVERIFY(!cursor);  // balanced: nothing left on the override stack
      }
    }
  }

  void discardInput_eatsPressesNotReleases() {
    Recorder window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::postEvent(&window, EscapeEvent(QEvent::KeyPress));
    QCoreApplication::postEvent(&window, MouseEvent(QEvent::MouseButtonPress));
    QCoreApplication::postEvent(&window, MouseEvent(QEvent::MouseMove));
    QCoreApplication::postEvent(&window, EscapeEvent(QEvent::KeyRelease));
    QCoreApplication::postEvent(&window, MouseEvent(QEvent::MouseButtonRelease));
    services_->DiscardInput();
    QCOMPARE(window.keyPresses, 0);
    QCOMPARE(window.mousePresses, 0);
    QCOMPARE(window.mouseMoves, 0);
    QCOMPARE(window.keyReleases, 1);
    QCOMPARE(window.mouseReleases, 1);

    // Input after the discard is delivered again.
    QCoreApplication::postEvent(&window, EscapeEvent(QEvent::KeyPress));
    services_->PumpMessages();
    QCOMPARE(window.keyPresses, 1);
  }

  void discardInput_keyStateStillSeesPress() {
    // Discarding throws away messages, not what the keyboard did.
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::postEvent(&window, EscapeEvent(QEvent::KeyPress));
    services_->DiscardInput();
    QCOMPARE(services_->GetAsyncKeyState(ui::kVkEscape) & 0xFFFF, 0x8001);
  }

  void discardInput_eatsTouchBeginNotEnd() {
    TouchRecorder window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QPointingDevice* device = QTest::createTouchDevice();
    auto touch = [&](QEvent::Type type, QEventPoint::State state) {
      const QEventPoint point(1, state, QPointF(5, 5), QPointF(5, 5));
      return new QTouchEvent(type, device, Qt::NoModifier, {point});
    };
    QCoreApplication::postEvent(&window, touch(QEvent::TouchBegin, QEventPoint::Pressed));
    QCoreApplication::postEvent(&window, touch(QEvent::TouchUpdate, QEventPoint::Updated));
    QCoreApplication::postEvent(&window, touch(QEvent::TouchEnd, QEventPoint::Released));
    services_->DiscardInput();
    QCOMPARE(window.begins, 0);
    QCOMPARE(window.updates, 0);
    QCOMPARE(window.ends, 1);
  }

  void pumpMessages_deliversPostedEvents() {
    Recorder window;
    QCoreApplication::postEvent(&window, EscapeEvent(QEvent::KeyPress));
    QVERIFY(services_->PumpMessages());
    QCOMPARE(window.keyPresses, 1);
  }

  void playSound_missingFile_playsAndLoadsNothing() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    services_->PreloadSound("stim\\click.wav");
    services_->PlaySound("stim\\click.wav", ui::kSndAsync | ui::kSndNoDefault);
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(services_->LoadedSoundCount(), size_t(0));
  }

  void playSound_existingFile_loadedOnceWhicheverSeparator() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("stim"));
    WriteWav(dir.filePath("stim/click.wav"));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    services_->PreloadSound("stim\\click.wav");
    // With or without an audio device, play returns at once and loads nothing new.
    services_->PlaySound("stim/click.wav", ui::kSndAsync | ui::kSndNoDefault);
    services_->PlaySound("stim\\click.wav", ui::kSndAsync | ui::kSndNoDefault);
    QVERIFY(QDir::setCurrent(previous));
    QCOMPARE(services_->LoadedSoundCount(), size_t(1));
    QCOMPARE(ui::NativeSoundPath("stim\\error.wav"), std::string("stim/error.wav"));
  }

  void messageBoxIcon_fromTypeBits_data() {
    QTest::addColumn<uint>("type");
    QTest::addColumn<int>("icon");
    QTest::newRow("plain OK") << ui::kMbOk << int(QMessageBox::NoIcon);
    QTest::newRow("hand") << ui::kMbIconHand << int(QMessageBox::Critical);
    QTest::newRow("question") << ui::kMbIconQuestion << int(QMessageBox::Question);
    QTest::newRow("warning") << ui::kMbIconWarning << int(QMessageBox::Warning);
    QTest::newRow("information") << ui::kMbIconInformation << int(QMessageBox::Information);
    QTest::newRow("hand with button bits")
        << (ui::kMbIconHand | 0x1u) << int(QMessageBox::Critical);
    QTest::newRow("unknown icon value") << 0x50u << int(QMessageBox::NoIcon);
    QTest::newRow("button bits only") << 0x0Fu << int(QMessageBox::NoIcon);
  }

  void messageBoxIcon_fromTypeBits() {
    QFETCH(uint, type);
    QFETCH(int, icon);
    QCOMPARE(int(ui::MessageBoxIcon(type)), icon);
  }

  void handles_mapBetweenWidgetsAndWindows() {
    QWidget top;
    QWidget* child = new QWidget(&top);
    const ui::WindowHandle handle = ui::HandleOf(&top);
    QVERIFY(handle);
    QCOMPARE(ui::WindowOf(handle), top.windowHandle());
    QCOMPARE(ui::HandleOf(child), handle);
    QCOMPARE(ui::WidgetOf(handle), &top);
    QVERIFY(!ui::HandleOf(nullptr));
    QVERIFY(!ui::WidgetOf(nullptr));

    QVERIFY(!services_->MainWindow());
    services_->SetMainWindow(&top);
    QCOMPARE(services_->MainWindow(), handle);
  }

  void placeTopmost_coversFromOriginAndKeepsHandle() {
    QWidget window;
    window.setGeometry(50, 60, 200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const ui::WindowHandle handle = ui::HandleOf(&window);
    const QScreen* screen = QGuiApplication::primaryScreen();
    QCOMPARE(screen->devicePixelRatio(), 1.0);
    services_->PlaceTopmost(handle, 640, 480);
    QVERIFY(window.isVisible());
    QCOMPARE(window.geometry(), QRect(screen->geometry().topLeft(), QSize(640, 480)));
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(window.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
    // Callers keep the handle they had.
    QCOMPARE(ui::HandleOf(&window), handle);
  }

  void setInputMethodOpen_offThenOnRestores() {
    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    edit->setFocus();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(edit->testAttribute(Qt::WA_InputMethodEnabled));
    const ui::WindowHandle handle = ui::HandleOf(&window);
    services_->SetInputMethodOpen(handle, false);
    QVERIFY(!edit->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(!window.testAttribute(Qt::WA_InputMethodEnabled));
    services_->SetInputMethodOpen(handle, true);
    QVERIFY(edit->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(!window.testAttribute(Qt::WA_InputMethodEnabled));  // it never had one
  }

  void createSurfaceDC_refusesBadBuffers_data() {
    QTest::addColumn<bool>("pixels");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pitch");
    QTest::addColumn<bool>("made");
    QTest::newRow("valid") << true << 4 << 4 << 16 << true;
    QTest::newRow("padded rows") << true << 3 << 4 << 16 << true;
    QTest::newRow("no pixels") << false << 4 << 4 << 16 << false;
    QTest::newRow("zero width") << true << 0 << 4 << 16 << false;
    QTest::newRow("negative height") << true << 4 << -4 << 16 << false;
    QTest::newRow("rows too short") << true << 4 << 4 << 12 << false;
    QTest::newRow("rows not whole pixels") << true << 3 << 4 << 14 << false;
  }

  void createSurfaceDC_refusesBadBuffers() {
    QFETCH(bool, pixels);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, pitch);
    QFETCH(bool, made);
    std::vector<uint8_t> buffer(256, 0);
    const auto dc =
        services_->CreateSurfaceDC(pixels ? buffer.data() : nullptr, width, height, pitch);
    QCOMPARE(dc != nullptr, made);
  }
};

QTEST_MAIN(QtServicesTest)
#include "qt_services_test.moc"
