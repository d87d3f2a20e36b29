// The real program on an X server, driven as a person would drive it: a click
// on the opening screen, the Subject Information dialog typed in, a whole test
// taken by trial and error, File -> Exit; then every file it wrote is checked
// against what the person did.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QtTest>

#include "app/e2e/person.h"

namespace {

// Ours bound each time by the X requests around its two ends: the press by
// the XTest request and its round trip, a frame's onset by the last read of
// the screen that did not show it and the first that did. A recorded time
// may stand this far outside those bounds: its own rounding to the
// millisecond and the program's own confirmation of the onset.
constexpr double kSlackMs = 3;

QByteArray ReadFile(const QDir& dir, const char* name) {
  QFile file(dir.filePath(QString::fromLatin1(name)));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class E2eTest : public QObject {
  Q_OBJECT

 private slots:
  void wholeTest_filesMatchWhatThePersonDid();
};

void E2eTest::wholeTest_filesMatchWhatThePersonDid() {
  e2e::Person person;
  const e2e::SubjectEntry entry{"e2e-subject", 1, 2, false};
  std::vector<e2e::DrivenTrial> trials;
  const QDateTime runStart = QDateTime::currentDateTime();
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.StartTestByClick() &&
                  person.FillSubjectInformation(entry) && person.TakeTest(entry, &trials) &&
                  person.WaitForOpeningScreen() && person.ExitFromMenu();
  const QDateTime runEnd = QDateTime::currentDateTime();
  QVERIFY2(ok, person.Failure().c_str());
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());

  const QDir work(person.WorkDir());
  QCOMPARE(work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList({"e2e-subject.csv", "ORBEL.ini", "ORBEL.txt", "stim"}));

  // The subject's data file: one row per trial, exactly as the person took
  // it. A recorded time stands where it is close enough to ours; ours where
  // it is not, so that the comparison shows both.
  const QByteArray csv = ReadFile(work, "e2e-subject.csv");
  const QList<QByteArray> rows = csv.split('\n');
  QByteArray expected = "Subject,Trial,NItems,NCorrect,RT1,RT2,Error,Rev\r\n";
  int reversalSum = 0;
  int reversalCount = 0;
  for (size_t i = 0; i < trials.size(); ++i) {
    const e2e::DrivenTrial& t = trials[i];
    const QList<QByteArray> fields = rows.value(static_cast<qsizetype>(i) + 1).split(',');
    const auto rt = [&](int k, const e2e::Bounds& truth, bool known) {
      const int recorded = fields.value(k).toInt();
      qInfo("trial %zu %s: recorded %d, true %.2f to %.2f ms%s", i + 1, k == 4 ? "RT1" : "RT2",
            recorded, truth.low, truth.high, known ? "" : " (onset not seen)");
      const bool within = recorded >= truth.low - kSlackMs && recorded <= truth.high + kSlackMs;
      return within || !known ? recorded : qRound(truth.Middle());
    };
    QVERIFY2(fields.value(4).toInt() >= 1000, rows.value(static_cast<qsizetype>(i) + 1));
    expected +=
        QString::asprintf(
            "e2e-subject,%d,%d,%d,%d,%d,%d,%d\r\n", static_cast<int>(i) + 1, t.nItems, t.nCorrect,
            rt(4, t.Rt1(), t.onset.known),
            t.nItems == 1 ? 0  // the touch that starts RT2 also ends it
                          : rt(5, t.Rt2(), t.lastWrongBeforeFirst ? t.onset.known : t.answer.known),
            t.error ? 1 : 0, t.rev)
            .toLatin1();
    reversalSum += t.rev != 0 ? t.nItems : 0;
    reversalCount += t.rev != 0 ? 1 : 0;
  }
  QCOMPARE(csv, expected);
  QCOMPARE(reversalCount, entry.maxRev);

  // The log: its header and one line, written during the run, with the score
  // of the person's own reversal trials.
  const QByteArray log = ReadFile(work, "ORBEL.txt");
  const QByteArray header = "Date\tTime\tScore\tSubject\r\n";
  const QByteArray stamp = log.mid(header.size(), 19);
  const QDateTime written =
      QDateTime::fromString(QString::fromLatin1(stamp), QStringLiteral("yyyy/MM/dd\tHH:mm:ss"));
  QVERIFY2(written >= runStart.addMSecs(-runStart.time().msec()) && written <= runEnd,
           log.constData());
  const QString score = QString::asprintf("%.2f", static_cast<double>(reversalSum) / reversalCount);
  QCOMPARE(log, header + stamp + '\t' + score.toLatin1() + "\te2e-subject\r\n");

  // The settings as entered, in their fixed order.
  QCOMPARE(ReadFile(work, "ORBEL.ini"), QByteArray("subject = e2e-subject\r\n"
                                                   "random_seed = 0\r\n"
                                                   "memtime = 1\r\n"
                                                   "max_rev = 2\r\n"
                                                   "hide_mouse = 0\r\n"
                                                   "flag_feedback = 0\r\n"
                                                   "flag_ranking = 0\r\n"));
}

QTEST_GUILESS_MAIN(E2eTest)
#include "e2e_test.moc"
