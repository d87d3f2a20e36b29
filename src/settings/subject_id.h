// The subject identifier names the subject's data file and is a field of
// every CSV row, of the log line and of "ORBEL.ini". An identifier is only
// taken when every one of them stores it and reads it back whole.
#pragma once

#include <string>

/// What keeps an identifier from being stored and read back whole.
enum class SubjectIdFault {
  kNone,
  kEmpty,       ///< empty, or blanks and tabs only
  kOuterBlank,  ///< begins or ends with a blank or a tab
  kLineBreak,   ///< a line feed, carriage return or Unicode line separator
  kNul,
  kControl,  ///< any other control character, a tab inside included
  kSlash,    ///< "/" or "\", which lead into other folders
  kEquals,   ///< "=", which ends a value in the settings file
  kComma,    ///< ",", which separates the CSV fields
  kTooLong,  ///< more than kMaxSubjectIdBytes
};

/// Longest identifier in bytes (UTF-8): its data file name must not pass the
/// 255 bytes that file systems allow.
constexpr size_t kMaxSubjectIdBytes = 255 - 4;

/// The first fault of `id` (UTF-8) from its start, the blank ones first; kNone
/// when it can be stored and read back whole.
SubjectIdFault CheckSubjectId(const std::string& id);

/// The warning that names `fault` to the experimenter; empty for kNone.
std::string SubjectIdMessage(SubjectIdFault fault);
