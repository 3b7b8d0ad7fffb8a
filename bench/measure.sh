#!/usr/bin/env bash
# Whole-program measurements, Vorlex next to the floor program (a bare Qt tray program, trayfloor)
# where one applies, in one private session: Xvfb + jwm + one session bus.
#   - start-up to tray icon shown and idle RSS after 2 s: RUNS (default 15) alternating pairs, medians;
#     the program as the autostart entry and D-Bus activation start it (libexec/vorlex/vorlex), and
#     the same start through the launcher (app/vorlex, bin/vorlex when installed)
#   - Ctrl+Shift+K to the layout popup exposed, with selected text in a focused text field
#     (PRESSES, default 10, median); the field copies at once, so the capture ends then
#   - CPU time Vorlex uses while KEYS (default 1000) unrelated keys are typed into another window,
#     next to keyfloor, a bare Qt program that only reads the same raw key events
#   - RSS after TRANSLATIONS (default 200) translations over D-Bus against a local server
#   - 1 MB and 2 MiB (the bound on any text taken in) texts sent to ConvertKeyboardLayout (busprobe
#     big): time to the answer (the popup holds the result), an empty call's latency right after,
#     the longest the program made any call wait meanwhile, and the history file's size; and 10 MB,
#     beyond the bound, which the popup answers with its error line alone
#   - a short conversion over D-Bus with a full history of 50 entries of 200 KB each
#   - a later launch's hand-over, `vorlex --hotkey layout` (the launcher) to its exit, next to a bare
#     `gdbus call` of the same method (RunHotkeyAction) in the same run: HANDOVERS (default 15)
#     alternating pairs, medians
#   - floods with no network: 1000, 2000 and 3000 TranslateText calls at once to a fresh vorlex-e2e
#     whose endpoint (https, a local port nobody listens on) fails; RSS once it is quiet again, above
#     its RSS after one such call (which loads the network and TLS libraries), and the peak
# The last four run vorlex-e2e (built with -DVORLEX_E2E_ENDPOINTS=ON), which takes its
# translation endpoints from the environment; there is no internet here.
#
#   bench/measure.sh          BUILD_DIR selects the build (default build); MEASURE_KEEP=DIR
#                             keeps the session's files (logs, server requests) in DIR
set -euo pipefail

self=$(realpath "$0")
cd "$(dirname "$self")/.."
build_dir=${BUILD_DIR:-build}
runs=${RUNS:-15}
translations=${TRANSLATIONS:-200}
presses=${PRESSES:-10}
keys=${KEYS:-1000}
handovers=${HANDOVERS:-15}

if [ -z "${VORLEX_MEASURE_BUS:-}" ]; then
    cmake -S . -B "$build_dir" -DVORLEX_E2E_ENDPOINTS=ON >/dev/null
    cmake --build "$build_dir" -j"$(nproc)" \
        --target vorlex vorlex-e2e trayfloor startupprobe desktopprobe keyfloor textfieldhelper busprobe >/dev/null
    VORLEX_MEASURE_BUS=1 exec dbus-run-session -- "$self"
fi

