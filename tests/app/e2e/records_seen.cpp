#include "app/e2e/records_seen.h"

#include <QFile>

#include "records/record_parser.h"

namespace e2e {

std::map<std::string, results::SessionRecord> RecordsByOutcome(const QDir& work) {
  std::map<std::string, results::SessionRecord> out;
  const QDir sessions(work.filePath("sessions"));
  for (const QString& name : sessions.entryList(QDir::Files)) {
    QFile file(sessions.filePath(name));
    results::SessionRecord record;
    std::string reason;
    if (!file.open(QIODevice::ReadOnly) ||
        !results::ParseSessionRecord(file.readAll(), &record, &reason)) {
      qWarning("%s: %s", qPrintable(name), reason.c_str());
      continue;
    }
    out[results::SessionOutcomeName(record.outcome)] = record;
  }
  return out;
}

QString AbortText(const results::SessionRecord& r) {
  if (!r.abort.stopped) return "none";
  return QString("%1 %2 %3")
      .arg(AbortHowName(r.abort.how))
      .arg(r.abort.trial)
      .arg(TrialPhaseName(r.abort.phase));
}

}  // namespace e2e
