#!/usr/bin/env bash
# Under Wine the page area has no engine to show the login page with: the launcher starts all
# the same, the page area keeps its placeholder colour (loginCenterColor), and a box that says
# so, if one comes, is the program's and leaves the launcher running when answered.
# Usage: page_placeholder_test.sh BUILD_DIR SOURCE_DIR LAUNCHER_EXE WINE_STATE
set -uo pipefail
build=$1 source=$2 winexe=$3
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/windows/lib.sh"
wine_attach "$4"

site_and_windows_demo "$work/pk"
start_exe "$work/pk" demo.exe
launcher_pair
area() { pixel $((X + 100)) $((Y + 460)); }
wait_until 30 eval '[ "$(area)" = "#101228" ]' || fail "the page area shows $(area), not #101228"
if box demo 5; then
  echo "the box about the page area: '$box_text'"
  shot page-area-box
  press OK
  wait_until 15 eval '! box_found demo' || fail "the box stayed after its answer"
fi
sleep 2  # a late navigation error would have had its time
shot page-placeholder
[ "$(area)" = "#101228" ] || fail "the page area went to $(area)"
kill -0 "$pid" 2>/dev/null || fail "the launcher ended"
pair_found || fail "the launcher's windows went"
echo "requests: $(tr "\n" " " <"$work/requests" 2>/dev/null || true)"
echo "PASS"
