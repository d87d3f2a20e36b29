#include "settings/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "settings/test_settings.h"

SettingsStore settingsStore;

namespace {

// Only these three bytes are trimmed. Text is kept as opaque bytes in the
// file's own code page, and a byte-wise scan is still safe there: UTF-8
// continuation bytes are 0x80-0xBF, and the trail bytes of the double-byte
// code pages (Shift-JIS 0x40-0x7E/0x80-0xFC, GBK and Big5 likewise from 0x40)
// never fall below 0x40, so a trail byte is never taken for " " (0x20),
// "\t" (0x09), "\n" (0x0A) or "=" (0x3D), and no character is ever cut.
bool IsTrimmed(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
  while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
  return s;
}

// Takes the token at `*pos`: skips "=" characters, then runs to the next "="
// or the end, and leaves `*pos` one past the "=" that ended it.
std::string_view NextToken(std::string_view line, size_t* pos) {
  size_t start = *pos;
  while (start < line.size() && line[start] == '=') ++start;
  size_t end = line.find('=', start);
  if (end == std::string_view::npos) end = line.size();
  *pos = end + 1;
  return line.substr(start, end - start);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int32_t ParseInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() &&
         (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))  // isspace in the C locale
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) magnitude = limit;  // stays small enough that * 10 cannot overflow
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

void SettingsStore::LoadFile(const std::string& tag) {
  fileName_ = tag + ".ini";
  LoadPath(fileName_);
}

bool SettingsStore::LoadPath(const std::string& path) {
  keys_.clear();
  values_.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  const bool failed = std::ferror(f) != 0;  // e.g. the name is a directory
  std::fclose(f);
  if (failed) return false;
  LoadText(text);
  return true;
}

void SettingsStore::LoadText(std::string_view text) {
  keys_.clear();
  values_.clear();
  std::string piece;
  for (size_t i = 0; i < text.size(); ++i) {
    // CR LF reads as a single line feed, as text-mode reading does, so that it
    // counts as one byte of the piece and a CR LF file reads like an LF file.
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    piece.push_back(text[i]);
    if (text[i] == '\n' || piece.size() == kMaxPiece) {
      HandlePiece(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) HandlePiece(piece);
}

void SettingsStore::HandlePiece(std::string_view piece) {
  // A NUL ends the line's text, so no key or value ever holds one.
  piece = piece.substr(0, piece.find('\0'));
  std::string_view line = Trim(piece);
  if (line.empty()) return;
  size_t pos = 0;
  std::string_view key = Trim(NextToken(line, &pos));
  std::string_view value = pos < line.size() ? Trim(NextToken(line, &pos)) : std::string_view();
  // No key token (a line of "=" only, or blanks between "="): nothing to store.
  // An empty key would be written as " = v" and read back as the key "v".
  if (key.empty()) return;
  SetString(std::string(key), std::string(value));
}

std::string SettingsStore::ToText() const {
  std::string text;
  for (size_t i = 0; i < keys_.size(); ++i) text += keys_[i] + " = " + values_[i] + "\r\n";
  return text;
}

bool SettingsStore::SaveFile() const {
  if (fileName_.empty()) return false;
  // Replace the file a symbolic link points to, not the link.
  std::string target = fileName_;
  if (char* real = ::realpath(fileName_.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat old;
  const bool hadOld = ::stat(target.c_str(), &old) == 0;

  // The new text goes to a file of its own beside the old one and replaces it
  // in one rename, so a crash or a full disk never leaves half a file. The name
  // is unique so that two copies of the program never share a temporary file.
  std::string temp;
  int fd = -1;
  for (int n = 0; fd < 0 && n < 100; ++n) {
    temp = target + "." + std::to_string(::getpid()) + "-" + std::to_string(n) + ".tmp";
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = WriteAll(fd, ToText());
  // Keep the old file's permissions; failing to is no reason to lose the settings.
  if (ok && hadOld && S_ISREG(old.st_mode)) static_cast<void>(::fchmod(fd, old.st_mode & 07777));
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  int dir = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

void SettingsStore::SetString(const std::string& key, const std::string& value) {
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) {
      values_[i] = value;
      return;
    }
  }
  keys_.push_back(key);
  values_.push_back(value);
}

void SettingsStore::SetInt(const std::string& key, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  SetString(key, text);
}

bool SettingsStore::GetString(const std::string& key, std::string* out) const {
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == key) {
      *out = values_[i];
      return true;
    }
  }
  return false;
}

bool SettingsStore::GetInt(const std::string& key, int32_t* out) const {
  std::string text;
  if (!GetString(key, &text)) return false;
  *out = ParseInt(text);
  return true;
}

void ReadTestSettings() {
  settingsStore.LoadFile("ORBEL");
  settingsStore.GetString("subject", &testSettings.subject);
  settingsStore.GetInt("random_seed", &testSettings.random_seed);
  settingsStore.GetInt("memtime", &testSettings.memtime);
  settingsStore.GetInt("max_rev", &testSettings.max_rev);
  settingsStore.GetInt("hide_mouse", &testSettings.hide_mouse);
  settingsStore.GetInt("flag_feedback", &testSettings.flag_feedback);
  settingsStore.GetInt("flag_ranking", &testSettings.flag_ranking);
}

void WriteTestSettings() {
  settingsStore.SetString("subject", testSettings.subject);
  settingsStore.SetInt("random_seed", testSettings.random_seed);
  settingsStore.SetInt("memtime", testSettings.memtime);
  settingsStore.SetInt("max_rev", testSettings.max_rev);
  settingsStore.SetInt("hide_mouse", testSettings.hide_mouse);
  settingsStore.SetInt("flag_feedback", testSettings.flag_feedback);
  settingsStore.SetInt("flag_ranking", testSettings.flag_ranking);
  settingsStore.SaveFile();
}
