// Whole-file reads and writes for tests that compare file bytes.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace testing {

/// The file's bytes, or "<missing>" when it cannot be read.
inline QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

/// Writes the file whole; true on success.
inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace testing
