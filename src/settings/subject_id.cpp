#include "settings/subject_id.h"

#include <QCoreApplication>
#include <QString>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The fault of the character at `i`, and its length in bytes in `*length`.
SubjectIdFault CharacterFault(const std::string& id, size_t i, size_t* length) {
  const auto byte = [&](size_t k) {
    return k < id.size() ? static_cast<unsigned char>(id[k]) : 0u;
  };
  const unsigned c = byte(i);
  *length = 1;
  if (c == '\n' || c == '\r') return SubjectIdFault::kLineBreak;
  if (c == 0) return SubjectIdFault::kNul;
  if (c < 0x20 || c == 0x7F) return SubjectIdFault::kControl;
  if (c == '/' || c == '\\') return SubjectIdFault::kSlash;
  if (c == '=') return SubjectIdFault::kEquals;
  if (c == ',') return SubjectIdFault::kComma;
  // U+0080-U+009F, the C1 controls (NEL among them), are C2 80-C2 9F.
  if (c == 0xC2 && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) {
    *length = 2;
    return byte(i + 1) == 0x85 ? SubjectIdFault::kLineBreak : SubjectIdFault::kControl;
  }
  // U+2028 and U+2029, the line and paragraph separators, are E2 80 A8-A9.
  if (c == 0xE2 && byte(i + 1) == 0x80 && (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9)) {
    *length = 3;
    return SubjectIdFault::kLineBreak;
  }
  return SubjectIdFault::kNone;
}

}  // namespace

SubjectIdFault CheckSubjectId(const std::string& id) {
  size_t first = 0;
  while (first < id.size() && IsBlank(id[first])) ++first;
  if (first == id.size()) return SubjectIdFault::kEmpty;
  if (first > 0 || IsBlank(id.back())) return SubjectIdFault::kOuterBlank;
  for (size_t i = 0, length = 1; i < id.size(); i += length) {
    const SubjectIdFault fault = CharacterFault(id, i, &length);
    if (fault != SubjectIdFault::kNone) return fault;
  }
  if (id.size() > kMaxSubjectIdBytes) return SubjectIdFault::kTooLong;
  return SubjectIdFault::kNone;
}

std::string SubjectIdMessage(SubjectIdFault fault) {
  QString text;
  switch (fault) {
    case SubjectIdFault::kNone:
      return std::string();
    case SubjectIdFault::kEmpty:
      text = QCoreApplication::translate(
          "Settings", "The subject ID is empty or holds only blanks. Please correct it.");
      break;
    case SubjectIdFault::kOuterBlank:
      text = QCoreApplication::translate(
          "Settings", "The subject ID begins or ends with a blank or a tab. Please correct it.");
      break;
    case SubjectIdFault::kLineBreak:
      text = QCoreApplication::translate("Settings",
                                         "The subject ID holds a line break. Please correct it.");
      break;
    case SubjectIdFault::kNul:
      text = QCoreApplication::translate(
          "Settings", "The subject ID holds a NUL character. Please correct it.");
      break;
    case SubjectIdFault::kControl:
      text = QCoreApplication::translate(
          "Settings",
          "The subject ID holds a tab or another control character. Please correct it.");
      break;
    case SubjectIdFault::kSlash:
      text = QCoreApplication::translate("Settings",
                                         "The subject ID holds \"/\" or \"\\\", which would put "
                                         "the data file into another folder. Please correct it.");
      break;
    case SubjectIdFault::kEquals:
      text = QCoreApplication::translate(
          "Settings",
          "The subject ID holds \"=\", which the settings file cannot keep. Please correct it.");
      break;
    case SubjectIdFault::kComma:
      text = QCoreApplication::translate("Settings",
                                         "The subject ID holds \",\", which would split the rows "
                                         "of the data file. Please correct it.");
      break;
    case SubjectIdFault::kTooLong:
      text = QCoreApplication::translate("Settings",
                                         "The subject ID is longer than 251 bytes, too long for "
                                         "the name of its data file. Please correct it.");
      break;
  }
  return text.toStdString();
}
