#include "dialogs/results_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/fake_ui.h"

namespace {

const char kHeader[] = "Date\tTime\tScore\tSubject\n";

bool WriteLog(const QString& path, const QByteArray& lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  return file.write(QByteArray(kHeader) + lines) >= 0;
}

QStringList Rows(const QListWidget* list) {
  QStringList rows;
  for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
  return rows;
}

// Runs the working directory change for one test and puts it back.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const QString& dir) : previous_(QDir::currentPath()) {
    QDir::setCurrent(dir);
  }
  ~WorkingDirectory() { QDir::setCurrent(previous_); }

 private:
  QString previous_;
};

}  // namespace

class ResultsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void prepare_ranksAndSummarises_data();
  void prepare_ranksAndSummarises();
  void prepare_nothingToShow_data();
  void prepare_nothingToShow();
  void prepare_moreThan9999_selectsCurrentEntry();
  void viewResults_showsLogOfWorkingDirectory();
  void viewResults_headerOnly_showsNothing();

 private:
  QTemporaryDir dir_;
};

void ResultsDialogTest::prepare_ranksAndSummarises_data() {
  QTest::addColumn<QByteArray>("log");
  QTest::addColumn<QStringList>("rows");
  QTest::addColumn<QString>("summary");
  QTest::addColumn<int>("selected");

  QTest::newRow("worked example")
      << QByteArray(
             "2026/01/03\t10:00:00\t5.00\tP\n"
             "2026/01/04\t11:00:00\t6.25\tQ\n"
             "2026/01/05\t09:03:07\t5.00\tR\n")
      << QStringList{"0001:  2026/01/04(11:00:00)    6.25   Q",
                     "0002:  2026/01/05(09:03:07)    5.00   R",
                     "0003:  2026/01/03(10:00:00)    5.00   P"}
      << "Result of [R]: 5.00 chunks (ORDER: 2 out of 3 / 66.7 percentile)" << 1;
  QTest::newRow("one result")
      << QByteArray("2026/02/01\t08:00:00\t4.5\tSOLO\n")
      << QStringList{"0001:  2026/02/01(08:00:00)    4.50   SOLO"}
      << "Result of [SOLO]: 4.50 chunks (ORDER: 1 out of 1 / 100.0 percentile)" << 0;
  QTest::newRow("latest is best")
      << QByteArray(
             "2026/02/01\t08:00:00\t4.00\tA\n"
             "2026/02/02\t08:00:00\t3.00\tB\n"
             "2026/02/03\t08:00:00\t7.50\tC\n")
      << QStringList{"0001:  2026/02/03(08:00:00)    7.50   C",
                     "0002:  2026/02/01(08:00:00)    4.00   A",
                     "0003:  2026/02/02(08:00:00)    3.00   B"}
      << "Result of [C]: 7.50 chunks (ORDER: 1 out of 3 / 33.3 percentile)" << 0;
  QTest::newRow("markup in a subject stays text")
      << QByteArray("2026/02/01\t08:00:00\t4.00\t<b>X</b>\n")
      << QStringList{"0001:  2026/02/01(08:00:00)    4.00   <b>X</b>"}
      << "Result of [<b>X</b>]: 4.00 chunks (ORDER: 1 out of 1 / 100.0 percentile)" << 0;
  QTest::newRow("blank line ends the log")
      << QByteArray(
             "2026/02/01\t08:00:00\t4.00\tA\n"
             "2026/02/02\t08:00:00\t3.00\tB\n"
             "   \n"
             "2026/02/03\t08:00:00\t9.00\tC\n")
      << QStringList{"0001:  2026/02/01(08:00:00)    4.00   A",
                     "0002:  2026/02/02(08:00:00)    3.00   B"}
      << "Result of [B]: 3.00 chunks (ORDER: 2 out of 2 / 100.0 percentile)" << 1;
}

void ResultsDialogTest::prepare_ranksAndSummarises() {
  QFETCH(QByteArray, log);
  QFETCH(QStringList, rows);
  QFETCH(QString, summary);
  QFETCH(int, selected);
  const QString path = dir_.filePath(QStringLiteral("log.txt"));
  QVERIFY(WriteLog(path, log));

  CResult dialog;
  QVERIFY(PrepareResults(&dialog, path.toStdString()));
  QCOMPARE(Rows(dialog.List()), rows);
  QCOMPARE(dialog.Summary()->text(), summary);
  QCOMPARE(dialog.Summary()->textFormat(), Qt::PlainText);
  QCOMPARE(dialog.List()->currentRow(), selected);
  const QList<QListWidgetItem*> chosen = dialog.List()->selectedItems();
  QCOMPARE(chosen.size(), 1);
  QCOMPARE(chosen[0], dialog.List()->item(selected));
}

