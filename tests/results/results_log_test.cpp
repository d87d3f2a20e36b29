#include "results/results_log.h"

#include <QtTest>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

const QByteArray kHeader = "Date\tTime\tScore\tSubject\r\n";

// An entry as "date|time|score|subject", with "*" after the current one.
QStringList Describe(const std::vector<LogEntry>& entries) {
  QStringList out;
  for (const LogEntry& e : entries) {
    out << QString::fromStdString(e.date + "|" + e.time + "|") + QString::number(e.score) + "|" +
               QString::fromStdString(e.subject) + (e.is_current ? "*" : "");
  }
  return out;
}

LogEntry Entry(double score, const std::string& subject, int current = 0) {
  LogEntry e;
  e.date = "2026/01/05";
  e.time = "09:03:07";
  e.score = score;
  e.subject = subject;
  e.is_current = current;
  return e;
}

}  // namespace

class ResultsLogTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  QString WriteLog(const QByteArray& bytes) {
    const QString path = dir_.filePath("ORBEL.txt");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return QString();
    return path;
  }

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void workedExample_ranksSummarisesAndFormats() {
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_.path()));
    QVERIFY(!WriteLog(kHeader + "2026/01/03\t10:00:00\t5.00\tP\r\n"
                                "2026/01/04\t11:30:00\t6.25\tQ\r\n"
                                "2026/01/05\t09:03:07\t5.00\tR\r\n")
                 .isEmpty());
    std::vector<LogEntry> entries;
    const int read = ReadResultsLog(&entries);
    QDir::setCurrent(previous);

    QCOMPARE(read, 1);
    QCOMPARE(Describe(entries),
             QStringList({"2026/01/03|10:00:00|5|P", "2026/01/04|11:30:00|6.25|Q",
                          "2026/01/05|09:03:07|5|R*"}));
    const LogEntry current = entries.back();
    RankEntries(&entries);
    QCOMPARE(Describe(entries),
             QStringList({"2026/01/04|11:30:00|6.25|Q", "2026/01/05|09:03:07|5|R*",
                          "2026/01/03|10:00:00|5|P"}));
    const int rank = CurrentRank(entries);
    QCOMPARE(rank, 2);
    QCOMPARE(FormatSummary(current, rank, 3),
             std::string("Result of [R]: 5.00 chunks (ORDER: 2 out of 3 / 66.7 percentile)"));
    QCOMPARE(FormatResultRow(2, entries[1]),
             std::string("0002:  2026/01/05(09:03:07)    5.00   R"));
  }

  void missingLog_returnsZero() {
    std::vector<LogEntry> entries{Entry(1, "stale")};
    QCOMPARE(ReadResultsLog(dir_.filePath("absent.txt").toStdString(), &entries), 0);
    QVERIFY(entries.empty());
    QCOMPARE(ReadResultsLog(dir_.path().toStdString(), &entries), 0);  // a directory
  }

  void reading_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("single line") << kHeader + "2026/01/05\t09:03:07\t4.67\tBOB\r\n"
                                 << QStringList{"2026/01/05|09:03:07|4.67|BOB*"};
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("header only") << kHeader << QStringList();
    QTest::newRow("blank second line") << kHeader + "\r\nd\tt\t1\tA\r\n" << QStringList();
    QTest::newRow("blank first line") << "\r\n" + kHeader + "d\tt\t1\tA\r\n" << QStringList();
    QTest::newRow("blank line ends the log")
        << kHeader + "d\tt\t1\tA\r\nd\tt\t2\tB\r\n\r\nd\tt\t3\tC\r\n"
        << QStringList{"d|t|1|A", "d|t|2|B*"};
    QTest::newRow("white-space line ends the log")
        << kHeader + "d\tt\t1\tA\r\n \t\v\f \r\nd\tt\t3\tC\r\n"
        << QStringList{"d|t|1|A*"};
    QTest::newRow("LF line ends and no final line end")
        << QByteArray("Date\tTime\tScore\tSubject\nd\tt\t1\tA\nd\tt\t2\tB")
        << QStringList{"d|t|1|A", "d|t|2|B*"};
    QTest::newRow("ends trimmed") << kHeader + " \t d\tt\t1\tBOB  \t\v\f\r\r\n"
                                  << QStringList{"d|t|1|BOB*"};
    QTest::newRow("inner blanks kept") << kHeader + "d 1\t t \t 2.5x\tA B\r\n"
                                       << QStringList{"d 1| t |2.5|A B*"};
    QTest::newRow("subject keeps further tabs") << kHeader + "d\tt\t1\tA\tB\t\tC\r\n"
                                                << QStringList{"d|t|1|A\tB\t\tC*"};
    QTest::newRow("empty subject trimmed away") << kHeader + "d\tt\t4.25\t\r\n"
                                                << QStringList{"d|t|4.25|*"};
    QTest::newRow("two fields") << kHeader + "d\tt\r\n" << QStringList{"d|t|0|*"};
    QTest::newRow("one field") << kHeader + "garbage\r\n" << QStringList{"garbage||0|*"};
    QTest::newRow("empty fields") << kHeader + "d\t\t\tS\r\n" << QStringList{"d||0|S*"};
    QTest::newRow("score conversions")
        << kHeader + "d\tt\t-2\tA\r\nd\tt\tabc\tB\r\nd\tt\t1e1\tC\r\nd\tt\t+.5\tD\r\n"
        << QStringList{"d|t|-2|A", "d|t|0|B", "d|t|10|C", "d|t|0.5|D*"};
    QTest::newRow("lone CR is not a line end") << kHeader + "d\tt\t1\tA\rB\r\n"
                                               << QStringList{"d|t|1|A\rB*"};

    // A physical line longer than 999 characters reads as more than one line.
    const QByteArray first = "d\tt\t5\t" + QByteArray(999 - 6, 'A');
    QTest::newRow("long line read in pieces")
        << kHeader + first + "x\ty\t2.5\tZ\r\nd\tt\t1\tLAST\r\n"
        << QStringList{"d|t|5|" + QString(999 - 6, 'A'), "x|y|2.5|Z", "d|t|1|LAST*"};
    QTest::newRow("long header read in pieces")
        << QByteArray(1001, 'H') + "\r\nd\tt\t1\tA\r\nd\tt\t2\tB\r\n"
        << QStringList{"HH||0|", "d|t|1|A", "d|t|2|B*"};
    // Its line end then forms a blank piece of its own.
    QTest::newRow("999-character line then line end")
        << kHeader + "d\tt\t1\tA\r\n" + first + "\r\nd\tt\t1\tLOST\r\n"
        << QStringList{"d|t|1|A", "d|t|5|" + QString(999 - 6, 'A') + "*"};
    QTest::newRow("998-character line then CR LF")
        << kHeader + first.left(998) + "\r\nd\tt\t1\tB\r\n"
        << QStringList{"d|t|5|" + QString(998 - 6, 'A'), "d|t|1|B*"};
  }

  void reading() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    const QString path = WriteLog(bytes);
    QVERIFY(!path.isEmpty());
    std::vector<LogEntry> entries{Entry(1, "stale")};

    QCOMPARE(ReadResultsLog(path.toStdString(), &entries), 1);
    QCOMPARE(Describe(entries), expected);
  }

  void rank_data() {
    QTest::addColumn<QList<double>>("scores");
    QTest::addColumn<QList<int>>("order");  // log positions, best first
    QTest::newRow("ascending") << QList<double>{1, 2, 3} << QList<int>{2, 1, 0};
    QTest::newRow("already ranked") << QList<double>{3, 2, 1} << QList<int>{0, 1, 2};
    QTest::newRow("all equal, later first") << QList<double>{5, 5, 5} << QList<int>{2, 1, 0};
    QTest::newRow("mixed ties") << QList<double>{3, 1, 2, 3, 1} << QList<int>{3, 0, 2, 4, 1};
    QTest::newRow("negative and zero") << QList<double>{0, -1, 0.5} << QList<int>{2, 0, 1};
    QTest::newRow("single") << QList<double>{4} << QList<int>{0};
    QTest::newRow("empty") << QList<double>{} << QList<int>{};
  }

  void rank() {
    QFETCH(QList<double>, scores);
    QFETCH(QList<int>, order);
    std::vector<LogEntry> entries;
    for (int k = 0; k < scores.size(); ++k) entries.push_back(Entry(scores[k], std::to_string(k)));

    RankEntries(&entries);

    QList<int> got;
    for (const LogEntry& e : entries) got << std::stoi(e.subject);
    QCOMPARE(got, order);
  }

  void rank_manyTies_descendingLaterFirst() {
    std::mt19937 random(12345);
    std::vector<LogEntry> entries;
    for (int k = 0; k < 300; ++k) {
      entries.push_back(Entry(static_cast<int>(random() % 6) * 0.25, std::to_string(k)));
    }
    std::vector<LogEntry> expected(entries.rbegin(), entries.rend());
    std::stable_sort(expected.begin(), expected.end(),
                     [](const LogEntry& a, const LogEntry& b) { return a.score > b.score; });

    RankEntries(&entries);

    QCOMPARE(Describe(entries), Describe(expected));
  }

  void currentRank_data() {
    QTest::addColumn<QList<double>>("scores");  // log order; the last is current
    QTest::addColumn<bool>("markCurrent");
    QTest::addColumn<int>("rank");
    QTest::newRow("single") << QList<double>{4} << true << 1;
    QTest::newRow("best") << QList<double>{1, 2, 9} << true << 1;
    QTest::newRow("worst") << QList<double>{5, 6, 1} << true << 3;
    QTest::newRow("ties: one plus strictly higher")
        << QList<double>{5, 7, 5, 5, 3, 8, 5} << true << 3;
    QTest::newRow("no current entry") << QList<double>{5, 6, 1} << false << 1;
  }

  void currentRank() {
    QFETCH(QList<double>, scores);
    QFETCH(bool, markCurrent);
    QFETCH(int, rank);
    std::vector<LogEntry> entries;
    for (double s : scores) entries.push_back(Entry(s, "S"));
    entries.back().is_current = markCurrent ? 1 : 0;

    RankEntries(&entries);

    QCOMPARE(CurrentRank(entries), rank);
  }

  void formatResultRow_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("score");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("row");
    QTest::newRow("first") << 1 << 4.666 << "BOB"
                           << "0001:  2026/01/05(09:03:07)    4.67   BOB";
    QTest::newRow("two-digit score") << 12 << 10.5 << "A B"
                                     << "0012:  2026/01/05(09:03:07)   10.50   A B";
    QTest::newRow("wider than five") << 123 << 123.456 << "X"
                                     << "0123:  2026/01/05(09:03:07)   123.46   X";
    QTest::newRow("negative") << 9999 << -1.0 << "N"
                              << "9999:  2026/01/05(09:03:07)   -1.00   N";
    QTest::newRow("five-digit position") << 10000 << 0.0 << ""
                                         << "10000:  2026/01/05(09:03:07)    0.00   ";
    QTest::newRow("2.675 is stored below the half") << 7 << 2.675 << "H"
                                                    << "0007:  2026/01/05(09:03:07)    2.67   H";
  }

  void formatResultRow() {
    QFETCH(int, position);
    QFETCH(double, score);
    QFETCH(QString, subject);
    QFETCH(QString, row);
    QCOMPARE(QString::fromStdString(FormatResultRow(position, Entry(score, subject.toStdString()))),
             row);
  }

  void formatSummary_data() {
    QTest::addColumn<double>("score");
    QTest::addColumn<int>("rank");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("summary");
    QTest::newRow("one of one") << 4.5 << 1 << 1
                                << "Result of [S]: 4.50 chunks (ORDER: 1 out of 1 / 100.0 "
                                   "percentile)";
    QTest::newRow("best of ten") << 7.0 << 1 << 10
                                 << "Result of [S]: 7.00 chunks (ORDER: 1 out of 10 / 10.0 "
                                    "percentile)";
    QTest::newRow("worst of ten") << 2.125 << 10 << 10
                                  << "Result of [S]: 2.12 chunks (ORDER: 10 out of 10 / 100.0 "
                                     "percentile)";
    QTest::newRow("one of three") << 14.0 / 3 << 1 << 3
                                  << "Result of [S]: 4.67 chunks (ORDER: 1 out of 3 / 33.3 "
                                     "percentile)";
    QTest::newRow("no results") << 0.0 << 1 << 0
                                << "Result of [S]: 0.00 chunks (ORDER: 1 out of 0 / 0.0 "
                                   "percentile)";
  }

  void formatSummary() {
    QFETCH(double, score);
    QFETCH(int, rank);
    QFETCH(int, count);
    QFETCH(QString, summary);
    QCOMPARE(QString::fromStdString(FormatSummary(Entry(score, "S"), rank, count)), summary);
  }

  void writtenLog_readsBack() {
    // The line a completed test appends, read back exactly.
    const QString path = WriteLog(kHeader + "2026/01/05\t09:03:07\t4.67\tSOMEBODY\r\n");
    std::vector<LogEntry> entries;
    QCOMPARE(ReadResultsLog(path.toStdString(), &entries), 1);
    QCOMPARE(static_cast<int>(entries.size()), 1);
    QCOMPARE(FormatResultRow(1, entries[0]),
             std::string("0001:  2026/01/05(09:03:07)    4.67   SOMEBODY"));
    QCOMPARE(
        FormatSummary(entries[0], CurrentRank(entries), 1),
        std::string("Result of [SOMEBODY]: 4.67 chunks (ORDER: 1 out of 1 / 100.0 percentile)"));
  }
};

QTEST_GUILESS_MAIN(ResultsLogTest)
#include "results_log_test.moc"
