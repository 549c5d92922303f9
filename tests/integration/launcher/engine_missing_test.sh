#!/usr/bin/env bash
# Where the web engine's library cannot be loaded, the launcher still starts: its windows appear,
# the page area keeps its placeholder colour, and one message box names the library; answered, it
# leaves the launcher running. (A library of that name that is not one stands in for a missing
# one: the loader looks in LD_LIBRARY_PATH first.)
# Usage: engine_missing_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
source "$(dirname "$0")/lib.sh"

mkdir -p "$work/nolib"
: >"$work/nolib/libwebkit2gtk-4.1.so.0"
LD_LIBRARY_PATH="$work/nolib" start_demo

# The message box: a small window of its own, with the library's name in the program's output.
box=""
for _ in $(seq 1 50); do
  for id in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if [ "$WIDTH" -gt 150 ] && [ "$WIDTH" -lt 700 ] && [ "$HEIGHT" -gt 50 ] && [ "$HEIGHT" -lt 300 ]; then
      box=$id
    fi
  done
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no message box about the missing library"
caption=$(xdotool getwindowname "$box")
[ "$caption" = demo ] || fail "the message box's caption is '$caption', not the program's name"
[ "$(xdotool search --onlyvisible --name '.*' 2>/dev/null | wc -l)" -ge 3 ] ||
  fail "the launcher's windows did not stay beside the message box"

eval "$(xdotool getwindowgeometry --shell "$window")"
area=$(pixel $((X + 100)) $((Y + 460)))
[ "$area" = "#101228" ] || fail "the page area shows $area, not the placeholder #101228"

xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
sleep 0.5  # time for the answer to end the launcher, were it to
kill -0 "$pid" 2>/dev/null || fail "answering the message ended the launcher"
xdotool search --onlyvisible --name '^星辰远征$' >/dev/null || fail "the launcher's windows went"
echo "PASS"
