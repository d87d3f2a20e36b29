// For each figure of a timing check that failed or deserves a warning, what
// an experimenter can do about it: the table the check's dialog shows under
// its verdict and the report's warning lines.
#pragma once

#include <string>
#include <vector>

#include "check/timing_report.h"

namespace check {

/// One figure that is not as it should be, with what to do about it.
struct FigureAdvice {
  std::string figure;  ///< as the report names it, "swaps wait for the refresh"
  std::string value;   ///< what was measured, "no"
  bool fails = false;  ///< true: it fails the check; false: a warning, the verdict stands
  std::string advice;  ///< what to do
};

/// The figures of `check` that fail, then those that deserve a warning;
/// empty when everything is right.
std::vector<FigureAdvice> AdviseOnFigures(const TimingCheck& check);

}  // namespace check
