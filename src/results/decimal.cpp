#include "results/decimal.h"

#include <locale.h>

#include <charconv>
#include <clocale>
#include <cstdlib>

namespace results {

std::string FormatFixed(double value, int precision, int width) {
  // Enough for the largest double in fixed notation with its decimals.
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
  std::string text = result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("?");
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

double ParseDecimal(const std::string& text) {
  // Qt switches the process to the user's locale at start-up, so plain strtod
  // could stop at the decimal point; the "C" locale object is made once.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (!cLocale) return std::strtod(text.c_str(), nullptr);
  return strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace results
