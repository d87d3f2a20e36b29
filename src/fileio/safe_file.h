// Opening files in a folder that other users share: nothing is written
// through a symbolic link planted in the program's place, no read waits on a
// FIFO or device, and no read grows past what a real file of its kind holds.
// The POSIX build is safe_file_posix.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace file_io {

constexpr uint64_t kMiB = 1024 * 1024;

// The largest file of each kind that the program reads: well above what a
// real one reaches, far below what would strain memory.
/// "ORBEL.ini": seven settings and whatever a lab keeps beside them.
constexpr uint64_t kMaxSettingsBytes = 1 * kMiB;
/// "ORBEL.txt": about 40 bytes a test, so over a million tests.
constexpr uint64_t kMaxLogBytes = 64 * kMiB;
/// A session record: 200 trials with thousands of touches each.
constexpr uint64_t kMaxRecordBytes = 16 * kMiB;
/// A stimulus bitmap or sound: an 8192 x 2048 bitmap of 32 bits a pixel.
constexpr uint64_t kMaxStimulusBytes = 64 * kMiB;

/// How a read ended.
enum class ReadStatus { kDone, kMissing, kRefused, kFailed };

/// "is larger than 8 MiB": why a file over `cap` bytes is refused.
std::string LargerThanText(uint64_t cap);

/// The reason for a failed no-follow open: "is a symbolic link" for ELOOP,
/// the system's text otherwise.
std::string OpenErrorText(int error);

/// Opens the regular file at `path` for reading without following a link in
/// its last component and without waiting (a FIFO, a device, a folder is
/// refused unopened or at once); -1 with `*status` and `*reason` otherwise,
/// also for a file larger than `cap`. `*size` gets its size.
int OpenRegularForReading(const std::string& path, uint64_t cap, uint64_t* size, ReadStatus* status,
                          std::string* reason);

/// The whole of the regular file at `path`, opened as OpenRegularForReading
/// does; never more than `cap` bytes are held, even for a file that grows.
ReadStatus ReadRegularFile(const std::string& path, uint64_t cap, std::string* bytes,
                           std::string* reason);

/// The folder at `path` opened (made first when missing and `create`), a
/// symbolic link in its place refused: a descriptor, or -1 with `*reason`.
int OpenOwnFolder(const std::string& path, bool create, std::string* reason);

/// A new empty file in the folder `folderFd` named `prefix` followed by
/// twelve unpredictable letters and digits, made exclusively (never an
/// existing name, never through a link): a read-write descriptor with
/// `*name` set, or -1 with errno.
int CreateTemporary(int folderFd, const std::string& prefix, std::string* name);

/// Replaces the file at `path` whole with `bytes`: a temporary file beside
/// it is written, synced and renamed over it, then the folder is synced. A
/// symbolic link or anything but a regular file in its place is refused and
/// left as it was. False with `*reason` when the bytes are not on disk.
bool ReplaceWhole(const std::string& path, std::string_view bytes, std::string* reason);

}  // namespace file_io
