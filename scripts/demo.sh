#!/usr/bin/env bash
# shellcheck disable=SC2317 # helpers below run indirectly, through wait_for and trap
# Shows Vorlex at work on a machine without a desktop: starts a private X server (Xvfb), a window
# manager with a tray (jwm) and a session bus, runs Vorlex on a sample Hebrew text in each popup
# mode (translation, keyboard layout, date and time), opens the tray menu, shows a translation
# error with the server down, opens the settings window (default hotkeys: Ctrl+Shift+T and
# Ctrl+Shift+K), and saves a screenshot of each.
#
#   scripts/demo.sh [FOLDER]     screenshots go to FOLDER (default build/demo)
#
# No internet is needed: the translation comes from a small local server that answers like the
# Google endpoint, through vorlex-e2e (the program built with -DVORLEX_E2E_ENDPOINTS=ON, which
# takes its endpoints from the environment). BUILD_DIR selects the build (default build).
# Exits 0 when every screenshot was taken, 1 otherwise, and says which step failed.
set -uo pipefail

self=$(realpath "$0")
repo=$(dirname "$(dirname "$self")")
out_dir=$(realpath -m "${1:-$repo/${BUILD_DIR:-build}/demo}")

cd "$repo" || exit 1
build_dir=${BUILD_DIR:-build}
program="$build_dir/app/vorlex-e2e"

say() { echo "demo: $*"; }
fail() { echo "demo: $*" >&2; }

