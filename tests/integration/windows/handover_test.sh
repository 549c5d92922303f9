#!/usr/bin/env bash
# The hand-over through the browser control under Wine: the launcher's page area is driven to an
# address that starts with the game header (its first address here, as no page can run without
# an engine); the launcher's windows go and the game window opens on the rest of the address.
# The header's own address is one the site does not answer, so that only the game window can
# have asked for the game page.
# Usage: handover_test.sh BUILD_DIR SOURCE_DIR LAUNCHER_EXE WINE_STATE
set -uo pipefail
build=$1 source=$2 winexe=$3
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/windows/lib.sh"
wine_attach "$4"

site_and_windows_demo "$work/pk"
game="http://127.0.0.1:$port/game/index.html?user=%E8%88%B0%E9%95%BF&zone=1"
pack_windows "$work/ho" "s#127\.0\.0\.1:8765#127.0.0.1:$port#g" "s#^port=8765#port=$port#" \
  "s#^gameheader=.*#gameheader=http://127.0.0.1:$port/start?#" \
  "s#^url=http://127.0.0.1:$port/login.html#url=http://127.0.0.1:$port/start?${game//&/\\&}#"
start_exe "$work/ho" demo.exe
game_window
[ "$(titled_windows | wc -l)" = 1 ] || fail "the launcher's windows stayed beside the game window"
wait_until 30 grep -qF "GET /game/index.html?user=%E8%88%B0%E9%95%BF&zone=1 " "$work/requests" ||
  fail "the game window did not ask for the stripped address: $(cat "$work/requests")"
shot handover-game-window
echo "requests: $(awk '{print $2}' "$work/requests" | tr '\n' ' ')"
echo "PASS"
