// Runs dorvane-check, a short check, on the virtual X server: every section
// of the report is there and holds finite numbers, the report and its
// charts are saved, and the exit code is the verdict's. No timing figure is
// judged here: the virtual server of a test machine proves nothing of them.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

class CheckCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void shortCheck_reportIsWholeAndSaved() {
    QTemporaryDir dir;
    QProcess check;
    check.setWorkingDirectory(dir.path());
    check.setProcessChannelMode(QProcess::SeparateChannels);
    check.start(QStringLiteral(DORVANE_CHECK_EXE),
                {"--no-notice", "--frames", "60", "--trials", "4", "--span", "2"});
    QVERIFY(check.waitForFinished(120000));
    QCOMPARE(check.exitStatus(), QProcess::NormalExit);
    const QString report = QString::fromUtf8(check.readAllStandardOutput());
    QVERIFY2(check.exitCode() == 0 || check.exitCode() == 1, qPrintable(report));
    QCOMPARE(report.contains("Verdict: PASS"), check.exitCode() == 0);

    const QStringList sections{"System\n", "Display (", "Tick source\n", "Trial loop (",
                               "Verdict: "};
    for (const QString& s : sections) QVERIFY2(report.contains(s), qPrintable(s));
    for (const char* line : {"display server:", "OpenGL renderer:", "refresh period:", "jitter:",
                             "missed refreshes:", "Present's return to onset:", "drift:",
                             "wake-up lateness:", "real-time priority:", "RT1 recorded minus true:",
                             "RT2 recorded minus true:", "touches with their own stamp:"}) {
      QVERIFY2(report.contains(QString::fromLatin1(line)), line);
    }
    QVERIFY(!report.contains(
        QRegularExpression("\\b(nan|inf)\\b", QRegularExpression::CaseInsensitiveOption)));
    const QRegularExpression number("[-+]?[0-9]+(\\.[0-9]+)?");
    int numbers = 0;
    for (auto it = number.globalMatch(report); it.hasNext(); ++numbers) {
      QVERIFY(std::isfinite(it.next().captured().toDouble()));
    }
    QVERIFY(numbers > 30);
    QVERIFY(report.contains("presses injected through XTest"));
    QVERIFY(report.contains("Trial loop (4 trials"));

    const QStringList saved =
        QDir(dir.path()).entryList({"timing-check-*"}, QDir::Files, QDir::Name);
    QCOMPARE(saved.size(), 2);
    QVERIFY(saved[0].endsWith(".png") && saved[1].endsWith(".txt"));
    QFile text(QDir(dir.path()).filePath(saved[1]));
    QVERIFY(text.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(text.readAll()), report.left(report.indexOf("\nSaved as")));
    QVERIFY(!QImage(QDir(dir.path()).filePath(saved[0])).isNull());
    // The check writes nothing else: none of the test's own files.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
  }
};

QTEST_GUILESS_MAIN(CheckCommandTest)
#include "check_command_test.moc"
