#!/usr/bin/env bash
# The launcher's two windows on a player's desktop (openbox, a tint2 panel): one taskbar entry,
# with the operator's icon; minimised by the launcher's button or by the window manager and
# restored from the panel, both go and come back together, at one place; the close question
# belongs to the pair: transient for it, modal, centred over it after it was dragged off centre,
# with the program's name as caption.
# Usage: launcher_pair_desktop_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/desktop/windows.sh"
desktop_start
pack_quiet "$work/pk"
# The operator's icon, a red square, is every window's.
convert -size 64x64 xc:'#ff0000' "$work/pk/skin/icon.png"
"$build/launcher-pack" build "$work/pk/skin" -o "$work/pk/demo" --exe "$build/launcher" \
  >/dev/null 2>&1 || fail "packing with an icon failed"
start_packed "$work/pk"
launcher_pair
# The companion shows while the picture window is being made, and moves over it a moment later.
wait_until 5 same_place "$picture" "$companion" ||
  fail "the pair opened at two places: $(rect "$picture"), $(rect "$companion")"
# The window manager is still settling the pair (the companion's move over the picture, its
# stacking) and nothing outside tells when it is done: a click meanwhile can land on the way.
sleep 0.5
red_icon() {  # the window's first icon begins with an opaque red pixel
  xprop -notype -f _NET_WM_ICON 32c _NET_WM_ICON -id "$1" | grep -q '= [0-9]*, [0-9]*, 4294901760,'
}
wait_until 5 red_icon "$picture" || fail "the launcher does not carry the operator's icon"
geometry "$picture"
echo "pair at $X,$Y ${WIDTH}x$HEIGHT"

both_gone() { unmapped "$picture" && unmapped "$companion"; }
both_back() { viewable "$picture" && viewable "$companion" && same_place "$picture" "$companion"; }

# Its own minimise button (type 2 at 675,65), then the panel's click on the one entry.
xdotool mousemove $((X + 686)) $((Y + 76)) click 1
wait_until 5 both_gone ||
  fail "the minimise button left a window on the screen: $(viewable "$picture" && echo picture) $(viewable "$companion" && echo companion)"
has_state "$picture" _NET_WM_STATE_HIDDEN || fail "the taskbar entry is not minimised"
wmctrl -i -a "$picture"
wait_until 5 both_back || fail "restored from the panel, the pair did not come back as one"

# The window manager minimises the companion (the page's side), the panel restores the entry.
xdotool windowminimize "$companion"
wait_until 5 both_gone || fail "minimised by the window manager, half of the pair stayed"
xdotool windowactivate "$picture"
wait_until 5 both_back || fail "the pair did not come back after the window manager's minimise"

# Dragged off centre by the picture's title band, then the close question.
geometry "$picture"
xdotool mousemove $((X + 600)) $((Y + 40)) mousedown 1
for step in 1 2 3 4 5; do
  xdotool mousemove $((X + 600 - step * 80)) $((Y + 40 - step * 30))
  sleep 0.05  # a hand's pace
done
xdotool mouseup 1
wait_until 5 both_back || fail "the drag split the pair"
geometry "$picture"
echo "dragged to $X,$Y"
xdotool mousemove $((X + 717)) $((Y + 77)) click 1
question || fail "the close button asked nothing"
owner=$(xprop -id "$box" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*')
[ $((owner)) = "$picture" ] || [ $((owner)) = "$companion" ] ||
  fail "the close question is transient for $owner, not for the launcher"
has_state "$box" _NET_WM_STATE_MODAL || fail "the close question is not modal"
red_icon "$box" || fail "the close question does not carry the operator's icon"
centred_over "$box" "$picture" 25 || fail "the close question is not centred over the launcher"
xdotool key Escape
wait_until 5 sh -c "! xdotool search --onlyvisible --name '^demo\$' >/dev/null 2>&1" ||
  fail "Escape did not answer the question"
kill -0 "$pid" 2>/dev/null || fail "Cancel closed the launcher"
echo "PASS"
