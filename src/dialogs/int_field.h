// Reading a decimal-integer edit field the way the dialogs always have: the
// number at the start of the text, whatever follows it.
#pragma once

#include <cstdint>
#include <string>

namespace dialogs {

/// Characters of an edit field that are scanned for its number.
constexpr std::size_t kIntFieldScanLimit = 63;

/// Reads one decimal integer from the first 63 characters of `text` in the
/// manner of "%d": leading white space, an optional sign, digits; the rest is
/// ignored. Values outside the 32-bit range saturate to its nearest end.
/// Returns false, leaving *value alone, when no integer is there.
bool ParseIntField(const std::string& text, int32_t* value);

}  // namespace dialogs
