#!/usr/bin/env bash
# Runs a command inside a private headless GNOME-style Wayland session: mutter (GNOME's compositor)
# with XWayland and a D-Bus session bus of its own, where mutter offers its remote-desktop service.
# The command sees WAYLAND_DISPLAY, DISPLAY and XAUTHORITY (XWayland), XDG_SESSION_TYPE=wayland and
# XDG_CURRENT_DESKTOP=GNOME. Exits with the command's status; 77 (skipped) when the session cannot
# start, except on CI (CI=true), where that is a failure.
#   scripts/lib/muttersession.sh COMMAND [ARGUMENTS...]
set -u

session_name=muttersession
. "$(dirname "$0")/waylandsession.sh"

if [ -z "${VORLEX_MUTTERSESSION:-}" ]; then
    require_tools mutter dbus-run-session xprop
    # The session's bus starts services (the accessibility bus among them) without the caller's X
    # display: they would announce themselves there, to programs outside this session.
    exec env -u DISPLAY -u XAUTHORITY VORLEX_MUTTERSESSION=1 dbus-run-session -- "$0" "$@"
fi

start_session_dir
unset WAYLAND_DISPLAY DISPLAY XAUTHORITY
# mutter starts XWayland only where X's socket folder exists; nothing may have made it yet.
mkdir -p -m 1777 /tmp/.X11-unix
# mutter tells only the command it starts where XWayland is: that command writes it down and waits.
mutter --headless --wayland --virtual-monitor 1280x720 -- \
    sh -c 'echo $$ >"$0.pid"; env >"$0.tmp" && mv "$0.tmp" "$0"; exec sleep infinity' "$dir/holder" \
    >"$dir/mutter.log" 2>&1 &
session_pids+=($!)

for _ in $(seq 200); do
    [ -s "$dir/holder" ] && break
    sleep 0.05
done
[ -s "$dir/holder.pid" ] && session_pids+=("$(cat "$dir/holder.pid")")
for variable in WAYLAND_DISPLAY DISPLAY XAUTHORITY; do
    value=$(grep "^$variable=" "$dir/holder" 2>/dev/null | cut -d= -f2-)
    if [ -z "$value" ]; then
        tail -n 20 "$dir/mutter.log" >&2
        cannot_start "mutter did not start (no $variable)"
    fi
    export "$variable=$value"
done
for _ in $(seq 200); do
    xprop -root >/dev/null 2>&1 && break
    sleep 0.05
done
xprop -root >/dev/null 2>&1 || cannot_start "XWayland did not start"
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME

"$@"
