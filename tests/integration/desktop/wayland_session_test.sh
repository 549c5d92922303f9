#!/usr/bin/env bash
# A Wayland session: weston with XWayland, its output a window on a private X server whose
# pointer and keyboard are weston's seat, so that the player's clicks and keys go through weston
# (its focus, its moves) as on a real desktop. With GDK_BACKEND unset the launcher runs on
# XWayland; without an X display it says so on stderr and ends. Weston's X window manager puts
# windows where it likes and gives the keyboard only to windows it manages in full, so the
# launcher's two windows are one there: the picture with the buttons and the page on it at their
# places, no key colour anywhere, dragged as one. Then the whole road: keys typed into the login
# page reach the game page's address, the game window opens maximised within the screen and its
# page gets the keys.
# Usage: wayland_session_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
command -v weston >/dev/null || { echo "no weston: skipped"; exit 0; }
command -v Xwayland >/dev/null || { echo "no XWayland: skipped"; exit 0; }
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/desktop/windows.sh"
# Weston's output takes the top 1920x1080 of the screen; the strip below lets the pointer leave it.
desktop_start --no-wm --screen=1920x1200
unset GDK_BACKEND
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export WAYLAND_DISPLAY=wayland-test
weston --backend=x11-backend.so --use-pixman --xwayland --socket="$WAYLAND_DISPLAY" \
  --width=1920 --height=1080 --idle-time=0 >"$work/weston.log" 2>&1 &
desktop_pids+=($!)
wait_until 10 grep -q 'xserver listening on display' "$work/weston.log" ||
  { cat "$work/weston.log"; echo "weston did not start with XWayland: skipped"; exit 0; }
xd=$(grep -o 'xserver listening on display :[0-9]*' "$work/weston.log" | grep -o ':[0-9]*$')
# Weston's output window lies at the screen's origin: its points are the screen's, and what the
# screen shows (failure screenshots, pixels) is what weston shows. Weston follows the pointer by
# its moves and takes its place only as it enters the window: it is made to enter once.
onx() { DISPLAY=$xd "$@"; }
xdotool mousemove 960 1150 sleep 0.3 mousemove 960 540
# place WINDOW: sets X Y WIDTH HEIGHT of the window's own area on the screen (xdotool counts the
# offset in weston's frame twice).
place() {
  eval "$(DISPLAY=$xd xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ {print "X=" $NF}
    /Absolute upper-left Y/ {print "Y=" $NF} /Width:/ {print "WIDTH=" $NF}
    /Height:/ {print "HEIGHT=" $NF}')"
}

site_and_demo "$work/run"

# No X display in the session: a clear word and an end, no window.
(cd "$work/run" && exec env -u DISPLAY timeout 20 ./demo) 2>"$work/stderr" &&
  fail "it ran without an X display"
grep -q 'X display' "$work/stderr" || fail "without X it said: $(cat "$work/stderr")"
echo "without X: $(cat "$work/stderr")"

start_packed "$work/run" DISPLAY="$xd"
one_launcher() { [ "$(onx titled '^星辰远征$' | wc -l)" = 1 ]; }
wait_until 20 one_launcher || fail "not one launcher window on XWayland: $(onx titled '^星辰远征$')"
window=$(onx titled '^星辰远征$')
wait_until 15 grep -qs '^login ' "$work/beacons" || fail "the login page never loaded"
sleep 1
place "$window"
echo "launcher at $X,$Y ${WIDTH}x$HEIGHT"
[ "${WIDTH}x$HEIGHT" = 760x544 ] || fail "the launcher is ${WIDTH}x$HEIGHT, not the picture's size"

# The buttons and the page lie on the picture at their places; the key colour shows nowhere.
gold() {
  local r=$((16#${1:1:2})) g=$((16#${1:3:2})) b=$((16#${1:5:2}))
  [ "$r" -gt 200 ] && [ "$g" -gt 120 ] && [ "$b" -lt $((r - 80)) ]
}
button=$(pixel $((X + 114)) $((Y + 108)))
gold "$button" || fail "the first link button is not at its place on the picture: $button"
green=$(import -window root -crop "${WIDTH}x$HEIGHT+$X+$Y" -depth 8 txt:- | grep -ci '#00FF00')
[ "$green" = 0 ] || fail "$green pixels of the key colour show in the launcher"

# Dragged by the picture's title (the companion's transparent part lets the press through),
# towards the middle of the screen: the pair moves as one, and the buttons are where they are
# drawn.
dx=$((X < 580 ? 300 : -300)) dy=$((Y < 268 ? 200 : -200))
xdotool mousemove $((X + 300)) $((Y + 20)) mousedown 1
for step in 1 2 3 4 5; do
  xdotool mousemove $((X + 300 + step * dx / 5)) $((Y + 20 + step * dy / 5))
  sleep 0.05
done
xdotool mouseup 1
moved() { place "$window" && [ "$X,$Y" = "$1,$2" ]; }
wait_until 5 moved $((X + dx)) $((Y + dy)) || fail "the drag did not move the launcher: $X,$Y"
sleep 0.5
echo "dragged to $X,$Y"
gold "$(pixel $((X + 114)) $((Y + 108)))" || fail "the link button stayed behind"
xdotool mousemove $((X + 717)) $((Y + 77)) sleep 0.3 click 1
onx question || fail "the close button at the dragged place asked nothing"
xdotool key Escape
wait_until 5 sh -c "! DISPLAY=$xd xdotool search --onlyvisible --name '^demo\$' >/dev/null 2>&1" ||
  fail "Escape did not answer the close question"
kill -0 "$pid" 2>/dev/null || fail "Cancel closed the launcher"
sleep 1  # weston fades the box out; a click meanwhile lands on what is left of it

# Keys typed into the login page, then the hand-over to the game window.
xdotool mousemove $((X + 560)) $((Y + 234)) click 1
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 60 'aB1!Zz'
xdotool key --delay 100 ctrl+a ctrl+c Tab shift+Tab End ctrl+v Return
want='GET /game/index.html?user=aB1!ZzaB1!Zz&zone=1 '
wait_until 15 grep -qsF "$want" "$work/requests" ||
  fail "the game page was not asked for with the typed account: $(grep game "$work/requests")"
wait_until 15 grep -qs '^game ' "$work/beacons" || fail "the game page never loaded"
game_up() { game=$(onx titled '^星辰远征' | head -n 1) && [ -n "$game" ] && [ "$game" != "$window" ]; }
wait_until 10 game_up || fail "no game window"
maximised() {
  onx has_state "$game" _NET_WM_STATE_MAXIMIZED_VERT && place "$game" &&
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1920 ] && [ $((Y + HEIGHT)) -le 1080 ] &&
    [ "$WIDTH" -ge 1900 ]
}
wait_until 10 maximised || fail "the game window is not maximised within the screen: $X,$Y ${WIDTH}x$HEIGHT"
echo "game window at $X,$Y ${WIDTH}x$HEIGHT"
onx titled '^星辰远征$' | grep -qx "$window" && fail "the launcher stayed"

# The game page has the keyboard: Escape pauses the flight and resumes it.
xdotool mousemove 600 500 click 1
sleep 0.5
xdotool key Escape
wait_until 5 grep -qs '^pause ' "$work/beacons" || fail "Escape did not reach the game page"
xdotool key Escape
wait_until 5 grep -qs '^resume ' "$work/beacons" || fail "the second Escape did not reach the game page"
echo "PASS"
