#include "settings/subject_id.h"

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
  const char* what = nullptr;
  switch (fault) {
    case SubjectIdFault::kNone:
      return std::string();
    case SubjectIdFault::kEmpty:
      what = "is empty or holds only blanks.";
      break;
    case SubjectIdFault::kOuterBlank:
      what = "begins or ends with a blank or a tab.";
      break;
    case SubjectIdFault::kLineBreak:
      what = "holds a line break.";
      break;
    case SubjectIdFault::kNul:
      what = "holds a NUL character.";
      break;
    case SubjectIdFault::kControl:
      what = "holds a tab or another control character.";
      break;
    case SubjectIdFault::kSlash:
      what = "holds \"/\" or \"\\\", which would put the data file into another folder.";
      break;
    case SubjectIdFault::kEquals:
      what = "holds \"=\", which the settings file cannot keep.";
      break;
    case SubjectIdFault::kComma:
      what = "holds \",\", which would split the rows of the data file.";
      break;
    case SubjectIdFault::kTooLong:
      what = "is longer than 251 bytes, too long for the name of its data file.";
      break;
  }
  return std::string("The subject ID ") + what + " Please correct it.";
}
