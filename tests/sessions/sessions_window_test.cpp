// The Sessions window on a folder of made-up records and damaged files:
// what it lists, how it filters and sorts, its charts, and the files its
// export writes.
#include "sessions/sessions_window.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

#include "results/session_export.h"
#include "sessions/session_charts.h"
#include "sessions/session_table.h"
#include "support/fake_ui.h"
#include "support/file_bytes.h"
#include "support/session_samples.h"

using sessions::CSessions;

namespace {

QDateTime Day(int day, int hour) {
  return QDateTime(QDate(2026, 1, day), QTime(hour, 0), Qt::LocalTime);
}

// A one-trial record small enough to spell its export out.
results::SessionRecord HandMade() {
  results::SessionRecord r;
  r.programName = "Dorvane";
  r.programVersion = "8.003";
  r.started = "2026-02-01T07:59:50.000+00:00";
  r.ended = "2026-02-01T08:00:00.000+00:00";
  r.settings = {"H, \"q\"", 0, 2, 1, 0, 0, 0};
  r.trialsRun = 1;
  r.reversals = 1;
  r.hasScore = true;
  r.score = 3;
  results::SessionTrial t;
  t.row = {1, 3, 1, 2000, 500, 1, 1};
  t.cells = {0, 6, 12};
  t.rt1ZeroNs = 1000;
  t.hasRt2Zero = true;
  t.rt2ZeroMs = 2016.5;
  t.touches = {{2000, TouchTimeSource::kStamp, 394, 138, 197, 69, 0, TouchJudgement::kCorrect},
               {2500.3, TouchTimeSource::kSample, 10, 10, 5, 5, -1, TouchJudgement::kNoPatch},
               {2600, TouchTimeSource::kStamp, 1000, 600, 500, 300, 2, TouchJudgement::kWrong}};
  r.trials = {t};
  return r;
}

struct Sample {
  const char* file;
  testing::SimulatedSubject who;
};

// Four readable sessions: two at memtime 3 and max_rev 4, one at another
// memtime, one at another max_rev.
const Sample kSamples[] = {
    {"a.json", {"S01", 3, 4, 5.0, 1, Day(12, 10)}},
    {"b.json", {"S02", 3, 4, 7.0, 2, Day(13, 9)}},
    {"c.json", {"s01-retest", 1, 4, 6.0, 3, Day(14, 11)}},
    {"d.json", {"S03", 3, 6, 4.0, 4, Day(15, 8)}},
};

QStringList Column(const CSessions& w, int column) {
  QStringList out;
  const QAbstractItemModel* m = w.Table()->model();
  for (int row = 0; row < m->rowCount(); ++row) out << m->index(row, column).data().toString();
  return out;
}

template <typename T>
QList<T*> SeriesOf(QChart* chart) {
  QList<T*> out;
  for (QAbstractSeries* s : chart->series())
    if (auto* t = qobject_cast<T*>(s)) out << t;
  return out;
}

void SelectSubject(CSessions& w, const QString& subject) {
  const QStringList subjects = Column(w, sessions::kSubject);
  w.Table()->selectRow(static_cast<int>(subjects.indexOf(subject)));
}

}  // namespace

class SessionsWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::vector<results::SessionRecord> records_;
  std::unique_ptr<CSessions> window_;

  void Open() {
    window_ = std::make_unique<CSessions>(dir_.path());
    QTRY_VERIFY_WITH_TIMEOUT(window_->Loaded(), 10000);
  }

 private slots:
  void initTestCase() {
    for (const Sample& s : kSamples) {
      records_.push_back(testing::SimulatedSession(s.who));
      QVERIFY(
          testing::WriteBytes(dir_.filePath(s.file), results::SessionRecordJson(records_.back())));
    }
    const QByteArray json = results::SessionRecordJson(records_[0]);
    QVERIFY(testing::WriteBytes(dir_.filePath("h.json"), results::SessionRecordJson(HandMade())));
    QVERIFY(testing::WriteBytes(dir_.filePath("cut.json"), json.left(json.size() / 3)));
    QVERIFY(testing::WriteBytes(dir_.filePath("future.json"),
                                QByteArray(json).replace("\"1.1\"", "\"2.1\"")));
    QVERIFY(testing::WriteBytes(dir_.filePath("other.json"), "{\"format\": \"photos\"}"));
    // Neither is a record: not listed.
    QVERIFY(testing::WriteBytes(dir_.filePath("notes.txt"), "x"));
    QVERIFY(testing::WriteBytes(dir_.filePath(".hidden.json"), json));
  }
  void init() { Open(); }
  void cleanup() { window_.reset(); }

  void list_showsEveryRecordAndWhyOthersAreUnreadable();
  void filter_bySubjectAndSettings_data();
  void filter_bySubjectAndSettings();
  void sort_byAnyColumn_data();
  void sort_byAnyColumn();
  void staircase_marksWrongTrialsReversalsAndScore();
  void distribution_countsOnlySessionsWithTheSameSettings();
  void unreadableSelection_drawsNoChart();
  void export_writesTheListedSessionsExactly();
  void savePicture_writesBothCharts();
  void binScores_data();
  void binScores();
};

void SessionsWindowTest::list_showsEveryRecordAndWhyOthersAreUnreadable() {
  CSessions& w = *window_;
  QCOMPARE(w.Table()->model()->rowCount(), 8);
  QVERIFY(w.Progress()->isHidden());
  QCOMPARE(w.Status()->text(), QString("8 of 8 sessions listed, 3 unreadable"));
  // Newest first; the three unreadable ones last.
  QCOMPARE(Column(w, sessions::kFile),
           QStringList({"h.json", "d.json", "c.json", "b.json", "a.json", "cut.json", "future.json",
                        "other.json"}));
  const QAbstractItemModel* m = w.Table()->model();
  for (int row = 1; row <= 4; ++row) {
    const results::SessionRecord& r = records_[size_t(4 - row)];
    int errors = 0;
    for (const results::SessionTrial& t : r.trials) errors += t.row.Error;
    QStringList cells;
    for (int c = sessions::kSubject; c <= sessions::kErrors; ++c)
      cells << m->index(row, c).data().toString();
    QCOMPARE(cells,
             QStringList({QString::fromStdString(r.settings.subject),
                          kSamples[4 - row].who.ended.toString("yyyy-MM-dd HH:mm:ss"),
                          QString::number(r.score, 'f', 2), QString::number(r.settings.memtime),
                          QString::number(r.settings.max_rev), QString::number(r.trials.size()),
                          QString::number(errors)}));
    QVERIFY(m->index(row, sessions::kProblem).data().toString().isEmpty());
  }
  QCOMPARE(m->index(5, sessions::kSubject).data().toString(), QString("(unreadable)"));
  QVERIFY(m->index(5, sessions::kProblem).data().toString().startsWith("unreadable: truncated"));
  QCOMPARE(m->index(6, sessions::kProblem).data().toString(),
           QString("unreadable: format version 2.1 is newer than this program reads (1.x)"));
  QCOMPARE(m->index(7, sessions::kProblem).data().toString(),
           QString("unreadable: not a session record: its format is \"photos\""));
  QVERIFY(m->index(7, sessions::kScore).data().isNull());
  // The settings filters offer the values that occur.
  QCOMPARE(w.MemtimeFilter()->count(), 4);  // any, 1, 2, 3
  QCOMPARE(w.MaxRevFilter()->itemText(3), QString("6"));
}

void SessionsWindowTest::filter_bySubjectAndSettings_data() {
  QTest::addColumn<QString>("subject");
  QTest::addColumn<QString>("memtime");  // as the filter shows it
  QTest::addColumn<QString>("maxRev");
  QTest::addColumn<QStringList>("files");
  QTest::newRow("none") << ""
                        << "any"
                        << "any"
                        << QStringList({"a.json", "b.json", "c.json", "cut.json", "d.json",
                                        "future.json", "h.json", "other.json"});
  QTest::newRow("subject, any case") << "s01"
                                     << "any"
                                     << "any" << QStringList({"a.json", "c.json"});
  QTest::newRow("memtime") << ""
                           << "3"
                           << "any" << QStringList({"a.json", "b.json", "d.json"});
  QTest::newRow("memtime and max_rev") << ""
                                       << "3"
                                       << "4" << QStringList({"a.json", "b.json"});
  QTest::newRow("all three") << "S02"
                             << "3"
                             << "4" << QStringList({"b.json"});
  QTest::newRow("quote in subject") << "\"q"
                                    << "any"
                                    << "any" << QStringList({"h.json"});
  QTest::newRow("nobody") << "zzz"
                          << "any"
                          << "any" << QStringList();
}

