// The session record: made from a hand-made test, written, and read back
// field for field; the reader's refusals; file names; the durable write.
#include "results/session_record.h"

#include <sys/fsuid.h>
#include <unistd.h>

#include <QtTest>
#include <memory>

#include "support/fake_ui.h"
#include "support/file_bytes.h"

using results::SessionRecord;

namespace {

constexpr int64_t kZero = 5'000'000'000'123LL;  // memorisation onset of trial 1, ns
constexpr int64_t kMs = 1'000'000;

FrameRecord Frame(FrameKind kind, int patch, int64_t onsetNs, OnsetSource source, int missed = 0) {
  return FrameRecord{
      kind, patch,
      FrameOnset{onsetNs, 250'000, onsetNs - 9 * kMs, onsetNs - 4 * kMs, source, missed}};
}

TouchRecord Touch(int64_t timeNs, int x, int y, int patch, TouchJudgement judgement) {
  return TouchRecord{timeNs, TouchTimeSource::kStamp, x * 2, y * 2, x, y, patch, judgement};
}

// Two trials: 3 patches without error, then 4 with a wrong touch before
// patch 1 and one on no patch; trial 2 reversed the staircase.
struct HandMadeTest {
  TestState state{};
  std::vector<TrialTiming> timings = std::vector<TrialTiming>(kMaxTrials);
  TestSettings settings;

  HandMadeTest() {
    state.trials[0] = {1, 3, 3, 2345, 1500, 0, 0};
    state.trials[1] = {2, 4, 0, 4100, 3333, 1, 1};
    state.trials[2] = {3, 3, 0, 0, 0, 0, 0};  // laid out, never run
    state.trialsRun = 2;
    state.reversals = 1;
    settings = {"S01, \"left\"", 17, 3, 2, 1, 0, 1};

    TrialTiming& a = timings[0];
    a.cells = {7, 0, 24};
    a.rt1ZeroNs = kZero;
    a.rt2ZeroNs = kZero + 2'362'500'400;  // 2362.5004 ms
    a.frames = {Frame(FrameKind::kMemorisation, 0, kZero, OnsetSource::kPresentEvent),
                Frame(FrameKind::kCover, -1, kZero + 3000 * kMs, OnsetSource::kPresentEvent, 2),
                Frame(FrameKind::kAnswer, 0, a.rt2ZeroNs, OnsetSource::kNone)};
    a.touches = {Touch(kZero + 2'345'049'999, 500, 200, 0, TouchJudgement::kCorrect),
                 Touch(kZero + 2'999'950'001, 10, 20, -1, TouchJudgement::kNoPatch)};
    a.touches[1].source = TouchTimeSource::kSample;

    TrialTiming& b = timings[1];
    b.cells = {1, 2, 3, 4};
    b.rt1ZeroNs = kZero + 9000 * kMs;
    b.frames = {Frame(FrameKind::kMemorisation, 0, b.rt1ZeroNs, OnsetSource::kOmlSync),
                Frame(FrameKind::kError, 2, b.rt1ZeroNs + 3334 * kMs, OnsetSource::kReadback)};
    b.touches = {Touch(b.rt1ZeroNs + 3'333'333'333, 300, 40, 2, TouchJudgement::kWrong),
                 Touch(b.rt1ZeroNs + 3'900 * kMs, 300, 40, 2, TouchJudgement::kAlreadyFound)};
  }

  results::SessionInputs Inputs() const {
    results::SessionInputs in;
    in.state = &state;
    in.timings = &timings;
    in.settings = &settings;
    in.stimuli = {{"stim/patch.bmp", results::StimulusUse::kFile, std::string(64, 'a')},
                  {"stim/opening.bmp", results::StimulusUse::kBuiltIn, ""},
                  {"stim/click.wav", results::StimulusUse::kMissing, ""}};
    in.screen = {1920, 1080};
    in.presentRect = {240, 0, 1680, 1080};
    in.presentation = {"opengl-vsync", 1 / 60.0, 0.016671, true};
    in.started = QDateTime(QDate(2026, 1, 5), QTime(9, 3, 7, 5), QTimeZone(3600));
    in.ended = in.started.addSecs(95);
    return in;
  }
};

SessionRecord RoundTrip(const SessionRecord& made) {
  SessionRecord read;
  std::string reason;
  if (!results::ParseSessionRecord(results::SessionRecordJson(made), &read, &reason))
    qWarning("refused: %s", reason.c_str());
  return read;
}

QByteArray ValidJson() {
  return results::SessionRecordJson(results::MakeSessionRecord(HandMadeTest().Inputs()));
}

// The valid record with `from` replaced by `to` (which must occur).
QByteArray Edited(const QByteArray& from, const QByteArray& to) {
  QByteArray json = ValidJson();
  if (!json.contains(from)) qFatal("no %s in the record", from.constData());
  return json.replace(json.indexOf(from), from.size(), to);
}

}  // namespace

class SessionRecordTest : public QObject {
  Q_OBJECT

 private slots:
  void makeAndRead_givesBackEveryField();
  void emptyTimings_giveEmptyListsAndNoRt2Zero();
  void noReversal_hasNoScore();
  void reader_refusesWithReason_data();
  void reader_refusesWithReason();
  void reader_takesNewerMinorVersion();
  void fileNamePart_isSafeForAnySubject_data();
  void fileNamePart_isSafeForAnySubject();
  void save_twoTestsInOneSecond_getTwoFiles();
  void write_failure_showsFileAndReason_data();
  void write_failure_showsFileAndReason();
  void describeStimulus_hashesFileOrFallsBack();
};

void SessionRecordTest::makeAndRead_givesBackEveryField() {
  const HandMadeTest test;
  const SessionRecord r = RoundTrip(results::MakeSessionRecord(test.Inputs()));

  QCOMPARE(r.formatMajor, 1);
  QCOMPARE(r.programName, std::string("Dorvane"));
  QVERIFY(!r.programVersion.empty());
  // Local time with its offset, whatever the zone the test runs in.
  const QString started = QString::fromStdString(r.started);
  QVERIFY2(
      QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")
          .match(started)
          .hasMatch(),
      r.started.c_str());
  QCOMPARE(QDateTime::fromString(started, Qt::ISODateWithMs), test.Inputs().started);
  QCOMPARE(QDateTime::fromString(started, Qt::ISODateWithMs).offsetFromUtc(),
           test.Inputs().started.toLocalTime().offsetFromUtc());
  QCOMPARE(QDateTime::fromString(QString::fromStdString(r.ended), Qt::ISODateWithMs),
           test.Inputs().ended);
  QCOMPARE(r.settings.subject, test.settings.subject);
  QCOMPARE(QList<int>({r.settings.random_seed, r.settings.memtime, r.settings.max_rev,
                       r.settings.hide_mouse, r.settings.flag_feedback, r.settings.flag_ranking}),
           QList<int>({17, 3, 2, 1, 0, 1}));
  QCOMPARE(r.trialsRun, 2);
  QCOMPARE(r.reversals, 1);
  QVERIFY(r.hasScore);
  QCOMPARE(r.score, 4.0);

  QCOMPARE(r.stimuli.size(), size_t(3));
  QCOMPARE(r.stimuli[0].sha256, std::string(64, 'a'));
  QCOMPARE(r.stimuli[1].use, results::StimulusUse::kBuiltIn);
  QCOMPARE(r.stimuli[2].file, std::string("stim/click.wav"));
  QCOMPARE(r.stimuli[2].use, results::StimulusUse::kMissing);

  QCOMPARE(r.display.screenWidth, 1920);
  QCOMPARE(r.display.screenHeight, 1080);
  QVERIFY(r.display.presentRect == (ui::Rect{240, 0, 1680, 1080}));
  QCOMPARE(r.display.presentation.path, std::string("opengl-vsync"));
  QCOMPARE(r.display.presentation.nominalRefreshS, 1 / 60.0);
  QCOMPARE(r.display.presentation.measuredRefreshS, 0.016671);
  QVERIFY(r.display.presentation.fellBackToRaster);
  using Sources = std::vector<std::pair<std::string, int32_t>>;
  QVERIFY(r.display.onsetSources ==
          (Sources{{"none", 1}, {"oml-sync", 1}, {"present-event", 2}, {"readback", 1}}));

  // Only the trials run; each row as the table holds it.
  QCOMPARE(r.trials.size(), size_t(2));
  for (int i = 0; i < 2; ++i) {
    const TrialRecord& want = test.state.trials[i];
    const TrialRecord& got = r.trials[size_t(i)].row;
    QCOMPARE(
        QList<int>({got.Trial, got.NItems, got.NCorrect, got.RT1, got.RT2, got.Error, got.Rev}),
        QList<int>(
            {want.Trial, want.NItems, want.NCorrect, want.RT1, want.RT2, want.Error, want.Rev}));
    QCOMPARE(r.trials[size_t(i)].cells, test.timings[size_t(i)].cells);
    QCOMPARE(r.trials[size_t(i)].rt1ZeroNs, test.timings[size_t(i)].rt1ZeroNs);
  }
  const results::SessionTrial& a = r.trials[0];
  QVERIFY(a.hasRt2Zero);
  QCOMPARE(a.rt2ZeroMs, 2362.5);
  QCOMPARE(a.frames.size(), size_t(3));
  QCOMPARE(a.frames[1].kind, FrameKind::kCover);
  QCOMPARE(a.frames[1].patch, -1);
  QCOMPARE(a.frames[1].onsetMs, 3000.0);
  QCOMPARE(a.frames[1].uncertaintyMs, 0.25);
  QCOMPARE(a.frames[1].requestMs, 2991.0);
  QCOMPARE(a.frames[1].returnMs, 2996.0);
  QCOMPARE(a.frames[1].source, OnsetSource::kPresentEvent);
  QCOMPARE(a.frames[1].missedRefreshes, 2);
  QCOMPARE(a.frames[2].kind, FrameKind::kAnswer);
  QCOMPARE(a.frames[2].patch, 0);
  QCOMPARE(a.frames[2].source, OnsetSource::kNone);
  // Touch times to the nearest 0.1 ms from the memorisation onset.
  QCOMPARE(a.touches.size(), size_t(2));
  QCOMPARE(a.touches[0].timeMs, 2345.0);
  QCOMPARE(a.touches[0].source, TouchTimeSource::kStamp);
  QCOMPARE(QList<int>({a.touches[0].screenX, a.touches[0].screenY, a.touches[0].canvasX,
                       a.touches[0].canvasY, a.touches[0].patch}),
           QList<int>({1000, 400, 500, 200, 0}));
  QCOMPARE(a.touches[0].judgement, TouchJudgement::kCorrect);
  QCOMPARE(a.touches[1].timeMs, 3000.0);
  QCOMPARE(a.touches[1].source, TouchTimeSource::kSample);
  QCOMPARE(a.touches[1].patch, -1);
  QCOMPARE(a.touches[1].judgement, TouchJudgement::kNoPatch);

  const results::SessionTrial& b = r.trials[1];
  QVERIFY(!b.hasRt2Zero);
  QCOMPARE(b.frames[0].onsetMs, 0.0);
  QCOMPARE(b.frames[1].kind, FrameKind::kError);
  QCOMPARE(b.frames[1].patch, 2);
  QCOMPARE(b.touches[0].timeMs, 3333.3);
  QCOMPARE(b.touches[0].judgement, TouchJudgement::kWrong);
  QCOMPARE(b.touches[1].timeMs, 3900.0);
  QCOMPARE(b.touches[1].judgement, TouchJudgement::kAlreadyFound);
}

void SessionRecordTest::emptyTimings_giveEmptyListsAndNoRt2Zero() {
  HandMadeTest test;
  test.timings.clear();  // shorter than the table: nothing measured
  const SessionRecord r = RoundTrip(results::MakeSessionRecord(test.Inputs()));
  QCOMPARE(r.trials.size(), size_t(2));
  for (const results::SessionTrial& t : r.trials) {
    QVERIFY(t.cells.empty() && t.frames.empty() && t.touches.empty());
    QCOMPARE(t.rt1ZeroNs, int64_t(0));
    QVERIFY(!t.hasRt2Zero);
  }
  QCOMPARE(r.trials[1].row.RT2, 3333);
  QVERIFY(r.display.onsetSources.empty());
}

void SessionRecordTest::noReversal_hasNoScore() {
  HandMadeTest test;
  test.state.trials[1].Rev = 0;
  const SessionRecord r = RoundTrip(results::MakeSessionRecord(test.Inputs()));
  QCOMPARE(r.trialsRun, 2);
  QVERIFY(!r.hasScore);
  QVERIFY(results::SessionRecordJson(r).contains("\"score\":null"));
}

void SessionRecordTest::reader_refusesWithReason_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("reason");
  const QByteArray valid = ValidJson();
  QTest::newRow("empty") << QByteArray() << "empty file";
  QTest::newRow("blank") << QByteArray(" \r\n") << "empty file";
  QTest::newRow("cut in half") << valid.left(valid.size() / 2) << "truncated";
  QTest::newRow("last brace lost") << valid.left(valid.lastIndexOf('}')) << "truncated";
  QTest::newRow("text") << QByteArray("Date\tTime\tScore\tSubject\r\n") << "not JSON";
  QTest::newRow("list") << QByteArray("[1, 2]") << "not a session record: no JSON object";
  QTest::newRow("no format") << QByteArray("{\"version\": \"1.0\"}")
                             << "not a session record: no format name";
  QTest::newRow("foreign") << Edited("dorvane-session", "other-app")
                           << "not a session record: its format is \"other-app\"";
  QTest::newRow("newer major") << Edited("\"1.1\"", "\"2.0\"")
                               << "format version 2.0 is newer than this program reads (1.x)";
  QTest::newRow("older major") << Edited("\"1.1\"", "\"0.9\"")
                               << "format version 0.9 is older than this program reads (1.x)";
  QTest::newRow("bad version") << Edited("\"1.1\"", "\"1\"") << "unreadable format version \"1\"";
  QTest::newRow("no trials") << Edited("\"trials\"", "\"trails\"") << "damaged: trials is missing";
  QTest::newRow("too few trials") << Edited("\"trialsRun\":2", "\"trialsRun\":3")
                                  << "damaged: trials does not hold result.trialsRun entries";
  QTest::newRow("text count") << Edited("\"NItems\":3", "\"NItems\":\"3\"")
                              << "damaged: trials[0].NItems is not a whole number";
  QTest::newRow("fraction") << Edited("\"NItems\":3", "\"NItems\":3.5")
                            << "damaged: trials[0].NItems is not a whole number";
  QTest::newRow("beyond 32 bits") << Edited("\"NItems\":3", "\"NItems\":1e12")
                                  << "damaged: trials[0].NItems is out of range";
  QTest::newRow("cell off the grid")
      << Edited("24]", "25]") << "damaged: trials[0].cells[2] is out of range";
  QTest::newRow("patch 0") << Edited("\"patch\":null", "\"patch\":0")
                           << "damaged: trials[0].frames[1].patch is out of range";
  QTest::newRow("unknown judgement")
      << Edited("\"no-patch\"", "\"maybe\"")
      << "damaged: trials[0].touches[1].judgement is not a known name";
  QTest::newRow("touch not an object") << Edited("\"touches\":[", "\"touches\":[7, ")
                                       << "damaged: trials[0].touches[0] is not an object";
  QTest::newRow("score as text") << Edited("\"score\":4", "\"score\":\"4\"")
                                 << "damaged: result.score is not a number";
}

void SessionRecordTest::reader_refusesWithReason() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, reason);
  SessionRecord record;
  record.programName = "untouched";
  std::string why;
  QVERIFY(!results::ParseSessionRecord(bytes, &record, &why));
  QVERIFY2(QString::fromStdString(why).startsWith(reason), why.c_str());
  QCOMPARE(record.programName, std::string("untouched"));
}

void SessionRecordTest::reader_takesNewerMinorVersion() {
  // A later 1.x may add members; this reader ignores them.
  const QByteArray newer =
      Edited("\"1.1\"", "\"1.7\", \"timingCheck\": {\"pass\": true}, \"later\": [1]");
  SessionRecord record;
  std::string why;
  QVERIFY2(results::ParseSessionRecord(newer, &record, &why), why.c_str());
  QCOMPARE(record.formatMinor, 7);
  QCOMPARE(record.trials.size(), size_t(2));
}

void SessionRecordTest::fileNamePart_isSafeForAnySubject_data() {
  QTest::addColumn<QByteArray>("subject");
  QTest::addColumn<QByteArray>("part");
  QTest::newRow("plain") << QByteArray("S01_a-b") << QByteArray("S01_a-b");
  QTest::newRow("empty") << QByteArray() << QByteArray();
  QTest::newRow("path") << QByteArray("../x/y") << QByteArray("%2E%2E%2Fx%2Fy");
  QTest::newRow("windows") << QByteArray("a\\b:c*?\"<>|")
                           << QByteArray("a%5Cb%3Ac%2A%3F%22%3C%3E%7C");
  QTest::newRow("blank and percent") << QByteArray(" %") << QByteArray("%20%25");
  QTest::newRow("control") << QByteArray("a\tb\nc", 5) << QByteArray("a%09b%0Ac");
  QTest::newRow("utf-8") << QByteArray("名") << QByteArray("%E5%90%8D");
  // 119 plain characters leave no room for a whole escape.
  QTest::newRow("long") << QByteArray(119, 'x') + "/yyy" << QByteArray(119, 'x');
  QTest::newRow("longer") << QByteArray(300, 'z') << QByteArray(120, 'z');
}

void SessionRecordTest::fileNamePart_isSafeForAnySubject() {
  QFETCH(QByteArray, subject);
  QFETCH(QByteArray, part);
  QCOMPARE(QByteArray::fromStdString(results::FileNamePart(subject.toStdString())), part);
}

void SessionRecordTest::save_twoTestsInOneSecond_getTwoFiles() {
  QTemporaryDir dir;
  const QString folder = dir.filePath("sessions");  // made by the first save
  HandMadeTest test;
  test.settings.subject = "a/b";
  const results::SessionInputs in = test.Inputs();
  const SessionRecord record = results::MakeSessionRecord(in);
  std::string first;
  std::string second;
  std::string reason;
  QVERIFY(results::SaveSessionRecord(folder.toStdString(), record, in.ended, &first, &reason));
  QVERIFY(results::SaveSessionRecord(folder.toStdString(), record, in.ended.addMSecs(400), &second,
                                     &reason));
  const QString stem = "a%2Fb_" + in.ended.toLocalTime().toString("yyyyMMdd-HHmmss");
  QCOMPARE(QString::fromStdString(first), folder + "/" + stem + ".json");
  QCOMPARE(QString::fromStdString(second), folder + "/" + stem + "-2.json");
  // Nothing else is left in the folder, hidden files included.
  QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
           QStringList({stem + "-2.json", stem + ".json"}));
  QCOMPARE(testing::ReadBytes(QString::fromStdString(second)), results::SessionRecordJson(record));
}

void SessionRecordTest::write_failure_showsFileAndReason_data() {
  QTest::addColumn<QString>("blocker");  // what stands in the way
  QTest::addColumn<QString>("box");
  QTest::newRow("a file named sessions")
      << "file"
      << "Cannot write the session record [sessions/SOMEBODY_20260105-090442.json] "
         "(Not a directory). The subject file and the log are not affected.";
  QTest::newRow("read-only folder")
      << "read-only"
      << "Cannot write the session record [sessions/SOMEBODY_20260105-090442.json] "
         "(Permission denied). The subject file and the log are not affected.";
}

void SessionRecordTest::write_failure_showsFileAndReason() {
  QFETCH(QString, blocker);
  QFETCH(QString, box);
  QTemporaryDir dir;
  // Open to everybody, so that only the blocker stands in the way of the
  // other user the write runs as.
  const auto all = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                   QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
  const auto writable = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
  QFile::setPermissions(dir.path(), all | writable);
  const QString before = QDir::currentPath();
  QDir::setCurrent(dir.path());
  QVERIFY(testing::WriteBytes("SOMEBODY.csv", "rows\r\n"));
  if (blocker == "file") {
    QVERIFY(testing::WriteBytes("sessions", "x"));
  } else {
    QVERIFY(QDir().mkdir("sessions"));
    QFile::setPermissions("sessions", all);
  }
  testing::FakeUi fake;
  HandMadeTest test;
  test.settings.subject = "SOMEBODY";
  results::SessionInputs in = test.Inputs();
  in.ended = QDateTime(QDate(2026, 1, 5), QTime(9, 4, 42), Qt::LocalTime);
  ::setfsuid(65534);  // as root, permission bits apply only to another user
  const int written = results::WriteSessionRecord(in);
  ::setfsuid(::getuid());
  QFile::setPermissions("sessions", all | writable);
  QDir::setCurrent(before);
  QCOMPARE(written, 0);
  QCOMPARE(fake.boxes.size(), size_t(1));
  QCOMPARE(QString::fromStdString(fake.boxes[0].text), box);
  QCOMPARE(fake.boxes[0].type, ui::kMbOk | ui::kMbIconWarning);
  QCOMPARE(testing::ReadBytes(dir.filePath("SOMEBODY.csv")), QByteArray("rows\r\n"));
}

void SessionRecordTest::describeStimulus_hashesFileOrFallsBack() {
  QTemporaryDir dir;
  const QString path = dir.filePath("click.wav");
  QVERIFY(testing::WriteBytes(path, "abc"));
  const std::string native = path.toStdString();
  const results::StimulusRecord used =
      results::DescribeStimulus(native, true, results::StimulusUse::kMissing);
  QCOMPARE(used.use, results::StimulusUse::kFile);
  QCOMPARE(used.sha256,
           std::string("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
  // A bitmap that did not load is replaced whatever the file holds.
  const results::StimulusRecord unused =
      results::DescribeStimulus(native, false, results::StimulusUse::kBuiltIn);
  QCOMPARE(unused.use, results::StimulusUse::kBuiltIn);
  QVERIFY(unused.sha256.empty());
  const results::StimulusRecord missing = results::DescribeStimulus(
      dir.filePath("nothing.wav").toStdString(), true, results::StimulusUse::kMissing);
  QCOMPARE(missing.use, results::StimulusUse::kMissing);
  // Backslashes separate folders, as in the program's own names.
  QCOMPARE(results::DescribeStimulus("stim\\x.wav", false, results::StimulusUse::kMissing).file,
           std::string("stim/x.wav"));
}

QTEST_GUILESS_MAIN(SessionRecordTest)
#include "session_record_test.moc"
