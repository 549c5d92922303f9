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
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "launcher window at $X,$Y size ${WIDTH}x${HEIGHT}"
[ "$WIDTH" = 760 ] && [ "$HEIGHT" = 544 ] || fail "size ${WIDTH}x${HEIGHT}, expected 760x544"

corner=$(pixel "$X" "$Y")
[ "$corner" = "#204080" ] || fail "transparent corner shows $corner, not the desktop"
# A point of the picture's title band (the page area below loads while the test runs).
inside=$(pixel $((X + 500)) $((Y + 40)))
[ "$inside" != "#204080" ] || fail "the picture is not drawn"
button=$(pixel $((X + 58 + 56)) $((Y + 90 + 6)))
echo "corner $corner, picture $inside, first button $button"

# A press on the first button shows its pressed face and opens its address at once; moving
# away while pressed brings the normal face back, and a release there does nothing.
bx=$((X + 58 + 20))
by=$((Y + 90 + 18))
xdotool mousemove "$bx" "$by"
sleep 0.3
normal=$(pixel "$bx" "$by")
xdotool mousedown 1
sleep 0.5
pressed=$(pixel "$bx" "$by")
[ "$pressed" != "$normal" ] || fail "the pressed face looks like the normal one ($normal)"
wait_until 5 grep -q 'news.html' "$work/opened" || fail "the press did not open the button's address"
xdotool mousemove $((X + 500)) $((Y + 40))
sleep 0.5
[ "$(pixel "$bx" "$by")" = "$normal" ] || fail "the pushed look did not follow the pointer away"
xdotool mouseup 1
sleep 0.3
echo "button faces: normal $normal, pressed $pressed"

# Drag on the picture's title band (no button there): the pair moves.
xdotool mousemove $((X + 600)) $((Y + 40)) mousedown 1
sleep 0.2
xdotool mousemove $((X + 640)) $((Y + 70))
sleep 0.2
xdotool mousemove $((X + 650)) $((Y + 70)) mouseup 1
sleep 0.5
oldX=$X
oldY=$Y
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X" = $((oldX + 50)) ] && [ "$Y" = $((oldY + 30)) ] ||
  fail "after the drag the window is at $X,$Y, expected $((oldX + 50)),$((oldY + 30))"
moved=$(pixel $((X + 500)) $((Y + 40)))
[ "$moved" = "$inside" ] || fail "the picture did not move with its window"

# The close button asks first; Cancel keeps the launcher.
before=$(xdotool search --onlyvisible --name '.*' 2>/dev/null | wc -l)
xdotool mousemove $((X + 704 + 13)) $((Y + 64 + 13)) click 1
sleep 1
after=$(xdotool search --onlyvisible --name '.*' 2>/dev/null | wc -l)
[ "$after" -gt "$before" ] || fail "no question after the close button"
xdotool key Escape
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "the launcher closed on Cancel"
echo "PASS"
