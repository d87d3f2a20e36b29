// The Timing Check's result dialog: its verdict first, a row of advice for
// each failed figure, charts at their own size, and a size that fits a
// 1024 x 768 screen with a desktop panel whatever the report's length.
#include "check/timing_check_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QtTest>

using check::TimingCheck;
Q_DECLARE_METATYPE(TimingCheck)

namespace {

// A real monitor at 60 Hz with vsync and no compositor, every RT a fraction off.
TimingCheck GoodPc() {
  TimingCheck c;
  c.system = {"X11", "none", false, "AMD Radeon RX 6400", false, 1920, 1080, 60.0, "performance"};
  c.display.frames = 300;
  c.display.swapsWait = true;
  c.ticks.realTimeGranted = true;
  c.trial.trials = 20;
  c.trial.injection = "XTest";
  c.trial.stampedTouches = 40;
  for (int i = 0; i < 20; ++i) c.trial.errors.push_back({0.4, -0.3, true});
  return c;
}

// Everything that can go wrong at once: the longest table and report.
TimingCheck WorstPc() {
  TimingCheck c = GoodPc();
  c.system.compositor = "running";
  c.system.softwareRendering = true;
  c.system.governor = "powersave";
  c.display.swapsWait = false;
  c.display.missedRefreshes = 40;
  c.display.unconfirmed = 7;
  c.trial.missedRefreshes = 9;
  c.trial.sampledTouches = 3;
  c.ticks.realTimeGranted = false;
  c.ticks.latenessUs.p99 = 900;
  for (auto& e : c.trial.errors) e.rt1 = 8;
  return c;
}

struct Shown {
  check::Verdict verdict;
  std::vector<check::FigureAdvice> advice;
  std::unique_ptr<check::TimingCheckDialog> dialog;
};

Shown Show(const TimingCheck& c, int reportLines = 60) {
  Shown s;
  s.verdict = check::Judge(c);
  s.advice = check::AdviseOnFigures(c);
  std::string report = check::FormatReport(c, s.verdict);
  for (int i = 0; i < reportLines; ++i)
    report +=
        "  a long line of the report, number " + std::to_string(i) + std::string(60, '.') + "\n";
  const std::vector<QImage> charts(2, QImage(640, 420, QImage::Format_RGB32));
  s.dialog = std::make_unique<check::TimingCheckDialog>(
      s.verdict, s.advice, report, charts, "Saved as /a/rather/long/path/timing-check.txt");
  return s;
}

}  // namespace

class TimingCheckDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void verdict_firstAndEachFigureItsAdvice_data() {
    QTest::addColumn<TimingCheck>("check");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("figure");  // a row of the table; empty: no table
    QTest::addColumn<QString>("advice");  // found in that row's advice
    QTest::addColumn<QString>("status");
    QTest::newRow("pass") << GoodPc() << "Verdict: PASS"
                          << ""
                          << ""
                          << "";
    TimingCheck noVsync = GoodPc();
    noVsync.display.swapsWait = false;
    QTest::newRow("swaps do not wait") << noVsync << "Verdict: PASS"
                                       << "swaps wait for the refresh"
                                       << "vsync"
                                       << "warning";
    TimingCheck missed = GoodPc();
    missed.display.missedRefreshes = 3;
    QTest::newRow("missed refreshes") << missed << "Verdict: FAIL"
                                      << "missed refreshes (display)"
                                      << "Close other programs"
                                      << "fails";
    TimingCheck late = GoodPc();
    late.trial.errors[4].rt2 = 5;
    QTest::newRow("late RT") << late << "Verdict: FAIL"
                             << "reaction times outside [-1, +3] ms"
                             << "run the check again"
                             << "fails";
  }

  void verdict_firstAndEachFigureItsAdvice() {
    QFETCH(TimingCheck, check);
    QFETCH(QString, verdict);
    QFETCH(QString, figure);
    QFETCH(QString, advice);
    QFETCH(QString, status);
    const Shown s = Show(check);
    QCOMPARE(s.dialog->layout()->itemAt(0)->widget(), s.dialog->VerdictText());
    QVERIFY2(s.dialog->VerdictText()->text().startsWith(verdict),
             qPrintable(s.dialog->VerdictText()->text()));
    QTableWidget* table = s.dialog->AdviceTable();
    if (figure.isEmpty()) {
      QVERIFY(!table);
      return;
    }
    QVERIFY(table);
    if (status == "warning") QVERIFY(s.dialog->VerdictText()->text().contains("warnings below"));
    QCOMPARE(table->rowCount(), int(s.advice.size()));
    const QList<QTableWidgetItem*> found = table->findItems(figure, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    const int row = found[0]->row();
    QCOMPARE(table->item(row, 2)->text(), status);
    QVERIFY2(table->item(row, 3)->text().contains(advice), qPrintable(table->item(row, 3)->text()));
  }

  void size_fitsSmallScreenWithPanel_data() {
    QTest::addColumn<TimingCheck>("check");
    QTest::addColumn<int>("reportLines");
    QTest::newRow("pass, short report") << GoodPc() << 0;
    QTest::newRow("everything wrong, long report") << WorstPc() << 400;
  }

  void size_fitsSmallScreenWithPanel() {
    QFETCH(TimingCheck, check);
    QFETCH(int, reportLines);
    const Shown s = Show(check, reportLines);
    // 1024 x 720 available, less a title bar and frame.
    const QSize room(1024 - 16, 720 - 40);
    for (const QSize& size : {s.dialog->sizeHint(), s.dialog->minimumSizeHint(),
                              s.dialog->minimumSize(), s.dialog->size()}) {
      QVERIFY2(size.width() <= room.width() && size.height() <= room.height(),
               qPrintable(QString("%1 x %2").arg(size.width()).arg(size.height())));
    }
    QVERIFY(s.dialog->maximumSize().width() > room.width());  // resizable
    s.dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.dialog.get()));
    // The buttons stay inside the dialog.
    const auto* ok = s.dialog->findChild<QDialogButtonBox*>();
    QVERIFY(ok && s.dialog->rect().contains(ok->geometry()));
  }

  void charts_shownAtTheirOwnSize() {
    const Shown s = Show(WorstPc());
    QCOMPARE(s.dialog->Charts().size(), size_t(2));
    for (const QLabel* chart : s.dialog->Charts())
      QCOMPARE(chart->pixmap().size(), QSize(640, 420));
  }

  void frame_closeBoxOnly() {
    const Shown s = Show(GoodPc());
    const Qt::WindowFlags flags = s.dialog->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  }
};

QTEST_MAIN(TimingCheckDialogTest)
#include "timing_check_dialog_test.moc"
