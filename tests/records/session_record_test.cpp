// The session record: made from a hand-made test, written and read back; the
// reader's refusals; file names; the durable write.
#include "records/session_record.h"

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>
#include <memory>

#include "records/hand_made_record.h"
#include "records/record_names.h"
#include "records/record_parser.h"
#include "records/record_writer.h"
#include "records/session_file.h"
#include "support/fake_ui.h"
#include "support/file_bytes.h"

using results::SessionRecord;

using namespace testing;  // NOLINT: the hand-made test's helpers

class SessionRecordTest : public QObject {
  Q_OBJECT

 private slots:
  void makeAndRead_givesBackEveryField() {
    const HandMadeTest test;
    const SessionRecord r = RoundTrip(results::MakeSessionRecord(test.Inputs()));
    // Only the trials run; times from the memorisation onset, touches to 0.1 ms.
    QCOMPARE(Describe(r).join("; "),
             "1 Dorvane 2 1 true 4; S01, \"left\" 17 3 2 1 0 1; "
             "1920 1080 240 0 1680 1080 opengl-vsync 0.016666666666666666 0.016671 true; "
             "true 1767600187 50 4275878552; none 1; oml-sync 1; present-event 2; readback 1; "
             "stim/patch.bmp file " +
                 QString(64, 'a') +
                 "; stim/opening.bmp built in ; stim/click.wav missing ; "
                 "1 3 3 2345 1500 0 0 7,0,24 5000000000123 true 2362.5; "
                 "memorisation 0 0 0.25 -9 -4 present-event 0; "
                 "cover -1 3000 0.25 2991 2996 present-event 2; "
                 "answer 0 2362.5 0.25 2353.5 2358.5 none 0; "
                 "-7.9 stamp 1000 400 500 200 -1 no-patch before-onset; "
                 "2345 stamp 1000 400 500 200 0 correct; 3000 sample 20 40 10 20 -1 no-patch; "
                 "2 4 0 4100 3333 1 1 1,2,3,4 5009000000123 false 0; "
                 "memorisation 0 0 0.25 -9 -4 oml-sync 0; error 2 3334 0.25 3325 3330 readback 0; "
                 "3333.3 stamp 600 80 300 40 2 wrong; 3900 stamp 600 80 300 40 2 already-found");
    QVERIFY(!r.programVersion.empty());
    // Local time with its offset, whatever the zone the test runs in.
    const QString started = QString::fromStdString(r.started);
    QVERIFY2(
        QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")
            .match(started)
            .hasMatch(),
        r.started.c_str());
    const QDateTime read = QDateTime::fromString(started, Qt::ISODateWithMs);
    QCOMPARE(read, test.Inputs().started);
    QCOMPARE(read.offsetFromUtc(), test.Inputs().started.toLocalTime().offsetFromUtc());
    QCOMPARE(QDateTime::fromString(QString::fromStdString(r.ended), Qt::ISODateWithMs),
             test.Inputs().ended);
  }

  void noTimingsOrNoReversal_data() {
    QTest::addColumn<bool>("timings");
    QTest::newRow("timings shorter than the table") << false;
    QTest::newRow("no reversal: no score") << true;
  }

  void noTimingsOrNoReversal() {
    QFETCH(bool, timings);
    HandMadeTest test;
    if (timings)
      test.state.trials[1].Rev = 0;
    else
      test.timings.clear();
    const SessionRecord r = RoundTrip(results::MakeSessionRecord(test.Inputs()));
    QCOMPARE(r.trials.size(), size_t(2));
    QCOMPARE(r.trials[1].row.RT2, 3333);
    QCOMPARE(r.hasScore, !timings);
    QCOMPARE(results::SessionRecordJson(r).contains("\"score\":null"), timings);
    if (timings) return;
    QVERIFY(r.display.onsetSources.empty());
    for (const results::SessionTrial& t : r.trials)
      QVERIFY(t.cells.empty() && t.frames.empty() && t.touches.empty() && t.rt1ZeroNs == 0 &&
              !t.hasRt2Zero);
  }

