# What the window tests on the desktop share (source after lib.sh): the packed demo started
# from its folder, the launcher's two windows, the question boxes and window states.
#   pack_quiet DIR [sed...]      pack_demo with every address on a closed local port
#   start_packed DIR [VAR=VALUE...]   starts DIR/demo from DIR; sets pid
#   launcher_pair                sets picture and companion, the launcher's two windows
#   game_window                  sets game, the game window
#   question                     waits for a question box (named after the program); sets box
#   no_question SECONDS          true when no question box shows within that time
#   viewable WINDOW / unmapped WINDOW
#   same_place A B               both windows have one rectangle
#   rect WINDOW                  "x y width height" (nothing when it is gone)
#   gone                         no window of the program's title is left

# The demo's addresses (page, update server) on a port where nothing answers.
pack_quiet() {
  local dir=$1
  shift
  pack_demo "$dir" 's#127\.0\.0\.1:8765#127.0.0.1:9#g' 's#^port=8765#port=9#' "$@"
}

start_packed() {
  local dir=$1
  shift
  (cd "$dir" && exec env "$@" ./demo) >"$dir/run.log" 2>&1 &
  pid=$!
  on_exit "kill $pid 2>/dev/null"
}

# Visible windows with the title (a search may trip over windows going away meanwhile).
titled() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }

pair_found() {
  local w
  picture="" companion=""
  for w in $(titled '^星辰远征$'); do
    if has_state "$w" _NET_WM_STATE_SKIP_TASKBAR; then companion=$w; else picture=$w; fi
  done
  [ -n "$picture" ] && [ -n "$companion" ]
}

launcher_pair() {
  wait_until 20 sh -c "[ \$(xdotool search --onlyvisible --name '^星辰远征\$' 2>/dev/null | wc -l) = 2 ]" ||
    fail "the launcher did not show two windows"
  # The window manager states the taskbar hints a moment after it maps the windows.
  wait_until 5 pair_found || fail "not one taskbar entry for the pair"
}

game_found() { game=$(titled '^星辰远征$' | head -n 1) && [ -n "$game" ]; }
game_window() { wait_until 20 game_found || fail "no game window"; }

box_found() { box=$(titled '^demo$' | head -n 1) && [ -n "$box" ]; }
question() { wait_until 5 box_found; }

no_question() {
  ! wait_until "$1" sh -c "xdotool search --onlyvisible --name '^demo\$' >/dev/null 2>&1"
}

viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
unmapped() { ! viewable "$1"; }

rect() { xdotool getwindowgeometry --shell "$1" 2>/dev/null | sed -n 's/^[XYWIDTHEG]*=//p' | tr '\n' ' '; }
same_place() { [ "$(rect "$1")" = "$(rect "$2")" ]; }

# middle WINDOW: "x y" of the middle of the window's own area (without a window manager's
# frame) on the screen.
middle() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
    /Width:/ {w = $NF} /Height:/ {h = $NF} END {print int(x + w / 2), int(y + h / 2)}'
}

# centred_over BOX WINDOW TOLERANCE: the box's middle is that close to the window's (the box's
# title bar alone puts it some pixels lower).
centred_over() {
  local bx by ox oy
  read -r bx by < <(middle "$1")
  read -r ox oy < <(middle "$2")
  echo "middle of the box: $bx,$by; of its window: $ox,$oy"
  [ $((bx - ox)) -le "$3" ] && [ $((ox - bx)) -le "$3" ] && [ $((by - oy)) -le "$3" ] &&
    [ $((oy - by)) -le "$3" ]
}

gone() { ! xdotool search --onlyvisible --name '^星辰远征$' >/dev/null 2>&1; }
