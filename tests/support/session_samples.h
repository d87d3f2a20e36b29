// Session records made up for tests, the loading benchmark and the README's
// screenshot: a staircase run by a simulated subject, with cells, frames and
// touches that agree with its trial rows.
#pragma once

#include <QDateTime>
#include <cstdint>
#include <string>

#include "records/session_record.h"

namespace testing {

/// A simulated subject who holds about `span` patches in memory.
struct SimulatedSubject {
  std::string subject = "S01";
  int memtime = 3;
  int maxRev = 4;
  double span = 5.0;
  uint32_t randomStart = 1;  // of the random numbers that make up the trials
  QDateTime ended = QDateTime(QDate(2026, 1, 12), QTime(10, 4, 31), Qt::LocalTime);
};

/// The record of one test by `who`, made through MakeSessionRecord.
results::SessionRecord SimulatedSession(const SimulatedSubject& who);

}  // namespace testing
