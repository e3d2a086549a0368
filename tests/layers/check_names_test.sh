#!/bin/sh
# Examples for check_names.sh: a small tree whose units obey the naming rule passes; a window
# unit without the suffix and a logic unit with one each fail; a renamed allow-list entry is
# noted.
# Usage: check_names_test.sh CHECKER
set -eu
checker=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0

mkdir -p "$tree/src/monitor" "$tree/src/protocol" "$tree/src/files"
touch "$tree/src/monitor/Monitor.cpp" "$tree/src/monitor/Monitor.h" \
    "$tree/src/monitor/Plotsform.cpp" "$tree/src/monitor/Maskdialog.cpp" \
    "$tree/src/protocol/Link.h" "$tree/src/files/Transfer.cpp"
# src/files/Transfer is on the checker's allow-list: a window with its old name.
printf 'target_sources(telvor_ui PRIVATE Transfer.cpp)\n' >"$tree/src/files/CMakeLists.txt"
listing() {
    printf 'target_sources(telvor_logic PRIVATE\n    Monitor.cpp)\n'
    printf 'target_sources(telvor_ui PRIVATE\n    Plotsform.cpp\n    Maskdialog.cpp%s)\n' "$1"
}
listing "" >"$tree/src/monitor/CMakeLists.txt"

# expect RESULT TEXT: the checker passes (0) or fails (1) and, on failure, prints TEXT.
expect() {
    if sh "$checker" "$tree" >"$tree/out" 2>&1; then got=0; else got=1; fi
    if [ "$got" -ne "$1" ] || { [ "$1" -eq 1 ] && ! grep -q "$2" "$tree/out"; }; then
        echo "FAIL: expected $1 ($2), got $got:"
        cat "$tree/out"
        failures=$((failures + 1))
    fi
}

expect 0 ""
touch "$tree/src/monitor/Raster.cpp"
listing "\n    Raster.cpp" >"$tree/src/monitor/CMakeLists.txt"
expect 1 "src/monitor/Raster: window:"
listing "" >"$tree/src/monitor/CMakeLists.txt"
expect 0 "" # a logic unit now, and its name says no window
rm "$tree/src/monitor/Raster.cpp"
touch "$tree/src/protocol/Statuswindow.h"
expect 1 "src/protocol/Statuswindow: logic:"
rm "$tree/src/protocol/Statuswindow.h"
mv "$tree/src/files/Transfer.cpp" "$tree/src/files/Transferform.cpp"
printf 'target_sources(telvor_ui PRIVATE Transferform.cpp)\n' >"$tree/src/files/CMakeLists.txt"
expect 0 ""
grep -q "note: src/files/Transfer is gone" "$tree/out" || {
    echo "FAIL: no note for the renamed allow-list entry"
    failures=$((failures + 1))
}

echo "check_names: $failures failed"
[ "$failures" -eq 0 ]
