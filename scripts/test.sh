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

. scripts/lib/xsession.sh
trap xsession_stop EXIT
trap 'exit 130' INT TERM
xsession_start || exit 1

export VORLEX_TEST_OUTPUT=${VORLEX_TEST_OUTPUT:-$PWD/$build_dir/test-output}
dbus-run-session -- ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j2 "$@"
