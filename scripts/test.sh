#!/usr/bin/env bash
# Builds if needed, starts a private X server (Xvfb), a window manager with a tray (jwm) and a
# D-Bus session bus, runs every test suite with CTest, stops what it started, and exits with
# CTest's status. BUILD_DIR selects the build (default build); extra arguments go to ctest.
set -uo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
if [ ! -f "$build_dir/CMakeCache.txt" ] || [ -n "${FORCE_SETUP:-}" ]; then
    scripts/setup.sh || exit 1
else
    cmake --build "$build_dir" -j"$(nproc)" || exit 1
fi

workdir=$(mktemp -d)
xvfb_pid=""
wm_pid=""
cleanup() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export XDG_RUNTIME_DIR="$workdir/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
export HOME="$workdir/home" XDG_CONFIG_HOME="$workdir/home/.config"
mkdir -p "$XDG_CONFIG_HOME"

# -displayfd picks a free display number, so parallel runs never share one.
Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$workdir/display" 2>"$workdir/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$workdir/display" ] && break
    sleep 0.05
done
if [ ! -s "$workdir/display" ]; then
    echo "test: Xvfb did not start" >&2
    cat "$workdir/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$workdir/display")"

cat >"$workdir/jwmrc" <<'JWM'
<?xml version="1.0"?>
<JWM>
  <Tray x="0" y="-1" height="32" autohide="off"><Dock/><Clock/></Tray>
  <Desktops width="2" height="1"/>
  <FocusModel>click</FocusModel>
</JWM>
JWM
jwm -f "$workdir/jwmrc" 2>"$workdir/jwm.log" &
wm_pid=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done

dbus-run-session -- ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j2 "$@"
