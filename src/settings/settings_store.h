// The key/value store behind "ORBEL.ini": one "key = value" line per entry,
// no sections and no comments. The store keeps every key it reads, in the
// order first seen, and writes them all back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// An ordered store of text entries read from and written to one settings file.
class SettingsStore {
 public:
  /// Longest piece of a line taken in one read; longer lines arrive as several pieces.
  static constexpr size_t kMaxPiece = 1023;

  /// Sets the file name to `tag` + ".ini" and reads that file into the store.
  /// A missing or unreadable file leaves the store empty.
  void LoadFile(const std::string& tag);

  /// Replaces the entries with those of the file at `path`; the file name is not changed.
  /// Returns false (store empty) if the file cannot be read. A symbolic link, anything
  /// but a regular file and a file over kMaxSettingsBytes are refused unread.
  bool LoadPath(const std::string& path);

  /// Why the last LoadPath refused its file unread ("is a symbolic link"); empty otherwise.
  const std::string& Refusal() const { return refusal_; }

  /// Replaces the entries with those read from the bytes of a settings file.
  void LoadText(std::string_view text);

  /// Writes every entry to the file name formed by LoadFile as file_io::ReplaceFileContent
  /// does. Returns false, with the system's reason in `*reason` (may be null), if
  /// it cannot be written or if LoadFile never ran.
  bool SaveFile(std::string* reason = nullptr) const;

  /// The bytes SaveFile writes: "key = value" and CR LF per entry, in store order.
  std::string ToText() const;

  /// Replaces the value of `key` in place, or appends a new entry.
  void SetString(const std::string& key, const std::string& value);

  /// SetString with the value as signed decimal text ("%d").
  void SetInt(const std::string& key, int32_t value);

  /// Copies the value of `key` into `out` and returns true; false (out untouched) if absent.
  bool GetString(const std::string& key, std::string* out) const;

  /// Converts the value of `key` into `out` and returns true; false (out untouched) if
  /// absent. The conversion follows ParseInt.
  bool GetInt(const std::string& key, int32_t* out) const;

  /// Number of entries.
  int Count() const { return static_cast<int>(keys_.size()); }
  /// Entry keys in store order.
  const std::vector<std::string>& Keys() const { return keys_; }
  /// Entry values, parallel to Keys().
  const std::vector<std::string>& Values() const { return values_; }
  /// The file SaveFile writes; empty until LoadFile ran.
  const std::string& FileName() const { return fileName_; }

 private:
  void HandlePiece(std::string_view piece);

  std::string fileName_;
  std::string refusal_;
  std::vector<std::string> keys_;
  std::vector<std::string> values_;
};

/// Decimal text to integer: leading white space, an optional sign, then digits up to
/// the first non-digit; no digits gives 0, and values beyond 32 bits saturate.
int32_t ParseInt(std::string_view text);

/// The program's one settings store.
extern SettingsStore settingsStore;

/// Start-up: loads "ORBEL.ini" into settingsStore and copies the seven settings found
/// there into testSettings; missing keys keep their current values.
void ReadTestSettings();

/// What became of the settings at shut-down.
struct SettingsSaveStatus {
  bool saved = false;  ///< the file holds the current settings
  std::string file;    ///< the settings file; empty when it was never read
  std::string reason;  ///< the system's reason when not saved
  /// "key = value" of each setting whose value the next start-up will not read.
  std::vector<std::string> lost;
};

/// Shut-down: puts the seven settings into settingsStore and saves it. Writes nothing if
/// ReadTestSettings never ran.
SettingsSaveStatus WriteTestSettings();
