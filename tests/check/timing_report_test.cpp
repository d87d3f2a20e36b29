#include "check/timing_report.h"

#include <QtTest>

#include "check/figure_advice.h"

using check::TimingCheck;

Q_DECLARE_METATYPE(TimingCheck)

namespace {

// A PC on which everything is right: a real monitor at 60 Hz, vsync, no
// compositor, and every reaction time a fraction of a millisecond off.
TimingCheck GoodPc() {
  TimingCheck c;
  c.when = "2026-12-09 14:03:59";
  c.system = {"X11", "none", false, "AMD Radeon RX 6400", false, 1920, 1080, 60.0, "performance"};
  c.display.path = "opengl-vsync";
  c.display.onsetSource = "present-event";
  c.display.frames = 300;
  c.display.swapsWait = true;
  c.display.nominalPeriodMs = 16.667;
  c.display.intervals.assign(299, 16.667);
  c.display.intervalMs = check::SpreadOf(c.display.intervals);
  c.ticks.spanS = 10;
  c.ticks.realTimeGranted = true;
  c.ticks.latenessUs = check::SpreadOf({40, 50, 60});
  c.trial.trials = 20;
  c.trial.injection = "XTest";
  c.trial.stampedTouches = 40;
  for (int i = 0; i < 20; ++i) c.trial.errors.push_back({0.4, -0.3, true});
  return c;
}

QString Joined(const std::vector<std::string>& lines) {
  QStringList all;
  for (const std::string& l : lines) all << QString::fromStdString(l);
  return all.join('\n');
}

}  // namespace

class TimingReportTest : public QObject {
  Q_OBJECT

 private slots:
  void verdict_data() {
    QTest::addColumn<TimingCheck>("check");
    QTest::addColumn<bool>("pass");
    QTest::addColumn<QString>("failure");  // found in the failures; empty: none
    QTest::addColumn<QString>("advice");   // found in the advice; empty: none expected

    QTest::newRow("all good") << GoodPc() << true << ""
                              << "";
    TimingCheck missed = GoodPc();
    missed.display.missedRefreshes = 3;
    missed.display.swapsWait = false;
    QTest::newRow("missed refresh, vsync off") << missed << false << "3 of 300 frames missed"
                                               << "vsync is off";
    TimingCheck late = GoodPc();
    late.trial.errors[7].rt2 = 3.4;
    late.trial.errors[9].rt1 = -1.2;
    QTest::newRow("a late and an early RT")
        << late << false << "2 of 40 reaction times are outside [-1, +3] ms"
        << "";
    TimingCheck edges = GoodPc();
    edges.trial.errors[0] = {-1.0, 3.0, true};
    QTest::newRow("the goal's edges pass") << edges << true << ""
                                           << "";
    TimingCheck composited = GoodPc();
    composited.system.compositor = "running";
    composited.trial.missedRefreshes = 2;
    QTest::newRow("compositor") << composited << false << "2 frames of the trials missed"
                                << "switch it off, or at least its effects";
    TimingCheck unconfirmed = GoodPc();
    unconfirmed.display.unconfirmed = 5;
    unconfirmed.system.governor = "powersave";
    QTest::newRow("unconfirmed frames, powersave")
        << unconfirmed << false << "5 frames could not be confirmed"
        << "\"powersave\"";
    TimingCheck nothing = GoodPc();
    nothing.trial.errors.clear();
    QTest::newRow("no trial measured") << nothing << false << "no trial could be measured"
                                       << "";
  }

  void verdict() {
    QFETCH(TimingCheck, check);
    QFETCH(bool, pass);
    QFETCH(QString, failure);
    QFETCH(QString, advice);
    const check::Verdict v = check::Judge(check);
    QCOMPARE(v.pass, pass);
    QCOMPARE(v.failures.empty(), pass);
    if (!failure.isEmpty())
      QVERIFY2(Joined(v.failures).contains(failure), qPrintable(Joined(v.failures)));
    if (!advice.isEmpty())
      QVERIFY2(Joined(v.advice).contains(advice), qPrintable(Joined(v.advice)));
    const QString report = QString::fromStdString(check::FormatReport(check, v));
    QVERIFY(report.contains(pass ? "Verdict: PASS" : "Verdict: FAIL"));
    for (const std::string& f : v.failures) QVERIFY(report.contains(QString::fromStdString(f)));
  }

  void notes_virtualDisplayAndInputQueue() {
    TimingCheck c = GoodPc();
    c.system.virtualDisplay = true;
    c.trial.injection = "the program's input queue";
    const check::Verdict v = check::Judge(c);
    QVERIFY(v.pass);
    QVERIFY(Joined(v.notes).contains("virtual display: onsets are confirmed by read-back only"));
    QVERIFY(Joined(v.notes).contains("input queue"));
  }

