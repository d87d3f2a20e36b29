#include "test/ms_timer.h"

#include <QtTest>
#include <chrono>
#include <thread>
#include <vector>

#include "support/fake_ui.h"

Q_DECLARE_METATYPE(std::vector<qint64>)

namespace {

constexpr int64_t kMs = 1000000;

// What the hook saw, written on the tick thread and read after it is joined.
struct HookLog {
  int32_t first = 0;
  int32_t last = 0;
  int calls = 0;
  bool consecutive = true;
};
HookLog hookLog;

void RecordingHook(int32_t ticks) {
  if (hookLog.calls == 0) {
    hookLog.first = ticks;
  } else if (ticks != hookLog.last + 1) {
    hookLog.consecutive = false;
  }
  hookLog.last = ticks;
  ++hookLog.calls;
}

void OtherHook(int32_t) {}

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               since)
      .count();
}

}  // namespace

class MsTimerTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    MsTimerStop();
    msTicks.store(0);
  }

  void takeWholeMs_countsRealTimeNotWakeUps_data() {
    QTest::addColumn<std::vector<qint64>>("wakeNs");
    QTest::addColumn<std::vector<qint64>>("counted");

    // Each row starts at 0 ns.
    QTest::newRow("on time") << std::vector<qint64>{kMs, 2 * kMs, 3 * kMs}
                             << std::vector<qint64>{1, 1, 1};
    QTest::newRow("slightly late wake-ups do not drift")
        << std::vector<qint64>{kMs + 300000, 2 * kMs + 600000, 3 * kMs + 900000, 4 * kMs + 200000}
        << std::vector<qint64>{1, 1, 1, 1};
    QTest::newRow("fractions carry over")
        << std::vector<qint64>{kMs / 2, kMs + kMs / 2, 2 * kMs + kMs / 2}
        << std::vector<qint64>{0, 1, 1};
    QTest::newRow("late wake-up catches up")
        << std::vector<qint64>{kMs, 6 * kMs + 10, 7 * kMs} << std::vector<qint64>{1, 5, 1};
    QTest::newRow("early wake-up counts nothing")
        << std::vector<qint64>{kMs - 1, kMs} << std::vector<qint64>{0, 1};
    QTest::newRow("clock going back counts nothing")
        << std::vector<qint64>{2 * kMs, kMs, 3 * kMs} << std::vector<qint64>{2, 0, 1};
  }

  void takeWholeMs_countsRealTimeNotWakeUps() {
    QFETCH(std::vector<qint64>, wakeNs);
    QFETCH(std::vector<qint64>, counted);
    int64_t last = 0;
    int64_t total = 0;
    for (size_t i = 0; i < wakeNs.size(); ++i) {
      const int32_t n = TakeWholeMs(&last, wakeNs[i]);
      QCOMPARE(qint64(n), counted[i]);
      total += n;
    }
    // Nothing is lost: all whole milliseconds up to the latest wake-up.
    int64_t latest = 0;
    for (qint64 w : wakeNs) latest = std::max<int64_t>(latest, w);
    QCOMPARE(total, latest / kMs);
  }

  void start_installsHookAndRuns() {
    QVERIFY(!MsTimerRunning());
    MsTimerStart();
    QVERIFY(MsTimerRunning());
    QVERIFY(MsTimerId() != 0);
    QVERIFY(tickHook.load() == &TrialTickHook);
  }

  void startWhileRunning_changesOnlyHook() {
    MsTimerStart();
    const uint32_t id = MsTimerId();
    tickHook.store(&OtherHook);
    QTRY_VERIFY(msTicks.load() > 0);
    const int32_t before = msTicks.load();
    MsTimerStart();
    QCOMPARE(MsTimerId(), id);
    QVERIFY(tickHook.load() == &TrialTickHook);
    QVERIFY(msTicks.load() >= before);  // not reset by the start
  }

  void stop_joinsThreadAndClearsHook() {
    MsTimerStart();
    MsTimerStop();
    QVERIFY(!MsTimerRunning());
    QCOMPARE(MsTimerId(), 0u);
    QVERIFY(tickHook.load() == nullptr);
    // A joined thread counts no more; the counter keeps its last value.
    const int32_t after = msTicks.load();
    SleepMs(20);
    QCOMPARE(msTicks.load(), after);
  }

  void stopWhileStopped_onlyClearsHook() {
    tickHook.store(&OtherHook);
    msTicks.store(42);
    MsTimerStop();
    QVERIFY(tickHook.load() == nullptr);
    QCOMPARE(MsTimerId(), 0u);
    QCOMPARE(msTicks.load(), 42);
  }

  void twoTrials_eachStartTheirOwnThread() {
    MsTimerStart();
    const uint32_t first = MsTimerId();
    msTicks.store(0);
    QTRY_VERIFY(msTicks.load() > 0);
    MsTimerStop();
    const int32_t kept = msTicks.load();

    MsTimerStart();
    const uint32_t second = MsTimerId();
    QVERIFY(second != 0);
    QVERIFY(second != first);
    QVERIFY(msTicks.load() >= kept);  // start does not reset the counter
    msTicks.store(0);
    QTRY_VERIFY(msTicks.load() > 0);
    MsTimerStop();
  }

  void reset_isNotUndoneByTheTickThread() {
    MsTimerStart();
    // Let a counter that kept its own total build up a large one.
    SleepMs(300);
    QVERIFY(msTicks.load() > 0);
    const auto since = std::chrono::steady_clock::now();
    msTicks.store(0);
    SleepMs(30);
    const int32_t ticks = msTicks.load();
    const int64_t elapsed = ElapsedMs(since);
    // Only time after the reset (plus whatever had not been counted yet when
    // it happened) may show; a counter that overwrote the reset would be >= 300.
    QVERIFY2(ticks < elapsed + 150,
             qPrintable(QString("ticks %1 after %2 ms").arg(ticks).arg(elapsed)));
  }

  void hook_calledOncePerMillisecondWithTheNewValue() {
    hookLog = HookLog{};
    MsTimerStart();
    tickHook.store(&RecordingHook);
    QTRY_VERIFY(msTicks.load() > 50);
    tickHook.store(nullptr);
    MsTimerStop();
    QVERIFY(hookLog.calls > 0);
    QVERIFY(hookLog.consecutive);
    QCOMPARE(hookLog.calls, hookLog.last - hookLog.first + 1);
    QVERIFY(hookLog.last <= msTicks.load());
  }

  void check_data() {
    QTest::addColumn<bool>("available");
    QTest::addColumn<qint64>("resolutionNs");
    QTest::addColumn<qint64>("latenessNs");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");

    QTest::newRow("fine clock, punctual wake-ups") << true << qint64(1) << qint64(60000) << 1 << "";
    QTest::newRow("exactly 1 ms") << true << qint64(kMs) << qint64(kMs) << 1 << "";
    QTest::newRow("clock cannot be queried")
        << false << qint64(0) << qint64(0) << 0 << "System does not permit MsTimer.";
    QTest::newRow("2 ms clock") << true << qint64(2 * kMs) << qint64(0) << 0
                                << "System does not have enough resolution for MsTimer.";
    QTest::newRow("10 ms wake-ups") << true << qint64(1) << qint64(10 * kMs) << 0
                                    << "System does not have enough resolution for MsTimer.";
    QTest::newRow("just over 1 ms late") << true << qint64(1) << qint64(kMs + 1) << 0
                                         << "System does not have enough resolution for MsTimer.";
  }

  void check() {
    QFETCH(bool, available);
    QFETCH(qint64, resolutionNs);
    QFETCH(qint64, latenessNs);
    QFETCH(int, result);
    QFETCH(QString, message);

    testing::FakeUi fake;
    msTicks.store(77);
    tickHook.store(&OtherHook);
    TimerCaps caps;
    caps.available = available;
    caps.resolutionNs = resolutionNs;
    caps.medianLatenessNs = latenessNs;
    QCOMPARE(MsTimerCheck(caps), result);

    if (message.isEmpty()) {
      QVERIFY(fake.boxes.empty());
      QCOMPARE(msTicks.load(), 0);
      QVERIFY(tickHook.load() == nullptr);
    } else {
      QCOMPARE(fake.boxes.size(), size_t(1));
      QCOMPARE(QString::fromStdString(fake.boxes[0].text), message);
      QCOMPARE(fake.boxes[0].type, ui::kMbOk | ui::kMbIconHand);
      QCOMPARE(fake.boxes[0].caption, ui::ApplicationName());
      QCOMPARE(fake.boxes[0].owner, fake.mainWindow);
      // A failed check changes nothing else.
      QCOMPARE(msTicks.load(), 77);
      QVERIFY(tickHook.load() == &OtherHook);
    }
  }

  void checkWhileRunning_leavesTheThreadRunning() {
    testing::FakeUi fake;
    MsTimerStart();
    TimerCaps caps;
    caps.available = true;
    caps.resolutionNs = 1;
    QCOMPARE(MsTimerCheck(caps), 1);
    QVERIFY(MsTimerRunning());
    QTRY_VERIFY(msTicks.load() > 0);
  }

  void measureTimerCaps_reportsTheMonotonicClock() {
    const TimerCaps caps = MeasureTimerCaps();
    QVERIFY(caps.available);
    QVERIFY(caps.resolutionNs > 0);
    QVERIFY(caps.medianLatenessNs >= 0);  // deadlines are never met early
  }
};

QTEST_GUILESS_MAIN(MsTimerTest)
#include "ms_timer_test.moc"
