#!/usr/bin/env bash
# Runs a command on a desktop inside the X server of DISPLAY (under xvfb-run):
#   desktop.sh none|openbox|xfwm4|weston <command> [arguments...]
# none is the bare server; openbox and xfwm4 are those window managers; weston
# is weston's X11 backend with its desktop shell, whose clients are Wayland
# programs. The command learns which from DORVANE_E2E_DESKTOP; under weston it
# also gets WAYLAND_DISPLAY. Whatever was started here is stopped at the end.
set -euo pipefail
desktop="$1"
shift
export DORVANE_E2E_DESKTOP="$desktop"
scratch="$(mktemp -d)"
chmod 700 "$scratch"
pids=()   # stopped at the end
waits=()  # end by themselves once those are stopped

stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}" "${waits[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap stop EXIT

# Polls `check` for up to 20 s.
wait_for() {
  local what="$1"
  shift
  for _ in $(seq 200); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "desktop.sh: $what did not come up" >&2
  cat "$scratch/desktop.log" >&2 || true
  exit 1
}
window_manager_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
weston_shell_ready() { weston-debug scene-graph | grep -q 'panel for output'; }

case "$desktop" in
  none) ;;
  openbox)
    openbox >"$scratch/desktop.log" 2>&1 &
    pids+=($!)
    wait_for openbox window_manager_running
    ;;
  xfwm4)
    # xfwm4 reads its settings over a session bus of its own, which
    # dbus-run-session ends once xfwm4 has ended; no accessibility bus.
    NO_AT_BRIDGE=1 dbus-run-session -- sh -c 'xfwm4 --compositor=off & echo $! >"$1"; wait' \
      sh "$scratch/wm.pid" >"$scratch/desktop.log" 2>&1 &
    waits+=($!)
    wait_for xfwm4 window_manager_running
    pids+=("$(cat "$scratch/wm.pid")")
    ;;
  weston)
    size="$(xdpyinfo | awk '/dimensions:/ { print $2 }')"
    export XDG_RUNTIME_DIR="$scratch" WAYLAND_DISPLAY=dorvane-e2e
    # --debug lets weston-debug list the windows: the X server sees only weston's.
    weston --backend=x11-backend.so --width="${size%x*}" --height="${size#*x}" --use-pixman \
      --idle-time=0 --debug --socket="$WAYLAND_DISPLAY" >"$scratch/desktop.log" 2>&1 &
    pids+=($!)
    wait_for weston weston_shell_ready
    ;;
  *)
    echo "desktop.sh: unknown desktop $desktop" >&2
    exit 2
    ;;
esac

status=0
"$@" || status=$?
exit "$status"
