#!/bin/sh
# The split of logic and windows, visible in file names: every window unit (a .cpp that a
# src/*/CMakeLists.txt lists into telvor_ui) has a name ending in "form", "window" or "dialog",
# and no other unit in src/ (logic, core, settings, the executables; .cpp or .h) has.
#
# Usage: check_names.sh ROOT
#   ROOT  the source tree (the folder holding src/)
# Prints one line per offending unit, "src/folder/Name: rule: text", and exits 1 when there is
# any.
set -eu

[ $# -eq 1 ] || {
    echo "usage: $0 ROOT" >&2
    exit 2
}
root=$1
[ -d "$root/src" ] || {
    echo "$0: no src/ in $root" >&2
    exit 2
}

# Window units allowed to keep an old name for a while (one "src/folder/Name" a line); an entry
# that is gone or obeys the rule is named in a note, so the list is easy to empty.
allowed="
src/files/Transfer
"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Window units from the CMake listings, one "src/folder/Name" per line.
for list in "$root"/src/*/CMakeLists.txt; do
    [ -f "$list" ] || continue
    dir=$(basename "$(dirname "$list")")
    awk -v dir="$dir" '
        /target_sources\(telvor_ui/ { ui = 1 }
        ui {
            for (i = 1; i <= NF; ++i)
                if ($i ~ /\.cpp\)?$/) {
                    name = $i
                    sub(/\)$/, "", name)
                    sub(/\.cpp$/, "", name)
                    print "src/" dir "/" name
                }
            if ($0 ~ /\)/)
                ui = 0
        }' "$list"
done | sort -u >"$work/ui"

# Every unit in src/: its files without the extension.
(cd "$root" && find src -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's/\.[^.]*$//' | sort -u) \
    >"$work/units"

printf '%s\n' $allowed | sort -u >"$work/allowed"

awk -v uifile="$work/ui" -v allowedfile="$work/allowed" '
function windowish(unit, name) {
    name = tolower(unit)
    sub(/.*\//, "", name)
    return name ~ /(form|window|dialog)$/
}
BEGIN {
    while ((getline line < uifile) > 0) ui[line] = 1
    while ((getline line < allowedfile) > 0) if (line != "") allowed[line] = 1
}
{
    unit = $0
    bad = ""
    if ((unit in ui) && !windowish(unit))
        bad = "window: a window unit; its name ends in form, window or dialog"
    else if (!(unit in ui) && windowish(unit))
        bad = "logic: not listed into telvor_ui; its name must not end in form, window or dialog"
    if (unit in allowed) {
        seen[unit] = 1
        if (bad == "") {
            print "note: " unit " obeys the rule now; take it off the list in check_names.sh"
        }
        next
    }
    if (bad != "") {
        print unit ": " bad
        failed = 1
    }
}
END {
    for (a in allowed) if (!(a in seen)) {
        print "note: " a " is gone; take it off the list in check_names.sh"
    }
    exit failed
}' "$work/units"
