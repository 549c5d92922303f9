#!/usr/bin/env bash
# The packed demo launcher on a real X server: the picture window appears centred with its
# shape (transparent corners show what is beneath), the companion's buttons are drawn over it,
# a drag on the picture moves both windows, and the close button asks before closing.
# Usage: launcher_pair_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
source "$(dirname "$0")/lib.sh"

start_site
start_demo
# Drawn: the picture's title band (the page area below loads while the test runs) is no longer
# the desktop's blue.
drawn() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$(pixel $((X + 500)) $((Y + 40)))" != "#204080" ]
}
wait_until 5 drawn || fail "the picture is not drawn"
echo "launcher window at $X,$Y size ${WIDTH}x${HEIGHT}"
[ "$WIDTH" = 760 ] && [ "$HEIGHT" = 544 ] || fail "size ${WIDTH}x${HEIGHT}, expected 760x544"

corner=$(pixel "$X" "$Y")
[ "$corner" = "#204080" ] || fail "transparent corner shows $corner, not the desktop"
inside=$(pixel $((X + 500)) $((Y + 40)))
button=$(pixel $((X + 58 + 56)) $((Y + 90 + 6)))
echo "corner $corner, picture $inside, first button $button"

# A press on the first button shows its pressed face and opens its address at once; moving
# away while pressed brings the normal face back, and a release there does nothing.
bx=$((X + 58 + 20))
by=$((Y + 90 + 18))
# (The demo's buttons have no hover face: the pointer over one changes nothing to wait for.)
xdotool mousemove "$bx" "$by"
normal=$(pixel "$bx" "$by")
face_is() { [ "$(pixel "$bx" "$by")" = "$1" ]; }
xdotool mousedown 1
wait_until 5 eval '! face_is "$normal"' || fail "the pressed face looks like the normal one ($normal)"
pressed=$(pixel "$bx" "$by")
wait_until 5 grep -q 'news.html' "$work/opened" || fail "the press did not open the button's address"
xdotool mousemove $((X + 500)) $((Y + 40))
wait_until 5 face_is "$normal" || fail "the pushed look did not follow the pointer away"
xdotool mouseup 1
echo "button faces: normal $normal, pressed $pressed"

# Drag on the picture's title band (no button there): the pair moves. (The pauses are a hand's.)
xdotool mousemove $((X + 600)) $((Y + 40)) mousedown 1
sleep 0.2
xdotool mousemove $((X + 640)) $((Y + 70))
sleep 0.2
xdotool mousemove $((X + 650)) $((Y + 70)) mouseup 1
oldX=$X
oldY=$Y
moved_to() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$X" = "$1" ] && [ "$Y" = "$2" ]
}
wait_until 5 moved_to $((oldX + 50)) $((oldY + 30)) ||
  fail "after the drag the window is at $X,$Y, expected $((oldX + 50)),$((oldY + 30))"
moved=$(pixel $((X + 500)) $((Y + 40)))
[ "$moved" = "$inside" ] || fail "the picture did not move with its window"

# The close button asks first; Cancel keeps the launcher.
windows() { xdotool search --onlyvisible --name '.*' 2>/dev/null | wc -l; }
before=$(windows)
xdotool mousemove $((X + 704 + 13)) $((Y + 64 + 13)) click 1
wait_until 5 eval '[ "$(windows)" -gt "$before" ]' || fail "no question after the close button"
xdotool key Escape
wait_until 5 eval '[ "$(windows)" = "$before" ]' || fail "Escape did not answer the question"
sleep 0.5  # time for a wrong answer to end the launcher
kill -0 "$pid" 2>/dev/null || fail "the launcher closed on Cancel"
echo "PASS"
