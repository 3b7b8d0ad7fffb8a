#!/usr/bin/env bash
# How soon after another program takes the clipboard LibreOffice Writer pastes the new content rather
# than its own old text, with each of its X11 plugins (gtk3, gen): Writer copies "OLD" (it owns the
# clipboard) and then holds "DOC", selected; pasteprobe takes the clipboard with "NEW" and presses
# Ctrl+V DELAY ms later, and what Writer then holds is read back. One line per plugin and delay: how
# many runs pasted NEW, pasted Writer's own OLD, pasted nothing (the rest could not be read back).
# Needs libreoffice-writer, libreoffice-gtk3 and xclip; not part of CI.
#   bench/pastebound.sh       BUILD_DIR selects the build (default build); DELAYS and RUNS the runs
set -euo pipefail

self=$(realpath "$0")
cd "$(dirname "$self")/.."
build_dir=${BUILD_DIR:-build}
delays=${DELAYS:-0 10 20 30 50 75 100 150}
runs=${RUNS:-4}
cmake --build "$build_dir" --target pasteprobe >/dev/null
probe=$PWD/$build_dir/bench/pasteprobe

# shellcheck source=scripts/lib/xsession.sh
. scripts/lib/xsession.sh
office=""
cleanup() {
    [ -n "$office" ] && kill -- -"$office" 2>/dev/null
    xsession_stop
}
trap cleanup EXIT
xsession_start

echo "plugin delay_ms pasted_new pasted_old no_paste runs"
for plugin in gtk3 gen; do
    SAL_USE_VCLPLUGIN=$plugin setsid libreoffice --writer --norestore --nologo >/dev/null 2>&1 &
    office=$!
    window=""
    for _ in $(seq 120); do
        window=$(xdotool search --name 'LibreOffice Writer' 2>/dev/null | head -n1) && [ -n "$window" ] && break
        sleep 0.5
    done
    [ -n "$window" ] || { echo "pastebound: Writer ($plugin) did not start" >&2; exit 1; }
    sleep 3
    xdotool windowactivate --sync "$window"
    for delay in $delays; do
        new=0
        old=0
        none=0
        for _ in $(seq "$runs"); do
            xdotool key ctrl+a && xdotool type OLD && xdotool key ctrl+a && xdotool key ctrl+c
            xdotool key ctrl+a && xdotool type DOC && xdotool key ctrl+a
            sleep 0.5
            "$probe" "$delay" NEW
            xdotool key ctrl+a && xdotool key ctrl+c
            # Writer's copy may still be under way: read again until it serves one of the two.
            for _ in $(seq 30); do
                held=$(xclip -o -selection clipboard 2>/dev/null || true)
                [ "$held" = NEW ] && new=$((new + 1)) && break
                [ "$held" = OLD ] && old=$((old + 1)) && break
                [ "$held" = DOC ] && none=$((none + 1)) && break
                sleep 0.1
            done
        done
        echo "$plugin $delay $new $old $none $runs"
    done
    kill -- -"$office" 2>/dev/null
    wait "$office" 2>/dev/null || true
    office=""
done
