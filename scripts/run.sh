#!/usr/bin/env bash
# Starts Vorlex (building it first if needed). The one optional argument is passed on:
# "--settings", a text to translate, or a vorlex: URL.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
    echo "run: no X display (DISPLAY is not set); Vorlex needs an X11 session, or XWayland in a Wayland one" >&2
    exit 2
fi
build_dir=${BUILD_DIR:-build}
[ -x "$build_dir/app/vorlex" ] || scripts/setup.sh
exec "$build_dir/app/vorlex" "$@"