  void reader_refusesWithReason_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const QByteArray& bytes, const QString& reason) {
      QTest::newRow(name) << bytes << reason;
    };
    const QByteArray valid = ValidJson();
    const QString damaged = "damaged: trials[0].";
    row("empty", "", "empty file");
    row("blank", " \r\n", "empty file");
    row("cut in half", valid.left(valid.size() / 2), "truncated");
    row("last brace lost", valid.left(valid.lastIndexOf('}')), "truncated");
    row("text", "Date\tTime\tScore\tSubject\r\n", "not JSON");
    row("list", "[1, 2]", "not a session record: no JSON object");
    row("no format", "{\"version\": \"1.0\"}", "not a session record: no format name");
    row("foreign", Edited("dorvane-session", "other-app"),
        "not a session record: its format is \"other-app\"");
    row("newer major", Edited("\"1.3\"", "\"2.0\""),
        "format version 2.0 is newer than this program reads (1.x)");
    row("older major", Edited("\"1.3\"", "\"0.9\""),
        "format version 0.9 is older than this program reads (1.x)");
    row("bad version", Edited("\"1.3\"", "\"1\""), "unreadable format version \"1\"");
    row("no trials", Edited("\"trials\"", "\"trails\""), "damaged: trials is missing");
    row("too few trials", Edited("\"trialsRun\":2", "\"trialsRun\":3"),
        "damaged: trials does not hold result.trialsRun entries");
    row("text count", Edited("\"NItems\":3", "\"NItems\":\"3\""),
        damaged + "NItems is not a whole number");
    row("fraction", Edited("\"NItems\":3", "\"NItems\":3.5"),
        damaged + "NItems is not a whole number");
    row("beyond 32 bits", Edited("\"NItems\":3", "\"NItems\":1e12"),
        damaged + "NItems is out of range");
    row("cell off the grid", Edited("24]", "25]"), damaged + "cells[2] is out of range");
    row("patch 0", Edited("\"patch\":null", "\"patch\":0"),
        damaged + "frames[1].patch is out of range");
    row("unknown judgement", Edited("\"no-patch\"", "\"maybe\""),
        damaged + "touches[0].judgement is not a known name");
    row("touch not an object", Edited("\"touches\":[", "\"touches\":[7, "),
        damaged + "touches[0] is not an object");
    row("score as text", Edited("\"score\":4", "\"score\":\"4\""),
        "damaged: result.score is not a number");
    // Well typed, but no test can produce them.
    const QString impossible = "impossible: ";
    row("more trials than the cap", Edited("\"trialsRun\":2", "\"trialsRun\":201"),
        "damaged: result.trialsRun is out of range");
    row("score far below", Edited("\"score\":4", "\"score\":-1e308"),
        impossible + "result.score is -1e+308, not 1 to 20");
    row("score below 1", Edited("\"score\":4", "\"score\":0.5"),
        impossible + "result.score is 0.5, not 1 to 20");
    row("score above 20", Edited("\"score\":4", "\"score\":20.25"),
        impossible + "result.score is 20.25, not 1 to 20");
    row("NItems 0", Edited("\"NItems\":3", "\"NItems\":0"),
        impossible + "trials[0].NItems is 0, not 1 to 20");
    row("NItems 21", Edited("\"NItems\":3", "\"NItems\":21"),
        impossible + "trials[0].NItems is 21, not 1 to 20");
    row("NItems 2^31-1", Edited("\"NItems\":3", "\"NItems\":2147483647"),
        impossible + "trials[0].NItems is 2147483647, not 1 to 20");
    row("more correct than shown", Edited("\"NCorrect\":3", "\"NCorrect\":4"),
        impossible + "trials[0].NCorrect is 4, not 0 to NItems");
    row("negative RT1", Edited("\"RT1\":2345", "\"RT1\":-1"),
        impossible + "trials[0].RT1 is -1, a negative time");
    row("negative RT2", Edited("\"RT2\":1500", "\"RT2\":-1500"),
        impossible + "trials[0].RT2 is -1500, a negative time");
    row("negative memtime", Edited("\"memtime\":3", "\"memtime\":-2147483648"),
        impossible + "settings.memtime is -2147483648, a negative time");
    row("more reversals than trials", Edited("\"reversals\":1", "\"reversals\":3"),
        impossible + "result.reversals is 3, not 0 to result.trialsRun");
    row("trial out of place", Edited("\"Trial\":1", "\"Trial\":5"),
        impossible + "trials[0].Trial is 5, not its place in the list");
    row("error 2", Edited("\"Error\":0", "\"Error\":2"),
        impossible + "trials[0].Error is 2, not 0 or 1");
    row("reversal beyond the count", Edited("\"Rev\":0", "\"Rev\":2"),
        impossible + "trials[0].Rev is 2, not 0 to result.reversals");
  }

  void reader_refusesWithReason() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    SessionRecord record;
    record.programName = "untouched";
    std::string why;
    QVERIFY(!results::ParseSessionRecord(bytes, &record, &why));
    QVERIFY2(QString::fromStdString(why).startsWith(reason), why.c_str());
    QCOMPARE(record.programName, std::string("untouched"));
  }

  void formatDescription_givesTheVersionWritten() {
    const QByteArray doc = testing::ReadBytes(DORVANE_SOURCE_DIR "/docs/session-record.md");
    const QByteArray version = QByteArray::number(results::kSessionMajor) + "." +
                               QByteArray::number(results::kSessionMinor);
    QVERIFY(ValidJson().contains("\"version\":\"" + version + "\""));
    QVERIFY2(doc.contains("version **" + version + "**"), version.constData());
    QVERIFY2(doc.contains("| `version` | text | `\"" + version + "\"`"), version.constData());
  }

  void reader_takesNewerMinorVersion() {
    // A later 1.x may add members; this reader ignores them.
    const QByteArray newer =
        Edited("\"1.3\"", "\"1.7\", \"timingCheck\": {\"pass\": true}, \"later\": [1]");
    SessionRecord record;
    std::string why;
    QVERIFY2(results::ParseSessionRecord(newer, &record, &why), why.c_str());
    QCOMPARE(record.formatMinor, 7);
    QCOMPARE(record.trials.size(), size_t(2));
  }

  void reader_takesOlderMinorVersion_withoutItsLaterMembers() {
    // A 1.1 record has no beforeOnset in its touches and no layouts.
    QByteArray older = Edited("\"1.3\"", "\"1.1\"");
    older.replace("\"beforeOnset\":false,", "").replace("\"beforeOnset\":true,", "");
    const qsizetype at = older.indexOf("\"layouts\":{");
    older.remove(at, older.indexOf('}', at) + 2 - at);
    QVERIFY(!older.contains("beforeOnset") && !older.contains("layouts"));
    SessionRecord record;
    std::string why;
    QVERIFY2(results::ParseSessionRecord(older, &record, &why), why.c_str());
    QVERIFY(!record.layouts.known);
    QVERIFY(!record.trials[0].touches[0].beforeOnset);
  }

  void fileNamePart_isSafeForAnySubject_data() {
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QByteArray>("part");
    QTest::newRow("plain") << QByteArray("S01_a-b") << QByteArray("S01_a-b");
    QTest::newRow("path") << QByteArray("../x/y") << QByteArray("%2E%2E%2Fx%2Fy");
    QTest::newRow("windows") << QByteArray("a\\b:c*?\"<>|")
                             << QByteArray("a%5Cb%3Ac%2A%3F%22%3C%3E%7C");
    QTest::newRow("blank, percent, control") << QByteArray(" %\t\n") << QByteArray("%20%25%09%0A");
    QTest::newRow("utf-8") << QByteArray("名") << QByteArray("%E5%90%8D");
    // 119 plain characters leave no room for a whole escape.
    QTest::newRow("long") << QByteArray(119, 'x') + "/yyy" << QByteArray(119, 'x');
    QTest::newRow("longer") << QByteArray(300, 'z') << QByteArray(120, 'z');
  }

  void fileNamePart_isSafeForAnySubject() {
    QFETCH(QByteArray, subject);
    QFETCH(QByteArray, part);
    QCOMPARE(QByteArray::fromStdString(results::FileNamePart(subject.toStdString())), part);
  }

  void save_twoTestsInOneSecond_getTwoFiles() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("sessions");  // made by the first save
    HandMadeTest test;
    test.settings.subject = "a/b";
    const results::SessionInputs in = test.Inputs();
    const SessionRecord record = results::MakeSessionRecord(in);
    std::string first, second, reason;
    const std::string where = folder.toStdString();
    QVERIFY(results::SaveSessionRecord(where, record, in.ended, &first, &reason));
    QVERIFY(results::SaveSessionRecord(where, record, in.ended.addMSecs(400), &second, &reason));
    const QString stem = "a%2Fb_" + in.ended.toLocalTime().toString("yyyyMMdd-HHmmss");
    QCOMPARE(QString::fromStdString(first), folder + "/" + stem + ".json");
    QCOMPARE(QString::fromStdString(second), folder + "/" + stem + "-2.json");
    // Nothing else is left in the folder, hidden files included.
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({stem + "-2.json", stem + ".json"}));
    QCOMPARE(testing::ReadBytes(QString::fromStdString(second)),
             results::SessionRecordJson(record));
  }

  void write_failure_showsFileAndReason_data() {
    QTest::addColumn<bool>("fileInTheWay");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a file named sessions") << true << "Not a directory";
    QTest::newRow("read-only folder") << false << "Permission denied";
  }

  void write_failure_showsFileAndReason() {
    QFETCH(bool, fileInTheWay);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    // Open to all, so that only the blocker stops the other user the write runs as.
    QCOMPARE(::chmod(".", 0777), 0);
    QVERIFY(testing::WriteBytes("SOMEBODY.csv", "rows\r\n"));
    if (fileInTheWay)
      QVERIFY(testing::WriteBytes("sessions", "x"));
    else
      QVERIFY(QDir().mkdir("sessions") && ::chmod("sessions", 0555) == 0);
    testing::FakeUi fake;
    HandMadeTest test;
    test.settings.subject = "SOMEBODY";
    results::SessionInputs in = test.Inputs();
    in.ended = QDateTime(QDate(2026, 1, 5), QTime(9, 4, 42), Qt::LocalTime);
    ::setfsuid(65534);  // as root, permission bits apply only to another user
    std::string path;
    std::string why;
    const bool written = results::WriteSessionRecord(in, &path, &why);
    ::setfsuid(::getuid());
    ::chmod("sessions", 0777);
    QDir::setCurrent(before);
    QVERIFY(!written);
    // The library tells its caller; the caller shows the box.
    QCOMPARE(fake.boxes.size(), size_t(0));
    QCOMPARE(QString::fromStdString(results::SessionRecordFailureText(path, why)),
             "Cannot write the session record [sessions/SOMEBODY_20260105-090442.json] (" + reason +
                 "). The subject file and the log are not affected.");
    QCOMPARE(testing::ReadBytes(dir.filePath("SOMEBODY.csv")), QByteArray("rows\r\n"));
  }

  // The reader knows a value only through its table: one cut short would
  // refuse records holding the last names.
  void nameTables_listEveryValueInOrder_data() {
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("names");
    QTest::newRow("frame kinds") << 0 << "memorisation cover answer error error-cover completion";
    QTest::newRow("onset sources")
        << 1 << "none present-event oml-sync wayland-feedback readback simulated";
    QTest::newRow("judgements") << 2 << "correct wrong no-patch already-found";
    QTest::newRow("touch times") << 3 << "stamp sample";
    QTest::newRow("stimulus uses") << 4 << "file|built in|missing";
    QTest::newRow("outcomes") << 5 << "completed aborted practice";
    QTest::newRow("ways to stop")
        << 6 << "escape window-closed alt-f4 timer-failed images-failed";
    QTest::newRow("phases") << 7 << "between-trials memorisation answer";
  }

  void nameTables_listEveryValueInOrder() {
    QFETCH(int, table);
    QFETCH(QString, names);
    const results::NameTable tables[] = {
        results::FrameKindNames(), results::OnsetSourceNames(), results::TouchJudgementNames(),
        results::TouchTimeSourceNames(), results::StimulusUseNames(),
        results::SessionOutcomeNames(),  results::AbortHowNames(),
        results::TrialPhaseNames()};
    const results::NameTable& t = tables[table];
    QStringList all;
    for (int i = 0; i < t.count; ++i) all << QString::fromLatin1(t.names[i]);
    QCOMPARE(all.join(names.contains('|') ? "|" : " "), names);
  }

  void describeStimulus_hashesFileOrFallsBack() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("click.wav").toStdString();
    QVERIFY(testing::WriteBytes(dir.filePath("click.wav"), "abc"));
    const auto describe = [](const std::string& file, bool loaded, results::StimulusUse instead) {
      const results::StimulusRecord r = results::DescribeStimulus(file, loaded, instead);
      return Words(r.file.c_str(), results::StimulusUseName(r.use), r.sha256.c_str());
    };
    QCOMPARE(describe(path, true, results::StimulusUse::kMissing),
             Words(path.c_str(), "file",
                   "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    // A bitmap that did not load is replaced whatever the file holds.
    QCOMPARE(describe(path, false, results::StimulusUse::kBuiltIn),
             Words(path.c_str(), "built in", ""));
    QCOMPARE(describe(path + "x", true, results::StimulusUse::kMissing),
             Words((path + "x").c_str(), "missing", ""));
    // Backslashes separate folders, as in the program's own names.
    QCOMPARE(describe("stim\\x.wav", false, results::StimulusUse::kMissing), "stim/x.wav missing ");
  }
};

QTEST_GUILESS_MAIN(SessionRecordTest)
#include "session_record_test.moc"
