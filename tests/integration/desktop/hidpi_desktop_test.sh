#!/usr/bin/env bash
# A HiDPI desktop (the toolkit's window scale 2, GDK_SCALE=2) on a 2560x1600 screen with its
# 40-pixel panel: the launcher's two windows are the picture's size twice over on each side,
# at one place, centred on the work area, and no pixel of the companion's key colour shows; the
# game window lies maximised on the work area.
# Usage: hidpi_desktop_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/desktop/windows.sh"
desktop_start --screen=2560x1600
pack_quiet "$work/pk"
start_packed "$work/pk" GDK_SCALE=2
launcher_pair
# 760 x 544 logical pixels centred on 1280 x 780 as a 766 x 573 captioned window.
wait_until 5 eval '[ "$(rect "$picture")" = "514 206 1520 1088 " ]' ||
  fail "launcher at $(rect "$picture")"
wait_until 5 same_place "$picture" "$companion" ||
  fail "the pair lies at two places: $(rect "$picture"), $(rect "$companion")"
geometry "$picture"
echo "launcher at $X,$Y ${WIDTH}x$HEIGHT"
# Once the picture is drawn (its title band over the desktop's blue), no pixel of the
# companion's key colour shows.
wait_until 5 eval '[ "$(pixel $((X + 1000)) $((Y + 80)))" != "#204080" ]' ||
  fail "the launcher's picture is not drawn"
import -window root -crop "${WIDTH}x$HEIGHT+$X+$Y" "$work/launcher.png"
green=$(/usr/bin/python3 -c "from PIL import Image
p = Image.open('$work/launcher.png').convert('RGB')
print(sum(1 for c in p.getdata() if c[1] > 200 and c[0] < 80 and c[2] < 80))")
[ "$green" = 0 ] || fail "$green pixels of the key colour show on the launcher"
kill "$pid"
wait "$pid" 2>/dev/null
wait_until 10 gone || fail "the launcher's windows stayed"

printf '<html><body style="background:#203040"></body></html>\n' >"$work/page.html"
pack_quiet "$work/gk" "s#^firstUrl=.*#firstUrl=file://$work/page.html#"
start_packed "$work/gk" GDK_SCALE=2
game_window
wait_until 5 sh -c "[ \"\$(xdotool getwindowgeometry --shell $game | grep -c '^[XY]=0$')\" = 2 ]"
geometry "$game"
[ "$X $Y $WIDTH $HEIGHT" = "0 0 2560 1560" ] || fail "game window at $X,$Y ${WIDTH}x$HEIGHT"
echo "PASS"
