#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest.
set -euo pipefail
DORVANE_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$DORVANE_ROOT/tools/deps.sh"
dorvane_install_deps
dorvane_build "$DORVANE_ROOT/build"
cd "$DORVANE_ROOT/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" "$@"
