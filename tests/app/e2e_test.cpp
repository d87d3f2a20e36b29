// The real program on an X server, driven as a person would drive it: a click
// on the opening screen, the Subject Information dialog typed in, a whole test
// taken by trial and error, File -> Exit; then every file it wrote is checked
// against what the person did.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <set>

#include "app/e2e/person.h"
#include "app/e2e/program_run.h"
#include "app/e2e/x_screen.h"

namespace {

const char kSubject[] = "e2e-subject";
// The recorded times come from the program's own clock, ours from the X
// requests around each event; this covers their round trips and a frame or two.
constexpr double kTimeTolerance = 150;

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray();
  return file.readAll();
}

// The lines of a CR LF text file; `ok` is false when a line feed comes
// without its carriage return or the last line is not ended.
QList<QByteArray> CrLfLines(const QByteArray& text, bool* ok) {
  *ok = text.endsWith("\r\n");
  QList<QByteArray> lines = text.split('\n');
  lines.removeLast();  // what follows the last line end
  for (QByteArray& line : lines) {
    if (!line.endsWith('\r')) *ok = false;
    line.chop(1);
    if (line.contains('\r')) *ok = false;
  }
  return lines;
}

bool IsDecimal(const QByteArray& field) {
  static const QRegularExpression decimal(QStringLiteral("^(0|-?[1-9][0-9]*)$"));
  return decimal.match(QString::fromLatin1(field)).hasMatch();
}

}  // namespace

class E2eTest : public QObject {
  Q_OBJECT

 private slots:
  void wholeTest_filesMatchWhatThePersonDid();

 private:
  // Keeps the screen at the moment of a failure for a person to look at.
  QString Failure(e2e::XScreen& screen, const std::string& err) {
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("e2e_failure.png"));
    const bool saved = screen.Grab().save(path);
    return QString::fromStdString(err) +
           (saved ? QStringLiteral(" (screen saved to %1)").arg(path) : QString()) +
           QStringLiteral("\nwhat the person did:\n") + QString::fromStdString(log_);
  }

  std::string log_;
};

#define DRIVE(call)                                     \
  do {                                                  \
    std::string err_;                                   \
    const bool ok_ = (call);                            \
    if (person) log_ = person->Log();                   \
    if (!ok_) QFAIL(qPrintable(Failure(screen, err_))); \
  } while (0)

