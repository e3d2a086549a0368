#!/usr/bin/env bash
# check-root.sh TELVOR.deb: installs the package into a fresh Debian 12 root (debootstrap
# minbase, with a desktop's menu and MIME caches), tries its programs there without a display,
# purges it and checks that nothing but the user's files is left. Needs root and the mirror of
# /etc/apt (TELVOR_DEBIAN_MIRROR names another). Prints each step and the time it took.
set -euo pipefail

[ $# = 1 ] && [ -f "$1" ] || { echo "usage: check-root.sh TELVOR.deb" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "check-root.sh: needs root (debootstrap, chroot)" >&2; exit 2; }
deb=$(realpath "$1")
start=$SECONDS
mirror=${TELVOR_DEBIAN_MIRROR:-$(sed -n 's/^URIs: *\([^ ]*debian\)$/\1/p' \
    /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)}
mirror=${mirror:-http://deb.debian.org/debian}

work=$(mktemp -d "${TMPDIR:-/tmp}/telvor-root.XXXXXX")
root=$work/root
cleanup() {
    if mountpoint -q "$root/proc" 2>/dev/null; then umount "$root/proc"; fi
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

step() { echo "check-root: $* ($((SECONDS - start)) s)"; }
fail() {
    echo "check-root: FAILED: $*" >&2
    exit 1
}
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
# apt-get in the root, its output in the work folder's apt.log, shown when it fails.
apt_root() {
    in_root env DEBIAN_FRONTEND=noninteractive apt-get -y "$@" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; fail "apt-get $*"; }
}
# Every path in the root but the ones that change on their own (package lists, logs, caches).
snapshot() {
    (cd "$root" && find . -xdev \
        \( -path ./proc -o -path ./tmp -o -path ./var/cache -o -path ./var/log \
           -o -path ./var/lib/apt -o -path ./var/lib/dpkg \) -prune -o -print) | sort
}

step "debootstrap bookworm from $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -20 "$work/debootstrap.log"; fail "debootstrap"; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
in_root useradd --create-home surveyor

# The package's dependencies first, and what a desktop brings (its menu cache), so that the
# snapshot holds all but Telvor's own files.
depends=$(dpkg-deb -f "$deb" Depends Recommends | sed 's/^[A-Za-z-]*: //; s/([^)]*)//g; s/|[^,]*//g' |
    tr ',' '\n' | tr -d ' ' | grep -v '^$')
step "installing the dependencies: ${depends//$'\n'/ }"
apt_root update
# shellcheck disable=SC2086 # one package a word
apt_root install $depends desktop-file-utils
snapshot >"$work/before"

step "installing $(basename "$deb")"
cp "$deb" "$root/tmp/telvor.deb"
apt_root install /tmp/telvor.deb
new=$(sed -n '/^The following NEW packages/,/^[^ ]/p' "$work/apt.log" | sed 1d | grep '^ ' | tr -s ' ')
[ "$new" = " telvor" ] || fail "installing it pulled in packages its Depends do not name:$new"

version=$(dpkg-deb -f "$deb" Version)
for program in telvor telvor-cli telvor-sim; do
    [ "$(in_root sh -c "command -v $program")" = "/usr/bin/$program" ] || fail "$program is not on PATH"
done
for path in $(dpkg-deb -c "$deb" | awk '$6 ~ /^\.\/usr\/bin\/./ { print substr($6, 2) }'); do
    [ -f "$root/usr/share/man/man1/$(basename "$path").1.gz" ] || fail "$path has no man page"
done
for file in /lib/udev/rules.d/70-telvor.rules /lib/systemd/system/telvor-log@.service \
    /lib/systemd/system/telvor-server@.service; do
    [ -f "$root$file" ] || fail "$file is not installed"
done
[ "$(in_root telvor-cli --version)" = "telvor-cli $version" ] || fail "telvor-cli --version"
in_root telvor-sim --help >/dev/null || fail "telvor-sim --help"
# No DISPLAY, no platform plugin named: --help must not need the window system.
in_root telvor --help >/dev/null || fail "telvor --help without a display"
in_root desktop-file-validate /usr/share/applications/telvor.desktop \
    /usr/share/applications/telvor-script.desktop || fail "desktop-file-validate"
in_root grep -q "^application/x-telvor-raw=.*telvor.desktop" /usr/share/applications/mimeinfo.cache ||
    fail "the menu cache does not open .vxr files with telvor.desktop"
[ -f "$root/usr/share/mime/application/x-telvor-raw.xml" ] || fail "the MIME database lacks .vxr"
# The desktop program starts on the offscreen platform and closes cleanly on SIGTERM.
in_root su surveyor -c "cd && QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp \
    timeout --preserve-status -s TERM 5 telvor" >"$work/telvor.log" 2>&1 ||
    { cat "$work/telvor.log"; fail "telvor did not run and close on SIGTERM"; }
[ -f "$root/home/surveyor/.config/telvor/telvor.ini" ] || fail "telvor wrote no settings"
step "installed: commands on PATH with man pages, udev rule, units, desktop entry, .vxr type; telvor runs"

apt_root purge telvor
status=$(in_root dpkg-query -W -f="\${db:Status-Status}" telvor 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "telvor is $status after purge"
snapshot >"$work/after"
left=$(comm -13 "$work/before" "$work/after" | grep -v '^\./home/surveyor/' || true)
gone=$(comm -23 "$work/before" "$work/after" || true)
[ -z "$left" ] || fail "left after purge: $left"
[ -z "$gone" ] || fail "removed with telvor but not its own: $gone"
stale=$(grep -rls telvor "$root"/usr/share/applications "$root"/usr/share/mime "$root"/usr/share/icons \
    "$root"/etc "$root"/lib || true)
[ -z "$stale" ] || fail "caches still name telvor after purge: $stale"
[ -f "$root/home/surveyor/.config/telvor/telvor.ini" ] || fail "purge removed the user's settings"
step "purged: nothing left but the user's settings"
