#!/usr/bin/env bash
# The desktop itself: the window manager manages windows and the panel keeps its strip, so the
# tests that stand on it fail for their own reasons only.
set -uo pipefail
build=$1 source=$2
source "$source/tests/integration/desktop/lib.sh"
desktop_start
[ "$(work_area)" = "0 0 1920 1040" ] || fail "work area $(work_area)"
xmessage -center "hello" &
on_exit "kill $! 2>/dev/null"
w=$(timeout 10 xdotool search --sync --onlyvisible --class xmessage | head -n 1) || fail "no window"
xprop -id "$w" _NET_FRAME_EXTENTS | grep -q '=' || fail "the window manager did not frame the window"
gio open http://127.0.0.1:9/x >/dev/null 2>&1 || true
wait_until 5 grep -qx 'http://127.0.0.1:9/x' "$work/opened" || fail "the recording browser saw: $(opened)"
echo "desktop ready"
