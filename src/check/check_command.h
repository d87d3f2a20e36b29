// dorvane-check: the timing check as a program of its own, for a lab's IT
// to run on every PC. Prints the report, saves it with its charts in the
// working directory, and exits 0 when the check passes, 1 when it fails
// (2 when it could not run at all, or was cancelled at its notice).
#pragma once

namespace check {

/// The program's body; needs a running QApplication. Asks with a notice
/// before it takes the screen, unless --no-notice (for scripted runs).
/// Options: --frames N, --trials N, --span SECONDS (shorter checks, for tests).
int RunCheckCommand(int argc, char** argv);

}  // namespace check
