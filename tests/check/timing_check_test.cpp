// A short timing check inside the program's own process, on the virtual X
// server: it leaves the test's state as it found it and writes nothing, and
// its dialog shows the report.
#include "check/timing_check.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstring>

#include "check/check_command.h"
#include "check/timing_chart.h"
#include "check/timing_check_dialog.h"
#include "display/gl_presenter.h"
#include "display/surfaces.h"
#include "procedure/staircase.h"
#include "settings/test_settings.h"
#include "ui/qt_services.h"

namespace {

check::CheckOptions ShortCheck() {
  check::CheckOptions options;
  options.frames = 20;
  options.tickSpanS = 0.5;
  options.latenessSamples = 50;
  options.trials = 2;
  return options;
}

// Answers the notice box with `button` when it shows, and closes the
// result dialog if one comes: a failed check cannot hang. Returns the texts
// of the boxes answered, and whether a full-screen window was up when one was.
struct Answerer {
  QStringList notices;
  bool screenTakenBeforeNotice = false;
  bool resultShown = false;
  QTimer timer;

  explicit Answerer(QMessageBox::StandardButton button) {
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [this, button] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
          notices << box->text();
          for (QWindow* window : QGuiApplication::topLevelWindows()) {
            if (window != box->windowHandle() && window->isVisible())
              screenTakenBeforeNotice = true;
          }
          box->button(button)->click();
        } else if (auto* dialog = qobject_cast<check::TimingCheckDialog*>(w)) {
          resultShown = true;
          dialog->accept();
        }
      }
    });
    timer.start();
  }
};

QStringList FilesIn(const QTemporaryDir& dir) {
  return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

}  // namespace

class TimingCheckTest : public QObject {
  Q_OBJECT

 private slots:
  // The menu's check: the notice comes before the screen is taken, and
  // Cancel runs nothing; OK runs the check, saves it and shows the result.
  void menu_noticeFirst_cancelRunsNothing_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("Cancel") << false;
    QTest::newRow("OK") << true;
  }

  void menu_noticeFirst_cancelRunsNothing() {
    QFETCH(bool, ok);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    ui::QtServices services;
    ui::Services* previous = ui::SetUi(&services);
    display::SetPresenterFactory(display::MakeGlPresenter);
    ScreenSize = {services.ScreenWidth(), services.ScreenHeight()};
    QVERIFY(InitDisplay(nullptr));
    Answerer answer(ok ? QMessageBox::Ok : QMessageBox::Cancel);
    check::RunTimingCheckFromMenu(nullptr, ShortCheck());
    ShutDownDisplay();
    display::SetPresenterFactory(nullptr);
    ui::SetUi(previous);
    QCOMPARE(answer.notices.size(), 1);
    QVERIFY2(answer.notices[0].contains("do not touch the screen"), qPrintable(answer.notices[0]));
    QVERIFY(!answer.screenTakenBeforeNotice);
    QCOMPARE(answer.resultShown, ok);
    QCOMPARE(FilesIn(dir).size(), ok ? 2 : 0);
  }

  // dorvane-check asks the same; cancelled, it measures and writes nothing.
  void command_cancelAtNotice_runsNothing() {
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    Answerer answer(QMessageBox::Cancel);
    const char* args[] = {"dorvane-check", "--frames", "20", "--trials", "2", "--span", "0.5"};
    QCOMPARE(check::RunCheckCommand(7, const_cast<char**>(args)), 2);
    QCOMPARE(answer.notices.size(), 1);
    QVERIFY(answer.notices[0].contains("do not touch the screen"));
    QCOMPARE(FilesIn(dir), QStringList());
  }

  void check_leavesTheTestAsItWas() {
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    ui::QtServices services;
    ui::Services* previous = ui::SetUi(&services);
    display::SetPresenterFactory(display::MakeGlPresenter);
    ScreenSize = {services.ScreenWidth(), services.ScreenHeight()};
    QVERIFY(InitDisplay(nullptr));

    // A test the experimenter ran before: its table and settings.
    ResetTest();
    testState.trials[0] = TrialRecord{1, 3, 2, 1234, 567, 1, 1};
    testState.trialsRun = 1;
    testState.reversals = 1;
    testSettings.subject = "P07";
    testSettings.memtime = 7;
    testSettings.hide_mouse = 1;
    const TestState before = testState;

    const check::TimingCheck check = check::RunTimingCheck(ShortCheck(), nullptr);
    QCOMPARE(check.trial.trials, 2);
    QVERIFY(check.display.frames > 0);

    QCOMPARE(std::memcmp(&testState, &before, sizeof before), 0);
    QCOMPARE(testSettings.subject, std::string("P07"));
    QCOMPARE(testSettings.memtime, 7);
    QCOMPARE(testSettings.hide_mouse, 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    const check::Verdict verdict = check::Judge(check);
    const std::string report = check::FormatReport(check, verdict);
    check::TimingCheckDialog dialog(verdict, check::AdviseOnFigures(check), report,
                                    check::RenderTimingChartImages(check), "saved");
    QCOMPARE(dialog.windowTitle(), QString("Timing Check"));
    QCOMPARE(dialog.Report()->toPlainText().toStdString(), report);

    ShutDownDisplay();
    display::SetPresenterFactory(nullptr);
    ui::SetUi(previous);
  }
};

QTEST_MAIN(TimingCheckTest)
#include "timing_check_test.moc"