# shellcheck source=scripts/lib/xsession.sh
. scripts/lib/xsession.sh
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -n "${MEASURE_KEEP:-}" ] && cp -r "$xsession_dir" "$MEASURE_KEEP"
    xsession_stop
}
trap cleanup EXIT
xsession_start
work=$xsession_dir
bin=$PWD/$build_dir

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
json() { sed -E "s/.*\"$1\": ([0-9.-]+).*/\1/"; } # field of a one-line JSON object
rss() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
wait_for() { # tries command...: polls every 10 ms
    local tries=$1
    shift
    for _ in $(seq "$tries"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.01
    done
    echo "measure: timed out waiting for: $*" >&2
    return 1
}

# ---- start-up and idle memory ---------------------------------------------------------------
# One run each first, not counted: it fills the file cache.
"$bin/bench/startupprobe" 500 "$bin/bench/trayfloor" >/dev/null
"$bin/bench/startupprobe" 500 "$bin/app/vorlex" >/dev/null
floor_runs=""
vorlex_runs=""
launcher_runs=""
for _ in $(seq "$runs"); do
    floor_runs+=$("$bin/bench/startupprobe" 2000 "$bin/bench/trayfloor")$'\n'
    vorlex_runs+=$("$bin/bench/startupprobe" 2000 "$bin/libexec/vorlex/vorlex")$'\n'
    launcher_runs+=$("$bin/bench/startupprobe" 300 "$bin/app/vorlex")$'\n'
done
floor_ms=$(grep . <<<"$floor_runs" | json shown_ms | median)
floor_kib=$(grep . <<<"$floor_runs" | json rss_kib | median)
vorlex_ms=$(grep . <<<"$vorlex_runs" | json shown_ms | median)
vorlex_kib=$(grep . <<<"$vorlex_runs" | json rss_kib | median)
launcher_ms=$(grep . <<<"$launcher_runs" | json shown_ms | median)

# ---- a running vorlex-e2e, a local translation server, a focused text field -----------------
# Answers /translate_a/single like Google and appends each text to the log after replying.
cat >"$work/server.py" <<'PY'
import json, sys, urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

class Google(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        text = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query).get("q", [""])[0]
        body = json.dumps([[["שלום", text, None, None, 10]], None, "en"], ensure_ascii=False).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()
        with open(sys.argv[2], "a") as log:
            print(text, file=log)

    def log_message(self, *args):
        pass

server = ThreadingHTTPServer(("127.0.0.1", 0), Google)  # Qt may open a second connection
with open(sys.argv[1], "w") as port:
    print(server.server_address[1], file=port)
server.serve_forever()
PY
touch "$work/requests"
/usr/bin/python3 "$work/server.py" "$work/port" "$work/requests" &
pids+=($!)
wait_for 500 test -s "$work/port"

"$bin/tests/textfieldhelper" --text "hello world" --select >"$work/field" &
pids+=($!)
wait_for 1000 grep -q '^ready' "$work/field"
field_window=$(awk '/^ready/ {print $2; exit}' "$work/field")
eval "$(xdotool getwindowgeometry --shell "$field_window" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
click_x=$((X + WIDTH / 2))
click_y=$((Y + HEIGHT / 2))

VORLEX_E2E_GOOGLE_URL="http://127.0.0.1:$(cat "$work/port")" "$bin/app/vorlex-e2e" >"$work/vorlex.log" 2>&1 &
vorlex_pid=$!
pids+=("$vorlex_pid")
owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.vorlex.Vorlex | grep -q 'boolean true'
}
wait_for 1000 owned
sleep 2 # idle, like after a log-in

# ---- hotkey to layout popup -----------------------------------------------------------------
hotkey=$("$bin/bench/desktopprobe" hotkey "$vorlex_pid" "$presses" "$click_x" "$click_y")

# ---- CPU time while typing elsewhere --------------------------------------------------------
"$bin/bench/keyfloor" &
keyfloor_pid=$!
pids+=("$keyfloor_pid")
sleep 0.5
typing=$("$bin/bench/desktopprobe" type "$keys" "$vorlex_pid" "$keyfloor_pid")
kill "$keyfloor_pid"

# ---- a later launch's hand-over -------------------------------------------------------------
# Wall time from start to exit, in microseconds; both ask the running instance for the same action
# (a layout popup of the field's text), which it runs after answering.
elapsed_us() {
    local start
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    echo $((($(date +%s%N) - start) / 1000))
}
gdbus_runs=""
handover_runs=""
if command -v gdbus >/dev/null; then
    for _ in $(seq "$handovers"); do
        gdbus_runs+=$(elapsed_us gdbus call --session --dest org.vorlex.Vorlex --object-path /org/vorlex/Vorlex \
            --method org.vorlex.Vorlex.RunHotkeyAction layout)$'\n'
        handover_runs+=$(elapsed_us "$bin/app/vorlex" --hotkey layout)$'\n'
        sleep 0.3 # the popup of the action before has settled
    done
