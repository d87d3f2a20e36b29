// What a session record may hold: the values a real test can produce. A
// record whose values no test can have made (a hand edit, another program,
// a damaged disk) is refused by every reader, so that no chart, listing or
// export takes it for data.
#pragma once

#include <string>

#include "records/session_record.h"

namespace results {

/// Empty when every value of `record` is one the run it tells of can produce;
/// otherwise the first that is not, as one line for a person
/// ("trials[3].NItems is 2147483647, not 1 to 20").
std::string ImpossibleValue(const SessionRecord& record);

}  // namespace results
