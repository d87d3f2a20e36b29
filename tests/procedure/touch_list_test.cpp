#include "procedure/touch_list.h"

#include <QtTest>
#include <vector>

namespace {

constexpr uint32_t kDown = kTouchEventfDown, kMove = kTouchEventfMove, kUp = kTouchEventfUp;

// One input event: 't' touch with its contacts, 'u' touch that cannot be
// read, 'd' left button down, 'm' move with the left button down, 'h' move
// without it, 'r' left button up.
struct Ev {
  char kind;
  std::vector<TouchInput> inputs;
  int32_t x = 0, y = 0;
};

Ev Input(char kind, int32_t x = 0, int32_t y = 0) {
  return {kind, {}, x, y};
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<Ev>)

class TouchListTest : public QObject {
  Q_OBJECT

 private slots:
  void events_data() {
    QTest::addColumn<std::vector<Ev>>("events");
    QTest::addColumn<QList<QPoint>>("points");
    QTest::addColumn<int>("touching");
    QTest::addColumn<int>("result");  // of the last touch event
    using P = QList<QPoint>;
    const Ev twoDown{'t', {{10000, 20000, kDown, 1}, {30000, 40000, kDown, 2}}};
    const Ev oneLifted{'t', {{10000, 20000, kUp, 1}, {35000, 45000, kMove, 2}}};
    const Ev finger{'t', {{10000, 10000, kDown, 1}}};

    QTest::newRow("two fingers") << std::vector{twoDown} << P{{100, 200}, {300, 400}} << 1 << 0;
    QTest::newRow("one of two lifted")
        << std::vector{twoDown, oneLifted} << P{{350, 450}} << 1 << 0;
    QTest::newRow("last lifted") << std::vector{twoDown, oneLifted, Ev{'t', {{0, 0, kUp, 2}}}}
                                 << P{} << 0 << 0;
    QTest::newRow("x 51099 gives 510")
        << std::vector{Ev{'t', {{51099, 199, kDown, 1}}}} << P{{510, 1}} << 1 << 0;
    QTest::newRow("press and drag")
        << std::vector{Input('d', 10, 20), Input('m', 30, 40)} << P{{30, 40}} << 0 << 0;
    QTest::newRow("release empties the list")
        << std::vector{Input('d', 1, 1), Input('r')} << P{} << 0 << 0;
    QTest::newRow("move without button") << std::vector{Input('h', 5, 5)} << P{} << 0 << 0;
    QTest::newRow("move without button keeps a pressed point")
        << std::vector{Input('d', 1, 1), Input('h', 9, 9)} << P{{1, 1}} << 0 << 0;
    QTest::newRow("release while touching keeps the list")
        << std::vector{finger, Input('r')} << P{{100, 100}} << 1 << 0;
    QTest::newRow("mouse ignored while touching")
        << std::vector{finger, Input('d', 50, 50), Input('m', 60, 60)} << P{{100, 100}} << 1 << 0;
    QTest::newRow("unreadable touch keeps the list")
        << std::vector{finger, Input('u')} << P{{100, 100}} << 1 << -1;
    QTest::newRow("unreadable touch blocks the mouse")
        << std::vector{Input('d', 3, 3), Input('u'), Input('r')} << P{{3, 3}} << 1 << -1;
  }

  void events() {
    QFETCH(std::vector<Ev>, events);
    QFETCH(QList<QPoint>, points);
    QFETCH(int, touching);
    QFETCH(int, result);
    CTouchWnd w;
    int last = 0;
    for (const Ev& e : events) {
      if (e.kind == 't') last = w.OnTouch(e.inputs.data(), static_cast<int>(e.inputs.size()));
      if (e.kind == 'u') last = w.OnTouch(nullptr, 2);
      if (e.kind == 'd') w.OnLButtonDown(e.x, e.y);
      if (e.kind == 'm' || e.kind == 'h') w.OnMouseMove(e.kind == 'm', e.x, e.y);
      if (e.kind == 'r') w.OnLButtonUp();
    }
    QList<QPoint> got;
    for (const TouchPoint& p : w.points) got << QPoint(p.x, p.y);
    QCOMPARE(got, points);
    QCOMPARE(w.pointCount, int32_t(points.size()));
    QCOMPARE(w.touching, touching);
    QCOMPARE(last, result);
  }
};

QTEST_APPLESS_MAIN(TouchListTest)
#include "touch_list_test.moc"
