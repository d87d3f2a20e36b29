#include "dialogs/int_field.h"

#include <limits>

namespace dialogs {

bool ParseIntField(const std::string& text, int32_t* value) {
  const std::size_t end = text.size() < kIntFieldScanLimit ? text.size() : kIntFieldScanLimit;
  std::size_t i = 0;
  // White space as the C locale's isspace sees it; no locale lookups here.
  while (i < end && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= end || text[i] < '0' || text[i] > '9') return false;
  // Accumulate the magnitude in 64 bits and stop growing once it is past the
  // 32-bit range, so that long digit runs saturate instead of overflowing.
  const int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude <= limit) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (negative) {
    *value =
        magnitude >= limit ? std::numeric_limits<int32_t>::min() : static_cast<int32_t>(-magnitude);
  } else {
    *value =
        magnitude >= limit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(magnitude);
  }
  return true;
}

}  // namespace dialogs
