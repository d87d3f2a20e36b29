// Where the stimuli are read from. The program names them as in its working
// directory ("stim\click.wav", "stim/patch.bmp"); an installed program started
// in a folder without stimuli reads those installed beside it instead. What
// it writes stays in the working directory.
#pragma once

#include <string>

namespace ui {

/// "stim" when the working directory holds a folder of that name; otherwise
/// `installed` (relative to `executableDir`, the folder of the running
/// program) when that folder exists; otherwise "stim" again, whose files
/// then are missing.
std::string FindStimulusFolder(const std::string& executableDir, const std::string& installed);

/// `path` read from `folder` instead of "stim": "stim\click.wav" in
/// "/usr/share/dorvane/stim" is "/usr/share/dorvane/stim/click.wav". Other
/// paths come back as they are, with slashes for backslashes.
std::string InStimulusFolder(const std::string& path, const std::string& folder);

/// The folder every stimulus is read from ("stim" until set).
const std::string& StimulusFolder();
/// Sets it, at start-up.
void SetStimulusFolder(const std::string& folder);

}  // namespace ui
