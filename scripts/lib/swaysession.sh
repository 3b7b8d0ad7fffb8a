#!/usr/bin/env bash
# Runs a command inside a private headless Wayland session: sway with XWayland and a bar (swaybar
# hosts the StatusNotifierWatcher), a D-Bus session bus of its own, and a virtual keyboard that
# keeps the seat's keyboard alive (with no input devices a client gets no keyboard focus without
# one). sway refuses to run as root, so everything runs in a user namespace of its own as the
# caller, or as nobody when the caller is root (an id the password database knows: dbus-daemon
# looks it up, and a fresh machine may have no other user).
# The command sees WAYLAND_DISPLAY, DISPLAY (XWayland), SWAYSOCK and XDG_SESSION_TYPE=wayland.
# Exits with the command's status; 77 (skipped) when the session cannot start, except on CI
# (CI=true), where that is a failure.
#   scripts/lib/swaysession.sh COMMAND [ARGUMENTS...]
set -u

session_name=swaysession
. "$(dirname "$0")/waylandsession.sh"

if [ -z "${VORLEX_SWAYSESSION:-}" ]; then
    require_tools sway swaymsg wtype unshare dbus-run-session xprop
    user=$(id -u) group=$(id -g)
    if [ "$user" -eq 0 ]; then
        user=$(id -u nobody 2>/dev/null) && group=$(id -g nobody) || cannot_start "no user nobody to run sway as"
    fi
    as_user=(unshare --user --map-user="$user" --map-group="$group")
    "${as_user[@]}" true 2>/dev/null || cannot_start "no user namespaces here"
    # The session's bus starts services (the accessibility bus among them) without the caller's X
    # display: they would announce themselves there, to programs outside this session.
    exec "${as_user[@]}" env -u DISPLAY -u XAUTHORITY VORLEX_SWAYSESSION=1 dbus-run-session -- "$0" "$@"
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

# sway's children know XWayland's display once it is up; ask one of them until the answer is a
# display that answers.
for _ in $(seq 100); do
    rm -f "$dir/display"
    swaymsg exec "echo \$DISPLAY >$dir/display.new && mv $dir/display.new $dir/display" >/dev/null
    for _ in $(seq 20); do
        [ -e "$dir/display" ] && break
        sleep 0.01
    done
    DISPLAY=$(cat "$dir/display" 2>/dev/null)
    [ -n "$DISPLAY" ] && xprop -display "$DISPLAY" -root >/dev/null 2>&1 && break
    DISPLAY=""
    sleep 0.1
done
[ -n "$DISPLAY" ] || cannot_start "XWayland did not start"
export DISPLAY

wtype -s 3600000 -k Shift_L 2>/dev/null &
session_pids+=($!)

"$@"
