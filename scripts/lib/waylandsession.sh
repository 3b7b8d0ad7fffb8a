# Sourced by the headless Wayland session scripts: how they give up, and the tools they need.
# The caller sets session_name first.

# 77 (skipped) where the session cannot start, except on CI (CI=true), where that is a failure.
cannot_start() {
    echo "$session_name: skipped, the Wayland session cannot start: $1" >&2
    [ "${CI:-}" = true ] && exit 1
    exit 77
}

require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || cannot_start "$tool is not installed (scripts/setup.sh installs it)"
    done
}

# A private folder holding the session's runtime directory. When the script ends, the processes
# listed in session_pids are stopped and the folder goes.
session_pids=()
start_session_dir() {
    dir=$(mktemp -d)
    trap 'kill "${session_pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
    export XDG_RUNTIME_DIR="$dir/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}
