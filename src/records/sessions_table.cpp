#include "records/sessions_table.h"

#include <QLocale>
#include <QString>
#include <algorithm>
#include <map>

#include "procedure/abort_point.h"

namespace results {

namespace {

// Quoted only where RFC 4180 needs it; line breaks inside a value become LF
// so that the file keeps one kind of line end.
std::string Field(const std::string& s) {
  std::string plain;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      plain += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      plain += s[i];
    }
  }
  if (plain.find_first_of(",\"\n") == std::string::npos) return plain;
  std::string quoted = "\"";
  for (const char c : plain) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string Number(double v) {
  // The C locale's shortest form: '.' as decimal point, never a group separator.
  return QString::number(v, 'g', QLocale::FloatingPointShortest).toStdString();
}

void Line(const std::vector<std::string>& fields, std::string* text) {
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k > 0) *text += ',';
    *text += Field(fields[k]);
  }
  *text += '\n';
}

}  // namespace

const std::vector<std::string>& SessionsTableColumns() {
  static const std::vector<std::string> columns{"record_file",
                                                "subject",
                                                "started",
                                                "ended",
                                                "outcome",
                                                "stopped_how",
                                                "stopped_trial",
                                                "stopped_phase",
                                                "random_seed",
                                                "memtime",
                                                "max_rev",
                                                "hide_mouse",
                                                "flag_feedback",
                                                "flag_ranking",
                                                "trials_run",
                                                "reversals",
                                                "score",
                                                "worst_uncertainty_ms",
                                                "unconfirmed_frames",
                                                "missed_refreshes"};
  return columns;
}

SessionsTableRow MakeSessionsTableRow(const SessionRecord& r, const std::string& file) {
  int unconfirmed = 0;
  int missed = 0;
  double worst = 0;
  for (const SessionTrial& t : r.trials) {
    for (const SessionFrame& f : t.frames) {
      if (f.source == OnsetSource::kNone) ++unconfirmed;
      if (f.missedRefreshes > 0) ++missed;
      worst = std::max(worst, f.uncertaintyMs);
    }
  }
  const TestSettings& s = r.settings;
  SessionsTableRow row;
  row.values = {file,
                s.subject,
                r.started,
                r.ended,
                SessionOutcomeName(r.outcome),
                r.abort.stopped ? AbortHowName(r.abort.how) : std::string(),
                r.abort.stopped ? std::to_string(r.abort.trial) : std::string(),
                r.abort.stopped ? TrialPhaseName(r.abort.phase) : std::string(),
                std::to_string(s.random_seed),
                std::to_string(s.memtime),
                std::to_string(s.max_rev),
                std::to_string(s.hide_mouse),
                std::to_string(s.flag_feedback),
                std::to_string(s.flag_ranking),
                std::to_string(r.trialsRun),
                std::to_string(r.reversals),
                r.hasScore ? Number(r.score) : std::string(),
                Number(worst),
                std::to_string(unconfirmed),
                std::to_string(missed)};
  if (r.hasParticipant) row.participant = r.participant;
  return row;
}

std::string SessionsTableCsv(const std::vector<SessionsTableRow>& rows) {
  std::vector<std::string> extra;
  std::map<std::string, size_t> index;
  for (const SessionsTableRow& row : rows) {
    for (const auto& field : row.participant) {
      if (IdColumn({field.first}) == 0) continue;
      if (index.emplace(field.first, extra.size()).second) extra.push_back(field.first);
    }
  }
  std::vector<std::string> header = SessionsTableColumns();
  for (const std::string& column : extra) header.push_back("participant_" + column);
  std::string text;
  Line(header, &text);
  for (const SessionsTableRow& row : rows) {
    std::vector<std::string> fields = row.values;
    fields.resize(header.size());
    for (const auto& [column, value] : row.participant) {
      const auto it = index.find(column);
      if (it != index.end()) fields[SessionsTableColumns().size() + it->second] = value;
    }
    Line(fields, &text);
  }
  return text;
}

}  // namespace results
