#include "records/session_file.h"

#include <QCoreApplication>
#include <QString>
#include <vector>

#include "fileio/durable_file.h"
#include "records/record_writer.h"

namespace results {

namespace {

// Suffixes tried after the plain name before giving up.
constexpr int kMaxNameSuffix = 1000;

}  // namespace

std::string FileNamePart(const std::string& subject) {
  constexpr size_t kMaxPart = 120;
  static const char kHex[] = "0123456789ABCDEF";
  std::string part;
  for (const char c : subject) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                       u == '-' || u == '_';
    const size_t width = plain ? 1 : 3;
    if (part.size() + width > kMaxPart) break;
    if (plain) {
      part += c;
    } else {
      part += '%';
      part += kHex[u >> 4];
      part += kHex[u & 15];
    }
  }
  return part;
}

std::string SessionFileStem(const std::string& subject, const QDateTime& ended) {
  return FileNamePart(subject) + "_" +
         ended.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
}

bool SaveSessionRecord(const std::string& folder, const SessionRecord& record,
                       const QDateTime& ended, std::string* path, std::string* reason) {
  const std::string stem = SessionFileStem(record.settings.subject, ended);
  std::vector<std::string> names{stem + ".json"};
  for (int k = 2; k <= kMaxNameSuffix; ++k)
    names.push_back(stem + "-" + std::to_string(k) + ".json");
  std::string name;
  const bool ok =
      file_io::WriteNewFileDurably(folder, names, SessionRecordJson(record), &name, reason);
  *path = folder + "/" + name;
  return ok;
}

bool WriteSessionRecord(const SessionInputs& in, std::string* path, std::string* reason) {
  return SaveSessionRecord(kSessionFolder, MakeSessionRecord(in), in.ended, path, reason);
}

std::string SessionRecordFailureText(const std::string& path, const std::string& reason) {
  return QCoreApplication::translate("Records",
                                     "Cannot write the session record [%1] (%2). The subject "
                                     "file and the log are not affected.")
      .arg(QString::fromStdString(path), QString::fromStdString(reason))
      .toStdString();
}

}  // namespace results
