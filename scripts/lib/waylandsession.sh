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
