// Session records of aborted tests and practice runs: written and read
// back with where and how they stopped, the interrupted trial kept; older
// records read as completed tests; what the outcome allows.
#include <QtTest>

#include "records/hand_made_record.h"
#include "records/session_values.h"

using namespace testing;  // NOLINT: the hand-made test's helpers

class SessionOutcomeTest : public QObject {
  Q_OBJECT

 private slots:
  void reader_refusesWhatTheOutcomeRulesOut_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const QByteArray& bytes, const QString& reason) {
      QTest::newRow(name) << bytes << reason;
    };
    const QString impossible = "impossible: ";
    const QByteArray aborted = AbortedJson();
    row("unknown outcome", Edited("\"outcome\":\"completed\"", "\"outcome\":\"maybe\""),
        "damaged: outcome is not a known name");
    row("unknown way to stop", EditedFrom(aborted, "\"escape\"", "\"power cut\""),
        "damaged: abort.how is not a known name");
    row("abort trial 0", EditedFrom(aborted, "\"trial\":3", "\"trial\":0"),
        "damaged: abort.trial is out of range");
    row("abort as text", EditedFrom(aborted, "{\"how\"", "\"x\",\"was\":{\"how\""),
        "damaged: abort is not an object");
    row("completed test with an abort",
        Edited("\"abort\":null", "\"abort\":{\"how\":\"escape\",\"phase\":\"answer\",\"trial\":2}"),
        impossible + "abort is escape, not null for a completed test");
    row("aborted test without its abort",
        Edited("\"outcome\":\"completed\"", "\"outcome\":\"aborted\""),
        impossible + "abort is null, not how an aborted test stopped");
    row("score of an aborted test", EditedFrom(aborted, "\"score\":null", "\"score\":4"),
        impossible + "result.score is 4, not null for a run that is not a completed test");
    row("abort after the trials held", EditedFrom(aborted, "\"trial\":3", "\"trial\":5"),
        impossible + "result.trialsRun is 3, not the trials up to abort.trial");
    row("interrupted trial listed though never shown",
        EditedFrom(aborted, "\"answer\",\"trial\"", "\"between-trials\",\"trial\""),
        impossible + "result.trialsRun is 3, not the trials up to abort.trial");
    row("partial trial in a completed test", Edited("\"NCorrect\":3", "\"NCorrect\":2"),
        impossible + "trials[0].NCorrect is 2, not NItems in a trial without error");
    row("partial trial before the interrupted one",
        EditedFrom(aborted, "\"NCorrect\":3", "\"NCorrect\":1"),
        impossible + "trials[0].NCorrect is 1, not NItems in a trial without error");
  }

  void reader_refusesWhatTheOutcomeRulesOut() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    SessionRecord record;
    std::string why;
    QVERIFY(!results::ParseSessionRecord(bytes, &record, &why));
    QVERIFY2(QString::fromStdString(why).startsWith(reason), why.c_str());
  }

  void stoppedAndPracticeRuns_roundTrip_data() {
    QTest::addColumn<int>("outcome");  // SessionOutcome
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<int>("how");    // AbortHow
    QTest::addColumn<int>("phase");  // TrialPhase
    QTest::addColumn<QString>("json");
    QTest::addColumn<int>("trials");  // entries, the interrupted one included
    const auto row = [](const char* name, results::SessionOutcome o, bool stopped, AbortHow h,
                        TrialPhase p, const char* json, int trials) {
      QTest::newRow(name) << int(o) << stopped << int(h) << int(p) << json << trials;
    };
    using O = results::SessionOutcome;
    row("escape in the answer", O::kAborted, true, AbortHow::kEscape, TrialPhase::kAnswer,
        "\"abort\":{\"how\":\"escape\",\"phase\":\"answer\",\"trial\":3}", 3);
    row("closed while memorising", O::kAborted, true, AbortHow::kWindowClosed,
        TrialPhase::kMemorisation,
        "\"abort\":{\"how\":\"window-closed\",\"phase\":\"memorisation\",\"trial\":3}", 3);
    row("Alt+F4 between trials", O::kAborted, true, AbortHow::kAltF4, TrialPhase::kBetweenTrials,
        "\"abort\":{\"how\":\"alt-f4\",\"phase\":\"between-trials\",\"trial\":3}", 2);
    row("no timer", O::kAborted, true, AbortHow::kTimerFailed, TrialPhase::kMemorisation,
        "\"how\":\"timer-failed\"", 3);
    row("no images", O::kAborted, true, AbortHow::kImagesFailed, TrialPhase::kBetweenTrials,
        "\"how\":\"images-failed\"", 2);
    row("practice to its end", O::kPractice, false, AbortHow::kEscape, TrialPhase::kAnswer,
        "\"abort\":null", 2);
    row("practice stopped", O::kPractice, true, AbortHow::kEscape, TrialPhase::kMemorisation,
        "\"outcome\":\"practice\"", 3);
  }

  // Every trial run and every touch, the interrupted trial's included; no
  // score unless a completed test.
  void stoppedAndPracticeRuns_roundTrip() {
    QFETCH(int, outcome);
    QFETCH(bool, stopped);
    QFETCH(int, how);
    QFETCH(int, phase);
    QFETCH(QString, json);
    QFETCH(int, trials);
    HandMadeTest test;
    results::SessionInputs in = StoppedInputs(test, AbortHow(how), TrialPhase(phase),
                                              results::SessionOutcome(outcome));
    if (!stopped) in.abort = AbortPoint{};
    const SessionRecord made = results::MakeSessionRecord(in);
    const QByteArray written = results::SessionRecordJson(made);
    QVERIFY2(written.contains(json.toLatin1()), written.constData());
    const SessionRecord r = RoundTrip(made);
    QCOMPARE(int(r.outcome), outcome);
    QCOMPARE(r.abort.stopped, stopped);
    if (stopped) {
      QCOMPARE(Words(int(r.abort.how), r.abort.trial, int(r.abort.phase)), Words(how, 3, phase));
    }
    QCOMPARE(r.trialsRun, trials);
    QCOMPARE(int(r.trials.size()), trials);
    QCOMPARE(r.reversals, 1);
    QVERIFY(!r.hasScore);
    QVERIFY(written.contains("\"score\":null"));
    // The trials before the interrupted one, whole.
    const SessionRecord whole = RoundTrip(results::MakeSessionRecord(test.Inputs()));
    const auto trialsOf = [](const SessionRecord& of) {
      QStringList lines = Describe(of);
      return lines.mid(lines.indexOf(QRegularExpression("^1 3 3 .*")));
    };
    QCOMPARE(trialsOf(r).mid(0, trialsOf(whole).size()), trialsOf(whole));
    if (trials == 3) {
      const results::SessionTrial& last = r.trials[2];
      QCOMPARE(Words(last.row.Trial, last.row.NItems, last.row.NCorrect, last.row.RT1,
                     last.row.Error, last.row.Rev),
               Words(3, 3, 0, 3500, 0, 0));
      QCOMPARE(last.frames.size(), size_t(2));
      QCOMPARE(last.touches.size(), size_t(1));
      QCOMPARE(last.touches[0].timeMs, 3500.0);
    }
  }

  // Records from before 1.3 hold completed tests only.
  void olderRecords_readAsCompleted_data() {
    QTest::addColumn<QByteArray>("version");
    QTest::newRow("1.0") << QByteArray("1.0");
    QTest::newRow("1.2") << QByteArray("1.2");
  }

  void olderRecords_readAsCompleted() {
    QFETCH(QByteArray, version);
    QByteArray older = EditedFrom(AbortedJson(), "\"1.3\"", "\"" + version + "\"");
    const qsizetype at = older.indexOf("\"abort\":{");
    older.remove(at, older.indexOf('}', at) + 2 - at);
    older = EditedFrom(older, "\"outcome\":\"aborted\",", "");
    QVERIFY(!older.contains("abort") && !older.contains("outcome"));
    SessionRecord record;
    std::string why;
    // Read as completed, the trial cut short is refused as no test could leave it.
    QVERIFY(!results::ParseSessionRecord(older, &record, &why));
    QVERIFY2(QString::fromStdString(why).startsWith("impossible: trials[2].NCorrect"), why.c_str());
    const QByteArray completed =
        EditedFrom(ValidJson(), "\"1.3\"", "\"" + version + "\"").replace("\"abort\":null,", "")
            .replace("\"outcome\":\"completed\",", "");
    QVERIFY(!completed.contains("abort") && !completed.contains("outcome"));
    QVERIFY2(results::ParseSessionRecord(completed, &record, &why), why.c_str());
    QCOMPARE(record.outcome, results::SessionOutcome::kCompleted);
    QVERIFY(!record.abort.stopped);
    QVERIFY(record.hasScore);
  }

};

QTEST_GUILESS_MAIN(SessionOutcomeTest)
#include "session_outcome_test.moc"
