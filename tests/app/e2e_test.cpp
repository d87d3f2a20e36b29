// The real program on a desktop (DORVANE_E2E_DESKTOP, set by desktop.sh),
// driven as a person would drive it: a click on the opening screen, the
// Subject Information dialog typed in, a whole test taken by trial and error,
// the score box and the ranking, Escape, File -> Exit; on the way, where the
// windows are; then every file it wrote is checked against what the person did.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/e2e/person.h"

namespace {

// The recorded times come from the program's own clock, ours from the X
// requests around each event; this covers their round trips and a frame or two.
constexpr double kTimeTolerance = 150;

QByteArray ReadFile(const QDir& dir, const char* name) {
  QFile file(dir.filePath(QString::fromLatin1(name)));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class E2eTest : public QObject {
  Q_OBJECT

 private slots:
  void wholeTest_filesMatchWhatThePersonDid();
  void installedProgram_readsInstalledStimuli();
};

void E2eTest::wholeTest_filesMatchWhatThePersonDid() {
  e2e::Person person;
  const e2e::SubjectEntry entry{"e2e-subject", 1, 2, true, true};
  std::vector<e2e::DrivenTrial> trials;
  const QDateTime runStart = QDateTime::currentDateTime();
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.CheckHomeScreen() &&
                  person.StartTestByClick() && person.FillSubjectInformation(entry) &&
                  person.TakeTest(entry, &trials) && person.CloseScoreBox() &&
                  person.CloseResults() && person.WaitForOpeningScreen() &&
                  person.CheckHomeScreen() && person.PressEscape() && person.ExitFromMenu();
  const QDateTime runEnd = QDateTime::currentDateTime();
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());
  QVERIFY2(ok, person.Failure().c_str());

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
    const auto rt = [&fields](int k, double measured) {
      const int recorded = fields.value(k).toInt();
      return qAbs(recorded - measured) <= kTimeTolerance ? recorded : qRound(measured);
    };
    QVERIFY2(fields.value(4).toInt() >= 1000, rows.value(static_cast<qsizetype>(i) + 1));
    expected +=
        QString::asprintf("e2e-subject,%d,%d,%d,%d,%d,%d,%d\r\n", static_cast<int>(i) + 1, t.nItems,
                          t.nCorrect, rt(4, t.Rt1()), rt(5, t.Rt2()), t.error ? 1 : 0, t.rev)
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
                                                   "flag_feedback = 1\r\n"
                                                   "flag_ranking = 1\r\n"));
}

// Installed as a desktop entry starts it: in a folder with no stim/ of its own.
void E2eTest::installedProgram_readsInstalledStimuli() {
  if (e2e::Desktop::FromEnvironment().name != "none")
    QSKIP("the installation is the same on every desktop");
  QTemporaryDir prefix;
  QProcess install;
  install.setProcessChannelMode(QProcess::ForwardedChannels);
  install.start(QStringLiteral(CMAKE_COMMAND),
                {"--install", DORVANE_BUILD_DIR, "--prefix", prefix.path()});
  QVERIFY(install.waitForFinished(60000) && install.exitCode() == 0);

  e2e::Person person;
  e2e::Launch launch;
  launch.program = prefix.filePath(QStringLiteral("bin/dorvane"));
  launch.copyStimuli = false;
  const bool ok = person.Start(launch) && person.WaitForOpeningScreen() &&
                  person.CheckHomeScreen() && person.ExitFromMenu();
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());
  QVERIFY2(ok, person.Failure().c_str());
  // It read the stimuli where they are installed and wrote only its settings here.
  QCOMPARE(QDir(person.WorkDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList({"ORBEL.ini"}));
}

QTEST_GUILESS_MAIN(E2eTest)
#include "e2e_test.moc"
