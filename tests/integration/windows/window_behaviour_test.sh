#!/usr/bin/env bash
# The window behaviour tests the fake and GTK backends pass (tests/shared/ui), on the Win32
# backend under Wine: built with the Windows launcher as tests/windows/window_behaviour_tests.exe.
# Usage: window_behaviour_test.sh BUILD_DIR SOURCE_DIR LAUNCHER_EXE WINE_STATE
set -uo pipefail
build=$1 source=$2 winexe=$3
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/windows/lib.sh"
wine_attach "$4"

program="$(dirname "$winexe")/tests/windows/window_behaviour_tests.exe"
[ -f "$program" ] || fail "no $program (the Windows build makes it)"
timeout 240 wine "$program" </dev/null || fail "the window behaviour tests failed under Wine"
echo "PASS"
