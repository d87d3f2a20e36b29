// The Sessions window on a 1024 x 768 screen: the whole window on the
// screen, and its buttons and status line inside it and in view, at its
// first size, at its least, and with a status line longer than the window.
#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

#include "records/record_writer.h"
#include "sessions/sessions_window.h"
#include "support/file_bytes.h"
#include "support/session_samples.h"

using sessions::CSessions;

namespace {

// Inside each of its parents, the window included, and shown.
bool InView(const QWidget* window, const QWidget* w, QString* why) {
  bool inside = true;
  for (const QWidget* p = w; p != window; p = p->parentWidget())
    inside = inside && QRect(QPoint(0, 0), p->parentWidget()->size()).contains(p->geometry());
  const QRect inWindow(w->mapTo(window, QPoint(0, 0)), w->size());
  *why = QStringLiteral("%1 at %2,%3 %4x%5 in a window of %6x%7")
             .arg(w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName())
             .arg(inWindow.x())
             .arg(inWindow.y())
             .arg(inWindow.width())
             .arg(inWindow.height())
             .arg(window->width())
             .arg(window->height());
  return inside && w->isVisible() && !w->size().isEmpty() && window->rect().contains(inWindow);
}

}  // namespace

class SessionsWindowSizeTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

 private slots:
  void initTestCase() {
    // The screen the platform was given (main), or this test proves nothing.
    QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry(), QRect(0, 0, 1024, 768));
    for (int i = 0; i < 3; ++i) {
      testing::SimulatedSubject who;
      who.subject = "S0" + std::to_string(i + 1);
      who.randomStart = static_cast<uint32_t>(i + 1);
      QVERIFY(testing::WriteBytes(dir_.filePath(QStringLiteral("%1.json").arg(i)),
                                  results::SessionRecordJson(testing::SimulatedSession(who))));
    }
  }

  void buttons_insideTheWindowAndInView_data() {
    QTest::addColumn<bool>("least");
    QTest::addColumn<bool>("longStatus");
    QTest::newRow("first size") << false << false;
    QTest::newRow("least size") << true << false;
    QTest::newRow("status longer than the window") << false << true;
  }
  void buttons_insideTheWindowAndInView() {
    QFETCH(bool, least);
    QFETCH(bool, longStatus);
    CSessions w(dir_.path());
    QTRY_VERIFY_WITH_TIMEOUT(w.Loaded(), 10000);
    if (longStatus) {
      // The status line then names both files of the export.
      QTemporaryDir out;
      QVERIFY(w.ExportListed(out.filePath(QString(120, QLatin1Char('x')) + ".csv")));
      QVERIFY(w.Status()->text().size() > 250);
    }
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (least) {
      w.resize(w.minimumSize());
      QTRY_COMPARE(w.size(), w.minimumSize());
    }
    QApplication::processEvents();
    const QRect screen = w.screen()->availableGeometry();
    QVERIFY2(screen.contains(w.frameGeometry()), qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                                                .arg(w.frameGeometry().x())
                                                                .arg(w.frameGeometry().y())
                                                                .arg(w.frameGeometry().width())
                                                                .arg(w.frameGeometry().height())));
    QVERIFY(w.maximumSize().width() > screen.width());  // resizable
    QVERIFY(w.minimumSize().width() >= 640 && w.minimumSize().height() >= 480);
    // Nothing squeezed below its own least size.
    const QSize needed = w.layout()->minimumSize();
    QVERIFY2(needed.width() <= w.width() && needed.height() <= w.height(),
             qPrintable(QStringLiteral("%1 x %2").arg(needed.width()).arg(needed.height())));
    for (const QWidget* part : std::initializer_list<const QWidget*>{
             w.SavePictureButton(), w.ExportButton(), w.CloseButton(), w.Status(), w.Table(),
             w.Staircase()->scene()->views()[0], w.Distribution()->scene()->views()[0]}) {
      QString why;
      QVERIFY2(InView(&w, part, &why), qPrintable(why));
    }
    // Each button's text whole, and the status line's too, wrapped where it must.
    for (const QPushButton* b : {w.SavePictureButton(), w.ExportButton(), w.CloseButton()})
      QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));
    const QLabel* status = w.Status();
    QVERIFY2(status->wordWrap() ? status->heightForWidth(status->width()) <= status->height()
                                : status->sizeHint().width() <= status->width(),
             qPrintable(QStringLiteral("%1 x %2").arg(status->width()).arg(status->height())));
  }
};

int main(int argc, char** argv) {
  // A screen of 1024 x 768, whatever platform the run was given.
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" DORVANE_SCREEN_CONFIG);
  QApplication app(argc, argv);
  SessionsWindowSizeTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "sessions_window_size_test.moc"
