// The participant register: an optional CSV file in the working folder that
// the lab keeps by hand or through the Participants window, one row per
// subject ID. A test of an ID found there copies the row into its session
// record. A register that cannot be read whole and unambiguously is reported
// with its file and line and never rewritten: it may hold a lab's only copy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fileio/file_append.h"
#include "fileio/safe_file.h"

namespace results {

/// The register's file in the working folder.
constexpr char kRegisterFile[] = "participants.csv";

/// Far above a lab's register (100 000 subjects with long notes).
constexpr uint64_t kMaxRegisterBytes = 16 * file_io::kMiB;

/// The columns a new register starts with, "ID" first.
const std::vector<std::string>& RegisterCoreColumns();

/// One participant's fields: column name and value, in the register's order.
using ParticipantFields = std::vector<std::pair<std::string, std::string>>;

/// The register as read: its header and rows, every row as wide as the header.
struct ParticipantRegister {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

/// The index of the "ID" column (matched without regard to case), or -1.
int IdColumn(const std::vector<std::string>& columns);

/// Parses the CSV `bytes` (UTF-8, an optional BOM, RFC 4180 quoting, LF or
/// CRLF line ends; blank lines are skipped). False with the 1-based line of
/// the fault in `*line` and the fault in `*reason`: bad UTF-8, an unclosed or
/// stray quote, a row of another width than the header, a header without
/// "ID" or with an empty or repeated name, a missing, unusable or repeated ID.
bool ParseRegister(std::string_view bytes, ParticipantRegister* out, int* line,
                   std::string* reason);

/// The first fault that keeps `reg` from being saved and read back as it is
/// (as ParseRegister would find it), with the 0-based row in `*row` (-1 for
/// the header); empty when there is none.
std::string RegisterFault(const ParticipantRegister& reg, int* row);

/// The file's text: UTF-8 without BOM, LF line ends, quoted where needed.
std::string RegisterCsv(const ParticipantRegister& reg);

/// How reading the register ended.
enum class RegisterStatus { kLoaded, kMissing, kMalformed };

/// The register as a reader finds it.
struct RegisterFile {
  RegisterStatus status = RegisterStatus::kMissing;
  ParticipantRegister reg;
  std::string bytes;   ///< as read, to see at saving whether it changed meanwhile
  std::string reason;  ///< kMalformed: "participants.csv, line 4: ..."
};

/// Reads the register at `path` through the safe reader: a link, a FIFO or a
/// file over kMaxRegisterBytes is kMalformed with the refusal.
RegisterFile LoadRegister(const std::string& path);

/// What a test copies: the fields of `id` when the register holds it, or
/// the note that tells why the register could not be used.
struct ParticipantLookup {
  bool found = false;
  ParticipantFields fields;
  std::string note;  ///< non-empty only for a malformed register
};

/// Looks `id` up in the register at `path`.
ParticipantLookup LookUpParticipant(const std::string& path, const std::string& id);

/// How a save ended.
enum class RegisterSave { kSaved, kChanged, kFailed, kCancelled };

/// Replaces the register at `path` with `reg` durably, under the file's
/// lock so that two stations never save at once (`waiter` as for
/// AppendToFile). kChanged, with nothing written, when the file no longer
/// holds `loaded` (someone saved meanwhile); a file is made when there was
/// none and `loaded` is empty. `*reason` says why on failure.
RegisterSave SaveRegister(const std::string& path, const ParticipantRegister& reg,
                          const std::string& loaded, std::string* reason,
                          const file_io::LockWaiter& waiter = {});

}  // namespace results