void SessionsWindowTest::filter_bySubjectAndSettings() {
  QFETCH(QString, subject);
  QFETCH(QString, memtime);
  QFETCH(QString, maxRev);
  QFETCH(QStringList, files);
  CSessions& w = *window_;
  w.SubjectFilter()->setText(subject);
  w.MemtimeFilter()->setCurrentText(memtime);
  w.MaxRevFilter()->setCurrentText(maxRev);
  QStringList listed = Column(w, sessions::kFile);
  listed.sort();
  QCOMPARE(listed, files);
  QCOMPARE(w.Status()->text().section(' ', 0, 0), QString::number(files.size()));
}

void SessionsWindowTest::sort_byAnyColumn_data() {
  QTest::addColumn<int>("column");
  QTest::addColumn<bool>("descending");
  QTest::addColumn<QStringList>("readable");  // the readable rows' files, in order
  const auto score = [this](int k) { return records_[size_t(k)].score; };
  QStringList byScore = {"a.json", "b.json", "c.json", "d.json", "h.json"};
  const std::map<QString, double> scores = {{"a.json", score(0)},
                                            {"b.json", score(1)},
                                            {"c.json", score(2)},
                                            {"d.json", score(3)},
                                            {"h.json", 3.0}};
  std::stable_sort(byScore.begin(), byScore.end(),
                   [&](const QString& x, const QString& y) { return scores.at(x) < scores.at(y); });
  QTest::newRow("subject") << int(sessions::kSubject) << false
                           << QStringList({"h.json", "a.json", "b.json", "d.json", "c.json"});
  QTest::newRow("date, oldest first")
      << int(sessions::kDate) << false
      << QStringList({"a.json", "b.json", "c.json", "d.json", "h.json"});
  QTest::newRow("score") << int(sessions::kScore) << false << byScore;
  QTest::newRow("memtime, descending")
      << int(sessions::kMemtime) << true
      << QStringList({"a.json", "b.json", "d.json", "h.json", "c.json"});
  QTest::newRow("trials") << int(sessions::kTrials) << false << QStringList();  // checked below
}

