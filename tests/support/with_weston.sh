#!/usr/bin/env bash
# Runs a command as a client of its own headless Wayland compositor (weston),
# with a private runtime directory; the compositor ends with the command.
set -euo pipefail
runtime="$(mktemp -d)"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
socket="dorvane-test-$$"
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 \
  >"$runtime/weston.log" 2>&1 &
weston_pid=$!
trap 'kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do
  [ -S "$runtime/$socket" ] && break
  sleep 0.05
done
if [ ! -S "$runtime/$socket" ]; then
  echo "weston did not start:" >&2
  cat "$runtime/weston.log" >&2
  exit 1
fi
export WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland
"$@"