fi
ms_median() { grep . | median | awk '{printf "%.1f", $1 / 1000}'; }
gdbus_ms=$(ms_median <<<"${gdbus_runs:-0}")
handover_ms=$(ms_median <<<"${handover_runs:-0}")

# ---- memory over many translations ----------------------------------------------------------
answered_beyond() { [ "$(wc -l <"$work/requests")" -gt "$1" ]; }
translate() { # n: one distinct text, and wait until the server has answered it
    local before
    before=$(wc -l <"$work/requests")
    dbus-send --session --type=method_call --dest=org.vorlex.Vorlex /org/vorlex/Vorlex \
        org.vorlex.Vorlex.TranslateText "string:measure text number $1"
    wait_for 500 answered_beyond "$before"
}
early=5
for n in $(seq "$early"); do translate "$n"; done
sleep 0.5
rss_early=$(rss "$vorlex_pid")
for n in $(seq $((early + 1)) "$translations"); do translate "$n"; done
sleep 0.5
rss_late=$(rss "$vorlex_pid")

# ---- big selections, and a full history of large entries ------------------------------------
history_file=$XDG_CONFIG_HOME/VorlexMac/defaults.json
history_state() { stat -c '%s %y' "$history_file" 2>/dev/null || echo none; }
# Waits until the background writer has replaced the history file (its state was $1; at most
# 60 s) and then left it alone for 1.5 s; prints its size.
history_after() {
    local state
    for _ in $(seq 600); do
        state=$(history_state)
        [ "$state" != "$1" ] && break
        sleep 0.1
    done
    until [ "$state" = "$(sleep 1.5 && history_state)" ]; do state=$(history_state); done
    stat -c %s "$history_file"
}
before=$(history_state)
big_1m=$("$bin/bench/busprobe" big 1000000)
history_1m=$(history_after "$before")
before=$(history_state)
big_2m=$("$bin/bench/busprobe" big 2097152)
history_2m=$(history_after "$before")
big_10m=$("$bin/bench/busprobe" big 10000000)
before=$(history_state)
"$bin/bench/busprobe" fill 50 200000 >/dev/null
history_full=$(history_after "$before")
small_full=$("$bin/bench/busprobe" small 20)
kill -0 "$vorlex_pid" || { echo "measure: vorlex-e2e ended early" >&2; exit 1; }
kill "$vorlex_pid"
wait "$vorlex_pid" || true

# ---- floods of translations with no network -------------------------------------------------
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
kib() { awk "/^$2:/ {print \$2}" "/proc/$1/status"; }
flood_rows=""
for calls in 1000 2000 3000; do
    VORLEX_E2E_GOOGLE_URL=https://127.0.0.1:1 "$bin/app/vorlex-e2e" >>"$work/flood.log" 2>&1 &
    flood_pid=$!
    pids+=("$flood_pid")
    wait_for 1000 owned
    "$bin/bench/busprobe" flood 1 >/dev/null
    sleep 2
    one=$(kib "$flood_pid" VmRSS)
    "$bin/bench/busprobe" flood "$calls" >/dev/null
    ticks=-1
    until [ "$(cpu_ticks "$flood_pid")" = "$ticks" ]; do ticks=$(cpu_ticks "$flood_pid") && sleep 1; done
    sleep 1.5 # then the program gives back what the replies took
    flood_rows+="$calls $(($(kib "$flood_pid" VmRSS) - one)) $(($(kib "$flood_pid" VmHWM) - one))"$'\n'
    kill "$flood_pid"
    wait "$flood_pid" || true
done

