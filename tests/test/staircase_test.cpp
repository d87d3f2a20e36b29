#include "test/staircase.h"

#include <QtTest>
#include <vector>

#include "settings/test_settings.h"

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// Runs outcomes (1 = error) through the staircase until it says the test is
// over or the outcomes run out; returns the number of trials run.
int Run(const std::vector<int>& errors, int maxRev, bool* complete) {
  testSettings.max_rev = maxRev;
  ResetTest();
  *complete = false;
  for (int i = 0; i < static_cast<int>(errors.size()); ++i) {
    testState.trials[i].Error = errors[i];
    if (AdvanceStaircase(i)) {
      *complete = true;
      return i + 1;
    }
  }
  return static_cast<int>(errors.size());
}

std::vector<int> Column(int TrialRecord::*field, int n) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(testState.trials[i].*field);
  return v;
}

}  // namespace

class StaircaseTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { testSettings = TestSettings{}; }

  void resetTest_clearsTableAndStartsAtThree() {
    testState.trials[5] = TrialRecord{9, 9, 9, 9, 9, 9, 9};
    testState.trialsRun = 17;
    testState.reversals = 5;
    testState.direction = -1;
    ResetTest();
    for (int k = 0; k < kMaxTrials; ++k) {
      const TrialRecord& r = testState.trials[k];
      QCOMPARE(r.Trial, k + 1);
      QCOMPARE(r.NItems, k == 0 ? 3 : 0);
      QVERIFY(!r.NCorrect && !r.RT1 && !r.RT2 && !r.Error && !r.Rev);
    }
    QCOMPARE(testState.trialsRun, 0);
    QCOMPARE(testState.reversals, 0);
    QCOMPARE(testState.direction, 1);
  }

  void outcomes_data() {
    QTest::addColumn<std::vector<int>>("errors");
    QTest::addColumn<int>("maxRev");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("trials");
    QTest::addColumn<std::vector<int>>("nItems");
    QTest::addColumn<std::vector<int>>("rev");

    QTest::newRow("six-trial example")
        << std::vector<int>{0, 0, 1, 0, 1, 0} << 4 << true << 6
        << std::vector<int>{3, 4, 5, 4, 5, 4, 5} << std::vector<int>{0, 0, 1, 2, 3, 4, 0};
    QTest::newRow("first correct goes up") << std::vector<int>{0} << 4 << false << 1
                                           << std::vector<int>{3, 4} << std::vector<int>{0, 0};
    QTest::newRow("first error is reversal 1") << std::vector<int>{1} << 4 << false << 1
                                               << std::vector<int>{3, 2} << std::vector<int>{1, 0};
    QTest::newRow("errors going down are no reversals")
        << std::vector<int>{1, 1, 0, 0} << 9 << false << 4 << std::vector<int>{3, 2, 1, 2, 3}
        << std::vector<int>{1, 0, 2, 0, 0};
    QTest::newRow("max_rev 0 ends after a correct first trial")
        << std::vector<int>{0} << 0 << true << 1 << std::vector<int>{3, 4}
        << std::vector<int>{0, 0};
    QTest::newRow("max_rev 0 after an error never ends early")
        << std::vector<int>{1, 0, 1, 0} << 0 << false << 4 << std::vector<int>{3, 2, 3, 2, 3}
        << std::vector<int>{1, 2, 3, 4, 0};
  }

  void outcomes() {
    QFETCH(std::vector<int>, errors);
    QFETCH(int, maxRev);
    QFETCH(bool, complete);
    QFETCH(int, trials);
    QFETCH(std::vector<int>, nItems);
    QFETCH(std::vector<int>, rev);

    bool done = false;
    QCOMPARE(Run(errors, maxRev, &done), trials);
    QCOMPARE(done, complete);
    QCOMPARE(testState.trialsRun, trials);
    QCOMPARE(Column(&TrialRecord::NItems, static_cast<int>(nItems.size())), nItems);
    QCOMPARE(Column(&TrialRecord::Rev, static_cast<int>(rev.size())), rev);
  }

  void tableFull_endsAfter200Trials_data() {
    QTest::addColumn<int>("maxRev");
    QTest::newRow("negative max_rev") << -1;
    QTest::newRow("max_rev 0 after an early error") << 0;
    QTest::newRow("max_rev out of reach") << 1000;
  }

  void tableFull_endsAfter200Trials() {
    QFETCH(int, maxRev);
    // Alternate error/correct so that nearly every trial reverses; the
    // 200th trial must end the test with Rev 0 whatever its outcome.
    std::vector<int> errors;
    for (int i = 0; i < kMaxTrials; ++i) errors.push_back(i % 2 == 0 ? 1 : 0);
    bool done = false;
    QCOMPARE(Run(errors, maxRev, &done), kMaxTrials);
    QVERIFY(done);
    QCOMPARE(testState.trialsRun, kMaxTrials);
    QCOMPARE(testState.trials[kMaxTrials - 1].Rev, 0);
    QCOMPARE(testState.reversals, kMaxTrials - 1);
  }

  void ceiling_holdsTwentyWithoutReversal() {
    std::vector<int> errors(30, 0);
    errors.push_back(1);
    bool done = false;
    QCOMPARE(Run(errors, 1, &done), 31);
    QVERIFY(done);
    for (int i = 17; i < 31; ++i) QCOMPARE(testState.trials[i].NItems, kMaxPatches);
    QCOMPARE(testState.trials[29].Rev, 0);
    QCOMPARE(testState.trials[30].Rev, 1);
    QCOMPARE(testState.trials[31].NItems, kMaxPatches - 1);
  }

  void onePatchTrial_isFollowedByTwo() {
    bool done = false;
    Run({1, 1, 0}, 10, &done);
    QCOMPARE(testState.trials[2].NItems, 1);
    QCOMPARE(testState.trials[3].NItems, 2);
  }
};

QTEST_APPLESS_MAIN(StaircaseTest)
#include "staircase_test.moc"
