#!/bin/sh
# check_install_tree.sh BUILD PREFIX VERSION UDEV_DIR UNIT_DIR PNG_SIZES PROGRAMS: runs cmake --install
# of BUILD into a temporary DESTDIR and checks what a desktop and a station rely on: programs
# with man pages, desktop entries that validate and name installed programs and known types,
# a MIME database that builds, AppStream data that validates, icons of the right size, units
# that start an installed program, the udev rule, and one version everywhere.
set -u
build=$1 prefix=$2 version=$3 udev_dir=$4 unit_dir=$5 png_sizes=$6 programs=$7
for program in $programs; do
    [ -x "$program" ] || { echo "skipped: $program is not built"; exit 77; }
done
case $unit_dir in /*) ;; *) unit_dir=$prefix/$unit_dir ;; esac

dest=$(mktemp -d "${TMPDIR:-/tmp}/telvor-install.XXXXXX")
trap 'rm -rf "$dest"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
need() {
    command -v "$1" >/dev/null || { echo "FAIL: $1 is missing (scripts/deps installs $2)"; exit 1; }
}
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need update-mime-database shared-mime-info

DESTDIR=$dest cmake --install "$build" >"$dest/install.log" 2>&1 ||
    { cat "$dest/install.log"; echo "FAIL: cmake --install"; exit 1; }
root=$dest$prefix
share=$root/share

# Programs, each with its man page.
for program in telvor telvor-cli telvor-sim; do
    [ -x "$root/bin/$program" ] || fail "$program is not installed in $prefix/bin"
done
for path in "$root"/bin/*; do
    program=$(basename "$path")
    [ -f "$share/man/man1/$program.1" ] || fail "$program has no man page"
done

# Desktop entries: valid, starting an installed program, for types the MIME file defines.
for entry in "$share"/applications/*.desktop; do
    desktop-file-validate "$entry" || fail "$(basename "$entry") does not validate"
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [ -x "$root/bin/$exec_program" ] || fail "$(basename "$entry") starts $exec_program, not installed"
    for type in $(sed -n 's/^MimeType=//p' "$entry" | tr ';' ' '); do
        grep -q "<mime-type type=\"$type\"" "$share"/mime/packages/*.xml ||
            fail "$(basename "$entry") opens $type, which no MIME file defines"
    done
done
grep -q '^Exec=telvor %f$' "$share/applications/telvor.desktop" ||
    fail "telvor.desktop does not hand the opened file to telvor"

# The MIME database builds from the installed file (it says nothing unless something is wrong)
# and knows the raw data files.
mkdir -p "$dest/mime/packages" && cp "$share"/mime/packages/*.xml "$dest/mime/packages/"
XDG_DATA_HOME=$dest XDG_DATA_DIRS=$dest update-mime-database "$dest/mime" >"$dest/mime.log" 2>&1
if [ $? != 0 ] || [ -s "$dest/mime.log" ]; then
    cat "$dest/mime.log"
    fail "update-mime-database"
fi
grep -q 'application/x-telvor-raw:\*\.vxr' "$dest/mime/globs" 2>/dev/null ||
    fail "the MIME database has no *.vxr"

# AppStream: valid, and what it names is installed.
for info in "$share"/metainfo/*.metainfo.xml; do
    appstreamcli validate --no-net "$info" >"$dest/appstream.log" 2>&1 ||
        { cat "$dest/appstream.log"; fail "$(basename "$info") does not validate"; }
    launchable=$(sed -n 's/.*<launchable type="desktop-id">\(.*\)<\/launchable>.*/\1/p' "$info")
    [ -f "$share/applications/$launchable" ] || fail "metainfo launches $launchable, not installed"
    for binary in $(sed -n 's/.*<binary>\(.*\)<\/binary>.*/\1/p' "$info"); do
        [ -x "$root/bin/$binary" ] || fail "metainfo provides $binary, not installed"
    done
    release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$info" | head -1)
    [ "$release" = "$version" ] || fail "metainfo's newest release is $release, the project $version"
done

# Icons: the scalable one, and PNGs whose pixels match their folder.
[ -f "$share/icons/hicolor/scalable/apps/telvor.svg" ] || fail "no scalable icon"
for size in $png_sizes; do
    png=$share/icons/hicolor/${size}x$size/apps/telvor.png
    if [ ! -f "$png" ]; then
        fail "no ${size}x$size icon (rsvg-convert from librsvg2-bin draws it)"
        continue
    fi
    # IHDR: width and height as 32-bit big-endian numbers at bytes 16 and 20.
    dims=$(od -An -tu1 -j16 -N8 "$png" |
        awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
    [ "$dims" = "${size}x$size" ] || fail "the ${size}x$size icon is $dims"
done

# Units start the installed telvor-cli; the udev rule is where udev reads it.
for unit in telvor-log@.service telvor-server@.service; do
    file=$dest$unit_dir/$unit
    if [ ! -f "$file" ]; then
        fail "$unit is not in $unit_dir"
        continue
    fi
    start=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$file")
    [ -x "$dest$start" ] || fail "$unit starts $start, which is not installed"
done
[ -f "$dest$udev_dir/70-telvor.rules" ] || fail "70-telvor.rules is not in $udev_dir"

# The package's papers: copyright, and a changelog whose newest entry is this version.
[ -f "$share/doc/telvor/copyright" ] || fail "no copyright file"
entry=$(sed -n '1s/^telvor (\([^)]*\)).*/\1/p' "$share/doc/telvor/changelog" 2>/dev/null)
[ "$entry" = "$version" ] || fail "the changelog's newest entry is '$entry', the project $version"

[ $failures = 0 ] && echo "install tree of $prefix: ok"
[ $failures = 0 ]