# ---- the table ------------------------------------------------------------------------------
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else printf "-"}'; }
row() { printf '%-48s %8s %12s %6s  %s\n' "$@"; }
exposed=$(json exposed_ms <<<"$hotkey")
echo "Vorlex whole-program measurements, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores"
row "measure" "floor" "vorlex" "ratio" "goal"
row "start-up to tray shown, ms (median of $runs)" "$floor_ms" "$vorlex_ms" "$(ratio "$vorlex_ms" "$floor_ms")" "ratio <= 1.15"
row "  started through the launcher, ms" "$floor_ms" "$launcher_ms" "$(ratio "$launcher_ms" "$floor_ms")" ""
row "idle RSS after 2 s, KiB (median of $runs)" "$floor_kib" "$vorlex_kib" "$(ratio "$vorlex_kib" "$floor_kib")" "ratio <= 1.15"
row "RSS after $early translations, KiB" "-" "$rss_early" "-" ""
row "RSS after $translations translations, KiB" "-" "$rss_late" "-" ""
row "  growth, KiB" "-" "$((rss_late - rss_early))" "-" "<= 2048"
row "Ctrl+Shift+K to layout popup exposed, ms" "-" "$exposed" "-" "< 80 (median of $presses)"
row "  of which to the field's copy, ms" "-" "$(json copied_ms <<<"$hotkey")" "-" ""
row "  to the popup mapped, ms" "-" "$(json mapped_ms <<<"$hotkey")" "-" ""
row "  range, ms; first press (creates the window)" "-" \
    "$(json min_ms <<<"$hotkey")-$(json max_ms <<<"$hotkey"); $(json first_ms <<<"$hotkey")" "-" ""
typing_vorlex=$(head -n1 <<<"$typing")
typing_floor=$(sed -n 2p <<<"$typing")
cpu=$(json cpu_ms <<<"$typing_vorlex")
cpu_floor=$(json cpu_ms <<<"$typing_floor")
row "CPU while $keys keys are typed elsewhere, ms" "$cpu_floor" "$cpu" "$(ratio "$cpu" "$cpu_floor")" "< 50"
row "  same, from thread run times, ms" "$(json cpu_run_ms <<<"$typing_floor")" \
    "$(json cpu_run_ms <<<"$typing_vorlex")" "-" "(floor: keyfloor)"
mib() { awk -v b="$1" 'BEGIN {printf "%.1f", b / 1048576}'; }
for size in 1m 2m; do
    result=big_$size
    history=history_$size
    answer_goal="<= 1000"
    stall_goal=""
    [ "$size" = 2m ] && answer_goal="" && stall_goal="<= 2000"
    label="${size%m} MB"
    [ "$size" = 2m ] && label="2 MiB (the bound)"
    row "$label to ConvertKeyboardLayout answered, ms" "-" "$(json reply_ms <<<"${!result}")" "-" "$answer_goal"
    row "  next call answered after, ms" "-" "$(json next_ms <<<"${!result}")" "-" "< 50"
    row "  longest any call waited meanwhile, ms" "-" "$(json stall_ms <<<"${!result}")" "-" "$stall_goal"
    row "  history file, MB" "-" "$(mib "${!history}")" "-" ""
done
row "10 MB (beyond the bound): the error shown, ms" "-" "$(json reply_ms <<<"$big_10m")" "-" ""
row "  longest any call waited meanwhile, ms" "-" "$(json stall_ms <<<"$big_10m")" "-" ""
while read -r calls after peak; do
    row "$calls TranslateText at once, no network: KiB" "-" "$after" "-" "near 0 (above one call)"
    row "  peak meanwhile, KiB" "-" "$peak" "-" ""
done <<<"${flood_rows%$'\n'}"
row "vorlex --hotkey hands over, ms (median of $handovers)" "$gdbus_ms" "$handover_ms" \
    "$(ratio "$handover_ms" "$gdbus_ms")" "ratio <= 2 (floor: gdbus call)"
row "short conversion, history 50 x 200 KB, ms" "-" "$(json median_ms <<<"$small_full")" "-" "(median of 20)"
row "  slowest of the 20, ms; history file, MB" "-" \
    "$(json max_ms <<<"$small_full"); $(mib "$history_full")" "-" ""
