// The seven settings of a test, kept in "ORBEL.ini" between runs.
#pragma once

#include <cstdint>
#include <string>

/// The test settings with their compiled-in defaults.
struct TestSettings {
  std::string subject = "SOMEBODY";  ///< subject identifier; names the data file
  int32_t random_seed = 0;           ///< read and written back, used for nothing else
  int32_t memtime = 60;              ///< memorisation time in seconds
  int32_t max_rev = 4;               ///< reversals that end a test
  int32_t hide_mouse = 0;            ///< hide the cursor during a test
  int32_t flag_feedback = 0;         ///< show the score after a test
  int32_t flag_ranking = 0;          ///< show the results viewer after a test
};

/// The program's settings.
extern TestSettings testSettings;
