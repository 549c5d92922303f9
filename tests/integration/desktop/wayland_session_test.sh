#!/usr/bin/env bash
# A Wayland session (weston, headless, with XWayland): the launcher, with GDK_BACKEND unset, runs
# on XWayland as an X client (its windows are X windows); without an X display it says so on
# stderr and ends. Where weston's X window manager puts the two windows is its own affair
# (it ignores where X clients ask to be), so their place is only reported.
# Usage: wayland_session_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
command -v weston >/dev/null || { echo "no weston: skipped"; exit 0; }
command -v Xwayland >/dev/null || { echo "no XWayland: skipped"; exit 0; }
source "$source/tests/integration/desktop/lib.sh"
source "$source/tests/integration/desktop/windows.sh"
unset DISPLAY GDK_BACKEND
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export WAYLAND_DISPLAY=wayland-test
weston --backend=headless-backend.so --xwayland --socket="$WAYLAND_DISPLAY" --width=1920 \
  --height=1080 --idle-time=0 >"$work/weston.log" 2>&1 &
desktop_pids+=($!)
wait_until 10 grep -q 'xserver listening on display' "$work/weston.log" ||
  { cat "$work/weston.log"; echo "weston did not start with XWayland: skipped"; exit 0; }
xdisplay=$(grep -o 'xserver listening on display :[0-9]*' "$work/weston.log" | grep -o ':[0-9]*$')

pack_quiet "$work/pk"
# No X display in the session: a clear word and an end, no window.
(cd "$work/pk" && timeout 20 ./demo) 2>"$work/stderr" && fail "it ran without an X display"
grep -q 'X display' "$work/stderr" || fail "without X it said: $(cat "$work/stderr")"
echo "without X: $(cat "$work/stderr")"

start_packed "$work/pk" DISPLAY="$xdisplay"
export DISPLAY=$xdisplay
wait_until 20 sh -c "[ \$(xdotool search --onlyvisible --name '^星辰远征\$' 2>/dev/null | wc -l) = 2 ]" ||
  fail "the launcher's two windows did not come up as X windows"
for w in $(titled '^星辰远征$'); do
  geometry "$w"
  echo "X window $w at $X,$Y ${WIDTH}x$HEIGHT"
done
echo "PASS"
