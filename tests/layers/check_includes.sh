#!/bin/sh
# Reads every #include in src/ and sim/ and fails on one that runs against the layer order:
#
#   core (protocol <- links) -> settings -> subsystems (logic, then windows) -> executables
#
#   style      a quoted include names "folder/File.h" from the src root (sim: "sim/File.h"),
#              and that file exists
#   protocol   includes only protocol/ (never links/: links sit on top of the protocol)
#   core-only  links/ includes only links/ and protocol/
#   settings   settings/ includes only settings/ and the core
#   sim        sim/ includes only sim/ and protocol/ (it stands for the receiver, not for us)
#   no-sim     nothing in src/ includes sim/
#   app        no subsystem includes app/ (only app/ itself and the executable folder cli/)
#   cli        nothing but cli/ includes cli/
#   no-qt      protocol/, links/, settings/ and sim/ include no Qt header (they are fuzzed and
#              built without Qt)
#   widgets    logic units (the files a src/*/CMakeLists.txt lists into telvor_logic, their
#              headers, and cli/) include no Qt Gui or Widgets header and no window unit's
#              header (the files listed into telvor_ui)
#   cycle      no two folders include each other, directly or through others
#
# Usage: check_includes.sh [--qt-dir DIR]... ROOT
#   ROOT     the source tree (the folder holding src/ and sim/)
#   --qt-dir a Qt include folder whose header names count as Gui/Widgets headers (QtGui,
#            QtWidgets); without one, only <QtGui/...> and <QtWidgets/...> spellings are caught.
# Prints one line per violation, "file:line: rule: text", and exits 1 when there is any.
set -eu

qtdirs=""
while [ $# -gt 1 ]; do
    case "$1" in
    --qt-dir)
        qtdirs="$qtdirs $2"
        shift 2
        ;;
    *) break ;;
    esac
done
[ $# -eq 1 ] || {
    echo "usage: $0 [--qt-dir DIR]... ROOT" >&2
    exit 2
}
root=$1
[ -d "$root/src" ] || {
    echo "$0: no src/ in $root" >&2
    exit 2
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Qt Gui/Widgets header names, one per line.
: >"$work/qt"
for d in $qtdirs; do
    [ -d "$d" ] && ls "$d" >>"$work/qt"
done

# Units by layer from the CMake listings: "logic src/app/Session" or "ui src/app/Mainwindow".
for list in "$root"/src/*/CMakeLists.txt; do
    [ -f "$list" ] || continue
    dir=$(basename "$(dirname "$list")")
    awk -v dir="$dir" '
        /target_sources\(telvor_logic/ { kind = "logic" }
        /target_sources\(telvor_ui/ { kind = "ui" }
        kind != "" {
            for (i = 1; i <= NF; ++i)
                if ($i ~ /\.cpp\)?$/) {
                    name = $i
                    sub(/\)$/, "", name)
                    sub(/\.cpp$/, "", name)
                    print kind, "src/" dir "/" name
                }
            if ($0 ~ /\)/)
                kind = ""
        }' "$list"
done >"$work/units"

# Every source file as a path relative to ROOT.
(cd "$root" && find src sim -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort) \
    >"$work/files"
# The existing files, to check that an include names one.
cp "$work/files" "$work/exists"

cd "$root"
# shellcheck disable=SC2046
awk -v qtfile="$work/qt" -v unitfile="$work/units" -v existfile="$work/exists" '
function folder(path, parts) {
    split(path, parts, "/")
    return parts[1] == "src" ? parts[2] : parts[1]
}
function report(rule, text) {
    printf "%s:%d: %s: %s\n", FILENAME, FNR, rule, text
    bad = 1
}
function core(f) { return f == "protocol" || f == "links" }
function noqt(f) { return core(f) || f == "settings" || f == "sim" }
BEGIN {
    while ((getline line < qtfile) > 0) qt[line] = 1
    while ((getline line < unitfile) > 0) {
        split(line, u, " ")
        if (u[1] == "logic") { logic[u[2] ".cpp"] = 1; logic[u[2] ".h"] = 1 }
        else uiheader[u[2] ".h"] = 1
    }
    while ((getline line < existfile) > 0) exists[line] = 1
}
FNR == 1 {
    from = folder(FILENAME)
    nowidgets = (FILENAME in logic) || from == "cli"
}
/^[ \t]*#[ \t]*include[ \t]*</ {
    name = $0
    sub(/^[^<]*</, "", name)
    sub(/>.*$/, "", name)
    if (noqt(from) && (name ~ /^Q/ || name ~ /^qt/))
        report("no-qt", "<" name "> in " from "/, which stays free of Qt")
    if (nowidgets && (name ~ /^Qt(Gui|Widgets)(\/|$)/ || (name in qt)))
        report("widgets", "<" name "> is a Qt Gui/Widgets header in a logic unit")
    next
}
/^[ \t]*#[ \t]*include[ \t]*"/ {
    name = $0
    sub(/^[^"]*"/, "", name)
    sub(/".*$/, "", name)
    if (name !~ /^[A-Za-z0-9_]+\//) {
        report("style", "\"" name "\" names no folder; write \"folder/File.h\"")
        next
    }
    to = folder(name)
    target = (to == "sim" ? name : "src/" name)
    if (!(target in exists)) {
        report("style", "\"" name "\" is no file below src/ or sim/")
        next
    }
    if (from != to) {
        edges[from SUBSEP to] = FILENAME ":" FNR
        nodes[from] = 1
        nodes[to] = 1
    }
    if (from == "protocol" && to != "protocol")
        report(to == "links" ? "protocol" : "core-only",
               "protocol/ includes " to "/; it may include only protocol/")
    else if (from == "links" && !core(to))
        report("core-only", "links/ includes " to "/; it may include only links/ and protocol/")
    else if (from == "settings" && to != "settings" && !core(to))
        report("settings", "settings/ includes " to "/; it sits below every subsystem")
    else if (from == "sim" && to != "sim" && to != "protocol")
        report("sim", "sim/ includes " to "/; it may include only sim/ and protocol/")
    else if (from != "sim" && to == "sim")
        report("no-sim", from "/ includes sim/; only tests use the simulator")
    else if (to == "app" && from != "app" && from != "cli")
        report("app", from "/ includes app/; only app/ and cli/ may")
    else if (to == "cli" && from != "cli")
        report("cli", from "/ includes cli/, an executable folder")
    if (nowidgets && (target in uiheader))
        report("widgets", "\"" name "\" is a window unit, included by a logic unit")
}
END {
    # Reachability between folders; an edge whose target reaches back is part of a cycle.
    for (a in nodes) for (b in nodes) reach[a, b] = ((a SUBSEP b) in edges)
    for (k in nodes) for (a in nodes) if (reach[a, k]) for (b in nodes) if (reach[k, b]) reach[a, b] = 1
    for (e in edges) {
        split(e, ab, SUBSEP)
        if (reach[ab[2], ab[1]]) {
            printf "%s: cycle: %s/ includes %s/, which includes %s/ again\n", edges[e], ab[1], ab[2], ab[1]
            bad = 1
        }
    }
    exit bad
}' $(cat "$work/files")