# ---- build (once, before the session bus below) ---------------------------------------------
if [ -z "${VORLEX_DEMO_BUS:-}" ]; then
    missing_tools=()
    for tool in Xvfb jwm xdotool xprop import dbus-run-session dbus-send python3 cmake; do
        command -v "$tool" >/dev/null || missing_tools+=("$tool")
    done
    if [ ${#missing_tools[@]} -gt 0 ] || [ ! -f "$build_dir/CMakeCache.txt" ]; then
        say "installing and building first (scripts/setup.sh)"
        BUILD_DIR=$build_dir CMAKE_ARGS="${CMAKE_ARGS:-} -DVORLEX_E2E_ENDPOINTS=ON" scripts/setup.sh || exit 1
    fi
    cmake -S . -B "$build_dir" -DVORLEX_E2E_ENDPOINTS=ON >/dev/null || exit 1
    say "building vorlex-e2e in $build_dir"
    cmake --build "$build_dir" --target vorlex-e2e -j"$(nproc)" >/dev/null || {
        fail "the build failed; run: cmake --build $build_dir --target vorlex-e2e"
        exit 1
    }

    # One session bus for the whole demo; dbus-run-session stops it when the script ends.
    VORLEX_DEMO_BUS=1 exec dbus-run-session -- "$self" "$out_dir"
fi

mkdir -p "$out_dir" || exit 1
rm -f "$out_dir"/[0-9]-*.png # only what an earlier run left; the folder may hold other files

# ---- session: X server, window manager, translation server, Vorlex --------------------------
# shellcheck source=scripts/lib/xsession.sh
. scripts/lib/xsession.sh
server_pid=""
vorlex_pid=""
cleanup() {
    [ -n "$vorlex_pid" ] && kill "$vorlex_pid" 2>/dev/null
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    xsession_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM
xsession_start || exit 1
work="$xsession_dir" # removed again by xsession_stop

# Answers /translate_a/single like Google: [[[translation, original, null, null, 10]], null, detected].
cat >"$work/server.py" <<'PY'
import json, sys, urllib.parse
from http.server import BaseHTTPRequestHandler, HTTPServer

known = {"שלום עולם, מה שלומך היום?": "Hello world, how are you today?"}

class Google(BaseHTTPRequestHandler):
    def do_GET(self):
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
        text = query.get("q", [""])[0]
        hebrew = any("\u05d0" <= c <= "\u05ea" for c in text)
        reply = [[[known.get(text, text), text, None, None, 10]], None, "iw" if hebrew else "en"]
        body = json.dumps(reply, ensure_ascii=False).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        with open(sys.argv[2], "a") as log:
            print(text, file=log)

    def log_message(self, *args):
        pass

server = HTTPServer(("127.0.0.1", 0), Google)
with open(sys.argv[1], "w") as port:
    print(server.server_address[1], file=port)
server.serve_forever()
PY
python3 "$work/server.py" "$work/port" "$work/requests" &
server_pid=$!
for _ in $(seq 100); do
    [ -s "$work/port" ] && break
    sleep 0.05
done
[ -s "$work/port" ] || { fail "the local translation server did not start"; exit 1; }
touch "$work/requests"

# Helpers over the windows of the program (WM_CLASS "Vorlex").
vorlex_windows() { xdotool search --onlyvisible --class '^Vorlex$' 2>/dev/null; }
geometry() { # id -> "x y width height"
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    echo "${X:-0} ${Y:-0} ${WIDTH:-0} ${HEIGHT:-0}"
}
popup_window() { # the visible window at least 150 pixels wide: the popup
    local id x y w h
    for id in $(vorlex_windows); do
        read -r x y w h <<<"$(geometry "$id")"
        [ "$w" -ge 150 ] && { echo "$id"; return 0; }
    done
    return 1
}
tray_icon_window() { # a small window inside jwm's tray at the bottom of the screen
    local id x y w h
    for id in $(vorlex_windows); do
        read -r x y w h <<<"$(geometry "$id")"
        [ "$w" -le 64 ] && [ "$h" -le 64 ] && [ "$y" -ge 700 ] && { echo "$id"; return 0; }
    done
    return 1
}
wait_for() { # seconds command... : polls every 0.1 s
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        kill -0 "$vorlex_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
call() { # method text: the program's D-Bus interface
    dbus-send --session --type=method_call --dest=org.vorlex.Vorlex /org/vorlex/Vorlex \
        "org.vorlex.Vorlex.$1" "string:$2"
}
bus_name_owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.vorlex.Vorlex | grep -q 'boolean true'
}
request_count() { wc -l <"$work/requests"; }
shoot() { # name window-id-or-root
    if import -window "$2" "$out_dir/$1.png" 2>/dev/null; then
        say "saved $out_dir/$1.png"
        shots_taken=$((shots_taken + 1))
    else
        fail "could not take the screenshot $1"
    fi
}

shots_taken=0
shots_wanted=0
text="שלום עולם, מה שלומך היום?"
typed_in_english_layout="akuo guko nv akunl vhuo" # the same words typed with the English layout active

# The popup opens next to the pointer.
xdotool mousemove 560 300

# 1. Translation: `vorlex TEXT` opens the translation popup 0.1 s after the start.
shots_wanted=$((shots_wanted + 2))
say "starting vorlex-e2e \"$text\" against the local server on port $(cat "$work/port")"
VORLEX_E2E_GOOGLE_URL="http://127.0.0.1:$(cat "$work/port")" VORLEX_E2E_IDLE_TIMEOUT_MS=5000 \
    "$program" "$text" >"$work/vorlex.log" 2>&1 &
vorlex_pid=$!
if ! wait_for 15 popup_window; then
    fail "step 1 (translation): no popup appeared within 15 s"
    kill -0 "$vorlex_pid" 2>/dev/null || { fail "vorlex-e2e ended:"; cat "$work/vorlex.log" >&2; exit 1; }
else
    wait_for 10 test "$(request_count)" -ge 1 || fail "step 1 (translation): the server was never asked"
    sleep 0.7 # let the reply reach the view
    shoot 1-translation "$(popup_window)"
    shoot 1-translation-screen root
fi
wait_for 10 bus_name_owned || fail "vorlex-e2e never took the name org.vorlex.Vorlex on the session bus"

# 2. Keyboard layout: text typed with the wrong layout, sent over D-Bus like a desktop shortcut.
shots_wanted=$((shots_wanted + 1))
if call ConvertKeyboardLayout "$typed_in_english_layout" 2>"$work/call.log" && wait_for 10 popup_window; then
    sleep 0.7
    shoot 2-layout "$(popup_window)"
else
    fail "step 2 (keyboard layout): ConvertKeyboardLayout did not show the popup: $(cat "$work/call.log")"
fi

# 3. Date and time: the tray menu's fourth item, "תאריך ושעה". Nothing is selected, so the popup
# reads the current time. The open menu is worth a screenshot on the way.
shots_wanted=$((shots_wanted + 2))
icon=$(tray_icon_window)
if [ -z "$icon" ]; then
    fail "step 3 (date and time): no tray icon found in jwm's tray"
else
    windows_before=$(vorlex_windows)
    new_window() { # a visible window that was not there before the click: the menu
        local id
        for id in $(vorlex_windows); do
            grep -qx "$id" <<<"$windows_before" || { echo "$id"; return 0; }
        done
        return 1
    }
    read -r x y w h <<<"$(geometry "$icon")"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 3
    if wait_for 5 new_window; then
        sleep 0.3
        shoot 3-menu root
        read -r _ _ _ menu_height <<<"$(geometry "$(new_window)")"
    fi
    # Four actions, settings and quit make a menu well over 100 pixels high; in a shorter one the
    # fourth row is not "תאריך ושעה" (and might be quit).
    if [ -z "${menu_height:-}" ]; then
        fail "step 3 (date and time): the tray menu did not open on a right click"
    elif [ "$menu_height" -lt 100 ]; then
        xdotool key Escape
        fail "step 3 (date and time): the tray menu is too short to hold \"תאריך ושעה\" ($menu_height pixels)"
    else
        xdotool key Down Down Down Down Return
        if wait_for 5 popup_window; then
            sleep 1 # the capture of the selection comes first (0.3 s), then the popup fills
            shoot 3-datetime "$(popup_window)"
        else
            fail "step 3 (date and time): the menu item did not show the popup"
        fi
    fi
fi

# 4. An error in Qt's own words, from its Hebrew catalogue: the translation server is down, so the
# connection is refused ("שגיאה: חיבור נדחה").
shots_wanted=$((shots_wanted + 1))
kill "$server_pid" 2>/dev/null
wait "$server_pid" 2>/dev/null
server_pid=""
if call TranslateText "שלום" 2>"$work/call.log" && wait_for 10 popup_window; then
    sleep 1 # the refusal comes at once; let the popup show it
    shoot 4-error "$(popup_window)"
else
    fail "step 4 (error): TranslateText did not show the popup: $(cat "$work/call.log")"
fi

# 5. The settings window, as a second launch with --settings asks for it; no settings file yet, so
# the hotkey fields show the defaults. The popup of step 4 stays above other windows: a click
# outside it closes it first.
shots_wanted=$((shots_wanted + 1))
settings_window() { # its title names it
    local id
    id=$(xdotool search --onlyvisible --name '^הגדרות — Vorlex$' 2>/dev/null | head -n1)
    [ -n "$id" ] && echo "$id"
}
no_popup() { ! popup_window; }
xdotool mousemove 1200 100 click 1
wait_for 5 no_popup || fail "step 5 (settings): the popup stayed open after a click outside it"
if call HandleArgument --settings 2>"$work/call.log" && wait_for 10 settings_window; then
    sleep 0.5 # mapped, activated and painted
    shoot 5-settings "$(settings_window)"
else
    fail "step 5 (settings): HandleArgument --settings did not open the settings window: $(cat "$work/call.log")"
fi

if [ "$shots_taken" -eq "$shots_wanted" ]; then
    say "all $shots_taken screenshots are in $out_dir"
    exit 0
fi
fail "$shots_taken of $shots_wanted screenshots taken (in $out_dir); the messages above say what was missing"
exit 1
