#include "procedure/staircase.h"

#include <QtTest>

#include "settings/test_settings.h"

class StaircaseTest : public QObject {
  Q_OBJECT

 private slots:
  void resetTest_clearsTableAndStartsAtThree() {
    testState.trials[5] = TrialRecord{9, 9, 9, 9, 9, 9, 9};
    testState.trialsRun = testState.reversals = 5;
    testState.direction = -1;
    ResetTest();
    for (int k = 0; k < kMaxTrials; ++k) {
      const TrialRecord& r = testState.trials[k];
      QVERIFY(r.Trial == k + 1 && r.NItems == (k == 0 ? 3 : 0) && !r.NCorrect && !r.RT1 && !r.RT2 &&
              !r.Error && !r.Rev);
    }
    QVERIFY(!testState.trialsRun && !testState.reversals && testState.direction == 1);
  }

  void outcomes_data() {
    QTest::addColumn<QList<int>>("errors");  // one per trial, run until the test ends
    QTest::addColumn<int>("maxRev");
    QTest::addColumn<int>("ended");  // trials run when the test ended, -1 if it did not
    QTest::addColumn<QList<int>>("nItems");
    QTest::addColumn<QList<int>>("rev");

    QTest::newRow("six-trial example")
        << QList<int>{0, 0, 1, 0, 1, 0} << 4 << 6 << QList<int>{3, 4, 5, 4, 5, 4, 5}
        << QList<int>{0, 0, 1, 2, 3, 4, 0};
    QTest::newRow("first error reverses, errors going down do not")
        << QList<int>{1, 1, 0, 0} << 9 << -1 << QList<int>{3, 2, 1, 2, 3}
        << QList<int>{1, 0, 2, 0, 0};
    QTest::newRow("max_rev 0 ends after a correct first trial")
        << QList<int>{0} << 0 << 1 << QList<int>{3, 4} << QList<int>{0, 0};
    QTest::newRow("max_rev 0 after an error never ends early")
        << QList<int>{1, 0, 1, 0} << 0 << -1 << QList<int>{3, 2, 3, 2, 3}
        << QList<int>{1, 2, 3, 4, 0};

    // Every trial reverses; the 200th ends the test with Rev 0 whatever max_rev says.
    QList<int> alternate, alternateItems, alternateRev;
    for (int i = 0; i < kMaxTrials; ++i) {
      alternate << (i % 2 == 0);
      alternateItems << (i % 2 == 0 ? 3 : 2);
      alternateRev << (i + 1 < kMaxTrials ? i + 1 : 0);
    }
    QTest::newRow("negative max_rev runs to 200 trials")
        << alternate << -1 << kMaxTrials << alternateItems << alternateRev;

    // Thirty correct trials climb to 20 patches and stay there without a reversal.
    QList<int> climb(30, 0), climbItems, climbRev(32, 0);
    for (int i = 0; i <= 30; ++i) climbItems << std::min(3 + i, kMaxPatches);
    climb << 1;
    climbItems << kMaxPatches - 1;
    climbRev[30] = 1;
    QTest::newRow("20-patch ceiling") << climb << 1 << 31 << climbItems << climbRev;
  }

  void outcomes() {
    QFETCH(QList<int>, errors);
    QFETCH(int, maxRev);
    QFETCH(int, ended);
    QFETCH(QList<int>, nItems);
    QFETCH(QList<int>, rev);
    testSettings.max_rev = maxRev;
    ResetTest();
    int endedAt = -1;
    for (int i = 0; i < errors.size() && endedAt < 0; ++i) {
      testState.trials[i].Error = errors[i];
      if (AdvanceStaircase(i)) endedAt = i + 1;
    }
    QCOMPARE(endedAt, ended);
    QCOMPARE(testState.trialsRun, ended < 0 ? int(errors.size()) : ended);
    QList<int> items, revs;
    for (int i = 0; i < nItems.size(); ++i) items << testState.trials[i].NItems;
    for (int i = 0; i < rev.size(); ++i) revs << testState.trials[i].Rev;
    QCOMPARE(items, nItems);
    QCOMPARE(revs, rev);
  }
};

QTEST_APPLESS_MAIN(StaircaseTest)
#include "staircase_test.moc"
