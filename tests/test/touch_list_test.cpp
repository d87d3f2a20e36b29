#include "test/touch_list.h"

#include <QtTest>
#include <vector>

#include "support/fake_ui.h"

namespace {

// One input event for the list, as the window would deliver it.
struct Ev {
  enum Kind { kTouch, kUnreadable, kNoInputs, kCancel, kLDown, kMove, kLUp } kind;
  std::vector<TouchInput> inputs;
  int32_t x = 0;
  int32_t y = 0;
  bool left = false;
};

TouchInput Down(int32_t x, int32_t y, uint32_t id) {
  return {x, y, kTouchEventfDown, id};
}
TouchInput Moved(int32_t x, int32_t y, uint32_t id) {
  return {x, y, kTouchEventfMove, id};
}
TouchInput Lifted(int32_t x, int32_t y, uint32_t id) {
  return {x, y, kTouchEventfUp, id};
}

Ev Touch(std::vector<TouchInput> inputs) {
  return Ev{Ev::kTouch, std::move(inputs)};
}
Ev Unreadable() {
  return Ev{Ev::kUnreadable, {}};
}
Ev NoInputs() {
  return Ev{Ev::kNoInputs, {}};
}
Ev Cancel() {
  return Ev{Ev::kCancel, {}};
}
Ev LDown(int32_t x, int32_t y) {
  return Ev{Ev::kLDown, {}, x, y};
}
Ev Drag(int32_t x, int32_t y) {
  return Ev{Ev::kMove, {}, x, y, true};
}
Ev Hover(int32_t x, int32_t y) {
  return Ev{Ev::kMove, {}, x, y, false};
}
Ev LUp() {
  return Ev{Ev::kLUp, {}};
}

// Returns the result of the last touch event (0 when there was none).
int Apply(CTouchWnd& w, const std::vector<Ev>& events) {
  int result = 0;
  for (const Ev& e : events) {
    switch (e.kind) {
      case Ev::kTouch:
        result = w.OnTouch(e.inputs.data(), static_cast<int>(e.inputs.size()));
        break;
      case Ev::kUnreadable:
        result = w.OnTouch(nullptr, 2);
        break;
      case Ev::kNoInputs: {
        const TouchInput one = Down(100, 100, 1);
        result = w.OnTouch(&one, 0);
        break;
      }
      case Ev::kCancel:
        w.OnTouchCancel();
        break;
      case Ev::kLDown:
        w.OnLButtonDown(e.x, e.y);
        break;
      case Ev::kMove:
        w.OnMouseMove(e.left, e.x, e.y);
        break;
      case Ev::kLUp:
        w.OnLButtonUp();
        break;
    }
  }
  return result;
}

QList<QPoint> Points(const CTouchWnd& w) {
  QList<QPoint> list;
  for (const TouchPoint& p : w.points) list.append(QPoint(p.x, p.y));
  return list;
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
    QTest::addColumn<int>("result");

    using P = QList<QPoint>;
    QTest::newRow("nothing") << std::vector<Ev>{} << P{} << 0 << 0;
    QTest::newRow("two fingers down")
        << std::vector<Ev>{Touch({Down(10000, 20000, 1), Down(30000, 40000, 2)})}
        << P{{100, 200}, {300, 400}} << 1 << 0;
    QTest::newRow("delivery order kept")
        << std::vector<Ev>{Touch({Down(30000, 100, 7), Moved(10000, 100, 3)})}
        << P{{300, 1}, {100, 1}} << 1 << 0;
    QTest::newRow("one of two fingers lifted")
        << std::vector<Ev>{Touch({Down(10000, 20000, 1), Down(30000, 40000, 2)}),
                           Touch({Lifted(10000, 20000, 1), Moved(35000, 45000, 2)})}
        << P{{350, 450}} << 1 << 0;
    QTest::newRow("last finger lifted")
        << std::vector<Ev>{Touch({Down(10000, 20000, 1)}), Touch({Lifted(10000, 20000, 1)})} << P{}
        << 0 << 0;
    QTest::newRow("x 51099 gives 510")
        << std::vector<Ev>{Touch({Down(51099, 199, 1)})} << P{{510, 1}} << 1 << 0;
    QTest::newRow("negative truncates toward zero")
        << std::vector<Ev>{Touch({Down(-150, -99, 1)})} << P{{-1, 0}} << 1 << 0;
    QTest::newRow("left button down") << std::vector<Ev>{LDown(10, 20)} << P{{10, 20}} << 0 << 0;
    QTest::newRow("drag replaces the point")
        << std::vector<Ev>{LDown(10, 20), Drag(30, 40)} << P{{30, 40}} << 0 << 0;
    QTest::newRow("drag from idle presses") << std::vector<Ev>{Drag(7, 8)} << P{{7, 8}} << 0 << 0;
    QTest::newRow("move without button changes nothing")
        << std::vector<Ev>{Hover(5, 5)} << P{} << 0 << 0;
    QTest::newRow("move without button keeps a pressed point")
        << std::vector<Ev>{LDown(1, 1), Hover(9, 9)} << P{{1, 1}} << 0 << 0;
    QTest::newRow("release empties the list")
        << std::vector<Ev>{LDown(1, 1), Drag(2, 2), LUp()} << P{} << 0 << 0;
    QTest::newRow("release while touching keeps the list")
        << std::vector<Ev>{Touch({Down(10000, 10000, 1)}), LUp()} << P{{100, 100}} << 1 << 0;
    QTest::newRow("mouse ignored while touching")
        << std::vector<Ev>{Touch({Down(10000, 10000, 1)}), LDown(50, 50), Drag(60, 60)}
        << P{{100, 100}} << 1 << 0;
    QTest::newRow("mouse works after the touch ended")
        << std::vector<Ev>{Touch({Down(10000, 10000, 1)}), Touch({Lifted(10000, 10000, 1)}),
                           LDown(5, 6)}
        << P{{5, 6}} << 0 << 0;
    QTest::newRow("touch takes over a pressed mouse")
        << std::vector<Ev>{LDown(5, 5), Touch({Down(1000, 2000, 1)}), LUp()} << P{{10, 20}} << 1
        << 0;
    QTest::newRow("unreadable touch keeps the list")
        << std::vector<Ev>{Touch({Down(10000, 10000, 1)}), Unreadable()} << P{{100, 100}} << 1
        << -1;
    QTest::newRow("unreadable touch keeps a mouse point and blocks its release")
        << std::vector<Ev>{LDown(3, 3), Unreadable(), LUp()} << P{{3, 3}} << 1 << -1;
    QTest::newRow("touch without inputs is unreadable")
        << std::vector<Ev>{NoInputs(), LDown(3, 3)} << P{} << 1 << -1;
    QTest::newRow("touch after an unreadable one is read")
        << std::vector<Ev>{Unreadable(), Touch({Down(200, 300, 1)})} << P{{2, 3}} << 1 << 0;
    QTest::newRow("cancel ends touching")
        << std::vector<Ev>{Touch({Down(10000, 10000, 1)}), Cancel(), LDown(2, 2)} << P{{2, 2}} << 0
        << 0;
  }

