#include "test/touch_window.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QScreen>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

// Logical pixels are half physical ones in this test (QT_SCALE_FACTOR=2 in
// main), so a missed conversion shows as a halved position.
constexpr int kScale = 2;

// One contact change of a touch event.
struct TouchOp {
  enum Kind { kPress, kMove, kRelease, kStationary } kind;
  int id;
  QPoint pos;  // logical
};

// The changes committed as one touch event, and the list expected after it.
struct TouchStep {
  std::vector<TouchOp> ops;
  QList<QPoint> expected;  // physical
};

QList<QPoint> Points(const CTouchWnd& w) {
  QList<QPoint> list;
  for (const TouchPoint& p : w.points) list.append(QPoint(p.x, p.y));
  return list;
}

QPoint Phys(int x, int y) {
  return QPoint(x * kScale, y * kScale);
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<TouchStep>)

class TouchWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TouchWindow> Shown(CTouchWnd& state) {
    auto window = std::make_unique<TouchWindow>(state, QSurface::RasterSurface, 800, 600);
    window->ShowFullScreen();
    if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
    return window;
  }

  QPointingDevice* touchScreen_ = nullptr;

 private slots:
  void initTestCase() {
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), qreal(kScale));
    touchScreen_ = QTest::createTouchDevice();
  }

  void create_setsTitleFramesAndGeometry_data() {
    QTest::addColumn<int>("surfaceType");
    QTest::newRow("raster") << int(QSurface::RasterSurface);
    QTest::newRow("opengl") << int(QSurface::OpenGLSurface);
  }

  void create_setsTitleFramesAndGeometry() {
    QFETCH(int, surfaceType);
    CTouchWnd state;
    QWindow owner;
    TouchWindow window(state, QSurface::SurfaceType(surfaceType), 640, 480, &owner);
    QCOMPARE(window.title(), QString("Experiment Window"));
    QCOMPARE(int(window.surfaceType()), surfaceType);
    QVERIFY(window.flags() & Qt::FramelessWindowHint);
    QCOMPARE(window.transientParent(), &owner);
    QVERIFY(!window.isVisible());
    // Physical size asked for, at the primary screen's corner.
    QCOMPARE(window.geometry().topLeft(), QGuiApplication::primaryScreen()->geometry().topLeft());
    QCOMPARE(window.geometry().size() * kScale, QSize(640, 480));
    QCOMPARE(window.Handle(), static_cast<ui::WindowHandle>(static_cast<QWindow*>(&window)));
  }

  void show_coversTheScreenAndRegistersOnActivation() {
    CTouchWnd state;
    state.touchReady = 1;
    auto window = Shown(state);
    QVERIFY(window);
    QVERIFY(window->visibility() == QWindow::FullScreen);
    QTRY_COMPARE(state.touchRegistered, 1);

    // Another window taking the focus deactivates the test window.
    QWindow other;
    other.setGeometry(10, 10, 50, 50);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    other.requestActivate();
    QTRY_COMPARE(state.touchRegistered, 0);
    window->requestActivate();
    QTRY_COMPARE(state.touchRegistered, 1);
  }

  void touches_data() {
    QTest::addColumn<std::vector<TouchStep>>("steps");
    using P = QList<QPoint>;
    using O = TouchOp;

    QTest::newRow("one finger down, moved, lifted") << std::vector<TouchStep>{
        {{{O::kPress, 1, {100, 50}}}, P{Phys(100, 50)}},
        {{{O::kMove, 1, {110, 60}}}, P{Phys(110, 60)}},
        {{{O::kRelease, 1, {110, 60}}}, P{}},
    };
    QTest::newRow("two fingers, one lifted") << std::vector<TouchStep>{
        {{{O::kPress, 1, {10, 10}}, {O::kPress, 2, {200, 20}}}, P{Phys(10, 10), Phys(200, 20)}},
        {{{O::kRelease, 1, {10, 10}}, {O::kMove, 2, {210, 30}}}, P{Phys(210, 30)}},
        {{{O::kRelease, 2, {210, 30}}}, P{}},
    };
    QTest::newRow("second finger joins a still one") << std::vector<TouchStep>{
        {{{O::kPress, 1, {10, 10}}}, P{Phys(10, 10)}},
        {{{O::kPress, 2, {50, 70}}}, P{Phys(10, 10), Phys(50, 70)}},
        {{{O::kRelease, 2, {50, 70}}}, P{Phys(10, 10)}},
        {{{O::kRelease, 1, {10, 10}}}, P{}},
    };
    QTest::newRow("stationary contact keeps its place") << std::vector<TouchStep>{
        {{{O::kPress, 1, {10, 10}}}, P{Phys(10, 10)}},
        {{{O::kStationary, 1, {}}, {O::kPress, 2, {50, 70}}}, P{Phys(10, 10), Phys(50, 70)}},
        {{{O::kStationary, 1, {}}, {O::kMove, 2, {60, 80}}}, P{Phys(10, 10), Phys(60, 80)}},
        {{{O::kRelease, 1, {10, 10}}, {O::kRelease, 2, {60, 80}}}, P{}},
    };
    QTest::newRow("first finger stays first") << std::vector<TouchStep>{
        {{{O::kPress, 5, {300, 10}}}, P{Phys(300, 10)}},
        {{{O::kPress, 2, {20, 10}}}, P{Phys(300, 10), Phys(20, 10)}},
        {{{O::kRelease, 5, {300, 10}}}, P{Phys(20, 10)}},
        {{{O::kPress, 5, {40, 40}}}, P{Phys(20, 10), Phys(40, 40)}},
        {{{O::kRelease, 2, {20, 10}}, {O::kRelease, 5, {40, 40}}}, P{}},
    };
  }

  void touches() {
    QFETCH(std::vector<TouchStep>, steps);
    CTouchWnd state;
    auto window = Shown(state);
    QVERIFY(window);
    for (size_t i = 0; i < steps.size(); ++i) {
      auto sequence = QTest::touchEvent(window.get(), touchScreen_);
      for (const TouchOp& op : steps[i].ops) {
        switch (op.kind) {
          case TouchOp::kPress:
            sequence.press(op.id, op.pos, window.get());
            break;
          case TouchOp::kMove:
            sequence.move(op.id, op.pos, window.get());
            break;
          case TouchOp::kRelease:
            sequence.release(op.id, op.pos, window.get());
            break;
          case TouchOp::kStationary:
            sequence.stationary(op.id);
            break;
        }
      }
      sequence.commit();
      QCOMPARE(Points(state), steps[i].expected);
      QCOMPARE(state.pointCount, int32_t(steps[i].expected.size()));
      QCOMPARE(state.touching, steps[i].expected.isEmpty() ? 0 : 1);
    }
  }

  void mouse_pressDragRelease() {
    CTouchWnd state;
    auto window = Shown(state);
    QVERIFY(window);

    QTest::mouseMove(window.get(), QPoint(5, 5));
    QCOMPARE(state.pointCount, 0);  // no button, no point

    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(30, 40));
    QCOMPARE(Points(state), QList<QPoint>{Phys(30, 40)});
    QTest::mouseMove(window.get(), QPoint(35, 45));
    QCOMPARE(Points(state), QList<QPoint>{Phys(35, 45)});
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(35, 45));
    QCOMPARE(state.pointCount, 0);
    QVERIFY(state.points.empty());

    QTest::mousePress(window.get(), Qt::RightButton, {}, QPoint(30, 40));
    QCOMPARE(state.pointCount, 0);
    QTest::mouseRelease(window.get(), Qt::RightButton, {}, QPoint(30, 40));
  }

  void mouse_ignoredWhileTouching() {
    CTouchWnd state;
    auto window = Shown(state);
    QVERIFY(window);
    QTest::touchEvent(window.get(), touchScreen_).press(1, QPoint(100, 100), window.get());
    QCOMPARE(Points(state), QList<QPoint>{Phys(100, 100)});
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(Points(state), QList<QPoint>{Phys(100, 100)});
    QTest::touchEvent(window.get(), touchScreen_).release(1, QPoint(100, 100), window.get());
    QCOMPARE(state.pointCount, 0);
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(Points(state), QList<QPoint>{Phys(10, 10)});
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(10, 10));
  }

  void mouseMadeFromTouch_isIgnored_data() {
    QTest::addColumn<bool>("touchDevice");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("points");
    QTest::newRow("real mouse") << false << int(Qt::MouseEventNotSynthesized) << 1;
    QTest::newRow("made by Qt from touch") << true << int(Qt::MouseEventSynthesizedByQt) << 0;
    QTest::newRow("made by the system from touch")
        << false << int(Qt::MouseEventSynthesizedBySystem) << 0;
  }

  void mouseMadeFromTouch_isIgnored() {
    QFETCH(bool, touchDevice);
    QFETCH(int, source);
    QFETCH(int, points);
    CTouchWnd state;
    TouchWindow window(state, QSurface::RasterSurface, 800, 600);
    const QPointingDevice* device =
        touchDevice ? touchScreen_ : QPointingDevice::primaryPointingDevice();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), QPointF(20, 20),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier, Qt::MouseEventSource(source),
                      device);
    QCoreApplication::sendEvent(&window, &press);
    QCOMPARE(state.pointCount, points);
  }

  void touchCancel_emptiesTheList() {
    CTouchWnd state;
    TouchWindow window(state, QSurface::RasterSurface, 800, 600);
    const TouchInput finger{1000, 1000, kTouchEventfDown, 1};
    state.OnTouch(&finger, 1);
    QTouchEvent cancel(QEvent::TouchCancel, touchScreen_);
    QCoreApplication::sendEvent(&window, &cancel);
    QCOMPARE(state.pointCount, 0);
    QCOMPARE(state.touching, 0);
  }

  void destroy_emptiesTheList() {
    CTouchWnd state;
    auto window = Shown(state);
    QVERIFY(window);
    QTest::touchEvent(window.get(), touchScreen_).press(1, QPoint(100, 100), window.get());
    QCOMPARE(state.pointCount, 1);
    window.reset();
    QCOMPARE(state.pointCount, 0);
    QCOMPARE(state.touching, 0);
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
  QGuiApplication app(argc, argv);
  TouchWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "touch_window_test.moc"
