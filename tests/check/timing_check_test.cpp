// A short timing check inside the program's own process, on the virtual X
// server: it leaves the test's state as it found it and writes nothing, and
// its dialog shows the report.
#include "check/timing_check.h"

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#include "check/timing_check_dialog.h"
#include "display/gl_presenter.h"
#include "display/surfaces.h"
#include "procedure/staircase.h"
#include "procedure/trial_timing.h"
#include "settings/test_settings.h"
#include "ui/qt_services.h"

class TimingCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void check_leavesTheTestAsItWas() {
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    ui::QtServices services;
    ui::Services* previous = ui::SetUi(&services);
    display::SetPresenterFactory(display::MakeGlPresenter);
    ScreenSize = {services.ScreenWidth(), services.ScreenHeight()};
    QVERIFY(InitDisplay(nullptr));

    // A test the experimenter ran before: its table, timings and settings.
    ResetTest();
    testState.trials[0] = TrialRecord{1, 3, 2, 1234, 567, 1, 1};
    testState.trialsRun = 1;
    testState.reversals = 1;
    trialTimings[0].cells = {4, 9, 14};
    trialTimings[0].rt1ZeroNs = 42;
    testSettings.subject = "P07";
    testSettings.memtime = 7;
    testSettings.hide_mouse = 1;
    const TestState before = testState;
    const std::vector<TrialTiming> timingsBefore = trialTimings;

    check::CheckOptions options;
    options.frames = 20;
    options.tickSpanS = 0.5;
    options.latenessSamples = 50;
    options.trials = 2;
    const check::TimingCheck check = check::RunTimingCheck(options, nullptr);
    QCOMPARE(check.trial.trials, 2);
    QVERIFY(check.display.frames > 0);

    QCOMPARE(std::memcmp(&testState, &before, sizeof before), 0);
    QCOMPARE(trialTimings.size(), timingsBefore.size());
    QCOMPARE(trialTimings[0].cells, timingsBefore[0].cells);
    QCOMPARE(trialTimings[0].rt1ZeroNs, int64_t(42));
    QVERIFY(trialTimings[1].frames.empty());
    QCOMPARE(testSettings.subject, std::string("P07"));
    QCOMPARE(testSettings.memtime, 7);
    QCOMPARE(testSettings.hide_mouse, 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    const std::string report = check::FormatReport(check, check::Judge(check));
    check::TimingCheckDialog dialog(report, QImage(10, 10, QImage::Format_RGB32), "saved");
    QCOMPARE(dialog.windowTitle(), QString("Timing Check"));
    QCOMPARE(dialog.Report()->toPlainText().toStdString(), report);

    ShutDownDisplay();
    display::SetPresenterFactory(nullptr);
    ui::SetUi(previous);
  }
};

QTEST_MAIN(TimingCheckTest)
#include "timing_check_test.moc"
