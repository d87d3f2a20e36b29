// The program started where there is no display to open: one line, exit code 1.
#include "app/display_connection.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class DisplayConnectionTest : public QObject {
  Q_OBJECT

 private slots:
  void noDisplay_oneLineAndExitCode1_data() {
    QTest::addColumn<QStringList>("environment");  // NAME=value, over an environment without any
    QTest::newRow("nothing named") << QStringList();
    QTest::newRow("X11 asked for, nothing named") << QStringList{"QT_QPA_PLATFORM=xcb"};
    QTest::newRow("DISPLAY names no server") << QStringList{"DISPLAY=:4095"};
    QTest::newRow("WAYLAND_DISPLAY names no compositor")
        << QStringList{"WAYLAND_DISPLAY=dorvane-none", "QT_QPA_PLATFORM=wayland"};
  }

  void noDisplay_oneLineAndExitCode1() {
    QFETCH(QStringList, environment);
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    for (const QString& setting : environment) {
      env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    }
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(runtime.path());
    program.start(DORVANE_EXE, QStringList());
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.readAllStandardError(), QByteArray(kNoDisplayMessage) + '\n');
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), kNoDisplayExitCode);
  }
};

QTEST_GUILESS_MAIN(DisplayConnectionTest)
#include "display_connection_test.moc"
