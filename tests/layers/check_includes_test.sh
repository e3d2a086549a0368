#!/bin/sh
# Examples for check_includes.sh: a small tree in the real layout passes; each bad include
# added to it fails with its rule named. Usage: check_includes_test.sh CHECKER
set -eu
checker=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0
passed=0

# The clean tree: one unit per folder, includes as the layers allow.
mkdir -p "$tree/src/protocol" "$tree/src/links" "$tree/src/settings" "$tree/src/monitor" \
    "$tree/src/app" "$tree/src/cli" "$tree/sim" "$tree/qt/QtWidgets"
touch "$tree/qt/QtWidgets/QLabel"
printf '#include <cstdint>\n' >"$tree/src/protocol/Link.h"
printf '#include "protocol/Link.h"\n' >"$tree/src/protocol/Commtools.cpp"
printf '#include "protocol/Link.h"\n' >"$tree/src/links/Portio.h"
printf '#include "links/Portio.h"\n#include "protocol/Link.h"\n' >"$tree/src/links/Portio.cpp"
printf '#include "protocol/Link.h"\n' >"$tree/src/settings/Profile.h"
printf '#include "settings/Profile.h"\n#include <QString>\n' >"$tree/src/monitor/Monitor.h"
printf '#include "monitor/Monitor.h"\n' >"$tree/src/monitor/Monitor.cpp"
printf '#include "monitor/Monitor.h"\n#include <QLabel>\n' >"$tree/src/monitor/Plots.h"
printf '#include "monitor/Plots.h"\n' >"$tree/src/monitor/Plots.cpp"
printf 'target_sources(telvor_logic PRIVATE\n    Monitor.cpp)\ntarget_sources(telvor_ui PRIVATE Plots.cpp)\n' \
    >"$tree/src/monitor/CMakeLists.txt"
printf '#include "monitor/Monitor.h"\n' >"$tree/src/app/Session.h"
printf '#include "app/Session.h"\n#include "monitor/Plots.h"\n' >"$tree/src/app/main.cpp"
printf 'target_sources(telvor_logic PRIVATE Session.cpp)\n' >"$tree/src/app/CMakeLists.txt"
printf '#include "app/Session.h"\n' >"$tree/src/cli/main.cpp"
printf '#include "app/Session.h"\n' >"$tree/src/cli/Cliview.h"
printf '#include "protocol/Link.h"\n' >"$tree/sim/Engine.h"
printf '#include "sim/Engine.h"\n' >"$tree/sim/Engine.cpp"

check() {
    sh "$checker" --qt-dir "$tree/qt/QtWidgets" "$tree" >"$tree/out" 2>&1
}

# expect_fail FILE LINE RULE: FILE with LINE appended must fail with RULE; FILE is restored.
expect_fail() {
    file=$tree/$1
    if [ -f "$file" ]; then cp "$file" "$tree/saved"; else rm -f "$tree/saved"; fi
    printf '%s\n' "$2" >>"$file"
    if check; then
        echo "FAIL: '$2' in $1 passed the check"
        failures=$((failures + 1))
    elif ! grep -q ": $3: " "$tree/out"; then
        echo "FAIL: '$2' in $1 failed, but not by rule $3:"
        cat "$tree/out"
        failures=$((failures + 1))
    else
        passed=$((passed + 1))
    fi
    if [ -f "$tree/saved" ]; then mv "$tree/saved" "$file"; else rm -f "$file"; fi
}

if check; then
    passed=$((passed + 1))
else
    echo "FAIL: the clean tree failed:"
    cat "$tree/out"
    failures=$((failures + 1))
fi

# The cycle the project had: the command engine including the link factory.
expect_fail src/protocol/Commtools.cpp '#include "links/Portio.h"' protocol
expect_fail src/protocol/Commtools.cpp '#include "links/Portio.h"' cycle
expect_fail src/protocol/Commtools.cpp '#include "settings/Profile.h"' core-only
expect_fail src/links/Portio.cpp '#include "monitor/Monitor.h"' core-only
expect_fail src/settings/Profile.h '#include "monitor/Monitor.h"' settings
expect_fail sim/Engine.cpp '#include "links/Portio.h"' sim
expect_fail src/monitor/Monitor.cpp '#include "sim/Engine.h"' no-sim
expect_fail src/monitor/Monitor.cpp '#include "app/Session.h"' app
expect_fail src/app/Session.h '#include "cli/Cliview.h"' cli
expect_fail src/monitor/Monitor.cpp '#include "cli/Cliview.h"' cli
expect_fail src/protocol/Link.h '#include <QString>' no-qt
expect_fail src/settings/Profile.h '#include <QtCore/QString>' no-qt
expect_fail sim/Engine.h '#include <QObject>' no-qt
expect_fail src/monitor/Monitor.h '#include <QLabel>' widgets
expect_fail src/monitor/Monitor.cpp '#include <QtWidgets/QWidget>' widgets
expect_fail src/monitor/Monitor.cpp '#include "monitor/Plots.h"' widgets
expect_fail src/cli/main.cpp '#include <QLabel>' widgets
expect_fail src/cli/main.cpp '#include "monitor/Plots.h"' widgets
expect_fail src/monitor/Monitor.cpp '#include "Monitor.h"' style
expect_fail src/monitor/Monitor.cpp '#include "monitor/Missing.h"' style
expect_fail src/settings/Profile.cpp '#include "monitor/Monitor.h"' cycle

echo "check_includes: $passed passed, $failures failed"
[ "$failures" -eq 0 ]
