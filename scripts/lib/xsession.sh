# Sourced by the test, bench and demo scripts: a private X server (Xvfb) with a window manager
# that has a tray (jwm), in a temporary folder that cleanup removes again.
# After xsession_start: DISPLAY, XDG_RUNTIME_DIR, HOME and XDG_CONFIG_HOME point at private places.

xsession_dir=""
xsession_xvfb_pid=""
xsession_wm_pid=""

xsession_stop() {
    [ -n "$xsession_wm_pid" ] && kill "$xsession_wm_pid" 2>/dev/null
    [ -n "$xsession_xvfb_pid" ] && kill "$xsession_xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    [ -n "$xsession_dir" ] && rm -rf "$xsession_dir"
    xsession_dir=""
}

xsession_start() {
    xsession_dir=$(mktemp -d)
    export XDG_RUNTIME_DIR="$xsession_dir/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    export QT_QPA_PLATFORM=xcb
    export HOME="$xsession_dir/home" XDG_CONFIG_HOME="$xsession_dir/home/.config"
    mkdir -p "$XDG_CONFIG_HOME"

    # -displayfd picks a free display number, so parallel runs never share one.
    Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp 9>"$xsession_dir/display" 2>"$xsession_dir/xvfb.log" &
    xsession_xvfb_pid=$!
    for _ in $(seq 400); do
        [ -s "$xsession_dir/display" ] && break
        sleep 0.05
    done
    if [ ! -s "$xsession_dir/display" ]; then
        echo "xsession: Xvfb did not start" >&2
        cat "$xsession_dir/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$xsession_dir/display")"

    cat >"$xsession_dir/jwmrc" <<'JWM'
<?xml version="1.0"?>
<JWM>
  <Tray x="0" y="-1" height="32" autohide="off"><Dock/><Clock/></Tray>
  <Desktops width="2" height="1"/>
  <FocusModel>click</FocusModel>
</JWM>
JWM
    jwm -f "$xsession_dir/jwmrc" 2>"$xsession_dir/jwm.log" &
    xsession_wm_pid=$!
    for _ in $(seq 400); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.05
    done
    echo "xsession: jwm did not start" >&2
    return 1
}
