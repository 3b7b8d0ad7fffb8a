#!/usr/bin/env bash
# Runs a command inside a private headless Wayland session: sway with XWayland and a bar (swaybar
# hosts the StatusNotifierWatcher), a D-Bus session bus of its own, and a virtual keyboard that
# keeps the seat's keyboard alive (with no input devices a client gets no keyboard focus without
# one). sway refuses to run as root, so everything runs as uid 1000 in a user namespace of its own.
# The command sees WAYLAND_DISPLAY, DISPLAY (XWayland), SWAYSOCK and XDG_SESSION_TYPE=wayland.
# Exits with the command's status; 77 (skipped) when the session cannot start, except on CI
# (CI=true), where that is a failure.
#   scripts/lib/swaysession.sh COMMAND [ARGUMENTS...]
set -u

session_name=swaysession
. "$(dirname "$0")/waylandsession.sh"

if [ -z "${VORLEX_SWAYSESSION:-}" ]; then
    require_tools sway swaymsg wtype unshare dbus-run-session xprop
    unshare --user --map-user=1000 --map-group=1000 true 2>/dev/null || cannot_start "no user namespaces here"
    exec unshare --user --map-user=1000 --map-group=1000 \
        env VORLEX_SWAYSESSION=1 dbus-run-session -- "$0" "$@"
fi

start_session_dir
cat >"$dir/config" <<'SWAY'
xwayland force
output HEADLESS-1 resolution 1280x800
bar {
    position top
}
SWAY
unset WAYLAND_DISPLAY DISPLAY
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$dir/config" >"$dir/sway.log" 2>&1 &
session_pids+=($!)

for _ in $(seq 200); do
    SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n1)
    [ -n "$SWAYSOCK" ] && swaymsg -s "$SWAYSOCK" -t get_version >/dev/null 2>&1 && break
    SWAYSOCK=""
    sleep 0.05
done
socket=$(cd "$XDG_RUNTIME_DIR" && ls wayland-* 2>/dev/null | grep -v lock | head -n1)
if [ -z "$SWAYSOCK" ] || [ -z "$socket" ]; then
    tail -n 20 "$dir/sway.log" >&2
    cannot_start "sway did not start"
fi
export SWAYSOCK WAYLAND_DISPLAY="$socket" XDG_SESSION_TYPE=wayland

# sway's children know XWayland's display; ask one of them.
swaymsg exec "echo \$DISPLAY >$dir/display" >/dev/null
for _ in $(seq 200); do
    [ -s "$dir/display" ] && xprop -display "$(cat "$dir/display")" -root >/dev/null 2>&1 && break
    sleep 0.05
done
[ -s "$dir/display" ] || cannot_start "XWayland did not start"
DISPLAY=$(cat "$dir/display")
export DISPLAY

wtype -s 3600000 -k Shift_L 2>/dev/null &
session_pids+=($!)

"$@"
