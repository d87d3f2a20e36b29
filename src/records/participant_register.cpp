#include "records/participant_register.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "fileio/file_io.h"
#include "settings/subject_id.h"

namespace results {

namespace {

// ---- CSV as RFC 4180 has it, plus LF and lone CR line ends and a BOM.

struct CsvRow {
  std::vector<std::string> fields;
  int line = 0;  ///< where the row begins
};

// True when `s` is well-formed UTF-8 (no overlong forms, no surrogates);
// otherwise `*bad` is the offset of the first faulty byte.
bool IsUtf8(std::string_view s, size_t* bad) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t more = 0;
    uint32_t low = 0;
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
      low = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      low = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      low = 0x10000;
    }
    if (more == 0 || i + more >= s.size()) {
      *bad = i;
      return false;
    }
    uint32_t code = c & (0x3F >> more);
    for (size_t k = 1; k <= more; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) {
        *bad = i;
        return false;
      }
      code = code << 6 | (d & 0x3F);
    }
    if (code < low || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      *bad = i;
      return false;
    }
    i += more + 1;
  }
  return true;
}

int LineAt(std::string_view s, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset && i < s.size(); ++i) {
    if (s[i] == '\n' || (s[i] == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n'))) ++line;
  }
  return line;
}

// Steps over one line end at `*i` (CRLF, LF or CR); false when there is none.
bool SkipLineEnd(std::string_view s, size_t* i, int* line) {
  if (*i >= s.size() || (s[*i] != '\r' && s[*i] != '\n')) return false;
  *i += (s[*i] == '\r' && *i + 1 < s.size() && s[*i + 1] == '\n') ? 2 : 1;
  ++*line;
  return true;
}

// One quoted field from the quote at `*i`.
bool QuotedField(std::string_view s, size_t* i, int* line, std::string* field,
                 std::string* reason) {
  const int opened = *line;
  for (++*i;; ++*i) {
    if (*i >= s.size()) {
      *line = opened;
      *reason = "a quote opened here is never closed";
      return false;
    }
    const char c = s[*i];
    if (c == '"') {
      if (*i + 1 < s.size() && s[*i + 1] == '"') {
        *field += '"';
        ++*i;
        continue;
      }
      ++*i;
      break;
    }
    if (c == '\n' || (c == '\r' && (*i + 1 >= s.size() || s[*i + 1] != '\n'))) ++*line;
    *field += c;
  }
  if (*i < s.size() && s[*i] != ',' && s[*i] != '\r' && s[*i] != '\n') {
    *reason = "text follows a closing quote";
    return false;
  }
  return true;
}

bool ReadCsv(std::string_view s, std::vector<CsvRow>* rows, int* line, std::string* reason) {
  *line = 1;
  size_t i = 0;
  while (i < s.size()) {
    if (SkipLineEnd(s, &i, line)) continue;  // a blank line
    CsvRow row;
    row.line = *line;
    for (;;) {
      std::string field;
      if (i < s.size() && s[i] == '"') {
        if (!QuotedField(s, &i, line, &field, reason)) return false;
      } else {
        for (; i < s.size() && s[i] != ',' && s[i] != '\r' && s[i] != '\n'; ++i) {
          if (s[i] == '"') {
            *reason = "a quote inside a field that does not begin with one";
            return false;
          }
          field += s[i];
        }
      }
      row.fields.push_back(std::move(field));
      if (i < s.size() && s[i] == ',') {
        ++i;
        continue;
      }
      SkipLineEnd(s, &i, line);
      break;
    }
    rows->push_back(std::move(row));
  }
  return true;
}

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

std::string IdFault(const std::string& id) {
  const SubjectIdFault fault = CheckSubjectId(id);
  if (fault == SubjectIdFault::kNone) return {};
  if (fault == SubjectIdFault::kEmpty) return "the ID is empty";
  return "the ID " + Quoted(id) + " cannot be a subject ID (" + SubjectIdMessage(fault) + ")";
}

// The first fault of the table; `*bad` is -1 for the header, else the row;
// `lineOf` names a row's place in the text it came from.
template <typename LineOf>
std::string TableFault(const ParticipantRegister& reg, int* bad, const LineOf& lineOf) {
  *bad = -1;
  const int id = IdColumn(reg.columns);
  std::map<std::string, size_t> names;
  for (size_t c = 0; c < reg.columns.size(); ++c) {
    if (reg.columns[c].empty()) return "column " + std::to_string(c + 1) + " has no name";
    if (!names.emplace(reg.columns[c], c).second)
      return "the column " + Quoted(reg.columns[c]) + " appears twice";
  }
  if (id < 0 && !reg.columns.empty()) return "no column is named \"ID\"";
  std::map<std::string, int> ids;
  for (size_t r = 0; r < reg.rows.size(); ++r) {
    *bad = static_cast<int>(r);
    const std::vector<std::string>& row = reg.rows[r];
    if (row.size() != reg.columns.size())
      return "the row has " + std::to_string(row.size()) + " fields, the header " +
             std::to_string(reg.columns.size());
    const std::string& value = row[static_cast<size_t>(id)];
    const std::string fault = IdFault(value);
    if (!fault.empty()) return fault;
    const auto [it, fresh] = ids.emplace(value, static_cast<int>(r));
    if (!fresh) return "the ID " + Quoted(value) + " is also on " + lineOf(it->second);
  }
  return {};
}

std::string NameOfPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

const std::vector<std::string>& RegisterCoreColumns() {
  static const std::vector<std::string> columns{"ID",    "age",       "gender",       "handedness",
                                                "group", "condition", "experimenter", "notes"};
  return columns;
}

int IdColumn(const std::vector<std::string>& columns) {
  for (size_t c = 0; c < columns.size(); ++c) {
    const std::string& n = columns[c];
    if (n.size() == 2 && (n[0] == 'I' || n[0] == 'i') && (n[1] == 'D' || n[1] == 'd'))
      return static_cast<int>(c);
  }
  return -1;
}

bool ParseRegister(std::string_view bytes, ParticipantRegister* out, int* line,
                   std::string* reason) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  size_t bad = 0;
  if (!IsUtf8(bytes, &bad)) {
    *line = LineAt(bytes, bad);
    *reason = "not UTF-8 text (byte " + std::to_string(bad + 1) + " of the file)";
    return false;
  }
  std::vector<CsvRow> rows;
  if (!ReadCsv(bytes, &rows, line, reason)) return false;
  ParticipantRegister reg;
  if (!rows.empty()) reg.columns = std::move(rows[0].fields);
  for (size_t r = 1; r < rows.size(); ++r) reg.rows.push_back(std::move(rows[r].fields));
  int row = -1;
  const std::string fault = TableFault(reg, &row, [&rows](int r) {
    return "line " + std::to_string(rows[static_cast<size_t>(r) + 1].line);
  });
  if (!fault.empty()) {
    *line = row < 0 ? (rows.empty() ? 1 : rows[0].line) : rows[static_cast<size_t>(row) + 1].line;
    *reason = fault;
    return false;
  }
  *out = std::move(reg);
  return true;
}

