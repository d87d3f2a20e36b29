#include "results/decimal.h"

#include <charconv>

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

}  // namespace results
