#include "records/session_export.h"

#include <QFileInfo>
#include <QLocale>

#include "fileio/safe_file.h"
#include "records/record_parser.h"
#include "records/session_file.h"
#include "records/sessions_table.h"

namespace results {

const char kTrialsCsvHeader[] =
    "session,subject,ended,random_seed,memtime,max_rev,hide_mouse,flag_feedback,flag_ranking,"
    "score,Trial,NItems,NCorrect,RT1,RT2,Error,Rev,cells,touches,outcome,interrupted\r\n";
const char kTouchesCsvHeader[] =
    "session,subject,memtime,max_rev,Trial,NItems,touch,time_ms,time_source,canvas_x,canvas_y,"
    "window_x,window_y,patch,cell,expected,judgement,outcome,interrupted\r\n";

namespace {

// RFC 4180: a field holding a separator, a quote or a line break is quoted,
// its quotes doubled.
std::string Text(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string quoted = "\"";
  for (const char c : s) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string Int(long long v) {
  return std::to_string(v);
}

std::string Number(double v) {
  return QString::number(v, 'g', QLocale::FloatingPointShortest).toStdString();
}

std::string SessionColumns(const SessionRecord& r, const std::string& session) {
  return Text(session) + "," + Text(r.settings.subject);
}

const char* TimeSource(TouchTimeSource source) {
  return source == TouchTimeSource::kStamp ? "stamp" : "sample";
}

// The session's outcome and whether trial `k` is the one an abort cut short.
std::string OutcomeColumns(const SessionRecord& r, size_t k) {
  const bool interrupted = r.abort.TrialShown() && k + 1 == r.trials.size();
  return std::string(",") + SessionOutcomeName(r.outcome) + (interrupted ? ",1" : ",0");
}

bool WriteWhole(const QString& path, const std::string& bytes, std::string* reason) {
  std::string why;
  if (!file_io::ReplaceWhole(path.toStdString(), bytes, &why)) {
    *reason = path.toStdString() + ": " + why;
    return false;
  }
  return true;
}

}  // namespace

std::string TrialCsvRows(const SessionRecord& r, const std::string& session) {
  const TestSettings& s = r.settings;
  const std::string common = SessionColumns(r, session) + "," + Text(r.ended) + "," +
                             Int(s.random_seed) + "," + Int(s.memtime) + "," + Int(s.max_rev) +
                             "," + Int(s.hide_mouse) + "," + Int(s.flag_feedback) + "," +
                             Int(s.flag_ranking) + "," + (r.hasScore ? Number(r.score) : "NA");
  std::string rows;
  for (size_t k = 0; k < r.trials.size(); ++k) {
    const SessionTrial& t = r.trials[k];
    const TrialRecord& row = t.row;
    std::string cells;
    for (const int32_t c : t.cells) cells += (cells.empty() ? "" : " ") + Int(c);
    rows += common + "," + Int(row.Trial) + "," + Int(row.NItems) + "," + Int(row.NCorrect) + "," +
            Int(row.RT1) + "," + Int(row.RT2) + "," + Int(row.Error) + "," + Int(row.Rev) + "," +
            (cells.empty() ? "NA" : cells) + "," + Int(static_cast<long long>(t.touches.size())) +
            OutcomeColumns(r, k) + "\r\n";
  }
  return rows;
}

std::string TouchCsvRows(const SessionRecord& r, const std::string& session) {
  const std::string common =
      SessionColumns(r, session) + "," + Int(r.settings.memtime) + "," + Int(r.settings.max_rev);
  std::string rows;
  for (size_t k = 0; k < r.trials.size(); ++k) {
    const SessionTrial& t = r.trials[k];
    const std::string outcome = OutcomeColumns(r, k);
    int found = 0;  // the expected patch is the one after those found
    int number = 0;
    for (const SessionTouch& x : t.touches) {
      const bool hit = x.patch >= 0;
      const bool placed = hit && static_cast<size_t>(x.patch) < t.cells.size();
      rows += common + "," + Int(t.row.Trial) + "," + Int(t.row.NItems) + "," + Int(++number) +
              "," + QString::number(x.timeMs, 'f', 1).toStdString() + "," + TimeSource(x.source) +
              "," + Int(x.canvasX) + "," + Int(x.canvasY) + "," + Int(x.screenX) + "," +
              Int(x.screenY) + "," + (hit ? Int(x.patch + 1) : "NA") + "," +
              (placed ? Int(t.cells[static_cast<size_t>(x.patch)]) : "NA") + "," + Int(found + 1) +
              "," + (x.beforeOnset ? "before-onset" : TouchJudgementName(x.judgement)) + outcome +
              "\r\n";
      if (x.judgement == TouchJudgement::kCorrect) ++found;
    }
  }
  return rows;
}

bool ExportSessions(const std::vector<QString>& paths, const QString& trialsPath,
                    const QString& touchesPath, int* skipped, std::string* reason,
                    const QString& tablePath) {
  std::string trials = kTrialsCsvHeader;
  std::vector<SessionsTableRow> table;
  std::string touches = kTouchesCsvHeader;
  *skipped = 0;
  for (const QString& path : paths) {
    SessionRecord record;
    std::string bytes;
    std::string why;
    if (file_io::ReadRegularFile(path.toStdString(), file_io::kMaxRecordBytes, &bytes, &why) !=
            file_io::ReadStatus::kDone ||
        !ParseSessionRecord(QByteArray::fromStdString(bytes), &record, &why)) {
      ++*skipped;
      continue;
    }
    const std::string session = QFileInfo(path).completeBaseName().toStdString();
    trials += TrialCsvRows(record, session);
    touches += TouchCsvRows(record, session);
    if (!tablePath.isEmpty())
      table.push_back(MakeSessionsTableRow(record, QFileInfo(path).fileName().toStdString()));
  }
  return WriteWhole(trialsPath, trials, reason) && WriteWhole(touchesPath, touches, reason) &&
         (tablePath.isEmpty() || WriteWhole(tablePath, SessionsTableCsv(table), reason));
}

}  // namespace results
