// The sessions table: one row per session record, for R's read.csv and
// pandas' read_csv as they are called without options. UTF-8, a header row,
// commas, '.' as decimal point, RFC 4180 quoting, an empty field where a
// value is missing, LF line ends throughout. The columns are described in
// the README's "Data dictionary".
#pragma once

#include <string>
#include <vector>

#include "records/session_record.h"

namespace results {

/// How the table's file name ends, after the export's stem: an export
/// named "sessions.csv" writes "sessions-table.csv".
constexpr char kSessionsTableSuffix[] = "-table.csv";

/// The columns every table has, before the participant's.
const std::vector<std::string>& SessionsTableColumns();

/// What the table keeps of one record: its fixed columns' values and the
/// participant's fields.
struct SessionsTableRow {
  std::vector<std::string> values;  ///< one per SessionsTableColumns()
  ParticipantFields participant;
};

/// The row of `record`, read from the file named `file`.
SessionsTableRow MakeSessionsTableRow(const SessionRecord& record, const std::string& file);

/// The table's text: the fixed columns, then "participant_" and each column
/// any of the rows' participants has (their union, in the order first met;
/// the ID is the subject column already).
std::string SessionsTableCsv(const std::vector<SessionsTableRow>& rows);

}  // namespace results
