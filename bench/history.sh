#!/usr/bin/env bash
# The history with large entries, measured on the whole program (vorlex-e2e) in a private session:
#   - idle RSS 2 s after start
#   - RSS after COUNT (default 50) layout conversions of SIZE (default 1000000) bytes each over
#     D-Bus, once the store is written, next to the store's size; and the peak RSS
#   - then a short conversion: how long until the store holds it (median and slowest of 10),
#     and RSS after those
#   - with a small store: the same delay (what a kill just after a result may lose)
#   - a restart with the large store (SIGTERM, then start again): one short result, then RSS and
#     peak RSS (the store is read, and written once in full)
#   - what a kill costs: KILLS (default 5) runs each on a quiet disk and under heavy disk load (dd
#     writing and flushing 300 MB after 300 MB beside it), conversions streaming in one after
#     another for 3 s, then SIGKILL: the results answered but not in the store
#
#   bench/history.sh          BUILD_DIR selects the build (default build)
set -euo pipefail

self=$(realpath "$0")
cd "$(dirname "$self")/.."
build_dir=${BUILD_DIR:-build}
count=${COUNT:-50}
size=${SIZE:-1000000}

if [ -z "${VORLEX_MEASURE_BUS:-}" ]; then
    cmake --build "$build_dir" -j"$(nproc)" --target vorlex-e2e busprobe >/dev/null
    VORLEX_MEASURE_BUS=1 exec dbus-run-session -- "$self"
fi

# shellcheck source=scripts/lib/xsession.sh
. scripts/lib/xsession.sh
vorlex_pid=""
cleanup() {
    [ -n "$vorlex_pid" ] && kill "$vorlex_pid" 2>/dev/null
    xsession_stop
}
trap cleanup EXIT
xsession_start
bin=$PWD/$build_dir
store=$XDG_CONFIG_HOME/VorlexMac/defaults.json
kib() { awk "/^$1:/ {print \$2}" "/proc/$vorlex_pid/status"; }
owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.vorlex.Vorlex | grep -q 'boolean true'
}
settled() { # until the store has not changed for 1.5 s
    local state=""
    until [ -n "$state" ] && [ "$state" = "$(sleep 1.5 && stat -c '%s %y' "$store")" ]; do
        state=$(stat -c '%s %y' "$store")
    done
}

"$bin/app/vorlex-e2e" >"$xsession_dir/vorlex.log" 2>&1 &
vorlex_pid=$!
for _ in $(seq 1000); do owned && break; sleep 0.01; done
sleep 2
idle=$(kib VmRSS)
small_store=$("$bin/bench/busprobe" saved 10 "$store")

"$bin/bench/busprobe" fill "$count" "$size" >/dev/null
settled
full=$(kib VmRSS)
full_peak=$(kib VmHWM)
bytes=$(stat -c %s "$store")
after=$("$bin/bench/busprobe" saved 10 "$store")
settled
later=$(kib VmRSS)

kill -TERM "$vorlex_pid"
wait "$vorlex_pid" || { echo "history: vorlex-e2e did not end cleanly on SIGTERM" >&2; exit 1; }
"$bin/app/vorlex-e2e" >>"$xsession_dir/vorlex.log" 2>&1 &
vorlex_pid=$!
for _ in $(seq 1000); do owned && break; sleep 0.01; done
sleep 2
restart_idle=$(kib VmRSS)
"$bin/bench/busprobe" saved 1 "$store" >/dev/null
settled
restarted=$(kib VmRSS)
restarted_peak=$(kib VmHWM)
kill -0 "$vorlex_pid" || { echo "history: vorlex-e2e ended early" >&2; exit 1; }

losses() { # load (0 or 1): the results lost in each of KILLS runs, and the rate they came at
    local load=$1 probe answered stored flood=""
    for _ in $(seq "${KILLS:-5}"); do
        kill "$vorlex_pid" 2>/dev/null || true
        wait "$vorlex_pid" || true
        rm -rf "$XDG_CONFIG_HOME/VorlexMac"
        "$bin/app/vorlex-e2e" >>"$xsession_dir/vorlex.log" 2>&1 &
        vorlex_pid=$!
        for _ in $(seq 1000); do owned && break; sleep 0.01; done
        if [ "$load" = 1 ]; then
            (while :; do dd if=/dev/zero of="$xsession_dir/load" bs=1M count=300 conv=fsync status=none; done) &
            flood=$!
            sleep 1
        fi
        "$bin/bench/busprobe" stream >"$xsession_dir/answered" &
        probe=$!
        sleep 3
        kill -KILL "$vorlex_pid"
        wait "$vorlex_pid" "$probe" || true
        if [ -n "$flood" ]; then
            kill "$flood" $(pgrep -P "$flood") || true
            wait "$flood" || true
            rm -f "$xsession_dir/load"
        fi
        answered=$(tail -n1 "$xsession_dir/answered")
        stored=$(sed -E 's/^[^"]*"translationHistory_v1":\[\{[^}]*"originalText":"stream ([0-9]+)".*/\1/' "$store")
        printf '%s (%s/s) ' "$((answered - stored))" "$((answered / 3))"
    done
}
quiet_losses=$(losses 0)
load_losses=$(losses 1)

json() { sed -E "s/.*\"$1\": ([0-9.-]+).*/\1/"; }
row() { printf '%-58s %12s  %s\n' "$@"; }
echo "Vorlex history measurements, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores"
row "idle RSS after 2 s, KiB" "$idle" ""
row "store after $count conversions of $size bytes, KiB" "$((bytes / 1024))" ""
row "RSS then, KiB" "$full" ""
row "  above idle, in store sizes" "$(awk -v a="$full" -v b="$idle" -v s="$bytes" 'BEGIN {printf "%.2f", (a - b) * 1024 / s}')" "<= 3"
row "peak RSS, KiB" "$full_peak" ""
row "a short result on disk after its answer, ms (median; max)" "$(json median_ms <<<"$after"); $(json max_ms <<<"$after")" ""
row "RSS after 10 short results, KiB" "$later" ""
row "  same with a small store, ms (median; max)" "$(json median_ms <<<"$small_store"); $(json max_ms <<<"$small_store")" "~100"
row "restarted with that store: idle RSS, KiB" "$restart_idle" ""
row "  after one short result, KiB; peak" "$restarted; $restarted_peak" ""
row "  peak above idle, in store sizes" "$(awk -v a="$restarted_peak" -v b="$restart_idle" -v s="$bytes" 'BEGIN {printf "%.2f", (a - b) * 1024 / s}')" ""
echo "results lost to SIGKILL (at the rate they came), quiet disk: $quiet_losses"
echo "  under heavy disk load: $load_losses"
