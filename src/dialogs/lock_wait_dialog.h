// The box shown while another station holds a result file's lock.
#pragma once

#include <functional>
#include <string>

namespace dialogs {

/// Shows "Waiting for another station to finish writing [`file`]…" with a
/// Cancel button over the main window, polling `tryLock` every 100 ms while
/// the interface keeps answering; true once it returned true, false when
/// the experimenter cancelled.
bool WaitForResultLock(const std::string& file, const std::function<bool()>& tryLock);

}  // namespace dialogs
