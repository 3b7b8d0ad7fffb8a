#!/usr/bin/env bash
# The whole program (vorlex-e2e) against clipboard owners that behave badly (clipboardowner), in a
# private session: for each owner, the owner's window has the keyboard and the layout
# hotkey is pressed there (the owner takes the clipboard again on the copy key); meanwhile an empty
# D-Bus call goes to Vorlex every 100 ms. Per row: the longest such call (how long the event loop was
# frozen), peak and final resident memory, and whether the next capture, from a well-behaved owner,
# worked. A fresh Vorlex for each row.
#   bench/clipboardowners.sh      BUILD_DIR selects the build (default build), VORLEX_BIN another
#                                 program to measure (an older vorlex-e2e), SECONDS_PER_ROW (20)
set -euo pipefail

self=$(realpath "$0")
cd "$(dirname "$self")/.."
build_dir=${BUILD_DIR:-build}
watch_s=${SECONDS_PER_ROW:-20}

if [ -z "${VORLEX_MEASURE_BUS:-}" ]; then
    cmake --build "$build_dir" -j"$(nproc)" --target vorlex-e2e clipboardowner >/dev/null
    VORLEX_MEASURE_BUS=1 exec dbus-run-session -- "$self"
fi

# shellcheck source=scripts/lib/xsession.sh
. scripts/lib/xsession.sh
vorlex_pid=""
owner_pid=""
cleanup() {
    [ -n "$owner_pid" ] && kill "$owner_pid" 2>/dev/null
    [ -n "$vorlex_pid" ] && kill "$vorlex_pid" 2>/dev/null
    xsession_stop
}
trap cleanup EXIT
xsession_start
program=${VORLEX_BIN:-$PWD/$build_dir/app/vorlex-e2e}
helper=$PWD/$build_dir/bench/clipboardowner
store=$XDG_CONFIG_HOME/VorlexMac/defaults.json
kib() { awk "/^$1:/ {print \$2}" "/proc/$vorlex_pid/status"; }
call() {
    dbus-send --session --print-reply --dest=org.vorlex.Vorlex /org/vorlex/Vorlex \
        org.vorlex.Vorlex.TranslateText string: >/dev/null
}
ms() { echo $(($(date +%s%N) / 1000000)); }
owner() { # starts the helper with these arguments, until it has the keyboard
    "$helper" "$@" >"$xsession_dir/owner.out" &
    owner_pid=$!
    for _ in $(seq 500); do grep -q ready "$xsession_dir/owner.out" && return; sleep 0.01; done
    echo "clipboardowners: the owner did not start" >&2
    exit 1
}
stop_owner() {
    kill "$owner_pid" 2>/dev/null || true # one that dies has gone already
    wait "$owner_pid" 2>/dev/null || true
    owner_pid=""
}

measure() { # NAME HELPER-ARGUMENTS...
    local name=$1
    shift
    rm -f "$store"
    "$program" >"$xsession_dir/vorlex.log" 2>&1 &
    vorlex_pid=$!
    for _ in $(seq 1000); do call 2>/dev/null && break; sleep 0.01; done
    owner "$@" --retake 1
    local longest=0 start now sent waited
    start=$(ms)
    xdotool key ctrl+shift+k
    while [ $(($(ms) - start)) -lt $((watch_s * 1000)) ]; do
        sent=$(ms)
        call || echo "clipboardowners: $name: a call failed after $(($(ms) - sent)) ms" >&2
        now=$(ms)
        waited=$((now - sent))
        [ "$waited" -gt "$longest" ] && longest=$waited
        sleep 0.1
    done
    local peak rss next=no
    peak=$(kib VmHWM)
    rss=$(kib VmRSS)
    stop_owner
    owner --copy akuo --retake 1
    xdotool key ctrl+shift+k
    for _ in $(seq 300); do grep -q '"originalText":"akuo"' "$store" 2>/dev/null && next=yes && break; sleep 0.01; done
    stop_owner
    kill "$vorlex_pid"
    wait "$vorlex_pid" 2>/dev/null || true
    vorlex_pid=""
    printf '%-34s %10s %10s %10s %6s\n' "$name" "$longest" "$peak" "$rss" "$next"
}

echo "Vorlex against badly behaved clipboard owners, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores"
printf '%-34s %10s %10s %10s %6s\n' "owner" "frozen_ms" "peak_KiB" "after_KiB" "next"
measure "well-behaved (1 KB)" --bytes 1000
measure "never answers" --answer never
measure "answers one piece per second" --answer slow --bytes 1000000
measure "dies in the middle" --answer die --bytes 1000000
measure "one 64 MiB property" --bytes $((64 << 20))
measure "one 200 MB property" --bytes 200000000
measure "200 MB by INCR" --answer incr --bytes 200000000
