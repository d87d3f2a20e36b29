#!/usr/bin/env bash
# Runs a command on a desktop inside the X server of DISPLAY (under xvfb-run):
#   desktop.sh none|openbox|xfwm4|mutter-x11|kwin-x11|weston|mutter-wayland|kwin-wayland
#              <command> [arguments...]
# none is the bare server; openbox, xfwm4, mutter-x11 (GNOME's) and kwin-x11
# (KDE's) are X window managers; weston
# is weston's X11 backend with its desktop shell, whose clients are Wayland
# programs; mutter-wayland and kwin-wayland are GNOME's and KDE's compositors
# in a window of the X server. The command learns which from
# DORVANE_E2E_DESKTOP; under a compositor it also gets WAYLAND_DISPLAY. Whatever was started here is stopped at the end.
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
# Starts a desktop program on a session bus of its own (they read their
# settings over it), which dbus-run-session ends once the program has ended;
# no accessibility bus. The program is stopped at the end.
in_session() {
  rm -f "$scratch/wm.pid"
  NO_AT_BRIDGE=1 XDG_RUNTIME_DIR="$scratch" dbus-run-session -- \
    sh -c 'env -u QT_QPA_PLATFORM "$@" & echo $! >"$0"; wait' "$scratch/wm.pid" "$@" \
    >>"$scratch/desktop.log" 2>&1 &
  waits+=($!)
  for _ in $(seq 100); do
    [ -s "$scratch/wm.pid" ] && break
    sleep 0.05
  done
  pids+=("$(cat "$scratch/wm.pid")")
}
screen_size() { xdpyinfo | awk '/dimensions:/ { print $2 }'; }
# The compositor's output window, titled `name`, fills the screen and its
# socket is there.
compositor_covers_screen() {
  [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] &&
    xwininfo -root -children | grep -F "\"$1" | grep -q " $(screen_size)+0+0 "
}
# The public display of the XWayland that mutter started, once it answers;
# its key joins the virtual X server's in XAUTHORITY, for the program and the test.
xwayland_display() {
  local name auth
  name="$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$scratch/desktop.log" | tail -1)"
  [ -n "$name" ] || return 1
  for auth in "$scratch"/.mutter-Xwaylandauth.*; do
    [ -f "$auth" ] && xauth -f "$auth" nlist | xauth nmerge - 2>/dev/null
  done
  DISPLAY="$name" xprop -root >/dev/null 2>&1 && echo "$name"
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
    in_session xfwm4 --compositor=off
    wait_for xfwm4 window_manager_running
    ;;
  mutter-x11)
    # GNOME's window manager and compositor, without the shell.
    in_session mutter --x11 --sm-disable
    wait_for mutter window_manager_running
    ;;
  kwin-x11)
    in_session kwin_x11
    wait_for kwin_x11 window_manager_running
    ;;
  mutter-wayland)
    # GNOME's compositor nested in a window of the X server, one output the
    # size of the screen; the program is a Wayland client of it.
    export XDG_RUNTIME_DIR="$scratch" WAYLAND_DISPLAY=dorvane-e2e
    in_session env MUTTER_DEBUG_DUMMY_MODE_SPECS="$(screen_size)" \
      mutter --nested --wayland --no-x11 --wayland-display="$WAYLAND_DISPLAY"
    wait_for mutter compositor_covers_screen mutter
    ;;
  mutter-xwayland)
    # The same, with XWayland: the program is an X11 client of XWayland, as
    # it is on a GNOME Wayland session where it prefers X11.
    export XDG_RUNTIME_DIR="$scratch" WAYLAND_DISPLAY=dorvane-e2e
    in_session env MUTTER_DEBUG_DUMMY_MODE_SPECS="$(screen_size)" \
      mutter --nested --wayland --wayland-display="$WAYLAND_DISPLAY"
    wait_for mutter compositor_covers_screen mutter
    wait_for XWayland xwayland_display
    DORVANE_E2E_PROGRAM_DISPLAY="$(xwayland_display)"
    export DORVANE_E2E_PROGRAM_DISPLAY
    ;;
  kwin-wayland)
    # KDE's compositor in a window of the X server. Debian gives kwin_wayland
    # a file capability, which an unprivileged exec refuses; a copy has none.
    export XDG_RUNTIME_DIR="$scratch" WAYLAND_DISPLAY=dorvane-e2e
    cp "$(command -v kwin_wayland)" "$scratch/kwin_wayland"
    size="$(screen_size)"
    in_session "$scratch/kwin_wayland" --x11-display "$DISPLAY" --width "${size%x*}" \
      --height "${size#*x}" --socket "$WAYLAND_DISPLAY" --no-lockscreen
    wait_for kwin_wayland compositor_covers_screen "KDE Wayland Compositor"
    ;;
  weston)
    size="$(screen_size)"
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