void SessionsWindowTest::sort_byAnyColumn() {
  QFETCH(int, column);
  QFETCH(bool, descending);
  QFETCH(QStringList, readable);
  CSessions& w = *window_;
  w.Table()->sortByColumn(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
  const QStringList files = Column(w, sessions::kFile);
  const QStringList problems = Column(w, sessions::kProblem);
  QStringList ok;
  for (int i = 0; i < files.size(); ++i)
    if (problems[i].isEmpty()) ok << files[i];
  if (!readable.isEmpty()) {
    // Equal keys keep the date order the window opened with (newest first).
    if (column == sessions::kMemtime) std::sort(ok.begin(), ok.begin() + 3);
    QCOMPARE(ok, readable);
  } else {
    const QStringList counts = Column(w, column);
    for (int i = 1; i < ok.size(); ++i) QVERIFY(counts[i - 1].toInt() <= counts[i].toInt());
  }
  // The unreadable rows sort as the smallest of all.
  const int firstBad = static_cast<int>(problems.indexOf(QRegularExpression(".+")));
  QCOMPARE(firstBad, descending ? 5 : 0);
}

void SessionsWindowTest::staircase_marksWrongTrialsReversalsAndScore() {
  CSessions& w = *window_;
  SelectSubject(w, "S01");
  const results::SessionRecord& r = records_[0];
  QChart* chart = w.Staircase();
  QVERIFY2(chart->title().startsWith("S01, 2026-01-12 10:00: score "), qPrintable(chart->title()));
  const QList<QLineSeries*> lines = SeriesOf<QLineSeries>(chart);
  const QList<QScatterSeries*> marks = SeriesOf<QScatterSeries>(chart);
  // QScatterSeries is a QXYSeries, not a QLineSeries: the lines are the staircase and the score.
  QCOMPARE(lines.size(), 2);
  QList<QPointF> steps;
  QList<QPointF> wrong;
  QStringList reversals;
  for (size_t i = 0; i < r.trials.size(); ++i) {
    const QPointF p(double(i + 1), r.trials[i].row.NItems);
    steps << p;
    if (r.trials[i].row.Error) wrong << p;
    if (r.trials[i].row.Rev) reversals << QString("%1@%2").arg(r.trials[i].row.Rev).arg(i + 1);
  }
  QCOMPARE(lines[0]->points(), steps);
  QCOMPARE(lines[1]->points(), QList<QPointF>({{0.5, r.score}, {r.trials.size() + 0.5, r.score}}));
  QCOMPARE(marks[1]->name(), QString("wrong"));
  QCOMPARE(marks[1]->points(), wrong);
  QStringList labelled;
  for (int k = 2; k < marks.size(); ++k)
    labelled << marks[k]->pointLabelsFormat() + "@" + QString::number(marks[k]->at(0).x());
  QCOMPARE(labelled, reversals);
  QCOMPARE(reversals.size(), 4);
}

void SessionsWindowTest::distribution_countsOnlySessionsWithTheSameSettings() {
  CSessions& w = *window_;
  SelectSubject(w, "S01");
  QChart* chart = w.Distribution();
  QCOMPARE(chart->title(), QString("Scores at memtime 3, max_rev 4 (2 sessions)"));
  const QList<QStackedBarSeries*> bars = SeriesOf<QStackedBarSeries>(chart);
  QCOMPARE(bars.size(), 1);
  const QBarSet* others = bars[0]->barSets()[0];
  const QBarSet* mine = bars[0]->barSets()[1];
  QCOMPARE(others->sum(), 1.0);  // S02 only
  QCOMPARE(mine->sum(), 1.0);
  const auto* axis = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal)[0]);
  QVERIFY(axis);
  for (int k = 0; k < mine->count(); ++k) {
    if (mine->at(k) == 0) continue;
    const double low = axis->at(k).toDouble();
    QVERIFY(records_[0].score >= low && records_[0].score < low + 0.5);
  }
}

void SessionsWindowTest::unreadableSelection_drawsNoChart() {
  CSessions& w = *window_;
  w.Table()->selectRow(6);
  QCOMPARE(w.Staircase()->title(),
           QString("future.json is unreadable: format version 2.1 is newer than this program "
                   "reads (1.x)"));
  QVERIFY(w.Staircase()->series().isEmpty());
  QVERIFY(w.Distribution()->series().isEmpty());
}