  // Each figure that is wrong gets a row of its own with what to do; a row
  // that fails the check is one the verdict names.
  void figureAdvice_data() {
    QTest::addColumn<TimingCheck>("check");
    QTest::addColumn<QString>("figure");  // empty: no row at all
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("advice");
    QTest::newRow("all good") << GoodPc() << "" << false << "";
    TimingCheck c = GoodPc();
    c.display.swapsWait = false;
    QTest::newRow("swaps do not wait") << c << "swaps wait for the refresh" << false << "vsync";
    c = GoodPc();
    c.display.missedRefreshes = 2;
    QTest::newRow("missed, display")
        << c << "missed refreshes (display)" << true << "Close other programs";
    c = GoodPc();
    c.trial.missedRefreshes = 2;
    QTest::newRow("missed, trials")
        << c << "missed refreshes (trial loop)" << true << "Close other programs";
    c = GoodPc();
    c.display.unconfirmed = 1;
    QTest::newRow("unconfirmed") << c << "unconfirmed frames" << true << "own driver";
    c = GoodPc();
    c.trial.errors[3].rt1 = -1.5;
    QTest::newRow("RT early") << c << "reaction times outside [-1, +3] ms" << true
                              << "run the check again";
    c = GoodPc();
    c.trial.errors.clear();
    QTest::newRow("no trials") << c << "trials measured" << true << "presses did not reach";
    c = GoodPc();
    c.display.frames = 0;
    QTest::newRow("no frames") << c << "frames presented" << true << "No frame reached";
    c = GoodPc();
    c.system.compositor = "running";
    QTest::newRow("compositor") << c << "compositor" << false << "switch it off";
    c = GoodPc();
    c.system.governor = "powersave";
    QTest::newRow("governor") << c << "processor governor" << false << "performance";
    c = GoodPc();
    c.ticks.realTimeGranted = false;
    c.ticks.latenessUs.p99 = 800;
    QTest::newRow("no real time") << c << "real-time priority" << false << "rtprio";
    c = GoodPc();
    c.trial.sampledTouches = 1;
    QTest::newRow("sampled touches")
        << c << "touches with their own stamp" << false << "remote display";
  }

  void figureAdvice() {
    QFETCH(TimingCheck, check);
    QFETCH(QString, figure);
    QFETCH(bool, fails);
    QFETCH(QString, advice);
    const std::vector<check::FigureAdvice> rows = check::AdviseOnFigures(check);
    const check::Verdict v = check::Judge(check);
    int failing = 0;
    for (const check::FigureAdvice& a : rows) failing += a.fails ? 1 : 0;
    QCOMPARE(failing, int(v.failures.size()));
    if (figure.isEmpty()) {
      QVERIFY(rows.empty());
      return;
    }
    QCOMPARE(rows.size(), size_t(1));
    QCOMPARE(QString::fromStdString(rows[0].figure), figure);
    QCOMPARE(rows[0].fails, fails);
    QVERIFY2(QString::fromStdString(rows[0].advice).contains(advice),
             qPrintable(QString::fromStdString(rows[0].advice)));
    // A warning does not change the verdict but the report says it.
    const QString report = QString::fromStdString(check::FormatReport(check, v));
    QCOMPARE(report.contains("  warning: " + figure + ": "), !fails);
  }

  void spread_data() {
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QList<double>>("expected");  // median, p99, worst, least, mean
    QTest::newRow("none") << QList<double>{} << QList<double>{0, 0, 0, 0, 0};
    QTest::newRow("one") << QList<double>{2.5} << QList<double>{2.5, 2.5, 2.5, 2.5, 2.5};
    QList<double> hundred;
    for (int i = 100; i >= 1; --i) hundred << i;
    QTest::newRow("1 to 100") << hundred << QList<double>{51, 100, 100, 1, 50.5};
  }

  void spread() {
    QFETCH(QList<double>, values);
    QFETCH(QList<double>, expected);
    const check::Spread s = check::SpreadOf(std::vector<double>(values.begin(), values.end()));
    QCOMPARE(QList<double>({s.median, s.p99, s.worst, s.least, s.mean}), expected);
    QCOMPARE(s.count, int(values.size()));
  }

  void summary_countsSourcesAndTouches() {
    std::vector<TrialTiming> timings(3);
    FrameRecord confirmed;
    confirmed.onset.source = OnsetSource::kReadback;
    confirmed.onset.returnNs = 1000000;
    confirmed.onset.onsetNs = 1500000;
    confirmed.onset.uncertaintyNs = 400000;
    FrameRecord flagged;
    flagged.onset.missedRefreshes = 1;
    timings[0].frames = {confirmed, flagged};
    timings[1].frames = {confirmed};
    timings[2].frames = {flagged, flagged};  // past the trials run: not counted
    TouchRecord stamped;
    stamped.source = TouchTimeSource::kStamp;
    timings[0].touches = {stamped, TouchRecord{}};
    const check::TestTimingSummary s = check::SummariseTest(timings, 2);
    QCOMPARE(s.frames, 3);
    QCOMPARE(s.unconfirmed, 1);
    QCOMPARE(s.missedRefreshes, 1);
    QCOMPARE(s.sources.size(), size_t(2));
    QCOMPARE(s.worstUncertaintyMs, 0.4);
    QCOMPARE(s.returnToOnsetMs.median, 0.5);
    QCOMPARE(s.stampedTouches, 1);
    QCOMPARE(s.sampledTouches, 1);
  }
};

QTEST_APPLESS_MAIN(TimingReportTest)
#include "timing_report_test.moc"
