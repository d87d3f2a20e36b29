// Appending to a result file that several copies of the program, on several
// PCs, may append to at the same moment.
#pragma once

#include <functional>
#include <string>

namespace file_io {

/// How an append ended.
enum class AppendStatus { kDone, kOpenFailed, kRefused, kWriteFailed, kCancelled };

/// Waits while another process holds the file's lock: calls `tryLock` now
/// and then until it returns true (the lock is ours: true) or the wait is
/// given up (false).
using LockWaiter = std::function<bool(const std::function<bool()>& tryLock)>;

/// Appends `body` to `path` as one step that no other append to the same
/// file, by this or another process, can interleave with: `header` goes first
/// when the file is new or empty, and a line end first when its last byte is
/// not one. A symbolic link, a FIFO or anything but a regular file at `path`
/// is refused (kRefused) and nothing is written. While another process holds
/// the file's lock, `waiter` waits (without one, the call blocks); kCancelled
/// when it gave up, with nothing written. A failed write is cut back to the
/// old end, which removes this call's bytes only. Everything reaches the
/// disk, a new file's folder entry too, before kDone. `*reason` gets the
/// system's error text or the refusal on failure.
AppendStatus AppendToFile(const std::string& path, const std::string& header,
                          const std::string& body, std::string* reason,
                          const LockWaiter& waiter = {});

}  // namespace file_io