  void events() {
    QFETCH(std::vector<Ev>, events);
    QFETCH(QList<QPoint>, points);
    QFETCH(int, touching);
    QFETCH(int, result);

    CTouchWnd w;
    QCOMPARE(Apply(w, events), result);
    QCOMPARE(Points(w), points);
    QCOMPARE(w.pointCount, int32_t(points.size()));
    QCOMPARE(w.touching, touching);
  }

  void touch_keepsRawInputsUntilTheNext() {
    CTouchWnd w;
    const std::vector<TouchInput> first{Down(100, 200, 4), Lifted(300, 400, 5)};
    w.OnTouch(first.data(), 2);
    QCOMPARE(w.inputCount, 2);
    QCOMPARE(int(w.inputs.size()), 2);
    QCOMPARE(w.inputs[1].x, 300);
    QCOMPARE(w.inputs[1].flags, kTouchEventfUp);
    QCOMPARE(w.inputs[1].id, 5u);

    const TouchInput second = Moved(7, 8, 4);
    w.OnTouch(&second, 1);
    QCOMPARE(w.inputCount, 1);
    QCOMPARE(w.inputs[0].y, 8);
  }

  void activate_data() {
    QTest::addColumn<int>("ready");
    QTest::addColumn<QList<bool>>("activations");
    QTest::addColumn<QList<int>>("registered");

    QTest::newRow("no digitiser never registers")
        << 0 << QList<bool>{true, false, true} << QList<int>{0, 0, 0};
    QTest::newRow("activate, deactivate, activate")
        << 1 << QList<bool>{true, false, true} << QList<int>{1, 0, 1};
    QTest::newRow("repeated activation stays registered")
        << 1 << QList<bool>{true, true} << QList<int>{1, 1};
    QTest::newRow("deactivation first stays unregistered")
        << 1 << QList<bool>{false, true} << QList<int>{0, 1};
  }

  void activate() {
    QFETCH(int, ready);
    QFETCH(QList<bool>, activations);
    QFETCH(QList<int>, registered);

    CTouchWnd w;
    w.touchReady = ready;
    for (int i = 0; i < activations.size(); ++i) {
      w.OnActivate(activations[i]);
      QCOMPARE(w.touchRegistered, registered[i]);
    }
  }

  void destroy_forgetsContactsTheWindowCanNoLongerSee() {
    CTouchWnd w;
    w.touchReady = 1;
    w.OnActivate(true);
    const TouchInput finger = Down(10000, 10000, 1);
    w.OnTouch(&finger, 1);
    w.OnDestroy();
    QCOMPARE(w.pointCount, 0);
    QVERIFY(w.points.empty());
    QCOMPARE(w.touching, 0);
    QCOMPARE(w.touchRegistered, 0);
    QCOMPARE(w.touchReady, 1);
    // The mouse works at once in the next window.
    w.OnLButtonDown(4, 4);
    QCOMPARE(w.pointCount, 1);
  }

  void initTouchReady_data() {
    QTest::addColumn<bool>("digitizer");
    QTest::newRow("digitiser ready") << true;
    QTest::newRow("no digitiser") << false;
  }

  void initTouchReady() {
    QFETCH(bool, digitizer);
    testing::FakeUi fake;
    fake.digitizerReady = digitizer;
    InitTouchReady();
    QCOMPARE(touchWnd.touchReady, digitizer ? 1 : 0);
    QCOMPARE(touchWnd.pointCount, 0);
  }
};

QTEST_GUILESS_MAIN(TouchListTest)
#include "touch_list_test.moc"