void E2eTest::wholeTest_filesMatchWhatThePersonDid() {
  e2e::XScreen screen;
  e2e::Person* person = nullptr;
  DRIVE(screen.Open(&err_));
  const QImage opening(QStringLiteral(DORVANE_STIM_DIR "/opening.bmp"));
  QVERIFY2(!opening.isNull(), "cannot read stim/opening.bmp");
  e2e::Person driver(screen, opening);
  person = &driver;

  e2e::ProgramRun program;
  DRIVE(program.Prepare(QStringLiteral(DORVANE_STIM_DIR), &err_));
  const QDateTime runStart = QDateTime::currentDateTime();
  DRIVE(program.Launch(QStringLiteral(DORVANE_EXE), &err_));
  DRIVE(person->WaitForOpeningScreen(20000, &err_));
  DRIVE(person->StartTestByClick(&err_));
  e2e::SubjectEntry entry;
  entry.subject = kSubject;
  entry.memtime = 1;
  entry.maxRev = 2;
  DRIVE(person->FillSubjectInformation(entry, &err_));
  std::vector<e2e::DrivenTrial> trials;
  DRIVE(person->TakeTest(entry, &trials, &err_));
  DRIVE(person->WaitForOpeningScreen(15000, &err_));
  DRIVE(person->ExitFromMenu(&err_));
  int exitCode = -1;
  DRIVE(program.WaitForExit(15000, &exitCode, &err_));
  const QDateTime runEnd = QDateTime::currentDateTime();
  QCOMPARE(exitCode, 0);
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person->Log());

  const QDir work(program.WorkDir());
  for (const char* name : {"e2e-subject.csv", "ORBEL.txt", "ORBEL.ini"}) {
    QString text = QString::fromUtf8(ReadFile(work.filePath(QString::fromLatin1(name))));
    qInfo().noquote() << QString::fromLatin1(name) + ":\n" + text.replace('\r', "\\r");
  }
  const std::set<QString> expectedFiles = {QStringLiteral("stim"), QStringLiteral("ORBEL.ini"),
                                           QStringLiteral("ORBEL.txt"),
                                           QStringLiteral("e2e-subject.csv")};
  const QStringList entries = work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
  QCOMPARE(std::set<QString>(entries.begin(), entries.end()), expectedFiles);

  // The subject's data file: one row per trial, exactly as the person took it.
  bool crLf = false;
  const QList<QByteArray> rows =
      CrLfLines(ReadFile(work.filePath(kSubject + QStringLiteral(".csv"))), &crLf);
  QVERIFY2(crLf, "the data file's lines must end in CR LF");
  QVERIFY(!rows.isEmpty());
  QCOMPARE(rows[0], QByteArray("Subject,Trial,NItems,NCorrect,RT1,RT2,Error,Rev"));
  QCOMPARE(rows.size() - 1, static_cast<qsizetype>(trials.size()));
  int reversalSum = 0;
  int reversalCount = 0;
  double largestDifference = 0;
  for (size_t i = 0; i < trials.size(); ++i) {
    const e2e::DrivenTrial& t = trials[i];
    const QByteArray& row = rows[static_cast<qsizetype>(i) + 1];
    const QList<QByteArray> f = row.split(',');
    const QByteArray where = "row " + QByteArray::number(static_cast<int>(i) + 1) + ": " + row;
    QVERIFY2(f.size() == 8, where.constData());
    for (int k = 1; k < 8; ++k) QVERIFY2(IsDecimal(f[k]), where.constData());
    QVERIFY2(f[0] == kSubject, where.constData());
    QVERIFY2(f[1].toInt() == static_cast<int>(i) + 1, where.constData());
    QVERIFY2(f[2].toInt() == t.nItems, where.constData());
    QVERIFY2(f[3].toInt() == t.nCorrect, where.constData());
    const int rt1 = f[4].toInt();
    const int rt2 = f[5].toInt();
    QVERIFY2(rt1 >= 1000, where.constData());
    QVERIFY2(qAbs(rt1 - t.Rt1()) <= kTimeTolerance,
             (where + ", measured RT1 " + QByteArray::number(t.Rt1(), 'f', 0)).constData());
    QVERIFY2(qAbs(rt2 - t.Rt2()) <= kTimeTolerance,
             (where + ", measured RT2 " + QByteArray::number(t.Rt2(), 'f', 0)).constData());
    largestDifference = std::max({largestDifference, qAbs(rt1 - t.Rt1()), qAbs(rt2 - t.Rt2())});
    QVERIFY2(f[6].toInt() == (t.error ? 1 : 0), where.constData());
    QVERIFY2(f[7].toInt() == t.rev, where.constData());
    if (t.rev != 0) {
      reversalSum += t.nItems;
      reversalCount += 1;
    }
  }
  QCOMPARE(reversalCount, entry.maxRev);
  qInfo("largest difference between a recorded and a measured time: %.1f ms", largestDifference);

  // The log: its header and one line, written during the run, with the score
  // of the person's own reversal trials.
  const QList<QByteArray> log =
      CrLfLines(ReadFile(work.filePath(QStringLiteral("ORBEL.txt"))), &crLf);
  QVERIFY2(crLf, "the log's lines must end in CR LF");
  QCOMPARE(log.size(), 2);
  QCOMPARE(log[0], QByteArray("Date\tTime\tScore\tSubject"));
  const QList<QByteArray> line = log[1].split('\t');
  QCOMPARE(line.size(), 4);
  const QDateTime written = QDateTime::fromString(QString::fromLatin1(line[0] + ' ' + line[1]),
                                                  QStringLiteral("yyyy/MM/dd HH:mm:ss"));
  QVERIFY2(written.isValid(), log[1].constData());
  QVERIFY2(written >= runStart.addMSecs(-runStart.time().msec()) && written <= runEnd,
           log[1].constData());
  const double score = static_cast<double>(reversalSum) / reversalCount;
  QCOMPARE(line[2], QByteArray::fromStdString(QString::asprintf("%.2f", score).toStdString()));
  QCOMPARE(line[3], QByteArray(kSubject));

  // The settings as entered, in their fixed order.
  const QByteArray ini = ReadFile(work.filePath(QStringLiteral("ORBEL.ini")));
  QCOMPARE(ini, QByteArray("subject = e2e-subject\r\n"
                           "random_seed = 0\r\n"
                           "memtime = 1\r\n"
                           "max_rev = 2\r\n"
                           "hide_mouse = 0\r\n"
                           "flag_feedback = 0\r\n"
                           "flag_ranking = 0\r\n"));
}

QTEST_GUILESS_MAIN(E2eTest)
#include "e2e_test.moc"
