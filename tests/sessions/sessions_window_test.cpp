// The Sessions window on a folder of made-up records and damaged files.
#include "sessions/sessions_window.h"

#include <QtCharts>
#include <QtTest>
#include <QtWidgets>

#include "records/record_writer.h"
#include "records/session_export.h"
#include "sessions/session_charts.h"
#include "sessions/session_table.h"
#include "support/fake_ui.h"
#include "support/file_bytes.h"
#include "support/session_samples.h"

using sessions::CSessions;
using testing::WriteBytes;

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
  r.trialsRun = r.reversals = 1;
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

// Two sessions at memtime 3 and max_rev 4, one at another memtime, one at another max_rev.
const std::pair<const char*, testing::SimulatedSubject> kSamples[] = {
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
  w.Table()->selectRow(static_cast<int>(Column(w, sessions::kSubject).indexOf(subject)));
}

}  // namespace

class SessionsWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::vector<results::SessionRecord> records_;
  std::unique_ptr<CSessions> window_;

 private slots:
  void initTestCase() {
    for (const auto& [file, who] : kSamples) {
      records_.push_back(testing::SimulatedSession(who));
      QVERIFY(WriteBytes(dir_.filePath(file), results::SessionRecordJson(records_.back())));
    }
    const QByteArray json = results::SessionRecordJson(records_[0]);
    QVERIFY(WriteBytes(dir_.filePath("h.json"), results::SessionRecordJson(HandMade())));
    QVERIFY(WriteBytes(dir_.filePath("cut.json"), json.left(json.size() / 3)));
    QVERIFY(
        WriteBytes(dir_.filePath("future.json"), QByteArray(json).replace("\"1.3\"", "\"2.1\"")));
    QVERIFY(WriteBytes(dir_.filePath("other.json"), "{\"format\": \"photos\"}"));
    // Neither is a record: not listed.
    QVERIFY(WriteBytes(dir_.filePath("notes.txt"), "x"));
    QVERIFY(WriteBytes(dir_.filePath(".hidden.json"), json));
  }
  void init() {
    window_ = std::make_unique<CSessions>(dir_.path());
    QTRY_VERIFY_WITH_TIMEOUT(window_->Loaded(), 10000);
  }
  void cleanup() { window_.reset(); }

  void list_showsEveryRecordAndWhyOthersAreUnreadable() {
    CSessions& w = *window_;
    QVERIFY(w.Progress()->isHidden());
    QCOMPARE(w.Status()->text(), QString("8 of 8 sessions listed, 3 unreadable"));
    // Newest first; the unreadable ones last.
    QCOMPARE(Column(w, sessions::kFile),
             QStringList({"h.json", "d.json", "c.json", "b.json", "a.json", "cut.json",
                          "future.json", "other.json"}));
    const QAbstractItemModel* m = w.Table()->model();
    const auto cell = [m](int row, int column) { return m->index(row, column).data().toString(); };
    for (int row = 1; row <= 4; ++row) {
      const results::SessionRecord& r = records_[size_t(4 - row)];
      int errors = 0;
      for (const results::SessionTrial& t : r.trials) errors += t.row.Error;
      QStringList cells;
      for (int c = sessions::kSubject; c <= sessions::kErrors; ++c) cells << cell(row, c);
      QCOMPARE(cells,
               QStringList({QString::fromStdString(r.settings.subject),
                            kSamples[4 - row].second.ended.toString("yyyy-MM-dd HH:mm:ss"),
                            QString::number(r.score, 'f', 2), QString::number(r.settings.memtime),
                            QString::number(r.settings.max_rev), QString::number(r.trials.size()),
                            QString::number(errors)}));
      QVERIFY(cell(row, sessions::kProblem).isEmpty());
    }
    QCOMPARE(cell(5, sessions::kSubject), QString("(unreadable)"));
    QVERIFY(cell(5, sessions::kProblem).startsWith("unreadable: truncated"));
    QCOMPARE(cell(6, sessions::kProblem),
             QString("unreadable: format version 2.1 is newer than this program reads (1.x)"));
    QCOMPARE(cell(7, sessions::kProblem),
             QString("unreadable: not a session record: its format is \"photos\""));
    QVERIFY(m->index(7, sessions::kScore).data().isNull());
    QCOMPARE(w.MemtimeFilter()->count(), 4);  // the values that occur: any, 1, 2, 3
    QCOMPARE(w.MaxRevFilter()->itemText(3), QString("6"));
    // A damaged record draws no chart.
    w.Table()->selectRow(6);
    QCOMPARE(w.Staircase()->title(),
             QString("future.json is unreadable: format version 2.1 is newer than this program "
                     "reads (1.x)"));
    QVERIFY(w.Staircase()->series().isEmpty() && w.Distribution()->series().isEmpty());
  }

  void filter_bySubjectAndSettings_data() {
    QTest::addColumn<QStringList>("filters");  // subject, memtime, max_rev
    QTest::addColumn<QStringList>("files");
    const auto row = [](const char* name, const QStringList& filters, const QStringList& files) {
      QTest::newRow(name) << filters << files;
    };
    row("none", {"", "any", "any"},
        {"a.json", "b.json", "c.json", "cut.json", "d.json", "future.json", "h.json",
         "other.json"});
    row("subject, any case", {"s01", "any", "any"}, {"a.json", "c.json"});
    row("memtime", {"", "3", "any"}, {"a.json", "b.json", "d.json"});
    row("memtime and max_rev", {"", "3", "4"}, {"a.json", "b.json"});
    row("all three", {"S02", "3", "4"}, {"b.json"});
    row("quote in subject", {"\"q", "any", "any"}, {"h.json"});
    row("nobody", {"zzz", "any", "any"}, {});
  }

  void filter_bySubjectAndSettings() {
    QFETCH(QStringList, filters);
    QFETCH(QStringList, files);
    CSessions& w = *window_;
    w.SubjectFilter()->setText(filters[0]);
    w.MemtimeFilter()->setCurrentText(filters[1]);
    w.MaxRevFilter()->setCurrentText(filters[2]);
    QStringList listed = Column(w, sessions::kFile);
    listed.sort();
    QCOMPARE(listed, files);
    QCOMPARE(w.Status()->text().section(' ', 0, 0), QString::number(files.size()));
  }

  void sort_byAnyColumn_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("readable");  // the readable rows' files; empty: by number
    QTest::newRow("subject") << int(sessions::kSubject) << false
                             << QStringList({"h.json", "a.json", "b.json", "d.json", "c.json"});
    QTest::newRow("date, oldest first")
        << int(sessions::kDate) << false
        << QStringList({"a.json", "b.json", "c.json", "d.json", "h.json"});
    QTest::newRow("score") << int(sessions::kScore) << false << QStringList();
    QTest::newRow("memtime, descending") << int(sessions::kMemtime) << true << QStringList();
    QTest::newRow("trials") << int(sessions::kTrials) << false << QStringList();
  }

  void sort_byAnyColumn() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QStringList, readable);
    CSessions& w = *window_;
    w.Table()->sortByColumn(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    const QStringList files = Column(w, sessions::kFile);
    const QStringList problems = Column(w, sessions::kProblem);
    const QStringList keys = Column(w, column);
    QStringList ok;
    QList<double> numbers;
    for (int i = 0; i < files.size(); ++i) {
      if (!problems[i].isEmpty()) continue;
      ok << files[i];
      numbers << keys[i].toDouble();
    }
    if (!readable.isEmpty()) QCOMPARE(ok, readable);
    for (int i = 1; i < numbers.size() && readable.isEmpty(); ++i)  // as numbers, not text
      QVERIFY(descending ? numbers[i - 1] >= numbers[i] : numbers[i - 1] <= numbers[i]);
    // The unreadable rows sort as the smallest of all.
    QCOMPARE(problems.indexOf(QRegularExpression(".+")), descending ? 5 : 0);
  }

  void staircase_marksWrongTrialsReversalsAndScore() {
    CSessions& w = *window_;
    SelectSubject(w, "S01");
    const results::SessionRecord& r = records_[0];
    QChart* chart = w.Staircase();
    QVERIFY2(chart->title().startsWith("S01, 2026-01-12 10:00: score "),
             qPrintable(chart->title()));
    // QScatterSeries is no QLineSeries: the lines are the staircase and the score.
    const QList<QLineSeries*> lines = SeriesOf<QLineSeries>(chart);
    const QList<QScatterSeries*> marks = SeriesOf<QScatterSeries>(chart);
    QCOMPARE(lines.size(), 2);
    QList<QPointF> steps, wrong;
    QStringList reversals, labelled;
    for (size_t i = 0; i < r.trials.size(); ++i) {
      const QPointF p(double(i + 1), r.trials[i].row.NItems);
      steps << p;
      if (r.trials[i].row.Error) wrong << p;
      if (r.trials[i].row.Rev) reversals << QString("%1@%2").arg(r.trials[i].row.Rev).arg(i + 1);
    }
    QCOMPARE(lines[0]->points(), steps);
    QCOMPARE(lines[1]->points(),
             QList<QPointF>({{0.5, r.score}, {r.trials.size() + 0.5, r.score}}));
    QCOMPARE(marks[1]->name(), QString("wrong"));
    QCOMPARE(marks[1]->points(), wrong);
    for (int k = 2; k < marks.size(); ++k)
      labelled << marks[k]->pointLabelsFormat() + "@" + QString::number(marks[k]->at(0).x());
    QCOMPARE(labelled, reversals);
    QCOMPARE(reversals.size(), 4);
  }

  void distribution_countsOnlySessionsWithTheSameSettings() {
    CSessions& w = *window_;
    SelectSubject(w, "S01");
    QChart* chart = w.Distribution();
    QCOMPARE(chart->title(), QString("Scores at memtime 3, max_rev 4 (2 sessions)"));
    const QList<QStackedBarSeries*> bars = SeriesOf<QStackedBarSeries>(chart);
    QCOMPARE(bars.size(), 1);
    const QBarSet* mine = bars[0]->barSets()[1];
    QCOMPARE(bars[0]->barSets()[0]->sum(), 1.0);  // others: S02 only
    QCOMPARE(mine->sum(), 1.0);
    const auto* axis = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal)[0]);
    QVERIFY(axis);
    for (int k = 0; k < mine->count(); ++k) {
      const double low = axis->at(k).toDouble();
      if (mine->at(k) != 0) QVERIFY(records_[0].score >= low && records_[0].score < low + 0.5);
    }
  }

  void export_writesTheListedSessionsExactly() {
    CSessions& w = *window_;
    QTemporaryDir out;
    w.SubjectFilter()->setText("H");
    QCOMPARE(Column(w, sessions::kFile), QStringList({"h.json"}));
    QVERIFY(w.ExportListed(out.filePath("study.csv")));
    QCOMPARE(testing::ReadBytes(out.filePath("study-trials.csv")),
             QByteArray(
                 "session,subject,ended,random_seed,memtime,max_rev,hide_mouse,flag_feedback,"
                 "flag_ranking,score,Trial,NItems,NCorrect,RT1,RT2,Error,Rev,cells,touches,outcome,"
                 "interrupted\r\n"
                 "h,\"H, \"\"q\"\"\",2026-02-01T08:00:00.000+00:00,0,2,1,0,0,0,3,"
                 "1,3,1,2000,500,1,1,0 6 12,3,completed,0\r\n"));
    QCOMPARE(testing::ReadBytes(out.filePath("study-touches.csv")),
             QByteArray("session,subject,memtime,max_rev,Trial,NItems,touch,time_ms,time_source,"
                        "canvas_x,canvas_y,window_x,window_y,patch,cell,expected,judgement,outcome,"
                        "interrupted\r\n"
                        "h,\"H, \"\"q\"\"\",2,1,1,3,1,2000.0,stamp,197,69,394,138,1,0,1,correct,"
                        "completed,0\r\n"
                        "h,\"H, \"\"q\"\"\",2,1,1,3,2,2500.3,sample,5,5,10,10,NA,NA,2,no-patch,"
                        "completed,0\r\n"
                        "h,\"H, \"\"q\"\"\",2,1,1,3,3,2600.0,stamp,500,300,1000,600,3,12,2,wrong,"
                        "completed,0\r\n"));
    QCOMPARE(testing::ReadBytes(out.filePath("study-table.csv")),
             QByteArray("record_file,subject,started,ended,outcome,stopped_how,stopped_trial,"
                        "stopped_phase,random_seed,memtime,max_rev,"
                        "hide_mouse,flag_feedback,flag_ranking,trials_run,reversals,score,"
                        "worst_uncertainty_ms,unconfirmed_frames,missed_refreshes\n"
                        "h.json,\"H, \"\"q\"\"\",2026-02-01T07:59:50.000+00:00,"
                        "2026-02-01T08:00:00.000+00:00,completed,,,,0,2,1,0,0,0,1,1,3,0,0,0\n"));
    QVERIFY(w.Status()->text().endsWith(
        "Exported 1 sessions to study-trials.csv, study-touches.csv and study-table.csv"));

    // Every listed session, in the order shown; the unreadable ones left out.
    w.SubjectFilter()->clear();
    w.Table()->sortByColumn(sessions::kFile, Qt::AscendingOrder);
    QVERIFY(w.ExportListed(out.filePath("all-trials.csv")));
    QByteArray trials = results::kTrialsCsvHeader;
    int touches = 1 + 3;  // the header and h's
    for (size_t k = 0; k < records_.size(); ++k) {
      trials += results::TrialCsvRows(records_[k], std::string(1, char('a' + k)));
      for (const auto& t : records_[k].trials) touches += static_cast<int>(t.touches.size());
    }
    trials += results::TrialCsvRows(HandMade(), "h");
    QCOMPARE(testing::ReadBytes(out.filePath("all-trials.csv")), trials);
    QCOMPARE(testing::ReadBytes(out.filePath("all-touches.csv")).count("\r\n"), touches);
  }

  void exportButton_asksOnceBeforeReplacing_data() {
    QTest::addColumn<QStringList>("present");  // files there before, of study-trials/-touches/.csv
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("named");  // what the one question names; empty: no question
    QTest::addColumn<bool>("written");
    const int ok = ui::kIdOk;
    const int cancel = ui::kIdCancel;
    QTest::newRow("none there") << QStringList() << ok << QStringList() << true;
    QTest::newRow("only the chosen name")
        << QStringList({"study.csv"}) << ok << QStringList() << true;
    QTest::newRow("touches there, replaced")
        << QStringList({"study-touches.csv"}) << ok << QStringList({"study-touches.csv"}) << true;
    QTest::newRow("trials there, kept") << QStringList({"study-trials.csv"}) << cancel
                                        << QStringList({"study-trials.csv"}) << false;
    QTest::newRow("both there, kept")
        << QStringList({"study-trials.csv", "study-touches.csv"}) << cancel
        << QStringList({"study-trials.csv", "study-touches.csv"}) << false;
    QTest::newRow("both there, replaced")
        << QStringList({"study-trials.csv", "study-touches.csv", "study.csv"}) << ok
        << QStringList({"study-trials.csv", "study-touches.csv"}) << true;
    QTest::newRow("table there, kept")
        << QStringList({"study-table.csv"}) << cancel << QStringList({"study-table.csv"}) << false;
    QTest::newRow("all three there, replaced")
        << QStringList({"study-trials.csv", "study-touches.csv", "study-table.csv"}) << ok
        << QStringList({"study-trials.csv", "study-touches.csv", "study-table.csv"}) << true;
  }

  void exportButton_asksOnceBeforeReplacing() {
    QFETCH(QStringList, present);
    QFETCH(int, answer);
    QFETCH(QStringList, named);
    QFETCH(bool, written);
    testing::FakeUi fake;
    fake.boxAnswer = answer;
    QTemporaryDir out;
    for (const QString& name : present) QVERIFY(WriteBytes(out.filePath(name), "earlier"));
    const auto previous =
        sessions::SetSaveFileChooser([&](QWidget*, const QString&, const QString&, const QString&) {
          return out.filePath("study.csv");
        });
    window_->ExportButton()->click();
    sessions::SetSaveFileChooser(previous);
    QCOMPARE(fake.boxes.size(), size_t(named.isEmpty() ? 0 : 1));
    if (!named.isEmpty()) {
      QCOMPARE(fake.boxes[0].type, ui::kMbOkCancel | ui::kMbIconQuestion);
      const QString text = QString::fromStdString(fake.boxes[0].text);
      for (const QString name :
           {"study-trials.csv", "study-touches.csv", "study-table.csv", "study.csv"})
        QVERIFY2(text.contains(out.filePath(name)) == named.contains(name), qPrintable(text));
    }
    for (const QString name : {"study-trials.csv", "study-touches.csv", "study-table.csv"}) {
      const QByteArray bytes = testing::ReadBytes(out.filePath(name));
      if (written)
        QVERIFY(bytes.startsWith(name.contains("trials")    ? "session,subject,ended"
                                 : name.contains("touches") ? "session,subject,memtime"
                                                            : "record_file,subject"));
      if (!written) QCOMPARE(bytes, QByteArray(present.contains(name) ? "earlier" : "<missing>"));
    }
    if (present.contains("study.csv"))  // never written, so never asked about
      QCOMPARE(testing::ReadBytes(out.filePath("study.csv")), QByteArray("earlier"));
  }

  void exportButton_nothingListed_saysSoAndAsksNoFile() {
    testing::FakeUi fake;
    bool asked = false;
    const auto previous =
        sessions::SetSaveFileChooser([&](QWidget*, const QString&, const QString&, const QString&) {
          asked = true;
          return QString();
        });
    window_->SubjectFilter()->setText("nobody");
    window_->ExportButton()->click();
    sessions::SetSaveFileChooser(previous);
    QVERIFY(!asked);
    QCOMPARE(fake.boxes.size(), size_t(1));
    QCOMPARE(fake.boxes[0].text, std::string("There is no session to export."));
  }

  void savePicture_writesBothCharts() {
    CSessions& w = *window_;
    w.show();
    SelectSubject(w, "S02");
    QTemporaryDir out;
    QVERIFY(w.SavePicture(out.filePath("charts.png")));
    const QImage picture(out.filePath("charts.png"));
    QCOMPARE(picture.width(), w.Staircase()->scene()->views()[0]->width() +
                                  w.Distribution()->scene()->views()[0]->width());
    // Not blank: the staircase's line colour is in it.
    bool coloured = false;
    for (int y = 0; y < picture.height() && !coloured; y += 2)
      for (int x = 0; x < picture.width() / 2 && !coloured; ++x)
        coloured = picture.pixelColor(x, y) == QColor(0x35, 0x5f, 0x9e);
    QVERIFY(coloured);
  }

  // Records no test can have made, at the same settings as a real one and
  // newer than it (the far score newest: selected, were it listed): listed
  // with the reason, and the window still opens.
  void impossibleRecords_listedUnreadable_windowOpens() {
    QTemporaryDir dir;
    const results::SessionRecord real = testing::SimulatedSession({"S01", 3, 4, 5.0, 1, Day(1, 9)});
    QVERIFY(WriteBytes(dir.filePath("real.json"), results::SessionRecordJson(real)));
    results::SessionRecord far = testing::SimulatedSession({"S01", 3, 4, 5.0, 2, Day(5, 9)});
    far.score = -1e308;
    QVERIFY(WriteBytes(dir.filePath("far.json"), results::SessionRecordJson(far)));
    results::SessionRecord items = testing::SimulatedSession({"S01", 3, 4, 5.0, 3, Day(3, 9)});
    items.trials[1].row.NItems = 2147483647;
    QVERIFY(WriteBytes(dir.filePath("items.json"), results::SessionRecordJson(items)));
    results::SessionRecord time = testing::SimulatedSession({"S01", 3, 4, 5.0, 4, Day(4, 9)});
    time.settings.memtime = -2147483647 - 1;
    QVERIFY(WriteBytes(dir.filePath("time.json"), results::SessionRecordJson(time)));

    CSessions w(dir.path());
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(w.Loaded(), 10000);
    QCOMPARE(w.Status()->text(), QString("4 of 4 sessions listed, 3 unreadable"));
    QCOMPARE(Column(w, sessions::kFile),
             QStringList({"real.json", "far.json", "items.json", "time.json"}));
    QCOMPARE(Column(w, sessions::kProblem),
             QStringList({"", "unreadable: impossible: result.score is -1e+308, not 1 to 20",
                          "unreadable: impossible: trials[1].NItems is 2147483647, not 1 to 20",
                          "unreadable: impossible: settings.memtime is -2147483648, a negative "
                          "time"}));
    // The real one is selected and charted alone; its axis is its own.
    QCOMPARE(w.Distribution()->title(), QString("Scores at memtime 3, max_rev 4 (1 sessions)"));
    const auto* y = qobject_cast<QValueAxis*>(w.Staircase()->axes(Qt::Vertical).value(0));
    QVERIFY(y && y->max() <= kMaxPatches + 1.5);
    QCOMPARE(w.MemtimeFilter()->count(), 2);  // any, 3
  }

  void binScores_data() {
    QTest::addColumn<QList<double>>("scores");
    QTest::addColumn<double>("selected");  // negative: none
    QTest::addColumn<QString>("bins");     // low:others(*), ...; when wider, only the ends
    QTest::addColumn<double>("width");
    QTest::newRow("half steps") << QList<double>({4.0, 4.25, 5.5}) << 4.75
                                << "4:2, 4.5:0*, 5:0, 5.5:1" << 0.5;
    QTest::newRow("no selection") << QList<double>({3.0}) << -1.0 << "3:1" << 0.5;
    QTest::newRow("only the selected") << QList<double>() << 2.5 << "2.5:0*" << 0.5;
    QTest::newRow("nothing") << QList<double>() << -1.0 << "" << 0.5;
    // A stray score widens the bins instead of making thousands of them.
    QTest::newRow("stray") << QList<double>({1.0, 1e4}) << -1.0 << "" << 256.0;
    // Any finite score, however far off, is placed; the rest are left out.
    const double most = std::numeric_limits<double>::max();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("far below") << QList<double>({-1e308, 5.0}) << -1.0 << ""
                               << std::ldexp(0.5, 1019);
    QTest::newRow("both ends of the doubles")
        << QList<double>({-most, most}) << 4.0 << "" << std::ldexp(0.5, 1021);
    QTest::newRow("alone far below") << QList<double>({-1e308}) << -1.0 << "-1e+308:1" << 0.5;
    QTest::newRow("selected far above")
        << QList<double>() << most << QString("%1:0*").arg(most) << 0.5;
    QTest::newRow("not finite") << QList<double>({nan, inf, -inf, 4.0}) << nan << "4:1" << 0.5;
  }

  void binScores() {
    QFETCH(QList<double>, scores);
    QFETCH(double, selected);
    QFETCH(QString, bins);
    QFETCH(double, width);
    double gotWidth = 0;
    const std::vector<sessions::ScoreBin> got = sessions::BinScores(
        std::vector<double>(scores.begin(), scores.end()), selected >= 0, selected, &gotWidth);
    QCOMPARE(gotWidth, width);
    QVERIFY(got.size() <= 40);
    int placed = 0;
    for (const double score : scores) placed += std::isfinite(score) ? 1 : 0;
    int counted = 0;
    for (size_t k = 0; k < got.size(); ++k) {
      QVERIFY(std::isfinite(got[k].low));
      QVERIFY(k == 0 || got[k - 1].low < got[k].low);
      counted += got[k].others;
    }
    QCOMPARE(counted, placed);
    QStringList text;
    for (const sessions::ScoreBin& b : got)
      text << QString("%1:%2%3").arg(b.low).arg(b.others).arg(b.selected ? "*" : "");
    if (width > 0.5)
      QCOMPARE(got.front().others + got.back().others, placed);
    else
      QCOMPARE(text.join(", "), bins);
  }
};

QTEST_MAIN(SessionsWindowTest)
#include "sessions_window_test.moc"
