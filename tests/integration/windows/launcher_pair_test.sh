#!/usr/bin/env bash
# The packed demo launcher under Wine with a compositing manager: the picture window appears
# centred at the picture's size with its shape (the transparent corners show the desktop), the
# companion's buttons are drawn over it and a press shows the pressed face and opens the
# button's address, and the close button asks first: Cancel keeps the launcher, OK ends it.
# Also measures a start under the warm wineserver.
# Usage: launcher_pair_test.sh BUILD_DIR SOURCE_DIR LAUNCHER_EXE WINE_STATE
set -uo pipefail
build=$1 source=$2 winexe=$3
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/windows/lib.sh"
wine_attach "$4"

pack_windows "$work/pk" 's#127\.0\.0\.1:8765#127.0.0.1:9#g' 's#^port=8765#port=9#'
desktop=$(desktop_colour)
started=$(date +%s%N)
start_exe "$work/pk" demo.exe
launcher_pair
drawn() { [ "$(pixel $((X + 500)) $((Y + 40)))" != "$desktop" ]; }
# (Wine stalls for some ten seconds now and then before a new program's first paint.)
wait_until 30 drawn || fail "the picture is not drawn"
echo "launcher drawn $((($(date +%s%N) - started) / 1000000)) ms after the start"
shot launcher
echo "launcher window at $X,$Y size ${WIDTH}x$HEIGHT"
[ "$WIDTH" = 760 ] && [ "$HEIGHT" = 544 ] || fail "size ${WIDTH}x$HEIGHT, expected 760x544"
# Centred as the captioned window it was made as: left of and above the picture's own centre
# (580,268 on this screen) by half of the frame.
[ "$X" -le 580 ] && [ "$X" -ge 572 ] && [ "$Y" -le 268 ] && [ "$Y" -ge 248 ] ||
  fail "at $X,$Y, not centred on the 1920x1080 screen"

corner=$(pixel "$X" "$Y")
[ "$corner" = "$desktop" ] || fail "transparent corner shows $corner, not the desktop's $desktop"

# The first button (58,90): pressed, its face changes and its address is opened; released away
# from it, the normal face comes back.
bx=$((X + 58 + 20)) by=$((Y + 90 + 18))
xdotool mousemove "$bx" "$by"
sleep 0.3  # the pointer's arrival changes nothing that could be waited for
normal=$(pixel "$bx" "$by")
[ "$normal" != "$desktop" ] || fail "no button face at the first button"
face_is() { [ "$(pixel "$bx" "$by")" = "$1" ]; }
xdotool mousedown 1
wait_until 15 eval '! face_is "$normal"' || fail "the pressed face looks like the normal one ($normal)"
pressed=$(pixel "$bx" "$by")
wait_until 30 eval 'opened | grep -q news.html' || fail "the press opened nothing: '$(opened)'"
xdotool mousemove $((X + 500)) $((Y + 40))
wait_until 15 face_is "$normal" || fail "the pressed face did not go with the pointer"
xdotool mouseup 1
echo "button faces: normal $normal, pressed $pressed; opened $(opened)"

# The close button (704,64 26x26): the question, Cancel, then OK.
close_question() {
  xdotool mousemove $((X + 717)) $((Y + 77)) click 1
  box demo 10 || fail "no question after the close button"
  [ "$box_text" = "此操作将退出游戏，是否继续？" ] || fail "the question says '$box_text'"
}
close_question
shot launcher-close-question
press Cancel
wait_until 15 eval '! box_found demo' || fail "Cancel did not answer the question"
sleep 0.5  # time for a wrong answer to end the launcher
kill -0 "$pid" 2>/dev/null || fail "the launcher closed on Cancel"
pair_found || fail "the launcher's windows went on Cancel"
close_question
press OK
wait_until 30 ended "$pid" || fail "OK did not end the launcher"
echo "PASS"
