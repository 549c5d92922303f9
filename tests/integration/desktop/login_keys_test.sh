#!/usr/bin/env bash
# Keys typed into the launcher's login page reach its fields whatever is held with them:
# capitals and symbols, select-all, copy and paste, Shift+Tab back into a field, Enter to submit.
# On a desktop with a window manager and a panel, and with --no-wm on a bare X server, where the
# click into the page must give it the keyboard by itself. What the account field held is what
# the game page is asked for with.
# Usage: login_keys_test.sh BUILD_DIR SOURCE_DIR [--no-wm]
set -uo pipefail
build=$1 source=$2
source "$source/tests/integration/desktop/lib.sh"
desktop_start "${3:-}"

site_and_demo "$work/run"
(cd "$work/run" && exec ./demo) &
pid=$!
on_exit "kill $pid"
# (Windows come and go while xdotool walks the tree: a failed walk is tried again.)
launcher_window() { window=$(xdotool search --onlyvisible --name '^星辰远征$' 2>/dev/null | head -n 1); [ -n "$window" ]; }
wait_until 20 launcher_window || fail "no launcher window"
wait_until 15 grep -q '^login ' "$work/beacons" || fail "the login page never loaded"
geometry "$window"
# The engine draws the loaded page a moment later: its submit button turns gold.
wait_until 20 gold_at $((X + 573)) $((Y + 374)) || fail "the login page is not drawn"

# The account field of the page (the page area starts at 34,132 of the window).
xdotool mousemove $((X + 560)) $((Y + 234)) click 1
sleep 0.5  # the click puts the keyboard into the field; nothing outside the page tells when
xdotool key ctrl+a
xdotool type --delay 60 'aB1!Zz'
xdotool key --delay 100 ctrl+a ctrl+c Tab shift+Tab End ctrl+v Return
want='GET /game/index.html?user=aB1!ZzaB1!Zz&zone=1 '
wait_until 15 grep -qF "$want" "$work/requests" ||
  fail "the game page was not asked for with the typed account: $(grep game "$work/requests")"
echo "PASS"
