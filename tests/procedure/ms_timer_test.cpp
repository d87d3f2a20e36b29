#include "procedure/ms_timer.h"

#include <QtTest>
#include <vector>

#include "support/fake_ui.h"

namespace {

constexpr qint64 kMs = 1000000;

// What the hook saw; written on the tick thread, read after it is joined.
std::vector<int32_t> seen;

void OtherHook(int32_t) {}

}  // namespace

class MsTimerTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    MsTimerStop();
    MsTimerUseManualTicks(false);
    msTicks.store(0);
  }

  void startStopRestart_stateAndHook() {
    tickHook.store(&OtherHook);
    MsTimerStop();  // while stopped: only the hook is cleared
    QVERIFY(!MsTimerRunning() && MsTimerId() == 0 && tickHook.load() == nullptr);
    MsTimerStart();
    const uint32_t first = MsTimerId();
    QVERIFY(MsTimerRunning() && first != 0 && tickHook.load() == &TrialTickHook);
    QTRY_VERIFY(msTicks.load() > 0);
    tickHook.store(&OtherHook);
    const int32_t before = msTicks.load();
    MsTimerStart();  // while running: the same thread, the hook put back, no reset
    QVERIFY(MsTimerId() == first && tickHook.load() == &TrialTickHook && msTicks.load() >= before);
    MsTimerStop();
    QVERIFY(!MsTimerRunning() && MsTimerId() == 0 && tickHook.load() == nullptr);
    const int32_t kept = msTicks.load();
    QTest::qSleep(20);
    QCOMPARE(msTicks.load(), kept);  // a joined thread counts no more
    MsTimerStart();
    QVERIFY(MsTimerId() != 0 && MsTimerId() != first && msTicks.load() >= kept);
    msTicks.store(0);
    QTRY_VERIFY(msTicks.load() > 0);
  }

  void hook_calledOncePerMillisecondWithTheNewValue() {
    MsTimerStart();
    tickHook.store([](int32_t ticks) { seen.push_back(ticks); });
    QTRY_VERIFY(msTicks.load() > 50);
    MsTimerStop();
    QVERIFY(!seen.empty() && seen.back() <= msTicks.load());
    for (size_t i = 1; i < seen.size(); ++i) QCOMPARE(seen[i], seen[0] + int32_t(i));
  }

  // The trial run zeroes the counter by a plain store; the tick source must add, not overwrite.
  void storeOfZero_isNotUndoneByTheTickSource() {
    MsTimerUseManualTicks(true);
    MsTimerStart();
    MsTimerAdvanceManualClock(300 * kMs);
    msTicks.store(0);
    MsTimerAdvanceManualClock(30 * kMs);
    QCOMPARE(msTicks.load(), 30);
  }

  // Time from before a restart is never counted after it, even when the tick source is late.
  void restartAt_movesTheBaseline_data() {
    QTest::addColumn<qint64>("beforeNs");   // passed, not yet counted, before the restart
    QTest::addColumn<qint64>("zeroAgoNs");  // how long ago the zero lies at the restart
    QTest::addColumn<qint64>("afterNs");    // passed after the restart
    QTest::addColumn<int>("ticks");
    QTest::newRow("late tick source, zero now") << 5500 * kMs / 1000 << qint64(0) << qint64(0) << 0;
    QTest::newRow("zero 3.2 ms ago") << qint64(0) << 3200 * kMs / 1000 << qint64(0) << 3;
    QTest::newRow("fraction carries") << 7 * kMs << 200 * kMs / 1000 << 900 * kMs / 1000 << 1;
    QTest::newRow("whole ms after") << 2 * kMs << qint64(0) << 10 * kMs << 10;
  }

  void restartAt_movesTheBaseline() {
    QFETCH(qint64, beforeNs);
    QFETCH(qint64, zeroAgoNs);
    QFETCH(qint64, afterNs);
    QFETCH(int, ticks);
    MsTimerUseManualTicks(true);
    MsTimerStart();
    MsTimerAdvanceManualClock(beforeNs, false);
    MsTimerRestartAt(MsTimerNowNs() - zeroAgoNs);
    MsTimerAdvanceManualClock(afterNs);
    QCOMPARE(msTicks.load(), ticks);
  }

  void check_data() {
    QTest::addColumn<bool>("available");
    QTest::addColumn<qint64>("resolutionNs");
    QTest::addColumn<qint64>("latenessNs");
    QTest::addColumn<QString>("message");  // empty: the check passes
    const QString coarse =
        "System does not have enough resolution for MsTimer.\n\nReaction times measured now "
        "may be late by a millisecond or more. Close other programs and start Dorvane again; if "
        "this message comes back, run Help > Timing Check for what to change on this PC.";
    QTest::newRow("exactly 1 ms") << true << kMs << kMs << "";
    QTest::newRow("clock cannot be queried")
        << false << qint64(0) << qint64(0) << "System does not permit MsTimer.";
    QTest::newRow("2 ms clock") << true << 2 * kMs << qint64(0) << coarse;
    QTest::newRow("wake-ups just over 1 ms late") << true << qint64(1) << kMs + 1 << coarse;
  }

  void check() {
    QFETCH(bool, available);
    QFETCH(qint64, resolutionNs);
    QFETCH(qint64, latenessNs);
    QFETCH(QString, message);
    testing::FakeUi fake;
    msTicks.store(77);
    tickHook.store(&OtherHook);
    const bool pass = message.isEmpty();
    QCOMPARE(MsTimerCheck(TimerCaps{available, resolutionNs, latenessNs}), pass ? 1 : 0);
    QStringList boxes, expected;  // "text|type", "!" when not the program's own box
    for (const auto& b : fake.boxes)
      boxes << QString::fromStdString(b.text) + "|" + QString::number(b.type) +
                   (b.caption == ui::ApplicationName() && b.owner == fake.mainWindow ? "" : "!");
    if (!pass) expected << message + "|" + QString::number(ui::kMbOk | ui::kMbIconHand);
    QCOMPARE(boxes, expected);
    // Only a passed check clears the counter and the hook.
    QCOMPARE(msTicks.load(), pass ? 0 : 77);
    QVERIFY(tickHook.load() == (pass ? nullptr : &OtherHook));
  }

  // Late wake-ups are measured again before the check gives up; a coarse
  // clock is not.
  void check_retriesLateWakeUps_data() {
    QTest::addColumn<int>("lateFor");  // measurements with late wake-ups before good ones
    QTest::addColumn<bool>("coarse");  // a 2 ms clock
    QTest::addColumn<int>("measured");
    QTest::addColumn<int>("result");
    QTest::newRow("late once") << 1 << false << 2 << 1;
    QTest::newRow("late but the last time")
        << kTimerCheckAttempts - 1 << false << kTimerCheckAttempts << 1;
    QTest::newRow("late every time") << 99 << false << kTimerCheckAttempts << 0;
    QTest::newRow("coarse clock") << 99 << true << 1 << 0;
  }

  void check_retriesLateWakeUps() {
    QFETCH(int, lateFor);
    QFETCH(bool, coarse);
    QFETCH(int, measured);
    QFETCH(int, result);
    testing::FakeUi fake;
    int calls = 0;
    const int got = MsTimerCheck([&] {
      const bool late = calls++ < lateFor;
      return TimerCaps{true, coarse ? 2 * kMs : kMs, late ? 3 * kMs : kMs / 10};
    });
    QCOMPARE(got, result);
    QCOMPARE(calls, measured);
    QCOMPARE(fake.boxes.size(), size_t(result ? 0 : 1));
    if (!result) QVERIFY(QString::fromStdString(fake.boxes[0].text).contains("Timing Check"));
  }
};

QTEST_GUILESS_MAIN(MsTimerTest)
#include "ms_timer_test.moc"
