// Decimal text of scores, independent of the process locale: the program's
// files always carry a decimal point, whatever locale the user runs in.
#pragma once

#include <string>

namespace results {

/// The value as printf's "%<width>.<precision>f" formats it in the "C" locale.
std::string FormatFixed(double value, int precision, int width = 0);

/// strtod in the "C" locale: leading white space skipped, the longest number
/// prefix converted, 0.0 when the text holds no number.
double ParseDecimal(const std::string& text);

}  // namespace results