std::string RegisterFault(const ParticipantRegister& reg, int* row) {
  if (IdColumn(reg.columns) < 0) {
    *row = -1;
    return "no column is named \"ID\"";
  }
  return TableFault(reg, row, [](int r) { return "row " + std::to_string(r + 1); });
}

std::string RegisterCsv(const ParticipantRegister& reg) {
  std::string text;
  auto line = [&text](const std::vector<std::string>& fields) {
    for (size_t k = 0; k < fields.size(); ++k) {
      const std::string& f = fields[k];
      if (k > 0) text += ',';
      // A single empty field alone on its line would read back as a blank line.
      if (f.find_first_of(",\"\r\n") == std::string::npos && !(f.empty() && fields.size() == 1)) {
        text += f;
        continue;
      }
      text += '"';
      for (const char c : f) text += c == '"' ? std::string("\"\"") : std::string(1, c);
      text += '"';
    }
    text += '\n';
  };
  line(reg.columns);
  for (const std::vector<std::string>& row : reg.rows) line(row);
  return text;
}

RegisterFile LoadRegister(const std::string& path) {
  RegisterFile file;
  std::string why;
  const file_io::ReadStatus read =
      file_io::ReadRegularFile(path, kMaxRegisterBytes, &file.bytes, &why);
  if (read == file_io::ReadStatus::kMissing) {
    file.reg.columns = RegisterCoreColumns();
    return file;
  }
  const std::string name = NameOfPath(path);
  file.status = RegisterStatus::kMalformed;
  if (read != file_io::ReadStatus::kDone) {
    file.reason = name + ": " + why;
    return file;
  }
  int line = 0;
  if (!ParseRegister(file.bytes, &file.reg, &line, &why)) {
    file.reason = name + ", line " + std::to_string(line) + ": " + why;
    return file;
  }
  if (file.reg.columns.empty()) file.reg.columns = RegisterCoreColumns();
  file.status = RegisterStatus::kLoaded;
  return file;
}

