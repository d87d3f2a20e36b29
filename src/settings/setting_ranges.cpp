#include "settings/setting_ranges.h"

#include <QCoreApplication>
#include <QString>

bool InRange(RangedSetting setting, int32_t value) {
  if (setting == RangedSetting::kMemtime) return value >= kMinMemtime && value <= kMaxMemtime;
  return value >= kMinMaxRev && value <= kMaxMaxRev;
}

std::string RangeMessage(RangedSetting setting, int32_t value) {
  if (InRange(setting, value)) return {};
  const QString text =
      setting == RangedSetting::kMemtime
          ? QCoreApplication::translate("Settings",
                                        "The time for memorization must be %1 to %2 seconds; %3 "
                                        "is outside that range. Please correct it.")
                .arg(kMinMemtime)
                .arg(kMaxMemtime)
          : QCoreApplication::translate("Settings",
                                        "The number of reversals must be %1 to %2; %3 is outside "
                                        "that range. Please correct it.")
                .arg(kMinMaxRev)
                .arg(kMaxMaxRev);
  return text.arg(value).toStdString();
}

std::string RangesHint() {
  return QCoreApplication::translate("Settings", "%1–%2 sec., %3–%4 reversals")
      .arg(kMinMemtime)
      .arg(kMaxMemtime)
      .arg(kMinMaxRev)
      .arg(kMaxMaxRev)
      .toStdString();
}
