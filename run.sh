#!/usr/bin/env bash
# Installs what is missing, builds, and starts Dorvane in run/, a working
# directory that holds the stimuli (stim/) beside the settings and results.
set -euo pipefail
DORVANE_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$DORVANE_ROOT/tools/deps.sh"
dorvane_install_deps
dorvane_build "$DORVANE_ROOT/build"
mkdir -p "$DORVANE_ROOT/run/stim"
cp -n "$DORVANE_ROOT"/stim/* "$DORVANE_ROOT/run/stim/" 2>/dev/null || true
cd "$DORVANE_ROOT/run"
echo "Dorvane writes its settings and results to $DORVANE_ROOT/run"
exec "$DORVANE_ROOT/build/src/app/dorvane" "$@"