ParticipantLookup LookUpParticipant(const std::string& path, const std::string& id) {
  ParticipantLookup lookup;
  const RegisterFile file = LoadRegister(path);
  if (file.status == RegisterStatus::kMalformed) lookup.note = file.reason;
  const int idColumn = IdColumn(file.reg.columns);
  if (file.status != RegisterStatus::kLoaded || idColumn < 0) return lookup;
  for (const std::vector<std::string>& row : file.reg.rows) {
    if (row[static_cast<size_t>(idColumn)] != id) continue;
    lookup.found = true;
    for (size_t c = 0; c < row.size(); ++c) lookup.fields.emplace_back(file.reg.columns[c], row[c]);
    break;
  }
  return lookup;
}

namespace {

// The whole of `fd`'s file through the descriptor itself: opening the file
// again and closing it would drop this process's lock on it.
bool ReadThrough(int fd, std::string* bytes) {
  bytes->clear();
  char buffer[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes->append(buffer, static_cast<size_t>(n));
    at += n;
    if (bytes->size() > kMaxRegisterBytes) return false;
  }
}

// Opens the register (made empty when missing) and takes its lock, again
// after another station renamed a new file into its place meanwhile.
int OpenLocked(const std::string& path, std::string* reason, bool* cancelled,
               const file_io::LockWaiter& waiter) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    struct stat held {};
    if (fd < 0 || ::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      *reason = fd < 0 ? file_io::OpenErrorText(errno) : "is not a regular file";
      if (fd >= 0) ::close(fd);
      return -1;
    }
    bool locked = file_io::LockWholeFile(fd, false);
    if (!locked && waiter) {
      locked = waiter([fd] { return file_io::LockWholeFile(fd, false); });
      *cancelled = !locked;
    } else if (!locked) {
      locked = file_io::LockWholeFile(fd, true);
    }
    struct stat named {};
    if (locked && ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      return fd;
    }
    ::close(fd);
    if (*cancelled) return -1;
    if (!locked) break;
  }
  *reason = "cannot be locked";
  return -1;
}

}  // namespace

RegisterSave SaveRegister(const std::string& path, const ParticipantRegister& reg,
                          const std::string& loaded, std::string* reason,
                          const file_io::LockWaiter& waiter) {
  int row = -1;
  const std::string fault = RegisterFault(reg, &row);
  if (!fault.empty()) {
    *reason = (row < 0 ? std::string("header") : "row " + std::to_string(row + 1)) + ": " + fault;
    return RegisterSave::kFailed;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT && !loaded.empty()) {
    *reason = "was removed since it was read";
    return RegisterSave::kChanged;
  }
  bool cancelled = false;
  const int fd = OpenLocked(path, reason, &cancelled, waiter);
  if (fd < 0) return cancelled ? RegisterSave::kCancelled : RegisterSave::kFailed;
  std::string now;
  RegisterSave result = RegisterSave::kSaved;
  if (!ReadThrough(fd, &now)) {
    *reason = std::strerror(errno);
    result = RegisterSave::kFailed;
  } else if (now != loaded) {
    *reason = "was changed since it was read";
    result = RegisterSave::kChanged;
  } else if (!file_io::ReplaceWhole(path, RegisterCsv(reg), reason)) {
    result = RegisterSave::kFailed;
  }
  ::close(fd);  // the lock goes with it, after the new file has its name
  return result;
}

}  // namespace results
