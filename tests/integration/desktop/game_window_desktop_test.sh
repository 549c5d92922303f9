#!/usr/bin/env bash
# The game window on a player's desktop (openbox, a tint2 panel of 40 pixels): maximised on the
# work area above the panel; F11 goes full screen over the whole screen, panel included, from
# the maximised and from the framed state, announced to the window manager, and back to where it
# came from; keys with Alt held run no shortcut (Alt+F5 asks nothing); F5 and the window
# manager's close (Alt+F4) ask their question, with the program's name as caption, transient
# for the game window and centred over it after it was dragged off centre.
# Usage: game_window_desktop_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/desktop/windows.sh"
desktop_start
printf '<html><body style="background:#203040"></body></html>\n' >"$work/page.html"
pack_quiet "$work/pk" "s#^firstUrl=.*#firstUrl=file://$work/page.html#"
start_packed "$work/pk"
game_window

at() {  # at X Y W H [full]: the game window's rectangle and full-screen state, settled
  wait_until 5 sh -c "[ \"\$(xdotool getwindowgeometry --shell $game | tr '\n' ' ')\" = \
\"WINDOW=$game X=$1 Y=$2 WIDTH=$3 HEIGHT=$4 SCREEN=0 \" ]" || return 1
  if [ "${5:-}" = full ]; then has_state "$game" _NET_WM_STATE_FULLSCREEN || return 1; else
    ! has_state "$game" _NET_WM_STATE_FULLSCREEN || return 1; fi
  sleep 0.5  # the window manager's last words on the change (focus, stacking) come after it
}
show() { echo "$1: $(rect "$game")$(net_state "$game" | tr '\n' ' ')"; }

at 0 0 1920 1040 || { show maximised; fail "not maximised on the work area above the panel"; }
xdotool mousemove 900 500 key F11
at 0 0 1920 1080 full || { show "full screen"; fail "full screen from maximised"; }
xdotool key F11
at 0 0 1920 1040 || { show back; fail "did not return maximised"; }

# A double click on the title strip: the framed window, centred; F11 from there and back.
xdotool mousemove 900 10 click --repeat 2 --delay 80 1
at 460 205 1000 630 || { show framed; fail "the title strip's double click did not restore"; }
xdotool mousemove 900 500 key F11
at 0 0 1920 1080 full || { show "full screen"; fail "full screen from the framed state"; }
xdotool key F11
at 460 205 1000 630 || { show back; fail "did not return to the framed place"; }

# Dragged off centre by its title strip.
xdotool mousemove 900 215 mousedown 1
for step in 1 2 3 4 5; do
  xdotool mousemove $((900 - step * 60)) $((215 - step * 20))
  sleep 0.05  # a hand's pace
done
xdotool mouseup 1
at 160 105 1000 630 || { show dragged; fail "the drag did not move the window"; }

# Alt+F5 is the system's: nothing asks. F5 asks the restart question over the window.
xdotool mousemove 1000 500 click 1 key alt+F5
no_question 2 || fail "Alt+F5 ran the restart shortcut"
for key in F5 alt+F4; do
  xdotool key "$key"
  question || fail "$key asked nothing"
  owner=$(xprop -id "$box" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*')
  [ $((owner)) = "$game" ] || fail "the $key question is not transient for the game window"
  centred_over "$box" "$game" 25 || fail "the $key question is not centred over the window"
  xdotool key Escape
  wait_until 5 sh -c "! xdotool search --onlyvisible --name '^demo\$' >/dev/null 2>&1" ||
    fail "Escape did not answer the $key question"
done
kill -0 "$pid" 2>/dev/null || fail "Cancel ended the game"
echo "PASS"
