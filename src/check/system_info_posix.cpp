#include <fstream>
#include <string>

#include "check/system_info.h"

namespace check {

std::string CpuGovernor() {
  // Linux's cpufreq; the first processor stands for all, as they are set together.
  std::ifstream file("/sys/devices/system/cpu/cpu0/cpufreq/scaling_governor");
  std::string governor;
  if (!(file >> governor) || governor.empty()) return "unknown";
  return governor;
}

}  // namespace check
