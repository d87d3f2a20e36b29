#include "records/json_member_order.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace results {

namespace {

// The text is known to be JSON, so a scan that only tells strings, nesting
// and separators apart is enough.

qsizetype SkipSpace(const QByteArray& b, qsizetype i) {
  while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n')) ++i;
  return i;
}

// From the opening quote at `i` to just past the closing one.
qsizetype SkipString(const QByteArray& b, qsizetype i) {
  for (++i; i < b.size(); ++i) {
    if (b[i] == '\\') {
      ++i;
    } else if (b[i] == '"') {
      return i + 1;
    }
  }
  return b.size();
}

qsizetype SkipValue(const QByteArray& b, qsizetype i) {
  if (i < b.size() && b[i] == '"') return SkipString(b, i);
  if (i < b.size() && (b[i] == '{' || b[i] == '[')) {
    int depth = 0;
    while (i < b.size()) {
      const char c = b[i];
      if (c == '"') {
        i = SkipString(b, i);
        continue;
      }
      if (c == '{' || c == '[') ++depth;
      if ((c == '}' || c == ']') && --depth == 0) return i + 1;
      ++i;
    }
    return i;
  }
  while (i < b.size() && b[i] != ',' && b[i] != '}' && b[i] != ']') ++i;
  return i;
}

QString Decoded(const QByteArray& b, qsizetype from, qsizetype to) {
  const QByteArray list = '[' + b.mid(from, to - from) + ']';
  return QJsonDocument::fromJson(list).array().at(0).toString();
}

// The names of the object at `i`; with `wanted`, stops at that member and
// returns where its value begins in `*at`.
std::vector<QString> Members(const QByteArray& b, qsizetype i, const QString* wanted,
                             qsizetype* at) {
  std::vector<QString> names;
  i = SkipSpace(b, i);
  if (i >= b.size() || b[i] != '{') return names;
  for (i = SkipSpace(b, i + 1); i < b.size() && b[i] == '"';) {
    const qsizetype end = SkipString(b, i);
    names.push_back(Decoded(b, i, end));
    i = SkipSpace(b, end);
    if (i < b.size() && b[i] == ':') i = SkipSpace(b, i + 1);
    if (wanted && names.back() == *wanted) {
      *at = i;
      return names;
    }
    i = SkipSpace(b, SkipValue(b, i));
    if (i < b.size() && b[i] == ',') i = SkipSpace(b, i + 1);
  }
  if (wanted) *at = -1;
  return names;
}

}  // namespace

std::vector<QString> TopMemberKeys(const QByteArray& json, const QString& member) {
  qsizetype at = -1;
  Members(json, 0, &member, &at);
  if (at < 0) return {};
  return Members(json, at, nullptr, nullptr);
}

}  // namespace results