void SessionsWindowTest::export_writesTheListedSessionsExactly() {
  CSessions& w = *window_;
  QTemporaryDir out;
  w.SubjectFilter()->setText("H");
  QCOMPARE(Column(w, sessions::kFile), QStringList({"h.json"}));
  QVERIFY(w.ExportListed(out.filePath("study.csv")));
  QCOMPARE(testing::ReadBytes(out.filePath("study-trials.csv")),
           QByteArray("session,subject,ended,random_seed,memtime,max_rev,hide_mouse,flag_feedback,"
                      "flag_ranking,score,Trial,NItems,NCorrect,RT1,RT2,Error,Rev,cells,touches\r\n"
                      "h,\"H, \"\"q\"\"\",2026-02-01T08:00:00.000+00:00,0,2,1,0,0,0,3,"
                      "1,3,1,2000,500,1,1,0 6 12,3\r\n"));
  QCOMPARE(
      testing::ReadBytes(out.filePath("study-touches.csv")),
      QByteArray("session,subject,memtime,max_rev,Trial,NItems,touch,time_ms,time_source,"
                 "canvas_x,canvas_y,window_x,window_y,patch,cell,expected,judgement\r\n"
                 "h,\"H, \"\"q\"\"\",2,1,1,3,1,2000.0,stamp,197,69,394,138,1,0,1,correct\r\n"
                 "h,\"H, \"\"q\"\"\",2,1,1,3,2,2500.3,sample,5,5,10,10,NA,NA,2,no-patch\r\n"
                 "h,\"H, \"\"q\"\"\",2,1,1,3,3,2600.0,stamp,500,300,1000,600,3,12,2,wrong\r\n"));
  QVERIFY(
      w.Status()->text().endsWith("Exported 1 sessions to study-trials.csv and study-touches.csv"));

  // Every listed session, in the order shown; the unreadable ones left out.
  w.SubjectFilter()->clear();
  w.Table()->sortByColumn(sessions::kFile, Qt::AscendingOrder);
  QVERIFY(w.ExportListed(out.filePath("all-trials.csv")));
  QByteArray trials = results::kTrialsCsvHeader;
  for (const char* name : {"a", "b", "c", "d"})
    trials += results::TrialCsvRows(records_[size_t(name[0] - 'a')], name);
  trials += results::TrialCsvRows(HandMade(), "h");
  QCOMPARE(testing::ReadBytes(out.filePath("all-trials.csv")), trials);
  const QByteArray touches = testing::ReadBytes(out.filePath("all-touches.csv"));
  int expected = 1;
  for (const auto& r : records_)
    for (const auto& t : r.trials) expected += static_cast<int>(t.touches.size());
  QCOMPARE(touches.count("\r\n"), expected + 3);
}

void SessionsWindowTest::savePicture_writesBothCharts() {
  CSessions& w = *window_;
  w.show();
  SelectSubject(w, "S02");
  QTemporaryDir out;
  const QString path = out.filePath("charts.png");
  QVERIFY(w.SavePicture(path));
  const QImage picture(path);
  QVERIFY(!picture.isNull());
  QCOMPARE(picture.width(), w.Staircase()->scene()->views()[0]->width() +
                                w.Distribution()->scene()->views()[0]->width());
  // Not a blank picture: the staircase's line colour is in it.
  bool coloured = false;
  for (int y = 0; y < picture.height() && !coloured; y += 2)
    for (int x = 0; x < picture.width() / 2 && !coloured; ++x)
      coloured = picture.pixelColor(x, y) == QColor(0x35, 0x5f, 0x9e);
  QVERIFY(coloured);
}

void SessionsWindowTest::binScores_data() {
  QTest::addColumn<QList<double>>("scores");
  QTest::addColumn<double>("selected");  // negative: none
  QTest::addColumn<QString>("bins");     // low:others(*), ...
  QTest::addColumn<double>("width");
  QTest::newRow("half steps") << QList<double>({4.0, 4.25, 5.5}) << 4.75
                              << "4:2, 4.5:0*, 5:0, 5.5:1" << 0.5;
  QTest::newRow("no selection") << QList<double>({3.0}) << -1.0 << "3:1" << 0.5;
  QTest::newRow("only the selected") << QList<double>() << 2.5 << "2.5:0*" << 0.5;
  QTest::newRow("nothing") << QList<double>() << -1.0 << "" << 0.5;
  // A stray score widens the bins instead of making thousands of them.
  QTest::newRow("stray") << QList<double>({1.0, 1e4}) << -1.0 << "" << 256.0;
}

void SessionsWindowTest::binScores() {
  QFETCH(QList<double>, scores);
  QFETCH(double, selected);
  QFETCH(QString, bins);
  QFETCH(double, width);
  double gotWidth = 0;
  const std::vector<sessions::ScoreBin> got = sessions::BinScores(
      std::vector<double>(scores.begin(), scores.end()), selected >= 0, selected, &gotWidth);
  QCOMPARE(gotWidth, width);
  QVERIFY(got.size() <= 40);
  if (scores.size() == 2 && scores[1] > 1000) {
    QCOMPARE(got.front().others + got.back().others, 2);
    return;
  }
  QStringList text;
  for (const sessions::ScoreBin& b : got)
    text << QString("%1:%2%3").arg(b.low).arg(b.others).arg(b.selected ? "*" : "");
  QCOMPARE(text.join(", "), bins);
}

QTEST_MAIN(SessionsWindowTest)
#include "sessions_window_test.moc"
