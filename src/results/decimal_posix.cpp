#include <locale.h>

#include <cstdlib>

#include "results/decimal.h"

namespace results {

double ParseDecimal(const std::string& text) {
  // Qt switches the process to the user's locale at start-up, so plain strtod
  // could stop at the decimal point; the "C" locale object is made once.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  if (!cLocale) return std::strtod(text.c_str(), nullptr);
  return strtod_l(text.c_str(), nullptr, cLocale);
}

}  // namespace results