void ResultsDialogTest::prepare_nothingToShow_data() {
  QTest::addColumn<bool>("exists");
  QTest::addColumn<QByteArray>("lines");
  QTest::newRow("missing log") << false << QByteArray();
  QTest::newRow("header only") << true << QByteArray();
  QTest::newRow("blank second line") << true << QByteArray("\n2026/02/01\t08:00:00\t4.00\tA\n");
}

void ResultsDialogTest::prepare_nothingToShow() {
  QFETCH(bool, exists);
  QFETCH(QByteArray, lines);
  const QString path = dir_.filePath(QStringLiteral("empty.txt"));
  QFile::remove(path);
  if (exists) QVERIFY(WriteLog(path, lines));

  CResult dialog;
  QVERIFY(!PrepareResults(&dialog, path.toStdString()));
  QCOMPARE(dialog.List()->count(), 0);
  QCOMPARE(dialog.Summary()->text(), QStringLiteral("Result: "));
}

void ResultsDialogTest::prepare_moreThan9999_selectsCurrentEntry() {
  // 10004 earlier results in falling order, then the latest, which has
  // 10001 better results: rank 10002, whose five-digit row sorts between
  // "0999" and "1000", far from index 10001.
  QByteArray lines;
  const int earlier = 10004;
  for (int i = 0; i < earlier; ++i) {
    lines += "2026/03/01\t12:00:00\t" + QByteArray::number(100.0 - i * 0.005, 'f', 3) + "\tS" +
             QByteArray::number(i) + "\n";
  }
  lines += "2026/03/02\t12:00:00\t49.997\tCUR\n";
  const QString path = dir_.filePath(QStringLiteral("big.txt"));
  QVERIFY(WriteLog(path, lines));

  CResult dialog;
  QVERIFY(PrepareResults(&dialog, path.toStdString()));
  QListWidget* list = dialog.List();
  QCOMPARE(list->count(), earlier + 1);
  const QStringList rows = Rows(list);
  for (int i = 1; i < rows.size(); ++i) QVERIFY2(rows[i - 1] < rows[i], qPrintable(rows[i]));
  QCOMPARE(dialog.Summary()->text(),
           QStringLiteral("Result of [CUR]: 50.00 chunks (ORDER: 10002 out of 10005 / "
                          "100.0 percentile)"));
  QListWidgetItem* current = list->currentItem();
  QVERIFY(current);
  QVERIFY2(current->text().startsWith(QStringLiteral("10002:  2026/03/02(12:00:00)")),
           qPrintable(current->text()));
  QVERIFY(current->text().endsWith(QStringLiteral("   CUR")));
  QCOMPARE(list->row(current), 999 + 2);
  QCOMPARE(list->selectedItems().size(), 1);

  // Once shown, the selected row is scrolled into view.
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QVERIFY(list->viewport()->rect().intersects(list->visualItemRect(current)));
  dialog.reject();
}

void ResultsDialogTest::viewResults_showsLogOfWorkingDirectory() {
  testing::FakeUi fake;
  QTemporaryDir work;
  QVERIFY(WriteLog(work.filePath(QStringLiteral("ORBEL.txt")),
                   "2026/01/03\t10:00:00\t5.00\tP\n"
                   "2026/01/04\t11:00:00\t6.25\tQ\n"));
  WorkingDirectory cwd(work.path());
  bool reached = false;
  QString title;
  QString summary;
  int count = -1;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* dialog = qobject_cast<CResult*>(modal);
    if (!dialog) {
      if (modal) modal->close();
      return;
    }
    reached = true;
    title = dialog->windowTitle();
    summary = dialog->Summary()->text();
    count = dialog->List()->count();
    dialog->OkButton()->click();
  });
  ViewResults();
  QVERIFY(reached);
  QCOMPARE(title, QStringLiteral("Results"));
  QCOMPARE(summary,
           QStringLiteral("Result of [Q]: 6.25 chunks (ORDER: 1 out of 2 / 50.0 percentile)"));
  QCOMPARE(count, 2);
  QVERIFY(fake.boxes.empty());
}

void ResultsDialogTest::viewResults_headerOnly_showsNothing() {
  testing::FakeUi fake;
  QTemporaryDir work;
  QVERIFY(WriteLog(work.filePath(QStringLiteral("ORBEL.txt")), QByteArray()));
  WorkingDirectory cwd(work.path());
  bool shown = false;
  QTimer timer;
  timer.setInterval(0);
  connect(&timer, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      shown = true;
      modal->close();
    }
  });
  timer.start();
  ViewResults();
  QCoreApplication::processEvents();
  QVERIFY(!shown);
  QVERIFY(fake.boxes.empty());
}

QTEST_MAIN(ResultsDialogTest)
#include "results_dialog_test.moc"
