#include "settings/setting_ranges.h"

bool InRange(RangedSetting setting, int32_t value) {
  if (setting == RangedSetting::kMemtime) return value >= kMinMemtime && value <= kMaxMemtime;
  return value >= kMinMaxRev && value <= kMaxMaxRev;
}

std::string RangeMessage(RangedSetting setting, int32_t value) {
  if (InRange(setting, value)) return {};
  const bool memtime = setting == RangedSetting::kMemtime;
  const std::string range =
      memtime ? std::to_string(kMinMemtime) + " to " + std::to_string(kMaxMemtime) + " seconds"
              : std::to_string(kMinMaxRev) + " to " + std::to_string(kMaxMaxRev);
  return std::string(memtime ? "The time for memorization" : "The number of reversals") +
         " must be " + range + "; " + std::to_string(value) +
         " is outside that range. Please correct it.";
}

std::string RangesHint() {
  // U+2013 EN DASH, in UTF-8.
  const std::string dash = "\xE2\x80\x93";
  return std::to_string(kMinMemtime) + dash + std::to_string(kMaxMemtime) + " sec., " +
         std::to_string(kMinMaxRev) + dash + std::to_string(kMaxMaxRev) + " reversals";
}
