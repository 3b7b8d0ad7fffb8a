#!/usr/bin/env bash
# Start-up to tray icon shown and idle memory, Vorlex next to the floor program (a bare Qt tray
# program), under a private Xvfb + jwm. RUNS (default 5) alternating runs; medians and ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
runs=${RUNS:-5}
cmake --build "$build_dir" -j"$(nproc)" --target vorlex trayfloor startupprobe >/dev/null

. scripts/lib/xsession.sh
trap xsession_stop EXIT
xsession_start

measure() { # program -> lines of "shown_ms rss_kib"
    for _ in $(seq "$runs"); do
        dbus-run-session -- "$build_dir/bench/startupprobe" 2000 "$@" |
            sed -E 's/.*"shown_ms": ([0-9.-]+), "rss_kib": ([0-9-]+).*/\1 \2/'
    done
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

floor=$(measure "$PWD/$build_dir/bench/trayfloor")
vorlex=$(measure "$PWD/$build_dir/app/vorlex")
floor_ms=$(cut -d' ' -f1 <<<"$floor" | median)
floor_kib=$(cut -d' ' -f2 <<<"$floor" | median)
vorlex_ms=$(cut -d' ' -f1 <<<"$vorlex" | median)
vorlex_kib=$(cut -d' ' -f2 <<<"$vorlex" | median)
printf '%-22s %10s %10s %8s\n' "measure (median of $runs)" floor vorlex ratio
printf '%-22s %10.1f %10.1f %8.2f\n' "start-up to tray (ms)" "$floor_ms" "$vorlex_ms" "$(awk -v a="$vorlex_ms" -v b="$floor_ms" 'BEGIN {print a / b}')"
printf '%-22s %10d %10d %8.2f\n' "idle RSS after 2 s (KiB)" "$floor_kib" "$vorlex_kib" "$(awk -v a="$vorlex_kib" -v b="$floor_kib" 'BEGIN {print a / b}')"
