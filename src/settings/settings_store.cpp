#include "settings/settings_store.h"

#include <cstdio>

#include "fileio/replace_file.h"
#include "fileio/safe_file.h"
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
  refusal_.clear();
  std::string text;
  std::string reason;
  const file_io::ReadStatus status =
      file_io::ReadRegularFile(path, file_io::kMaxSettingsBytes, &text, &reason);
  if (status == file_io::ReadStatus::kRefused) refusal_ = reason;
  if (status != file_io::ReadStatus::kDone) return false;
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

bool SettingsStore::SaveFile(std::string* reason) const {
  std::string ignored;
  if (!reason) reason = &ignored;
  if (fileName_.empty()) {
    *reason = "the settings were never read";
    return false;
  }
  return file_io::ReplaceFileContent(fileName_, ToText(), reason);
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

SettingsSaveStatus WriteTestSettings() {
  SettingsSaveStatus status;
  status.file = settingsStore.FileName();
  // What the next start-up reads for each setting if this save fails: the
  // file's value as read at start-up, or the default.
  const TestSettings defaults;
  struct Setting {
    const char* key;
    std::string now;
    std::string next;
  };
  const auto text = [](int32_t v) { return std::to_string(v); };
  Setting settings[] = {
      {"subject", testSettings.subject, defaults.subject},
      {"random_seed", text(testSettings.random_seed), text(defaults.random_seed)},
      {"memtime", text(testSettings.memtime), text(defaults.memtime)},
      {"max_rev", text(testSettings.max_rev), text(defaults.max_rev)},
      {"hide_mouse", text(testSettings.hide_mouse), text(defaults.hide_mouse)},
      {"flag_feedback", text(testSettings.flag_feedback), text(defaults.flag_feedback)},
      {"flag_ranking", text(testSettings.flag_ranking), text(defaults.flag_ranking)}};
  for (Setting& s : settings) {
    std::string stored;
    if (!settingsStore.GetString(s.key, &stored)) continue;
    s.next = &s == settings ? stored : text(ParseInt(stored));  // the subject is text
  }

  settingsStore.SetString("subject", testSettings.subject);
  settingsStore.SetInt("random_seed", testSettings.random_seed);
  settingsStore.SetInt("memtime", testSettings.memtime);
  settingsStore.SetInt("max_rev", testSettings.max_rev);
  settingsStore.SetInt("hide_mouse", testSettings.hide_mouse);
  settingsStore.SetInt("flag_feedback", testSettings.flag_feedback);
  settingsStore.SetInt("flag_ranking", testSettings.flag_ranking);
  // A failed start-up never read the file: nothing to save, and nothing lost.
  if (status.file.empty()) return status;
  status.saved = settingsStore.SaveFile(&status.reason);
  if (status.saved) return status;
  for (const Setting& s : settings) {
    if (s.now != s.next) status.lost.push_back(std::string(s.key) + " = " + s.now);
  }
  return status;
}
