#include "procedure/touch_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>
#include <vector>

namespace {

// Logical pixels are half physical ones in this test (QT_SCALE_FACTOR=2 in
// main), so a missed conversion shows as a halved position.
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
      window.ShowFullScreen();
      QVERIFY(QTest::qWaitForWindowExposed(&window));
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
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
  QGuiApplication app(argc, argv);
  TouchWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "touch_window_test.moc"
