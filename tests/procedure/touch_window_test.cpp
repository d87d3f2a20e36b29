#include "procedure/touch_window.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>
#include <vector>

#include "procedure/ms_timer.h"

namespace {

// QT_SCALE_FACTOR=2 (see main): a missed logical-to-physical conversion shows as a halved position.
constexpr int kScale = 2;

// A touch contact pressed 'p', moved 'm', released 'r' or held still 's';
// or the left mouse button pressed 'P', moved 'M' or released 'R'.
struct Op {
  char kind;
  int id;
  QPoint pos;  // logical
};

// Changes sent together (the touches as one event), and the list after them.
struct Step {
  std::vector<Op> ops;
  QList<QPoint> points;  // logical
};

bool Shown(TouchWindow& window) {
  window.ShowFullScreen();
  return QTest::qWaitForWindowExposed(&window);
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<Step>)

class TouchWindowTest : public QObject {
  Q_OBJECT

  QPointingDevice* touchScreen_ = nullptr;

 private slots:
  void initTestCase() {
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), qreal(kScale));
    touchScreen_ = QTest::createTouchDevice();
  }

  void cleanupTestCase() { delete touchScreen_; }  // QtTest leaves the device to the test

  void input_data() {
    QTest::addColumn<std::vector<Step>>("steps");
    using P = QList<QPoint>;
    QTest::newRow("two fingers, one lifted") << std::vector<Step>{
        {{{'p', 1, {10, 10}}, {'p', 2, {200, 20}}}, P{{10, 10}, {200, 20}}},
        {{{'r', 1, {10, 10}}, {'m', 2, {210, 30}}}, P{{210, 30}}},
        {{{'r', 2, {210, 30}}}, P{}},
    };
    QTest::newRow("still finger keeps its place") << std::vector<Step>{
        {{{'p', 1, {10, 10}}}, P{{10, 10}}},
        {{{'s', 1, {}}, {'p', 2, {50, 70}}}, P{{10, 10}, {50, 70}}},
        {{{'r', 1, {10, 10}}, {'r', 2, {50, 70}}}, P{}},
    };
    QTest::newRow("mouse press, drag, release") << std::vector<Step>{
        {{{'M', 0, {5, 5}}}, P{}},
        {{{'P', 0, {30, 40}}}, P{{30, 40}}},
        {{{'M', 0, {35, 45}}}, P{{35, 45}}},
        {{{'R', 0, {35, 45}}}, P{}},
    };
    QTest::newRow("mouse ignored while touching") << std::vector<Step>{
        {{{'p', 1, {100, 100}}}, P{{100, 100}}},
        {{{'P', 0, {10, 10}}, {'R', 0, {10, 10}}}, P{{100, 100}}},
        {{{'r', 1, {100, 100}}}, P{}},
        {{{'P', 0, {10, 10}}}, P{{10, 10}}},
    };
  }

  void input() {
    QFETCH(std::vector<Step>, steps);
    CTouchWnd state;
    {
      TouchWindow window(state, QSurface::RasterSurface, 800, 600);
      QVERIFY(Shown(window));
      for (const Step& step : steps) {
        auto touch = QTest::touchEvent(&window, touchScreen_, false);
        for (const auto& [kind, id, pos] : step.ops) {
          if (kind == 'p') touch.press(id, pos, &window);
          if (kind == 'm') touch.move(id, pos, &window);
          if (kind == 'r') touch.release(id, pos, &window);
          if (kind == 's') touch.stationary(id);
          if (kind == 'P') QTest::mousePress(&window, Qt::LeftButton, {}, pos);
          if (kind == 'M') QTest::mouseMove(&window, pos);
          if (kind == 'R') QTest::mouseRelease(&window, Qt::LeftButton, {}, pos);
        }
        if (QChar(step.ops[0].kind).isLower()) touch.commit();
        QList<QPoint> got, physical;
        for (const TouchPoint& p : state.points) got << QPoint(p.x, p.y);
        for (const QPoint& p : step.points) physical << p * kScale;
        QCOMPARE(got, physical);
      }
    }
    QCOMPARE(state.pointCount, 0);  // the contacts of a destroyed window are gone
  }

  // The trial waits for every contact to be lifted, so none may stay down for good.
  void noContactStaysDown_data() {
    QTest::addColumn<bool>("deactivate");
    QTest::newRow("an update's release lost, then the end") << false;
    QTest::newRow("the window loses its activation") << true;
  }

  void noContactStaysDown() {
    QFETCH(bool, deactivate);
    CTouchWnd state;
    TouchWindow window(state, QSurface::RasterSurface, 800, 600);
    QVERIFY(Shown(window));
    QTest::touchEvent(&window, touchScreen_).press(1, {10, 10}).press(2, {50, 50});
    QCOMPARE(state.pointCount, 2);
    QEvent lost(QEvent::WindowDeactivate);
    // Only contact 2's end arrives: contact 1's release went missing.
    QTouchEvent end(QEvent::TouchEnd, touchScreen_, Qt::NoModifier,
                    {QEventPoint(2, QEventPoint::Released, {50, 50}, {50, 50})});
    QCoreApplication::sendEvent(&window, deactivate ? &lost : static_cast<QEvent*>(&end));
    QCOMPARE(state.pointCount, 0);
    QCOMPARE(state.touching, 0);
  }

  // Alt+F4 or a close box: the window stays for the test to end as with
  // Escape, and the press held then no longer counts.
  void closeAsked_windowStaysAndTheTestIsToldToEnd() {
    CTouchWnd state;
    state.closeRequested = 1;  // left from an earlier test's window
    TouchWindow window(state, QSurface::RasterSurface, 800, 600);
    QCOMPARE(state.closeRequested, 0);
    QVERIFY(Shown(window));
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(20, 30));
    QCOMPARE(state.pointCount, 1);
    QVERIFY(!window.close());
    QVERIFY(window.isVisible() && window.handle() != nullptr);
    QCOMPARE(state.closeRequested, 1);
    QCOMPARE(state.pointCount, 0);
    PendingPress taken;
    QVERIFY(!state.TakePress(&taken));
  }

  // Alt+F4 that reaches the window closes it as the close box does, and says
  // so even when the window manager's close follows; F4 alone does nothing.
  void altF4_onTheWindow_endsTheTestAndSaysSo_data() {
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("thenClosed");  // a window manager's close request follows
    QTest::addColumn<QString>("state");    // closeRequested closedByAltF4
    QTest::newRow("Alt+F4") << int(Qt::AltModifier) << false << "1 1";
    QTest::newRow("Alt+F4, then the close request") << int(Qt::AltModifier) << true << "1 1";
    QTest::newRow("F4 alone") << int(Qt::NoModifier) << false << "0 0";
    QTest::newRow("close request alone") << -1 << true << "1 0";
  }

  void altF4_onTheWindow_endsTheTestAndSaysSo() {
    QFETCH(int, modifiers);
    QFETCH(bool, thenClosed);
    QFETCH(QString, state);
    CTouchWnd touch;
    touch.closedByAltF4 = 1;  // left from an earlier test's window
    TouchWindow window(touch, QSurface::RasterSurface, 800, 600);
    QVERIFY(Shown(window));
    if (modifiers >= 0) QTest::keyClick(&window, Qt::Key_F4, Qt::KeyboardModifiers(modifiers));
    if (thenClosed) QVERIFY(!window.close());
    QCOMPARE(QString("%1 %2").arg(touch.closeRequested).arg(touch.closedByAltF4), state);
    QVERIFY(window.isVisible());
  }

  // Timed by the event's own stamp where it is on the monotonic clock, else when handled.
  void pressTime_fromTheEventsStamp_data() {
    QTest::addColumn<qint64>("ageMs");  // of the stamp when the event is handled; -1: none
    QTest::newRow("stamped 40 ms ago") << qint64(40);
    QTest::newRow("no stamp") << qint64(-1);
  }

  void pressTime_fromTheEventsStamp() {
    QFETCH(qint64, ageMs);
    CTouchWnd state;
    TouchWindow window(state, QSurface::RasterSurface, 800, 600);
    QVERIFY(Shown(window));
    const qint64 handled = MsTimerNowNs();
    const quint64 stamp = ageMs < 0 ? 0 : quint64(handled / 1000000 - ageMs);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 30), QPointF(20, 30), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    press.setTimestamp(stamp);
    QCoreApplication::sendEvent(&window, &press);
    PendingPress taken;
    QVERIFY(state.TakePress(&taken));
    QCOMPARE(taken.point.x, 20 * kScale);
    QCOMPARE(taken.time.source, ageMs >= 0 ? TouchTimeSource::kStamp : TouchTimeSource::kSample);
    if (ageMs >= 0) QCOMPARE(taken.time.ns, qint64(stamp) * 1000000 + 500000);
    if (ageMs < 0) QVERIFY(taken.time.ns >= handled && taken.time.ns <= MsTimerNowNs());
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
  // With widgets linked, QtTest's mouse functions need a QApplication, as the program has.
  QApplication app(argc, argv);
  TouchWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "touch_window_test.moc"
