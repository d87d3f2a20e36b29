// The order of an object's members as its JSON text has them: QJsonObject
// keeps its members sorted by name, which loses an order that means something
// (the participant register's columns).
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace results {

/// The member names, in the text's order, of the object that is the member
/// `member` of the top object of `json`; empty when there is none. `json`
/// must be a document QJsonDocument has accepted.
std::vector<QString> TopMemberKeys(const QByteArray& json, const QString& member);

}  // namespace results
