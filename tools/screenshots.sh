#!/usr/bin/env bash
# Takes the README's screenshots (docs/screenshots/*.png): runs Dorvane under
# a virtual X server in a temporary working directory and drives it with the
# end-to-end test's driver. Set DORVANE_BUILD_DIR to use another build.
set -euo pipefail
DORVANE_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="${DORVANE_BUILD_DIR:-$DORVANE_ROOT/build}"
source "$DORVANE_ROOT/tools/deps.sh"
dorvane_install_deps
cmake -S "$DORVANE_ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target dorvane e2e_screenshots
mkdir -p "$DORVANE_ROOT/docs/screenshots"
xvfb-run -a -s "-screen 0 1024x768x24" \
  "$BUILD_DIR/tests/app/e2e_screenshots" "$DORVANE_ROOT/docs/screenshots"
# The Timing Check's result dialog, from a made-up check, on a 1024 x 768 screen.
cmake --build "$BUILD_DIR" -j "$(nproc)" --target timing_check_screenshot
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$BUILD_DIR/tests/check/timing_check_screenshot" "$DORVANE_ROOT/docs/screenshots/timing-check.png"
# The Participants window over a made-up register, on a 1024 x 768 screen.
cmake --build "$BUILD_DIR" -j "$(nproc)" --target participants_screenshot
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$BUILD_DIR/tests/participants/participants_screenshot" "$DORVANE_ROOT/docs/screenshots/participants.png"
