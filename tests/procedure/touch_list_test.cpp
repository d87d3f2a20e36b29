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
  // The list after the events, and the presses queued for the trial: one for
  // every contact that came down while nothing else touched the screen.
  void events_data() {
    QTest::addColumn<std::vector<Ev>>("events");
    QTest::addColumn<QList<QPoint>>("points");
    QTest::addColumn<int>("touching");
    QTest::addColumn<int>("result");  // of the last touch event
    QTest::addColumn<QList<QPoint>>("presses");
    using P = QList<QPoint>;
    const Ev twoDown{'t', {{10000, 20000, kDown, 1}, {30000, 40000, kDown, 2}}};
    const Ev oneLifted{'t', {{10000, 20000, kUp, 1}, {35000, 45000, kMove, 2}}};
    const Ev finger{'t', {{10000, 10000, kDown, 1}}};
    const Ev lifted{'t', {{10000, 10000, kUp, 1}}};
    const Ev second{'t', {{10000, 10000, kMove, 1}, {50000, 50000, kDown, 2}}};
    const P tap{{100, 100}};

    QTest::newRow("two fingers") << std::vector{twoDown} << P{{100, 200}, {300, 400}} << 1 << 0
                                 << P{{100, 200}};
    QTest::newRow("one of two lifted")
        << std::vector{twoDown, oneLifted} << P{{350, 450}} << 1 << 0 << P{{100, 200}};
    QTest::newRow("last lifted") << std::vector{twoDown, oneLifted, Ev{'t', {{0, 0, kUp, 2}}}}
                                 << P{} << 0 << 0 << P{{100, 200}};
    QTest::newRow("second finger is not a new press")
        << std::vector{finger, second, lifted} << P{} << 0 << 0 << tap;
    QTest::newRow("two taps") << std::vector{finger, lifted, finger, lifted} << P{} << 0 << 0
                              << P{{100, 100}, {100, 100}};
    QTest::newRow("x 51099 gives 510")
        << std::vector{Ev{'t', {{51099, 199, kDown, 1}}}} << P{{510, 1}} << 1 << 0 << P{{510, 1}};
    QTest::newRow("press and drag: pressed where it came down")
        << std::vector{Input('d', 10, 20), Input('m', 30, 40)} << P{{30, 40}} << 0 << 0
        << P{{10, 20}};
    QTest::newRow("release empties the list")
        << std::vector{Input('d', 1, 1), Input('r')} << P{} << 0 << 0 << P{{1, 1}};
    QTest::newRow("drag whose press was discarded")
        << std::vector{Input('m', 7, 8), Input('m', 9, 9)} << P{{9, 9}} << 0 << 0 << P{{7, 8}};
    QTest::newRow("move without button") << std::vector{Input('h', 5, 5)} << P{} << 0 << 0 << P{};
    QTest::newRow("move without button keeps a pressed point")
        << std::vector{Input('d', 1, 1), Input('h', 9, 9)} << P{{1, 1}} << 0 << 0 << P{{1, 1}};
    QTest::newRow("release while touching keeps the list")
        << std::vector{finger, Input('r')} << tap << 1 << 0 << tap;
    QTest::newRow("mouse ignored while touching")
        << std::vector{finger, Input('d', 50, 50), Input('m', 60, 60)} << tap << 1 << 0 << tap;
    QTest::newRow("unreadable touch") << std::vector{Input('u')} << P{} << 1 << -1 << P{};
    QTest::newRow("unreadable touch keeps the list")
        << std::vector{finger, Input('u')} << tap << 1 << -1 << tap;
    QTest::newRow("unreadable touch blocks the mouse")
        << std::vector{Input('d', 3, 3), Input('u'), Input('r')} << P{{3, 3}} << 1 << -1
        << P{{3, 3}};
  }

  void events() {
    QFETCH(std::vector<Ev>, events);
    QFETCH(QList<QPoint>, points);
    QFETCH(int, touching);
    QFETCH(int, result);
    QFETCH(QList<QPoint>, presses);
    CTouchWnd w;
    int last = 0;
    int64_t t = 1000;
    for (const Ev& e : events) {
      const InputTime at{t += 1000, TouchTimeSource::kStamp};
      if (e.kind == 't') last = w.OnTouch(e.inputs.data(), static_cast<int>(e.inputs.size()), at);
      if (e.kind == 'u') last = w.OnTouch(nullptr, 2, at);
      if (e.kind == 'd') w.OnLButtonDown(e.x, e.y, at);
      if (e.kind == 'm' || e.kind == 'h') w.OnMouseMove(e.kind == 'm', e.x, e.y, at);
      if (e.kind == 'r') w.OnLButtonUp();
    }
    QList<QPoint> got, pressed;
    for (const TouchPoint& p : w.points) got << QPoint(p.x, p.y);
    QCOMPARE(got, points);
    QCOMPARE(w.pointCount, int32_t(points.size()));
    QCOMPARE(w.touching, touching);
    QCOMPARE(last, result);
    PendingPress p;
    for (int64_t previous = 0; w.TakePress(&p); previous = p.time.ns) {
      pressed << QPoint(p.point.x, p.point.y);
      QVERIFY(p.time.ns > previous);  // oldest first, each with its own time
    }
    QCOMPARE(pressed, presses);
  }

  // A release still clears the list when its press was discarded.
  void discard_dropsQueuedAndEarlierPresses() {
    CTouchWnd w;
    w.OnLButtonDown(1, 1, {100, TouchTimeSource::kStamp});
    w.OnLButtonUp();
    w.DiscardPresses(500);
    w.OnLButtonDown(2, 2, {400, TouchTimeSource::kStamp});  // on its way at the discard
    w.OnLButtonUp();
    w.OnLButtonDown(3, 3, {600, TouchTimeSource::kStamp});
    PendingPress p;
    QVERIFY(w.TakePress(&p));
    QCOMPARE(p.point.x, 3);
    QVERIFY(!w.TakePress(&p));
  }

  void stampToClock_data() {
    QTest::addColumn<quint64>("stampMs");
    QTest::addColumn<qint64>("receivedNs");
    QTest::addColumn<qint64>("expected");  // -1: not on the clock
    const qint64 ms = 1000000;
    const qint64 t = 123456789 * ms + 700000;  // received 0.7 ms into a millisecond
    QTest::newRow("same millisecond") << quint64(123456789) << t << 123456789 * ms + ms / 2;
    QTest::newRow("40 ms old") << quint64(123456749) << t << 123456749 * ms + ms / 2;
    QTest::newRow("in the future") << quint64(123456790) << t << qint64(-1);
    QTest::newRow("older than any delay") << quint64(123456789 - 6000) << t << qint64(-1);
    QTest::newRow("none") << quint64(0) << t << qint64(-1);
    // 32-bit stamps wrap every 49.7 days; the age still tells.
    const qint64 wrapped = (qint64(1) << 32) + 10;
    QTest::newRow("cut to 32 bits after a wrap")
        << quint64(5) << wrapped * ms << (wrapped - 5) * ms + ms / 2;
    QTest::newRow("full width") << quint64(wrapped - 5) << wrapped * ms
                                << (wrapped - 5) * ms + ms / 2;
    QTest::newRow("full width, future") << quint64(wrapped + 5) << wrapped * ms << qint64(-1);
  }

  void stampToClock() {
    QFETCH(quint64, stampMs);
    QFETCH(qint64, receivedNs);
    QFETCH(qint64, expected);
    int64_t ns = -1;
    QCOMPARE(StampToClock(stampMs, receivedNs, &ns), expected >= 0);
    if (expected >= 0) QCOMPARE(ns, expected);
  }
};

QTEST_APPLESS_MAIN(TouchListTest)
#include "touch_list_test.moc"
