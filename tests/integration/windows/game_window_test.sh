#!/usr/bin/env bash
# The game window under Wine, opened straight by the skin's firstUrl: on the whole screen (no
# panel here), its title strip and close button drawn from the sprite sheet, the settings button
# opens the menu, F5 asks (Cancel keeps the game), F11 goes full screen without the strip and
# back, F9 hides it to the notification area, whose icon brings it back; the close button
# answered OK ends the program.
# Usage: game_window_test.sh BUILD_DIR SOURCE_DIR LAUNCHER_EXE WINE_STATE
set -uo pipefail
build=$1 source=$2 winexe=$3
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/windows/lib.sh"
wine_attach "$4"

pack_windows "$work/pk" 's#127\.0\.0\.1:8765#127.0.0.1:9#g' 's#^port=8765#port=9#' \
  's#^firstUrl=.*#firstUrl=http://127.0.0.1:9/game/index.html#'
desktop=$(desktop_colour)
start_exe "$work/pk" demo.exe
game_window
echo "game window at $X,$Y ${WIDTH}x$HEIGHT"
[ "$X,$Y,$WIDTH,$HEIGHT" = "0,0,1920,1080" ] || fail "not maximised on the screen"

sprite() {  # sprite X Y -> rrggbb of style.png there
  /usr/bin/python3 -c "from PIL import Image; p = Image.open('$work/pk/skin/style.png').convert('RGB')
print('#%02X%02X%02X' % p.getpixel(($1, $2)))"
}
near() {  # near A B -> both colours within 12 per channel
  local i
  for i in 1 3 5; do
    local a=$((16#${1:$i:2})) b=$((16#${2:$i:2}))
    [ $((a - b)) -le 12 ] && [ $((b - a)) -le 12 ] || return 1
  done
}
# The title strip is piece 2 (8,80 58x27) stretched across; the close button's normal face is
# picture 4 (84,0 28x26) at the right end.
strip_drawn() {
  local row
  for row in 1 8 20 26; do
    near "$(pixel 960 "$row")" "$(sprite 37 $((80 + row)))" || return 1
  done
}
# (Wine stalls for some ten seconds now and then before a new program's first paint.)
wait_until 30 strip_drawn || fail "title strip row 8 shows $(pixel 960 8), the sprite sheet has $(sprite 37 88)"
# (A point of the face's light cross, far from the strip's colour; the window's right border, if
# it keeps one when maximised, moves the button 3 pixels left.)
close_face() {
  near "$(pixel $((1920 - 28 + 18)) 16)" "$(sprite $((84 + 18)) 16)" ||
    near "$(pixel $((1920 - 31 + 18)) 16)" "$(sprite $((84 + 18)) 16)"
}
close_face || fail "the close button shows $(pixel $((1920 - 10)) 16), its face has $(sprite 102 16)"
shot game-window

# The settings button (type 11, 140 from the right): Wine's popup menu window.
menu_open() { probe windows | awk -F '\t' '$1 == "top" && $4 == "#32768" {found = 1} END {exit !found}'; }
xdotool mousemove $((1920 - 140 + 14)) 13 click 1
wait_until 15 menu_open || fail "the settings button opened no menu"
shot game-menu
xdotool key Escape
wait_until 15 eval '! menu_open' || fail "Escape did not close the menu"

# F5 asks before restarting; Cancel keeps the game.
xdotool mousemove 960 600 click 1 key F5
box demo 10 || fail "F5 asked nothing"
[ "$box_text" = "此操作将退出游戏，是否继续？" ] || fail "F5 asks '$box_text'"
press Cancel
wait_until 15 eval '! box_found demo' || fail "Cancel did not answer"
kill -0 "$pid" 2>/dev/null || fail "Cancel ended the game"

# F11: the whole screen without the strip; F11 again brings it back.
strip=$(pixel 960 8)
full_screen() { game_found && [ "$X,$Y,$WIDTH,$HEIGHT" = "0,0,1920,1080" ] && [ "$(pixel 960 8)" != "$strip" ]; }
xdotool mousemove 960 600 key F11
wait_until 15 full_screen || fail "full screen at $X,$Y ${WIDTH}x$HEIGHT, the strip showing $(pixel 960 8)"
shot game-full-screen
xdotool key F11
wait_until 15 strip_drawn || fail "the title strip did not come back after full screen"

# F9: hidden to the notification area; a click on the icon brings the window back.
xdotool key F9
wait_until 15 eval '! game_found' || fail "F9 did not hide the game window"
wait_until 15 eval '[ "$(pixel 960 600)" = "$desktop" ]' || fail "the hidden game window is still on the screen"
wait_until 15 tray_icon || fail "no notification icon"
shot game-tray
xdotool mousemove $((tray_x + 8)) $((tray_y + 10)) click 1
wait_until 15 game_found || fail "the icon's click did not bring the game window back"

# The close button answered OK ends the program.
xdotool mousemove $((1920 - 14)) 13 click 1
box demo 10 || fail "the close button asked nothing"
press OK
wait_until 30 ended "$pid" || fail "OK on the close question did not end the program"
echo "PASS"
