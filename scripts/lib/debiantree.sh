#!/usr/bin/env bash
# Runs a command from this checkout inside a Debian tree of another release (trixie unless
# DEBIAN_SUITE says otherwise), made with debootstrap on first use and kept for the next runs.
# The checkout is mounted at /vorlex and is the working directory; /tmp is empty each time. The
# tree is entered by pivot_root in a mount namespace of its own rather than by chroot, so the
# command may create user namespaces (the headless sway session needs one). Needs root.
# The command sees a clean environment (PATH, HOME=/root, LANG=C.UTF-8, and CI when set).
#   scripts/lib/debiantree.sh COMMAND [ARGUMENTS...]
# DEBIAN_TREE (default /var/cache/vorlex-ci/debian-SUITE) is where the tree lives; a lock beside it
# keeps two runs out of each other's way.
set -euo pipefail
suite=${DEBIAN_SUITE:-trixie}
root=${DEBIAN_TREE:-/var/cache/vorlex-ci/debian-$suite}
checkout=$(cd "$(dirname "$0")/../.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
    echo "debiantree: needs root (debootstrap, mounts)" >&2
    exit 2
fi
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9

if [ ! -e "$root/.complete" ]; then
    command -v debootstrap >/dev/null ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
    # The archive this machine already installs from, which CI reaches too.
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    mirror=${mirror:-http://deb.debian.org/debian}
    echo "debiantree: making a $suite tree in $root from $mirror (a few minutes)"
    rm -rf "$root.new"
    debootstrap --variant=minbase "$suite" "$root.new" "$mirror" >"$root.log" 2>&1 || {
        tail -n 20 "$root.log" >&2
        exit 1
    }
    touch "$root.new/.complete"
    rm -rf "$root"
    mv "$root.new" "$root"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mkdir -p "$root/vorlex"

environment=(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb LANG=C.UTF-8)
[ -n "${CI:-}" ] && environment+=("CI=$CI")
# Everything mounted here goes when the namespace ends, the command's processes included.
# shellcheck disable=SC2016 # expanded by the inner shells
exec unshare --mount --propagation private --fork --pid -- bash -c '
    set -e
    root=$1 checkout=$2
    shift 2
    mount --rbind "$root" "$root"
    mount -t proc proc "$root/proc"
    for m in sys dev; do mount --rbind "/$m" "$root/$m"; done
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    mount --bind "$checkout" "$root/vorlex"
    cd "$root"
    mkdir -p .oldroot
    pivot_root . .oldroot
    exec /usr/sbin/chroot . /bin/sh -c "umount -l /.oldroot && cd /vorlex && exec env -i \"\$@\"" sh "$@"
' bash "$root" "$checkout" "${environment[@]}" "$@"
